// System services: each service's ImagePath names its program or driver; a service whose
// file is gone is reported and its key removed whole by repair.
#include "platform/codepage.h"
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {
namespace {

// The ImagePath forms Windows accepts: a quoted program followed by arguments, %VAR%
// references, a bare name in the system directory, "system32\...", "SystemRoot\..." and
// "\SystemRoot\...", and "\??\" prefixes.
std::string ResolveImagePath(System& system, const std::string& text, bool* bareName)
{
    std::string path;
    const bool quoted = QuotedProgram(text, &path);
    if (!quoted)
        path = StripQuotes(text);
    *bareName = false;
    if (Contains(path, "%")) {
        path = ExpandFirstVariable(system, path);
    } else {
        if (!Contains(path, "\\")) {
            path = PrefixSystemDirectory(system, path);
            *bareName = true;
        }
        if (Lowered(std::string_view(path).substr(0, 8)) == "system32") {
            path = system.ExpandEnvironment("%SystemRoot%\\" + path);
        } else {
            if (Lowered(std::string_view(path).substr(0, 10)) == "systemroot")
                path = system.ExpandEnvironment("%SystemRoot%\\" + path.substr(10));
            if (Lowered(std::string_view(path).substr(0, 11)) == "\\systemroot")
                path = system.ExpandEnvironment("%SystemRoot%" + path.substr(11));
        }
    }
    // The arguments of a quoted program are gone already; a blank and a minus inside its
    // name ("My - Service") are no switch.
    if (!quoted) {
        path = CutAtSwitch(path);
        // "file.exe /switch" leaves the blank before the switch, which no file name ends in.
        while (!path.empty() && path.back() == ' ')
            path.pop_back();
    }
    for (std::size_t at = path.find("\\??\\"); at != std::string::npos; at = path.find("\\??\\", at))
        path.erase(at, 4);
    return path;
}

}  // namespace

void ScanSystemServices(ScanEngine& engine, CompletedSectionList& completed)
{
    static constexpr std::string_view kKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services";
    SectionRun run(engine, ScanSection::SystemServices);
    if (run.StopAtStart())
        return;
    Registry& registry = engine.registry();
    System& system = engine.system();
    const std::string subkeyPath = SubkeyPathOf(kKey);
    KeyHandle key = OpenFullPath(registry, kKey);
    if (key) {
        bool listed = ForEachSubkey(run, registry, key.get(), [&](const std::string& name, HKey service) {
            for (const ValueEntry& entry : ListKeyValues(registry, service, system)) {
                if (CompareTextNoCase(entry.name, "ImagePath") != 0 || entry.text == kValueNotSet)
                    continue;
                bool bareName = false;
                std::string path = ResolveImagePath(system, entry.text, &bareName);
                run.Status(subkeyPath + "\\" + name + "[" + entry.name + "]");
                std::string file = LastComponent(path);
                if (Contains(file, ".") && !PathExists(system, path) && !(bareName && FoundOnSearchPath(system, file)))
                    run.Report(entry, std::string(kKey) + "\\" + name, path,
                               bareName ? "The service's file " + path + " does not exist, nor is " + file +
                                              " on the search path."
                                        : "The service's file " + path + " does not exist.");
            }
        });
        if (!listed)
            return;
    }
    run.Complete(completed);
}

}  // namespace tw
