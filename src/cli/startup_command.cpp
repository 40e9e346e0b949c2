// tarnwick-cli startup list [--store] [--json] | remove ENTRY... | restore ENTRY...
// The startup programs manager from the command line. ENTRY is the value's full path as the
// listing shows it ("HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce\Updater"),
// or, for the "Run" key of either root, the root name and the value name joined by a
// backslash ("HKEY_CURRENT_USER\Updater"); only listed entries are moved, each with its own
// type and data, to and from the store of its own place.
#include "cli/json.h"
#include "cli/manager_command.h"
#include "managers/startup_manager.h"
#include "platform/codepage.h"
#include "registry/key_path.h"

namespace tw::cli {

namespace {

std::string EntryName(const StartupEntry& entry)
{
    return StartupEntryPath(entry);
}

}  // namespace

int RunStartup(Context& context, const Arguments& arguments)
{
    static const ManagerCommand<StartupEntry> kCommand{
        "startup",
        "startup program",
        "entry",
        "entries",
        [](Registry& registry, System& system, bool store) {
            return store ? ListStoredStartupPrograms(registry, system) : ListStartupPrograms(registry, system);
        },
        [](Context& context, const StartupEntry& e, bool json) {
            if (json)
                context.out << JsonObject(context.system)
                                   .Text("programName", e.name)
                                   .Text("runPath", e.command)
                                   .Text("root", RootNameFromKey(e.root))
                                   .Text("name", e.name)
                                   .Text("key", PlaceFullPath(e.place.source))
                                   .Text("location", e.place.location)
                                   .str()
                            << "\n";
            else
                context.out << EntryName(e) << "\t" << e.command << "\n";
        },
        [](const StartupEntry& e, const std::string& argument) {
            const std::string path = StartupEntryPath(e);
            if (path.size() == argument.size() && CompareNamesNoCase(path, argument) == 0)
                return kFullName;
            // ROOT\NAME: the Run key of the root, as a 64-bit program sees it.
            std::string name = argument;
            auto root = RootKeyFromName(SplitRootFromPath(name));
            const bool run = e.place.source.subkey == kRunKeyPath;
            return root && e.root == *root && run && CompareNamesNoCase(e.name, name) == 0 ? kShortName : 0;
        },
        EntryName,
        [](Registry& registry, const StartupEntry& e, bool toStore) {
            return toStore ? RemoveStartupProgram(registry, e) : RestoreStartupProgram(registry, e);
        },
        [](const std::string& argument) -> std::string {
            std::string value = argument;
            auto root = RootKeyFromName(SplitRootFromPath(value));
            if (!root || (*root != kLocalMachine && *root != kCurrentUser) || value.empty())
                return "'" + argument +
                       "' is not an entry of HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER (ROOT\\NAME, or the full path "
                       "the listing shows)";
            return {};
        },
    };
    return RunManagerCommand(context, arguments, kCommand);
}

}  // namespace tw::cli
