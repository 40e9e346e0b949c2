// Fonts: every value of the Fonts key names a font file, bare names in the Windows fonts
// folder; a font file that is not there is reported.
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {

void ScanFonts(ScanEngine& engine, CompletedSectionList& completed)
{
    static constexpr std::string_view kNtKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
    static constexpr std::string_view k9xKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
    SectionRun run(engine, ScanSection::Fonts);
    if (run.StopAtStart())
        return;
    System& system = engine.system();
    const std::string_view keyPath = engine.isWindows9x() ? k9xKey : kNtKey;
    const std::string subkeyPath = SubkeyPathOf(keyPath);
    KeyHandle key = OpenFullPath(engine.registry(), keyPath);
    if (key) {
        for (const ValueEntry& entry : ListKeyValues(engine.registry(), key.get(), system)) {
            if (run.Stopped())
                break;
            if (entry.text == kValueNotSet)
                continue;
            std::string path = CutAtSwitch(StripQuotes(entry.text));
            if (Contains(path, "%"))
                path = ExpandFirstVariable(system, path);
            else if (!Contains(path, "\\"))
                path = PrefixWindowsDirectory(system, path, "\\fonts\\");
            run.Status(subkeyPath + "[" + entry.name + "]");
            if (!PathExists(system, path))
                run.Report(entry, std::string(keyPath), path);
        }
    }
    run.Complete(completed);
}

}  // namespace tw
