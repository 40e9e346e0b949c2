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
    ForEachValue(run, engine, kKey, [&](const ValueEntry& entry) {
        if (entry.text == kValueNotSet)
            return;
        // A quoted program is the text between its quotes, whatever follows them.
        std::string path;
        const bool quoted = QuotedProgram(entry.text, &path);
        if (!quoted)
            path = CutAtSwitch(StripQuotes(entry.text));
        if (Contains(path, "%"))
            path = ExpandFirstVariable(system, path);
        if (!quoted)
            path = CutAfterExe(path);
        bool bareName = false;
        if (!Contains(path, ":")) {
            bareName = !Contains(path, "\\");
            path = PrefixWindowsDirectory(system, path, "\\");
        }
        run.Status(subkeyPath + " [" + entry.name + "]");
        path = TrimQuotes(path);
        if (Contains(path, "rundll32") || Contains(path, "RunDll32"))
            return;
        if (path.size() > 3 && !PathExists(system, path) &&
            !(bareName && FoundOnSearchPath(system, LastComponent(path))))
            run.Report(entry, std::string(kKey), path);
    });
    run.Complete(completed);
}

}  // namespace tw
