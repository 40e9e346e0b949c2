// Help files: the values of the "Help" and "HTML Help" keys name a help file (the value
// name) and its directory (the text); a help file that is not there is reported. 32-bit
// programs register theirs in the 32-bit view, which is read too.
#include "platform/program_info.h"
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {

void ScanHelpFiles(ScanEngine& engine, CompletedSectionList& completed)
{
    static const std::vector<ScanPlace> kPlaces =
        SoftwarePlaces({"SOFTWARE\\Microsoft\\Windows"}, kMachineView | kMachine32View);
    SectionRun run(engine, ScanSection::HelpFiles);
    if (run.StopAtStart())
        return;
    Registry& registry = engine.registry();
    System& system = engine.system();
    bool listed = ForEachPlace(run, kPlaces, [&](const OpenPlace& place) {
        const std::string subkeyPath = place.subkeyPath();
        return ForEachSubkey(run, registry, place.key(), [&](const std::string& name, HKey help) {
            const std::string lowered = Lowered(name);
            if (lowered != "help" && lowered != "html help")
                return;
            for (const ValueEntry& entry : ListKeyValues(registry, help, system)) {
                if (run.Stopped())
                    break;
                if (entry.text == kValueNotSet)
                    continue;
                run.Status(subkeyPath + "\\" + name + " [" + entry.name + "]");
                std::string directory = CutAtSwitch(StripQuotes(entry.text));
                if (Contains(directory, "%"))
                    directory = ExpandFirstVariable(system, directory, place.view());
                else if (!Contains(directory, "\\"))
                    directory = PrefixSystemDirectory(system, directory);
                // One backslash between the directory and the name, whether or not the
                // directory text ends with one.
                std::string path = place.Seen(JoinPath(directory, entry.name));
                if (!PathExists(system, path))
                    run.Report(entry, place.fullPath() + "\\" + lowered, path, "The help file " + path + " does not exist.");
            }
        });
    });
    if (listed)
        run.Complete(completed);
}

}  // namespace tw
