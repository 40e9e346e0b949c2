// Application paths: each App Paths subkey's default names a program; a subkey whose
// program is missing is reported and removed whole by repair.
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {

void ScanApplicationPaths(ScanEngine& engine, CompletedSectionList& completed)
{
    static constexpr std::string_view kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
    SectionRun run(engine, ScanSection::ApplicationPaths);
    if (run.StopAtStart())
        return;
    Registry& registry = engine.registry();
    System& system = engine.system();
    const std::string subkeyPath = SubkeyPathOf(kKey);
    KeyHandle key = OpenFullPath(registry, kKey);
    if (key) {
        bool listed = ForEachSubkey(run, registry, key.get(), [&](const std::string& name, HKey program) {
            for (const ValueEntry& entry : ListKeyValues(registry, program, system)) {
                if (run.Stopped())
                    break;
                if (entry.name != kDefaultValueName || entry.text == kValueNotSet)
                    continue;
                run.Status(subkeyPath + "\\" + name + "[" + entry.name + "]");
                std::string path = TrimQuotes(entry.text);
                bool missing = false;
                if (!Contains(path, ":")) {
                    if (!Contains(path, "%")) {
                        missing = true;
                    } else {
                        path = ExpandFirstVariable(system, path);
                        missing = !PathExists(system, path);
                    }
                } else {
                    missing = !EndsWith(path, "\\") && !Contains(path, ";") && path.size() > 3 &&
                              !PathExists(system, path);
                }
                if (missing) {
                    run.Report(entry, std::string(kKey) + "\\" + Lowered(name), path);
                    break;  // the rest of this subkey is not examined
                }
            }
        });
        if (!listed)
            return;
    }
    run.Complete(completed);
}

}  // namespace tw
