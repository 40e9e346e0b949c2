// File associations: every extension key under HKEY_CLASSES_ROOT whose association leads
// nowhere (no program identifier and no handler, an unregistered program identifier, or an
// open command whose quoted program is missing). Repair removes the extension key.
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

namespace tw {
namespace {

bool SubkeyOpens(Registry& registry, HKey parent, const std::string& name)
{
    KeyHandle key(registry);
    return registry.OpenKey(parent, name.c_str(), key.Put()) == kSuccess;
}

// The text between the first two double quotes, or nothing.
bool QuotedPart(const std::string& text, std::string* inner)
{
    std::size_t open = text.find('"');
    if (open == std::string::npos)
        return false;
    std::size_t close = text.find('"', open + 1);
    if (close == std::string::npos)
        return false;
    *inner = text.substr(open + 1, close - open - 1);
    return true;
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
    SubkeyEnumerator extensions(registry, kClassesRoot);
    if (!extensions.Init())
        return;
    std::string extension;
    while (!run.Stopped() && extensions.Next(&extension)) {
        if (extension.empty() || extension[0] != '.')
            continue;
        KeyHandle extensionKey(registry);
        if (registry.OpenKey(kClassesRoot, extension.c_str(), extensionKey.Put()) != kSuccess)
            continue;
        const std::string keyPath = "HKEY_CLASSES_ROOT\\" + extension;
        for (const ValueEntry& entry : ListKeyValues(registry, extensionKey.get(), engine.system())) {
            if (entry.name != kDefaultValueName)
                continue;
            const std::string& programId = entry.text;
            bool persistentHandler = false;
            if (programId == kValueNotSet) {
                run.Status(keyPath + "[" + std::string(kDefaultValueName) + "]");
                persistentHandler = SubkeyOpens(registry, extensionKey.get(), "PersistentHandler");
                bool shellEx = SubkeyOpens(registry, extensionKey.get(), "ShellEx");
                if (!persistentHandler && !shellEx) {
                    run.Report(entry, keyPath, std::string(kValueNotSet));
                    continue;
                }
            }
            KeyHandle command(registry);
            if (registry.OpenKey(kClassesRoot, (programId + "\\shell\\open\\command").c_str(), command.Put()) ==
                kSuccess) {
                for (const ValueEntry& line : ListKeyValues(registry, command.get(), engine.system())) {
                    if (line.name != kDefaultValueName || line.text == kValueNotSet)
                        continue;
                    std::string program;
                    if (QuotedPart(line.text, &program) && Contains(program, "\\") &&
                        !PathExists(engine.system(), program))
                        run.Report(line, keyPath, programId);
                }
                continue;
            }
            if (SubkeyOpens(registry, kClassesRoot, programId))
                continue;
            KeyHandle shellEx(registry);
            if (registry.OpenKey(kClassesRoot, (extension + "\\ShellEx").c_str(), shellEx.Put()) == kSuccess) {
                if (ShellExtensionHandlerMissing(registry, shellEx.get()))
                    run.Report(entry, keyPath, programId);
            } else if (!persistentHandler) {
                run.Report(entry, keyPath, programId);
            }
        }
    }
    run.Complete(completed);
}

}  // namespace tw
