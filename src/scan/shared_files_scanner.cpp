// Shared program files: the SharedDLLs value names are the paths of shared files; a name
// whose file is gone is reported and its value removed by repair.
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {

void ScanSharedProgramFiles(ScanEngine& engine, CompletedSectionList& completed)
{
    static constexpr std::string_view kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    SectionRun run(engine, ScanSection::SharedProgramFiles);
    if (run.StopAtStart())
        return;
    System& system = engine.system();
    const std::string subkeyPath = SubkeyPathOf(kKey);
    KeyHandle key = OpenFullPath(engine.registry(), kKey);
    if (key) {
        for (const ValueEntry& entry : ListKeyValues(engine.registry(), key.get(), system)) {
            if (run.Stopped())
                break;
            if (entry.name == kValueNotSet || entry.name == kDefaultValueName)
                continue;
            std::string path = CutAtSwitch(StripQuotes(entry.name));
            bool bareName = false;
            if (Contains(path, "%")) {
                path = ExpandFirstVariable(system, path);
            } else if (!Contains(path, "\\")) {
                path = PrefixSystemDirectory(system, path);
                bareName = true;
            }
            run.Status(subkeyPath + " [" + entry.name + "]");
            if (!PathExists(system, path) && !(bareName && FoundOnSearchPath(system, LastComponent(path))))
                run.Report(entry, std::string(kKey), path);
        }
    }
    run.Complete(completed);
}

}  // namespace tw
