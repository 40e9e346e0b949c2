// Application paths: each App Paths subkey's default names a program; a subkey whose
// program is missing is reported and removed whole by repair. The machine's programs in
// both views and the ones registered for the user alone are read.
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {

void ScanApplicationPaths(ScanEngine& engine, CompletedSectionList& completed)
{
    static const std::vector<ScanPlace> kPlaces =
        SoftwarePlaces({"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"}, kEveryView);
    SectionRun run(engine, ScanSection::ApplicationPaths);
    if (run.StopAtStart())
        return;
    Registry& registry = engine.registry();
    System& system = engine.system();
    bool listed = ForEachPlace(run, kPlaces, [&](const OpenPlace& place) {
        const std::string subkeyPath = place.subkeyPath();
        return ForEachSubkey(run, registry, place.key(), [&](const std::string& name, HKey program) {
            for (const ValueEntry& entry : ListKeyValues(registry, program, system)) {
                if (run.Stopped())
                    break;
                if (entry.name != kDefaultValueName || entry.text == kValueNotSet)
                    continue;
                run.Status(subkeyPath + "\\" + name + "[" + entry.name + "]");
                std::string path = TrimQuotes(entry.text);
                bool missing = false;
                bool noDrive = false;
                if (!Contains(path, ":")) {
                    if (!Contains(path, "%")) {
                        missing = true;
                        noDrive = true;
                    } else {
                        path = place.Seen(ExpandFirstVariable(system, path, place.view()));
                        missing = !PathExists(system, path);
                    }
                } else {
                    path = place.Seen(std::move(path));
                    missing = !EndsWith(path, "\\") && !Contains(path, ";") && path.size() > 3 &&
                              !PathExists(system, path);
                }
                if (missing) {
                    std::string reason = noDrive ? "The program " + path + " is named without its drive and folder."
                                                 : "The program " + path + " does not exist.";
                    run.Report(entry, place.fullPath() + "\\" + Lowered(name), path, std::move(reason));
                    break;  // the rest of this subkey is not examined
                }
            }
        });
    });
    if (listed)
        run.Complete(completed);
}

}  // namespace tw
