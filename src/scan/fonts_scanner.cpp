// Fonts: every value of a Fonts key names a font file, bare names in the Windows fonts
// folder; a font file that is not there is reported. The machine's fonts and, on NT, the
// ones installed for the user alone (full paths into the user's profile) are read.
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {

void ScanFonts(ScanEngine& engine, CompletedSectionList& completed)
{
    static const std::vector<ScanPlace> kNtPlaces =
        SoftwarePlaces({"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"}, kMachineView | kUserView);
    static const std::vector<ScanPlace> k9xPlaces =
        SoftwarePlaces({"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts"}, kMachineView);
    SectionRun run(engine, ScanSection::Fonts);
    if (run.StopAtStart())
        return;
    System& system = engine.system();
    ForEachPlace(run, engine.isWindows9x() ? k9xPlaces : kNtPlaces, [&](const OpenPlace& place) {
        const std::string subkeyPath = place.subkeyPath();
        return ForEachValue(run, place, [&](const ValueEntry& entry) {
            if (entry.text == kValueNotSet)
                return;
            std::string path = CutAtSwitch(StripQuotes(entry.text));
            if (Contains(path, "%"))
                path = ExpandFirstVariable(system, path);
            else if (!Contains(path, "\\"))
                path = PrefixWindowsDirectory(system, path, "\\fonts\\");
            run.Status(subkeyPath + "[" + entry.name + "]");
            if (!PathExists(system, path))
                run.Report(entry, place.fullPath(), path, "The font file " + path + " does not exist.");
        });
    });
    run.Complete(completed);
}

}  // namespace tw
