#include "cli/cli.h"

#include "scan_test_support.h"

#include <sstream>

namespace tw::test {
namespace {

TEST(ScanCommand, PrintsTheFindingsOfTheNamedSectionsAsJsonLines)
{
    ScanMachine s;
    s.Text(kLocalMachine, "Software\\Microsoft\\Windows\\Currentversion\\Run", "Gone", "\"C:\\Gone\\run.exe\" /s");
    s.Key(kClassesRoot, ".zzz");  // a file association problem, not asked for
    s.dir.WriteFile("C:\\Users\\gone.lnk", AsText(LinkFileBytes("C:\\Gone\\x.exe")));
    std::ostringstream out, err;
    cli::Context context{s.registry, s.system, out, err};
    EXPECT_EQ(cli::kExitOk, cli::Run(context, {"scan", "startupprograms", "SHORTCUTS", "--json"}));
    EXPECT_EQ("{\"section\":\"Startup Programs\",\"keyPath\":\"HKEY_LOCAL_MACHINE\\\\Software\\\\Microsoft\\\\Windows\\\\"
              "Currentversion\\\\Run\",\"valueName\":\"Gone\",\"valueText\":\"\\\"C:\\\\Gone\\\\run.exe\\\" /s\","
              "\"valueType\":1,\"deleteType\":\"VAL\",\"description\":\"C:\\\\Gone\\\\run.exe\"}\n"
              "{\"section\":\"Windows Shortcuts\",\"path\":\"C:\\\\Users\\\\gone.lnk\"}\n",
              out.str());
    EXPECT_NE(std::string::npos, err.str().find("Startup Programs\t1\tFinished"));
    EXPECT_NE(std::string::npos, err.str().find("Windows Shortcuts\t1\tFinished"));
}

TEST(ScanCommand, UnknownSectionsAndOptionsAreUsageErrors)
{
    ScanMachine s;
    std::ostringstream out, err;
    cli::Context context{s.registry, s.system, out, err};
    EXPECT_EQ(cli::kExitUsage, cli::Run(context, {"scan", "Everything"}));
    EXPECT_EQ(cli::kExitUsage, cli::Run(context, {"scan", "--fast"}));
    EXPECT_TRUE(out.str().empty());
}

}  // namespace
}  // namespace tw::test
