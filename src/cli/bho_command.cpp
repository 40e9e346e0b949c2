// tarnwick-cli bho list [--store] [--json] | remove CLASSID... | restore CLASSID...
// The browser helper object manager from the command line; only listed objects are moved.
#include "cli/json.h"
#include "cli/manager_command.h"
#include "managers/bho_manager.h"
#include "managers/removed_entry_store.h"
#include "platform/codepage.h"

namespace tw::cli {

int RunBho(Context& context, const Arguments& arguments)
{
    static const ManagerCommand<BhoEntry> kCommand{
        "bho",
        "browser helper object",
        "class identifier",
        "class identifiers",
        [](Registry& registry, System& system, bool store) {
            std::vector<BhoEntry> entries;
            ListBrowserHelperObjects(registry, system, store ? kBhoStoreKeyPath : kBrowserHelperObjectsKeyPath,
                                     &entries);
            return entries;
        },
        [](Context& context, const BhoEntry& e, bool json) {
            if (json)
                context.out << JsonObject(context.system)
                                   .Text("bhoPath", e.libraryPath)
                                   .Text("classId", e.classId)
                                   .str()
                            << "\n";
            else
                context.out << e.classId << "\t" << e.libraryPath << "\n";
        },
        [](const BhoEntry& e, const std::string& id) { return CompareNamesNoCase(e.classId, id) == 0 ? kFullName : 0; },
        [](const BhoEntry& e) { return e.classId; },
        [](Registry& registry, const BhoEntry& e, bool toStore) {
            return toStore ? RemoveBrowserHelperObject(registry, e.classId)
                           : RestoreBrowserHelperObject(registry, e.classId);
        },
    };
    return RunManagerCommand(context, arguments, kCommand);
}

}  // namespace tw::cli
