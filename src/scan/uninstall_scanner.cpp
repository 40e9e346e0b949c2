// Add/Remove Programs: each product's UninstallString names its uninstaller; a product whose
// uninstaller is missing is reported and the value removed by repair.
#include "platform/codepage.h"
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {

void ScanAddRemovePrograms(ScanEngine& engine, CompletedSectionList& completed)
{
    static constexpr std::string_view kKey = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Uninstall";
    SectionRun run(engine, ScanSection::AddRemovePrograms);
    if (run.StopAtStart())
        return;
    Registry& registry = engine.registry();
    System& system = engine.system();
    const std::string subkeyPath = SubkeyPathOf(kKey);
    KeyHandle key = OpenFullPath(registry, kKey);
    if (key) {
        bool listed = ForEachSubkey(run, registry, key.get(), [&](const std::string& name, HKey product) {
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
                if (Contains(path, ":") && !EndsWith(path, "\\") && !Contains(path, ";") &&
                    !Contains(path, "rundll32") && !Contains(path, "RunDll32") && !Contains(path, "\\regsvr32") &&
                    path.size() > 3 && !PathExists(system, path))
                    run.Report(entry, std::string(kKey) + "\\" + Lowered(name), path);
            }
        });
        if (!listed)
            return;
    }
    run.Complete(completed);
}

}  // namespace tw
