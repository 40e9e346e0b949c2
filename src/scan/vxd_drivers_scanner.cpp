// Multimedia drivers: a Drivers32 value that names a driver without a directory is looked
// for in the system directory; values with a full path are not tested.
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {

void ScanVxdDrivers(ScanEngine& engine, CompletedSectionList& completed)
{
    static constexpr std::string_view kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
    SectionRun run(engine, ScanSection::VxdDrivers);
    if (run.StopAtStart())
        return;
    System& system = engine.system();
    const std::string subkeyPath = SubkeyPathOf(kKey);
    ForEachValue(run, engine, kKey, [&](const ValueEntry& entry) {
        if (entry.text == kValueNotSet)
            return;
        if (!entry.text.empty() && Contains(entry.text, "\\"))
            return;
        run.Status(subkeyPath + " [" + entry.name + "]");
        std::string path = PrefixSystemDirectory(system, entry.text);
        if (!PathExists(system, path))
            run.Report(entry, std::string(kKey), path, "The driver " + path + " does not exist in the system folder.");
    });
    run.Complete(completed);
}

}  // namespace tw
