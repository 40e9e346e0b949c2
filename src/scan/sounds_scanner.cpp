// Sound events: the current and default scheme of every event of the default application
// name a sound file; an event whose sound file is gone is reported and its key removed.
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {

void ScanSounds(ScanEngine& engine, CompletedSectionList& completed)
{
    static constexpr std::string_view kKey = "HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\.Default";
    SectionRun run(engine, ScanSection::Sounds);
    if (run.StopAtStart())
        return;
    Registry& registry = engine.registry();
    System& system = engine.system();
    const std::string subkeyPath = SubkeyPathOf(kKey);
    KeyHandle key = OpenFullPath(registry, kKey);
    if (key) {
        bool listed = ForEachSubkey(run, registry, key.get(), [&](const std::string& event, HKey eventKey) {
            std::uint32_t schemeCount = 0;
            if (registry.QueryInfoKey(eventKey, nullptr, nullptr, nullptr, &schemeCount, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, nullptr) != kSuccess ||
                schemeCount == 0)
                return;
            SubkeyEnumerator schemes(registry, eventKey);
            if (!schemes.Init())
                return;
            std::string scheme;
            while (!run.Stopped() && schemes.Next(&scheme)) {
                const std::string lowered = Lowered(scheme);
                if (lowered != ".current" && lowered != ".default")
                    continue;
                KeyHandle schemeKey = OpenForReading(registry, eventKey, scheme);
                if (!schemeKey)
                    continue;
                for (const ValueEntry& entry : ListKeyValues(registry, schemeKey.get(), system)) {
                    if (entry.name != kDefaultValueName || entry.text == kValueNotSet)
                        continue;
                    std::string path = StripQuotes(entry.text);
                    bool bareName = false;
                    if (Contains(path, "%")) {
                        path = ExpandFirstVariable(system, path);
                    } else if (!Contains(path, "\\")) {
                        path = PrefixSystemDirectory(system, path);
                        bareName = true;
                    }
                    run.Status(subkeyPath + "\\" + event + "[" + entry.name + "]");
                    if (!PathExists(system, path) && !(bareName && FoundOnSearchPath(system, LastComponent(path))))
                        run.Report(entry, std::string(kKey) + "\\" + event, path,
                                   bareName ? "The sound file " + path + " does not exist, nor is " +
                                                  LastComponent(path) + " on the search path."
                                            : "The sound file " + path + " does not exist.");
                }
            }
        });
        if (!listed)
            return;
    }
    run.Complete(completed);
}

}  // namespace tw
