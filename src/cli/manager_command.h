// What the three manager commands share: "list [--store] [--json]" shows the entries (or the
// removed ones), "remove ID..." and "restore ID..." move listed entries into the program's
// store and back, each move reported on its own line. An entry is named by its full path
// (which says where it lives) or by a shorter name where that names one entry only.
#pragma once

#include "cli/commands.h"
#include "managers/removed_entry_store.h"

#include <string>
#include <vector>

namespace tw::cli {

inline constexpr int kShortName = 1;
inline constexpr int kFullName = 2;

template <class Entry>
struct ManagerCommand {
    const char* name;       // "bho"
    const char* entryNoun;  // "browser helper object", for "no removed browser helper object X"
    const char* idNoun;     // "class identifier", for "needs at least one class identifier"
    const char* idsNoun;    // "class identifiers", for "list takes no class identifiers"
    std::vector<Entry> (*list)(Registry& registry, System& system, bool store);
    void (*print)(Context& context, const Entry& entry, bool json);
    // How well an argument names a listed entry: 0 not at all, kFullName by its full path
    // (or its one name), kShortName by a shorter name that several places may share.
    int (*matches)(const Entry& entry, const std::string& argument);
    // How a moved entry is named in the report.
    std::string (*id)(const Entry& entry);
    MoveResult (*move)(Registry& registry, const Entry& entry, bool toStore);
    // An argument's usage error, or the empty text; may be null.
    std::string (*checkArgument)(const std::string& argument) = nullptr;
};

template <class Entry>
int RunManagerCommand(Context& context, const Arguments& arguments, const ManagerCommand<Entry>& command)
{
    const std::string name = command.name;
    std::vector<std::string> flags;
    Arguments rest;
    std::string unknown;
    if (!TakeFlags(arguments, {"--store", "--json"}, &flags, &rest, &unknown))
        return UsageError(context, "unknown option '" + unknown + "'");
    if (rest.empty())
        return UsageError(context, name + " needs list, remove or restore");
    const std::string action = rest[0];
    const Arguments ids(rest.begin() + 1, rest.end());
    if (action == "list") {
        if (!ids.empty())
            return UsageError(context, name + " list takes no " + command.idsNoun);
        bool json = HasFlag(flags, "--json");
        for (const Entry& e : command.list(context.registry, context.system, HasFlag(flags, "--store")))
            command.print(context, e, json);
        return kExitOk;
    }
    if (action != "remove" && action != "restore")
        return UsageError(context, "unknown " + name + " action '" + action + "'");
    if (!flags.empty())
        return UsageError(context, name + " " + action + " takes no options");
    if (ids.empty())
        return UsageError(context, name + " " + action + " needs at least one " + command.idNoun);
    if (command.checkArgument)
        for (const std::string& id : ids)
            if (std::string problem = command.checkArgument(id); !problem.empty())
                return UsageError(context, problem);

    const bool toStore = action == "remove";
    const std::vector<Entry> entries = command.list(context.registry, context.system, !toStore);
    int status = kExitOk;
    for (const std::string& id : ids) {
        const Entry* entry = nullptr;
        int best = 0;
        int named = 0;  // entries named as well as the best
        for (const Entry& e : entries) {
            const int match = command.matches(e, id);
            if (match == 0 || match < best)
                continue;
            named = match > best ? 1 : named + 1;
            best = match;
            entry = &e;
        }
        if (entry && named > 1) {
            context.err << "tarnwick-cli: " << id << " names more than one " << (toStore ? "" : "removed ")
                        << command.entryNoun << "; give the full path that the listing shows\n";
            status = kExitFailed;
            continue;
        }
        if (!entry) {
            context.err << "tarnwick-cli: no " << (toStore ? "" : "removed ") << command.entryNoun << " " << id
                        << "\n";
            status = kExitFailed;
            continue;
        }
        const MoveResult result = command.move(context.registry, *entry, toStore);
        if (result == MoveResult::Moved) {
            context.out << action << "d " << command.id(*entry) << "\n";
        } else {
            context.err << "tarnwick-cli: could not " << action << " " << command.id(*entry) << ": "
                        << MoveResultText(result, toStore) << "\n";
            status = kExitFailed;
        }
    }
    return status;
}

}  // namespace tw::cli
