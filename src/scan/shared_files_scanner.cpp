// Shared program files: the SharedDLLs value names are the paths of shared files; a name
// whose file is gone is reported and its value removed by repair. 32-bit installers count
// their files in the 32-bit view, which is read too.
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {

void ScanSharedProgramFiles(ScanEngine& engine, CompletedSectionList& completed)
{
    static const std::vector<ScanPlace> kPlaces =
        SoftwarePlaces({"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs"}, kMachineView | kMachine32View);
    SectionRun run(engine, ScanSection::SharedProgramFiles);
    if (run.StopAtStart())
        return;
    System& system = engine.system();
    ForEachPlace(run, kPlaces, [&](const OpenPlace& place) {
        const std::string subkeyPath = place.subkeyPath();
        return ForEachValue(run, place, [&](const ValueEntry& entry) {
            if (entry.name == kValueNotSet || entry.name == kDefaultValueName)
                return;
            std::string path = CutAtSwitch(StripQuotes(entry.name));
            bool bareName = false;
            if (Contains(path, "%")) {
                path = ExpandFirstVariable(system, path, place.view());
            } else if (!Contains(path, "\\")) {
                path = PrefixSystemDirectory(system, path);
                bareName = true;
            }
            path = place.Seen(std::move(path));
            run.Status(subkeyPath + " [" + entry.name + "]");
            if (!PathExists(system, path) && !(bareName && FoundOnSearchPath(system, LastComponent(path), place.view())))
                run.Report(entry, place.fullPath(), path,
                           bareName ? "The shared file " + path + " does not exist, nor is " + LastComponent(path) +
                                          " on the search path."
                                    : "The shared file " + path + " does not exist.");
        });
    });
    run.Complete(completed);
}

}  // namespace tw
