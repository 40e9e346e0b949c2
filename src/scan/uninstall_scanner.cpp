// Add/Remove Programs: each product's UninstallString names its uninstaller; a product whose
// uninstaller is missing is reported and the value removed by repair. The machine's
// products in both views and the ones installed for the user alone are read.
#include "platform/codepage.h"
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {

void ScanAddRemovePrograms(ScanEngine& engine, CompletedSectionList& completed)
{
    static const std::vector<ScanPlace> kPlaces =
        SoftwarePlaces({"Software\\Microsoft\\Windows\\Currentversion\\Uninstall"}, kEveryView);
    SectionRun run(engine, ScanSection::AddRemovePrograms);
    if (run.StopAtStart())
        return;
    Registry& registry = engine.registry();
    System& system = engine.system();
    bool listed = ForEachPlace(run, kPlaces, [&](const OpenPlace& place) {
        const std::string subkeyPath = place.subkeyPath();
        return ForEachSubkey(run, registry, place.key(), [&](const std::string& name, HKey product) {
            for (const ValueEntry& entry : ListKeyValues(registry, product, system)) {
                if (run.Stopped())
                    break;
                if (CompareTextNoCase(entry.name, "UninstallString") != 0 || entry.text == kValueNotSet)
                    continue;
                // A quoted program is the text between its quotes, whatever follows them;
                // other commands are cut after their program's extension and lose every
                // quote, so that no description keeps a stray one.
                std::string path;
                const bool quoted = QuotedProgram(entry.text, &path);
                run.Status(subkeyPath + "\\" + name + "[" + entry.name + "]");
                if (!quoted)
                    path = StripQuotes(CutAfterExe(entry.text));
                path = place.Seen(std::move(path));
                if (Contains(path, ":") && !EndsWith(path, "\\") && !Contains(path, ";") &&
                    !Contains(path, "rundll32") && !Contains(path, "RunDll32") && !Contains(path, "\\regsvr32") &&
                    path.size() > 3 && !PathExists(system, path))
                    run.Report(entry, place.fullPath() + "\\" + Lowered(name), path,
                               "The uninstaller " + path + " does not exist.");
            }
        });
    });
    if (listed)
        run.Complete(completed);
}

}  // namespace tw
