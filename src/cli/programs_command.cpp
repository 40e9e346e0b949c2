// tarnwick-cli programs list [--store] [--json] | remove SUBKEY... | restore SUBKEY...
// The Add/Remove Programs manager from the command line; SUBKEY is the full path of the
// entry's key as the listing shows it, or its name under Uninstall when only one place holds
// an entry of that name. Only listed entries are moved, each to and from its own place's store.
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
        "entry",
        "entries",
        [](Registry& registry, System& system, bool store) {
            return store ? ListStoredInstalledPrograms(registry, system) : ListInstalledPrograms(registry, system);
        },
        [](Context& context, const UninstallEntry& e, bool json) {
            if (json)
                context.out << JsonObject(context.system)
                                   .Text("programName", e.displayName)
                                   .Text("uninstallPath", e.uninstallString)
                                   .Text("subkey", e.subkey)
                                   .Text("key", UninstallEntryPath(e))
                                   .Text("location", e.place.location)
                                   .str()
                            << "\n";
            else
                context.out << UninstallEntryPath(e) << "\t" << e.displayName << "\t" << e.uninstallString << "\n";
        },
        [](const UninstallEntry& e, const std::string& argument) {
            const std::string path = UninstallEntryPath(e);
            if (path.size() == argument.size() && CompareNamesNoCase(path, argument) == 0)
                return kFullName;
            return CompareNamesNoCase(e.subkey, argument) == 0 ? kShortName : 0;
        },
        UninstallEntryPath,
        [](Registry& registry, const UninstallEntry& e, bool toStore) {
            return toStore ? RemoveInstalledProgram(registry, e) : RestoreInstalledProgram(registry, e);
        },
    };
    return RunManagerCommand(context, arguments, kCommand);
}

}  // namespace tw::cli
