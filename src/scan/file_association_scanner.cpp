// File associations: every extension key under HKEY_CLASSES_ROOT whose association leads
// nowhere (no program identifier and nothing else Windows reads there, an unregistered
// program identifier, or an open command whose quoted program is missing). Repair removes
// the extension key.
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

#include <array>

namespace tw {
namespace {

bool SubkeyOpens(Registry& registry, HKey parent, const std::string& name)
{
    return static_cast<bool>(OpenForReading(registry, parent, name));
}

// What makes an extension key without a program identifier a live association: a search
// handler, shell extensions, the programs offered by "Open with", or the content type that
// Windows and browsers read.
bool UsedWithoutProgramId(Registry& registry, HKey extension)
{
    static constexpr std::array<const char*, 4> kSubkeys = {"PersistentHandler", "ShellEx", "OpenWithProgids",
                                                             "OpenWithList"};
    for (const char* name : kSubkeys)
        if (SubkeyOpens(registry, extension, name))
            return true;
    return registry.QueryValueEx(extension, "Content Type", nullptr, nullptr, nullptr, nullptr) == kSuccess;
}

// The shell-extension handlers of an extension are not tested: an extension with a ShellEx
// key is taken to be handled.
bool ShellExtensionHandlerMissing(Registry&, HKey)
{
    return false;
}

}  // namespace

void ScanFileAssociations(ScanEngine& engine, CompletedSectionList& completed)
{
    SectionRun run(engine, ScanSection::FileAssociations);
    if (run.StopAtStart())
        return;
    Registry& registry = engine.registry();
    System& system = engine.system();
    SubkeyEnumerator extensions(registry, kClassesRoot);
    if (!extensions.Init())
        return;
    std::string extension;
    while (!run.Stopped() && extensions.Next(&extension)) {
        if (extension.empty() || extension[0] != '.')
            continue;
        KeyHandle extensionKey = OpenForReading(registry, kClassesRoot, extension);
        if (!extensionKey)
            continue;
        const std::string keyPath = "HKEY_CLASSES_ROOT\\" + extension;
        for (const ValueEntry& entry : ListKeyValues(registry, extensionKey.get(), system)) {
            if (entry.name != kDefaultValueName)
                continue;
            const std::string& programId = entry.text;
            if (programId == kValueNotSet) {
                run.Status(keyPath + "[" + std::string(kDefaultValueName) + "]");
                if (!UsedWithoutProgramId(registry, extensionKey.get()))
                    run.Report(entry, keyPath, std::string(kValueNotSet),
                               "The extension names no program, and nothing else is registered for it.");
                continue;
            }
            KeyHandle command = OpenForReading(registry, kClassesRoot, programId + "\\shell\\open\\command");
            if (command) {
                for (const ValueEntry& line : ListKeyValues(registry, command.get(), system)) {
                    if (line.name != kDefaultValueName || line.text == kValueNotSet)
                        continue;
                    // The quoted program, often written with variables (REG_EXPAND_SZ), is
                    // tested where Windows would start it.
                    std::string program;
                    if (!FirstQuotedText(line.text, &program))
                        continue;
                    program = system.ExpandEnvironment(program);
                    if (Contains(program, "\\") && !PathExists(system, program))
                        run.Report(line, keyPath, programId,
                                   "The command that opens these files names " + program + ", which does not exist.");
                }
                continue;
            }
            if (SubkeyOpens(registry, kClassesRoot, programId))
                continue;
            KeyHandle shellEx = OpenForReading(registry, kClassesRoot, extension + "\\ShellEx");
            if (!shellEx || ShellExtensionHandlerMissing(registry, shellEx.get()))
                run.Report(entry, keyPath, programId,
                           "The program identifier " + programId + " named here is not registered.");
        }
    }
    run.Complete(completed);
}

}  // namespace tw
