// tarnwick-cli programs list [--store] [--json] | remove SUBKEY... | restore SUBKEY...
// The Add/Remove Programs manager from the command line; SUBKEY is the entry's key name under
// Uninstall (or in the store), and only listed entries are moved.
#include "cli/json.h"
#include "cli/manager_command.h"
#include "managers/add_remove_manager.h"
#include "managers/removed_entry_store.h"
#include "platform/codepage.h"

namespace tw::cli {

int RunPrograms(Context& context, const Arguments& arguments)
{
    static const ManagerCommand<UninstallEntry> kCommand{
        "programs",
        "uninstall entry",
        "subkey name",
        "subkeys",
        [](Registry& registry, bool store) {
            std::vector<UninstallEntry> entries;
            ListUninstallEntries(registry, store ? kAddRemoveStoreKeyPath : kUninstallKeyPath, &entries);
            return entries;
        },
        [](Context& context, const UninstallEntry& e, bool json) {
            if (json)
                context.out << JsonObject(context.system)
                                   .Text("programName", e.displayName)
                                   .Text("uninstallPath", e.uninstallString)
                                   .Text("subkey", e.subkey)
                                   .str()
                            << "\n";
            else
                context.out << e.subkey << "\t" << e.displayName << "\t" << e.uninstallString << "\n";
        },
        [](const UninstallEntry& e, const std::string& subkey) { return CompareNamesNoCase(e.subkey, subkey) == 0; },
        [](const UninstallEntry& e) { return e.subkey; },
        [](Registry& registry, const UninstallEntry& e, bool toStore) {
            return toStore ? RemoveInstalledProgram(registry, e.subkey) : RestoreInstalledProgram(registry, e.subkey);
        },
    };
    return RunManagerCommand(context, arguments, kCommand);
}

}  // namespace tw::cli
