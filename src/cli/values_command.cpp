// tarnwick-cli values KEYPATH [--sorted] [--json]: a key's values as the program lists them.
#include "cli/commands.h"
#include "cli/json.h"
#include "platform/key_handle.h"
#include "registry/key_path.h"
#include "registry/value_text.h"

namespace tw::cli {

int RunValues(Context& context, const Arguments& arguments)
{
    std::vector<std::string> flags;
    Arguments rest;
    std::string unknown;
    if (!TakeFlags(arguments, {"--sorted", "--json"}, &flags, &rest, &unknown))
        return UsageError(context, "unknown option '" + unknown + "'");
    if (rest.size() != 1)
        return UsageError(context, "values takes one key path");

    std::string subkey = rest[0];
    std::string root = SplitRootFromPath(subkey);
    KeyOperations keys(context.registry, DeletionStyleFromVersion(context.system.GetVersion()));
    KeyHandle key(context.registry);
    long status = keys.OpenKeyByName(root, subkey, key.Put());
    if (status != kSuccess) {
        context.err << "tarnwick-cli: cannot open " << rest[0] << " (error " << status << ")\n";
        return kExitFailed;
    }
    ValueListing listing = HasFlag(flags, "--sorted") ? ListKeyValuesSorted(context.registry, key.get(), context.system)
                                                      : ListKeyValues(context.registry, key.get(), context.system);
    bool json = HasFlag(flags, "--json");
    for (const ValueEntry& e : listing) {
        if (json) {
            context.out << JsonObject(context.system)
                               .Text("name", e.name)
                               .Number("type", e.type)
                               .Text("typeName", TypeNameFromCode(e.type))
                               .Text("text", e.text)
                               .str()
                        << "\n";
        } else {
            context.out << e.name << "\t" << TypeNameFromCode(e.type) << " (" << e.type << ")\t" << e.text << "\n";
        }
    }
    return kExitOk;
}

}  // namespace tw::cli
