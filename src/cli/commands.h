// The commands of tarnwick-cli, one function each, and what they share.
#pragma once

#include "cli/cli.h"

#include <string_view>

namespace tw::cli {

struct Command {
    const char* name;
    const char* usage;  // the arguments, for the usage text
    int (*run)(Context& context, const Arguments& arguments);
};

// Every command, in the order the usage text lists them.
const std::vector<Command>& Commands();

int RunValues(Context& context, const Arguments& arguments);
int RunStartup(Context& context, const Arguments& arguments);
int RunBho(Context& context, const Arguments& arguments);
int RunPrograms(Context& context, const Arguments& arguments);
int RunVersion(Context& context, const Arguments& arguments);
int RunSnapshot(Context& context, const Arguments& arguments);
int RunScan(Context& context, const Arguments& arguments);
int RunBackups(Context& context, const Arguments& arguments);
int RunBackup(Context& context, const Arguments& arguments);
int RunFullBackup(Context& context, const Arguments& arguments);
int RunRepair(Context& context, const Arguments& arguments);
int RunIgnore(Context& context, const Arguments& arguments);
int RunUndo(Context& context, const Arguments& arguments);

// Splits arguments into flags ("--json") and the rest; false when a flag is not one of
// `known`.
bool TakeFlags(const Arguments& arguments, std::initializer_list<std::string_view> known,
               std::vector<std::string>* flags, Arguments* rest, std::string* unknown);
bool HasFlag(const std::vector<std::string>& flags, std::string_view flag);
int UsageError(Context& context, std::string_view message);

}  // namespace tw::cli
