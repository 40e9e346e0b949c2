// Runs tarnwick-cli's commands in the test's process, as main() does, and keeps what they
// print and their exit status.
#pragma once

#include "cli/cli.h"

#include <sstream>
#include <string>

namespace tw::test {

struct CliResult {
    int status;
    std::string out, err;
};

inline CliResult RunCli(Registry& registry, System& system, cli::Arguments args)
{
    std::ostringstream out, err;
    cli::Context context{registry, system, out, err};
    int status = cli::Run(context, args);
    return {status, out.str(), err.str()};
}

}  // namespace tw::test
