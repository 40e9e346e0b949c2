#include "cli/cli.h"

#include "app/wow64_refusal.h"
#include "cli/commands.h"

#include <algorithm>

namespace tw::cli {

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        {"values", "KEYPATH [--sorted] [--json]", RunValues},
        {"startup", "list [--store] [--json] | remove ENTRY... | restore ENTRY...", RunStartup},
        {"bho", "list [--store] [--json] | remove CLASSID... | restore CLASSID...", RunBho},
        {"programs", "list [--store] [--json] | remove ENTRY... | restore ENTRY...", RunPrograms},
        {"version", "FILE [--json]", RunVersion},
        {"snapshot", "write FILE BRANCH... | restore FILE...", RunSnapshot},
        {"scan", "[SECTION...] [--json]", RunScan},
        {"backups", "[--full] [--json]", RunBackups},
        {"backup", "show FILE [--json] | restore FILE [--kept] [--untick ROW...] | remove NAME", RunBackup},
        {"full-backup", "create | restore NAME", RunFullBackup},
        {"repair", "[SECTION...] [--json]", RunRepair},
        {"undo", "", RunUndo},
        {"ignore", "list [--json] | add KEYPATH [VALUENAME] | remove KEYPATH [VALUENAME]", RunIgnore},
    };
    return commands;
}

std::string UsageText()
{
    std::string text = "usage: tarnwick-cli COMMAND [ARGUMENTS]\n";
    for (const Command& c : Commands())
        text += std::string("  tarnwick-cli ") + c.name + " " + c.usage + "\n";
    return text;
}

int UsageError(Context& context, std::string_view message)
{
    if (!message.empty())
        context.err << "tarnwick-cli: " << message << "\n";
    context.err << UsageText();
    return kExitUsage;
}

bool TakeFlags(const Arguments& arguments, std::initializer_list<std::string_view> known,
               std::vector<std::string>* flags, Arguments* rest, std::string* unknown)
{
    for (const std::string& a : arguments) {
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            if (std::find(known.begin(), known.end(), a) == known.end()) {
                *unknown = a;
                return false;
            }
            flags->push_back(a);
        } else {
            rest->push_back(a);
        }
    }
    return true;
}

bool HasFlag(const std::vector<std::string>& flags, std::string_view flag)
{
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

int Run(Context& context, const Arguments& arguments)
{
    if (RefusesToRunHere(context.system)) {
        context.err << kWow64RefusalText << "\n";
        return kExitFailed;
    }
    if (arguments.empty())
        return UsageError(context, "");
    if (arguments[0] == "--help" || arguments[0] == "help") {
        context.out << UsageText();
        return kExitOk;
    }
    for (const Command& c : Commands())
        if (arguments[0] == c.name)
            return c.run(context, Arguments(arguments.begin() + 1, arguments.end()));
    return UsageError(context, "unknown command '" + arguments[0] + "'");
}

}  // namespace tw::cli
