// tarnwick-cli programs list [--store] [--json] | remove SUBKEY... | restore SUBKEY...
// The Add/Remove Programs manager from the command line; SUBKEY is the entry's key name under
// Uninstall (or in the store), and only listed entries are moved.
#include "cli/commands.h"
#include "cli/json.h"
#include "managers/add_remove_manager.h"
#include "managers/removed_entry_store.h"
#include "platform/codepage.h"

namespace tw::cli {

namespace {

std::vector<UninstallEntry> Listed(Context& context, bool store)
{
    std::vector<UninstallEntry> entries;
    ListUninstallEntries(context.registry, store ? kAddRemoveStoreKeyPath : kUninstallKeyPath, &entries);
    return entries;
}

}  // namespace

int RunPrograms(Context& context, const Arguments& arguments)
{
    std::vector<std::string> flags;
    Arguments rest;
    std::string unknown;
    if (!TakeFlags(arguments, {"--store", "--json"}, &flags, &rest, &unknown))
        return UsageError(context, "unknown option '" + unknown + "'");
    if (rest.empty())
        return UsageError(context, "programs needs list, remove or restore");
    std::string action = rest[0];
    Arguments subkeys(rest.begin() + 1, rest.end());
    if (action == "list") {
        if (!subkeys.empty())
            return UsageError(context, "programs list takes no subkeys");
        bool json = HasFlag(flags, "--json");
        for (const UninstallEntry& e : Listed(context, HasFlag(flags, "--store"))) {
            if (json)
                context.out << JsonObject(context.system)
                                   .Text("programName", e.displayName)
                                   .Text("uninstallPath", e.uninstallString)
                                   .Text("subkey", e.subkey)
                                   .str()
                            << "\n";
            else
                context.out << e.subkey << "\t" << e.displayName << "\t" << e.uninstallString << "\n";
        }
        return kExitOk;
    }
    if (action != "remove" && action != "restore")
        return UsageError(context, "unknown programs action '" + action + "'");
    if (!flags.empty())
        return UsageError(context, "programs " + action + " takes no options");
    if (subkeys.empty())
        return UsageError(context, "programs " + action + " needs at least one subkey name");

    bool toStore = action == "remove";
    std::vector<UninstallEntry> entries = Listed(context, !toStore);
    int status = kExitOk;
    for (const std::string& subkey : subkeys) {
        const UninstallEntry* entry = nullptr;
        for (const UninstallEntry& e : entries)
            if (CompareNoCase1252(e.subkey, subkey) == 0)
                entry = &e;
        if (!entry) {
            context.err << "tarnwick-cli: no " << (toStore ? "" : "removed ") << "uninstall entry " << subkey << "\n";
            status = kExitFailed;
            continue;
        }
        bool moved = toStore ? RemoveInstalledProgram(context.registry, entry->subkey)
                             : RestoreInstalledProgram(context.registry, entry->subkey);
        if (moved) {
            context.out << action << "d " << entry->subkey << "\n";
        } else {
            context.err << "tarnwick-cli: could not " << action << " " << entry->subkey << "\n";
            status = kExitFailed;
        }
    }
    return status;
}

}  // namespace tw::cli
