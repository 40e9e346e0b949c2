// tarnwick-cli ignore list [--json] | add KEYPATH [VALUENAME] | remove KEYPATH [VALUENAME]
// The user's ignore list: findings that no scan reports again. KEYPATH is the full key path
// as the scan prints it; without VALUENAME an entry stands for a finding of the key itself
// ("KEY"), with it (it may be empty) for a finding of that value. An entry added twice is one
// entry; removing one that is not listed fails.
#include "cli/commands.h"
#include "cli/json.h"
#include "registry/key_path.h"
#include "scan/ignore_list.h"

namespace tw::cli {
namespace {

std::string EntryText(const IgnoredEntry& entry)
{
    return entry.valueName ? entry.keyPath + "\t" + *entry.valueName : entry.keyPath;
}

// The usage error of a key path that names no key of a known root, or the empty text.
std::string CheckKeyPath(const std::string& keyPath)
{
    std::string subkey = keyPath;
    if (!RootKeyFromName(SplitRootFromPath(subkey)) || subkey.empty())
        return "'" + keyPath + "' is not a full key path (ROOT\\KEY, as the scan prints it)";
    return {};
}

}  // namespace

int RunIgnore(Context& context, const Arguments& arguments)
{
    std::vector<std::string> flags;
    Arguments rest;
    std::string unknown;
    if (!TakeFlags(arguments, {"--json"}, &flags, &rest, &unknown))
        return UsageError(context, "unknown option '" + unknown + "'");
    if (rest.empty())
        return UsageError(context, "ignore needs list, add or remove");
    const std::string action = rest[0];
    IgnoreList list(context.registry);
    if (long status = list.Load(); status != kSuccess) {
        context.err << "tarnwick-cli: the ignore list cannot be read (error " << status << ")\n";
        return kExitFailed;
    }
    if (action == "list") {
        if (rest.size() > 1)
            return UsageError(context, "ignore list takes no key path");
        const bool json = HasFlag(flags, "--json");
        for (const IgnoredEntry& entry : list.entries()) {
            if (!json) {
                context.out << EntryText(entry) << "\n";
                continue;
            }
            JsonObject object(context.system);
            object.Text("keyPath", entry.keyPath).Text("deleteType", entry.valueName ? "VAL" : "KEY");
            if (entry.valueName)
                object.Text("valueName", *entry.valueName);
            context.out << object.str() << "\n";
        }
        return kExitOk;
    }
    if (action != "add" && action != "remove")
        return UsageError(context, "unknown ignore action '" + action + "'");
    if (!flags.empty())
        return UsageError(context, "ignore " + action + " takes no options");
    if (rest.size() < 2 || rest.size() > 3)
        return UsageError(context, "ignore " + action + " needs KEYPATH and, for a value, VALUENAME");
    if (std::string problem = CheckKeyPath(rest[1]); !problem.empty())
        return UsageError(context, problem);
    IgnoredEntry entry{rest[1], std::nullopt};
    if (rest.size() == 3)
        entry.valueName = rest[2];

    long status = kSuccess;
    switch (action == "add" ? list.Add(entry, &status) : list.Remove(entry, &status)) {
    case IgnoreResult::Added:
        context.out << "added " << EntryText(entry) << "\n";
        return kExitOk;
    case IgnoreResult::AlreadyListed:
        context.out << "already listed " << EntryText(entry) << "\n";
        return kExitOk;
    case IgnoreResult::Removed:
        context.out << "removed " << EntryText(entry) << "\n";
        return kExitOk;
    case IgnoreResult::NotListed:
        context.err << "tarnwick-cli: not on the ignore list: " << EntryText(entry) << "\n";
        return kExitFailed;
    case IgnoreResult::Failed:
        break;
    }
    context.err << "tarnwick-cli: the ignore list cannot be written (error " << status << "): HKEY_CURRENT_USER\\"
                << kIgnoredKeyPath << "\n";
    return kExitFailed;
}

}  // namespace tw::cli
