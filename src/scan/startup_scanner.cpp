// Programs started at log-on: every value of a Run key is a command line (RunOnce: for the
// next log-on only); one whose program is missing is reported and its value removed by
// repair. The machine's keys in both views and the user's own are read.
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {

void ScanStartupPrograms(ScanEngine& engine, CompletedSectionList& completed)
{
    static const std::vector<ScanPlace> kPlaces = SoftwarePlaces(
        {"Software\\Microsoft\\Windows\\Currentversion\\Run", "Software\\Microsoft\\Windows\\Currentversion\\RunOnce"},
        kEveryView);
    SectionRun run(engine, ScanSection::StartupPrograms);
    if (run.StopAtStart())
        return;
    System& system = engine.system();
    ForEachPlace(run, kPlaces, [&](const OpenPlace& place) {
        const std::string subkeyPath = place.subkeyPath();
        return ForEachValue(run, place, [&](const ValueEntry& entry) {
            if (entry.text == kValueNotSet)
                return;
            // A quoted program is the text between its quotes, whatever follows them.
            std::string path;
            const bool quoted = QuotedProgram(entry.text, &path);
            if (!quoted)
                path = CutAtSwitch(StripQuotes(entry.text));
            if (Contains(path, "%"))
                path = ExpandFirstVariable(system, path, place.view());
            if (!quoted)
                path = CutAfterExe(path);
            bool bareName = false;
            if (!Contains(path, ":")) {
                bareName = !Contains(path, "\\");
                path = PrefixWindowsDirectory(system, path, "\\");
            }
            run.Status(subkeyPath + " [" + entry.name + "]");
            path = place.Seen(TrimQuotes(path));
            if (Contains(path, "rundll32") || Contains(path, "RunDll32"))
                return;
            if (path.size() > 3 && !PathExists(system, path) &&
                !(bareName && FoundOnSearchPath(system, LastComponent(path), place.view())))
                run.Report(entry, place.fullPath(), path,
                           bareName ? "The program " + path + " started at log-on does not exist, nor is " +
                                          LastComponent(path) + " on the search path."
                                    : "The program " + path + " started at log-on does not exist.");
        });
    });
    run.Complete(completed);
}

}  // namespace tw
