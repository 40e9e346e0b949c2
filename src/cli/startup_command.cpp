// tarnwick-cli startup list [--store] [--json] | remove ENTRY... | restore ENTRY...
// The startup programs manager from the command line. ENTRY is the root name and the value
// name joined by a backslash ("HKEY_CURRENT_USER\Updater"); only listed entries are moved,
// with the command text the listing read, as the window does.
#include "cli/json.h"
#include "cli/manager_command.h"
#include "managers/startup_manager.h"
#include "platform/codepage.h"
#include "registry/key_path.h"

namespace tw::cli {

namespace {

std::string EntryName(const StartupEntry& entry)
{
    return RootNameFromKey(entry.root) + "\\" + entry.name;
}

}  // namespace

int RunStartup(Context& context, const Arguments& arguments)
{
    static const ManagerCommand<StartupEntry> kCommand{
        "startup",
        "startup program",
        "ROOT\\NAME",
        "entries",
        [](Registry& registry, bool store) {
            return store ? ListStoredStartupPrograms(registry) : ListStartupPrograms(registry);
        },
        [](Context& context, const StartupEntry& e, bool json) {
            if (json)
                context.out << JsonObject(context.system)
                                   .Text("programName", e.name)
                                   .Text("runPath", e.command)
                                   .Text("root", RootNameFromKey(e.root))
                                   .Text("name", e.name)
                                   .str()
                            << "\n";
            else
                context.out << EntryName(e) << "\t" << e.command << "\n";
        },
        [](const StartupEntry& e, const std::string& argument) {
            std::string name = argument;
            auto root = RootKeyFromName(SplitRootFromPath(name));
            return root && e.root == *root && CompareNamesNoCase(e.name, name) == 0;
        },
        EntryName,
        [](Registry& registry, const StartupEntry& e, bool toStore) {
            return toStore ? RemoveStartupProgram(registry, e) : RestoreStartupProgram(registry, e);
        },
        [](const std::string& argument) -> std::string {
            std::string value = argument;
            auto root = RootKeyFromName(SplitRootFromPath(value));
            if (!root || (*root != kLocalMachine && *root != kCurrentUser) || value.empty())
                return "'" + argument + "' is not HKEY_LOCAL_MACHINE\\NAME or HKEY_CURRENT_USER\\NAME";
            return {};
        },
    };
    return RunManagerCommand(context, arguments, kCommand);
}

}  // namespace tw::cli
