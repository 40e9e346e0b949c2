// tarnwick-cli startup list [--store] [--json] | remove ENTRY... | restore ENTRY...
// The startup programs manager from the command line. ENTRY is the root name and the value
// name joined by a backslash ("HKEY_CURRENT_USER\Updater"); only listed entries are moved,
// with the command text the listing read, as the window does.
#include "cli/commands.h"
#include "cli/json.h"
#include "managers/startup_manager.h"
#include "platform/codepage.h"
#include "registry/key_path.h"

namespace tw::cli {

namespace {

std::string EntryName(const StartupEntry& entry)
{
    return RootNameFromKey(entry.root) + "\\" + entry.name;
}

// The listed entry an ENTRY argument names, or nullptr.
const StartupEntry* FindEntry(const std::vector<StartupEntry>& entries, const std::string& argument)
{
    std::string name = argument;
    std::string rootName = SplitRootFromPath(name);
    auto root = RootKeyFromName(rootName);
    if (!root)
        return nullptr;
    for (const StartupEntry& e : entries)
        if (e.root == *root && CompareNoCase1252(e.name, name) == 0)
            return &e;
    return nullptr;
}

int List(Context& context, bool store, bool json)
{
    std::vector<StartupEntry> entries = store ? ListStoredStartupPrograms(context.registry)
                                              : ListStartupPrograms(context.registry);
    for (const StartupEntry& e : entries) {
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
    }
    return kExitOk;
}

int Move(Context& context, const Arguments& names, bool toStore)
{
    std::vector<StartupEntry> entries = toStore ? ListStartupPrograms(context.registry)
                                                : ListStoredStartupPrograms(context.registry);
    int status = kExitOk;
    for (const std::string& argument : names) {
        const StartupEntry* entry = FindEntry(entries, argument);
        if (!entry) {
            context.err << "tarnwick-cli: no " << (toStore ? "startup program " : "removed startup program ")
                        << argument << "\n";
            status = kExitFailed;
            continue;
        }
        bool moved = toStore ? RemoveStartupProgram(context.registry, *entry)
                             : RestoreStartupProgram(context.registry, *entry);
        if (moved) {
            context.out << (toStore ? "removed " : "restored ") << EntryName(*entry) << "\n";
        } else {
            context.err << "tarnwick-cli: could not " << (toStore ? "remove " : "restore ") << EntryName(*entry)
                        << "\n";
            status = kExitFailed;
        }
    }
    return status;
}

}  // namespace

int RunStartup(Context& context, const Arguments& arguments)
{
    std::vector<std::string> flags;
    Arguments rest;
    std::string unknown;
    if (!TakeFlags(arguments, {"--store", "--json"}, &flags, &rest, &unknown))
        return UsageError(context, "unknown option '" + unknown + "'");
    if (rest.empty())
        return UsageError(context, "startup needs list, remove or restore");
    std::string action = rest[0];
    Arguments names(rest.begin() + 1, rest.end());
    if (action == "list") {
        if (!names.empty())
            return UsageError(context, "startup list takes no entries");
        return List(context, HasFlag(flags, "--store"), HasFlag(flags, "--json"));
    }
    if (action != "remove" && action != "restore")
        return UsageError(context, "unknown startup action '" + action + "'");
    if (!flags.empty())
        return UsageError(context, "startup " + action + " takes no options");
    if (names.empty())
        return UsageError(context, "startup " + action + " needs at least one ROOT\\NAME");
    for (const std::string& name : names) {
        std::string value = name;
        std::string rootName = SplitRootFromPath(value);
        auto root = RootKeyFromName(rootName);
        if (!root || (*root != kLocalMachine && *root != kCurrentUser) || value.empty())
            return UsageError(context, "'" + name + "' is not HKEY_LOCAL_MACHINE\\NAME or HKEY_CURRENT_USER\\NAME");
    }
    return Move(context, names, action == "remove");
}

}  // namespace tw::cli
