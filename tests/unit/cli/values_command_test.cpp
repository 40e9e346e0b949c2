#include "cli/cli.h"

#include "platform/memory/memory_system.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tw::test {
namespace {

struct CliRun {
    int status;
    std::string out, err;
};

class ValuesCommand : public ::testing::Test {
protected:
    CliRun Run(cli::Arguments args)
    {
        std::ostringstream out, err;
        cli::Context context{registry, system, out, err};
        int status = cli::Run(context, args);
        return {status, out.str(), err.str()};
    }
    MemoryRegistry registry;
    MemorySystem system;
};

TEST_F(ValuesCommand, JsonGivesOneObjectPerValueInUtf8)
{
    SetValue(registry, kCurrentUser, "Software\\Demo", nullptr, kRegSz, Str("caf\xc3\xa9 \"quoted\""));
    SetValue(registry, kCurrentUser, "Software\\Demo", "Count", kRegDword, B({10, 0, 0, 0}));
    SetValue(registry, kCurrentUser, "Software\\Demo", "List", kRegMultiSz, B({'a', 0, 'b', 0, 0}));
    CliRun r = Run({"values", "HKEY_CURRENT_USER\\Software\\Demo", "--json"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("", r.err);
    EXPECT_EQ("{\"name\":\"(Default)\",\"type\":1,\"typeName\":\"REG_SZ\",\"text\":\"caf\xc3\xa9 \\\"quoted\\\"\"}\n"
              "{\"name\":\"Count\",\"type\":4,\"typeName\":\"REG_DWORD\",\"text\":\"0x0000000a (10)\"}\n"
              "{\"name\":\"List\",\"type\":7,\"typeName\":\"REG_MULTI_SZ\",\"text\":\"a\\r\\nb\"}\n",
              r.out);
}

TEST_F(ValuesCommand, PlainTextAndSortedListing)
{
    SetValue(registry, kLocalMachine, "K", "b", kRegBinary, B({1, 2}));
    SetValue(registry, kLocalMachine, "K", "A", kRegSz, Str("x"));
    CliRun r = Run({"values", "hkey_local_machine\\K", "--sorted"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("(Default)\tREG_SZ (1)\t(value not set)\nA\tREG_SZ (1)\tx\nb\tREG_BINARY (3)\t01 02\n", r.out);
}

TEST_F(ValuesCommand, AKeyThatDoesNotOpenFailsWithStatusOne)
{
    CliRun r = Run({"values", "HKEY_CURRENT_USER\\Software\\Missing"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("tarnwick-cli: cannot open HKEY_CURRENT_USER\\Software\\Missing (error 2)\n", r.err);
    EXPECT_EQ(1, Run({"values", "HKEY_DYN_DATA\\x"}).status);
}

TEST_F(ValuesCommand, UsageErrorsGiveStatusTwoAndTheUsage)
{
    for (cli::Arguments args : std::vector<cli::Arguments>{
             {}, {"nonsense"}, {"values"}, {"values", "a", "b"}, {"values", "HKEY_USERS", "--bogus"}}) {
        CliRun r = Run(args);
        EXPECT_EQ(2, r.status);
        EXPECT_EQ("", r.out);
        EXPECT_NE(std::string::npos, r.err.find("usage: tarnwick-cli")) << r.err;
    }
    CliRun help = Run({"--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_NE(std::string::npos, help.out.find("tarnwick-cli values KEYPATH"));
}

}  // namespace
}  // namespace tw::test
