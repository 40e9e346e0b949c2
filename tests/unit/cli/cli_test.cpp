#include "cli/cli.h"

#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_system.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tw::test {
namespace {

TEST(Cli, The32BitBuildOn64BitWindowsRefusesEveryCommandOnStandardError)
{
    MemoryRegistry registry;
    MemorySystem system;
    system.SetWow64(true);
    SetValue(registry, kCurrentUser, "Software\\Demo", "Name", kRegSz, Str("x"));
    for (const cli::Arguments& arguments : std::vector<cli::Arguments>{
             {"scan", "--json"}, {"values", "HKEY_CURRENT_USER\\Software\\Demo"}, {"--help"}, {}}) {
        std::ostringstream out, err;
        cli::Context context{registry, system, out, err};
        EXPECT_EQ(cli::kExitFailed, cli::Run(context, arguments));
        EXPECT_EQ("", out.str());
        EXPECT_EQ("This copy of Tarnwick is for 32-bit Windows. On 64-bit Windows, use the 64-bit Tarnwick.\n",
                  err.str());
    }

    system.SetWow64(false);
    std::ostringstream out, err;
    cli::Context context{registry, system, out, err};
    EXPECT_EQ(cli::kExitOk, cli::Run(context, {"values", "HKEY_CURRENT_USER\\Software\\Demo"}));
    EXPECT_EQ("", err.str());
}

}  // namespace
}  // namespace tw::test
