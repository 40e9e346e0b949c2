// tarnwick-cli: the console companion over the same core as the program, for scripts, the
// end-to-end tests and the benchmarks. Each command is a function over the platform
// interfaces, so the commands run natively on the memory platform too.
#pragma once

#include "platform/registry.h"
#include "platform/system.h"

#include <ostream>
#include <string>
#include <vector>

namespace tw::cli {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Context {
    Registry& registry;
    System& system;
    std::ostream& out;
    std::ostream& err;
    // Standard error is a console: the long commands show their progress on one line there.
    // A file or a pipe gets nothing of it.
    bool errIsConsole = false;
};

using Arguments = std::vector<std::string>;

// Runs one command line (without the program name); returns the exit status.
int Run(Context& context, const Arguments& arguments);

// The usage text printed for a usage error.
std::string UsageText();

}  // namespace tw::cli
