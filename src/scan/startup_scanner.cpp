// Programs started at log-on: every value of the machine's Run key is a command line; one
// whose program is missing is reported and its value removed by repair.
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {

void ScanStartupPrograms(ScanEngine& engine, CompletedSectionList& completed)
{
    static constexpr std::string_view kKey = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Run";
    SectionRun run(engine, ScanSection::StartupPrograms);
    if (run.StopAtStart())
        return;
    System& system = engine.system();
    const std::string subkeyPath = SubkeyPathOf(kKey);
    KeyHandle key = OpenFullPath(engine.registry(), kKey);
    if (key) {
        for (const ValueEntry& entry : ListKeyValues(engine.registry(), key.get(), system)) {
            if (run.Stopped())
                break;
            if (entry.text == kValueNotSet)
                continue;
            std::string path = CutAtSwitch(StripQuotes(entry.text));
            if (Contains(path, "%"))
                path = ExpandFirstVariable(system, path);
            path = CutAfterExe(path);
            bool bareName = false;
            if (!Contains(path, ":")) {
                bareName = !Contains(path, "\\");
                path = PrefixWindowsDirectory(system, path, "\\");
            }
            run.Status(subkeyPath + " [" + entry.name + "]");
            path = TrimQuotes(path);
            if (Contains(path, "rundll32") || Contains(path, "RunDll32"))
                continue;
            if (path.size() > 3 && !PathExists(system, path) &&
                !(bareName && FoundOnSearchPath(system, LastComponent(path))))
                run.Report(entry, std::string(kKey), path);
        }
    }
    run.Complete(completed);
}

}  // namespace tw
