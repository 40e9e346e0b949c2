// tarnwick-cli bho list [--store] [--json] | remove CLASSID... | restore CLASSID...
// The browser helper object manager from the command line; only listed objects are moved.
#include "cli/commands.h"
#include "cli/json.h"
#include "managers/bho_manager.h"
#include "managers/removed_entry_store.h"
#include "platform/codepage.h"

namespace tw::cli {

namespace {

std::vector<BhoEntry> Listed(Context& context, bool store)
{
    std::vector<BhoEntry> entries;
    ListBrowserHelperObjects(context.registry, store ? kBhoStoreKeyPath : kBrowserHelperObjectsKeyPath, &entries);
    return entries;
}

}  // namespace

int RunBho(Context& context, const Arguments& arguments)
{
    std::vector<std::string> flags;
    Arguments rest;
    std::string unknown;
    if (!TakeFlags(arguments, {"--store", "--json"}, &flags, &rest, &unknown))
        return UsageError(context, "unknown option '" + unknown + "'");
    if (rest.empty())
        return UsageError(context, "bho needs list, remove or restore");
    std::string action = rest[0];
    Arguments ids(rest.begin() + 1, rest.end());
    if (action == "list") {
        if (!ids.empty())
            return UsageError(context, "bho list takes no class identifiers");
        bool json = HasFlag(flags, "--json");
        for (const BhoEntry& e : Listed(context, HasFlag(flags, "--store"))) {
            if (json)
                context.out << JsonObject(context.system).Text("bhoPath", e.libraryPath).Text("classId", e.classId).str()
                            << "\n";
            else
                context.out << e.classId << "\t" << e.libraryPath << "\n";
        }
        return kExitOk;
    }
    if (action != "remove" && action != "restore")
        return UsageError(context, "unknown bho action '" + action + "'");
    if (!flags.empty())
        return UsageError(context, "bho " + action + " takes no options");
    if (ids.empty())
        return UsageError(context, "bho " + action + " needs at least one class identifier");

    bool toStore = action == "remove";
    std::vector<BhoEntry> entries = Listed(context, !toStore);
    int status = kExitOk;
    for (const std::string& id : ids) {
        const BhoEntry* entry = nullptr;
        for (const BhoEntry& e : entries)
            if (CompareNoCase1252(e.classId, id) == 0)
                entry = &e;
        if (!entry) {
            context.err << "tarnwick-cli: no " << (toStore ? "" : "removed ") << "browser helper object " << id << "\n";
            status = kExitFailed;
            continue;
        }
        bool moved = toStore ? RemoveBrowserHelperObject(context.registry, entry->classId)
                             : RestoreBrowserHelperObject(context.registry, entry->classId);
        if (moved) {
            context.out << action << "d " << entry->classId << "\n";
        } else {
            context.err << "tarnwick-cli: could not " << action << " " << entry->classId << "\n";
            status = kExitFailed;
        }
    }
    return status;
}

}  // namespace tw::cli
