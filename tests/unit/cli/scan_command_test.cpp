#include "cli/cli.h"

#include "platform/forwarding_registry.h"
#include "unit/scan/scan_test_support.h"

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
              "\"valueType\":1,\"deleteType\":\"VAL\",\"description\":\"C:\\\\Gone\\\\run.exe\","
              "\"reason\":\"The program C:\\\\Gone\\\\run.exe started at log-on does not exist.\"}\n"
              "{\"section\":\"Windows Shortcuts\",\"path\":\"C:\\\\Users\\\\gone.lnk\","
              "\"reason\":\"The shortcut's target C:\\\\Gone\\\\x.exe does not exist.\"}\n",
              out.str());
    EXPECT_NE(std::string::npos, err.str().find("Startup Programs\t1\tFinished"));
    EXPECT_NE(std::string::npos, err.str().find("Windows Shortcuts\t1\tFinished"));
    // Written to a file or a pipe, the progress is rows of their own: nothing rewritten in place.
    EXPECT_EQ(std::string::npos, err.str().find('\r'));
}

// On a console the same findings come out; the progress is one line rewritten in place, with
// the finished rows above it, and the line is cleared at the end.
TEST(ScanCommand, OnAConsoleTheProgressIsOneLineClearedAtTheEnd)
{
    ScanMachine s;
    s.Text(kLocalMachine, "Software\\Microsoft\\Windows\\Currentversion\\Run", "Gone", "\"C:\\Gone\\run.exe\" /s");
    std::ostringstream out, err, consoleOut, console;
    cli::Context redirected{s.registry, s.system, out, err};
    EXPECT_EQ(cli::kExitOk, cli::Run(redirected, {"scan", "StartupPrograms", "--json"}));
    cli::Context onConsole{s.registry, s.system, consoleOut, console};
    onConsole.errIsConsole = true;
    EXPECT_EQ(cli::kExitOk, cli::Run(onConsole, {"scan", "StartupPrograms", "--json"}));
    EXPECT_EQ(out.str(), consoleOut.str());
    const std::string shown = console.str();
    EXPECT_NE(std::string::npos, shown.find("\rScanning Startup Programs: ")) << shown;
    EXPECT_NE(std::string::npos, shown.find("Startup Programs\t1\tFinished\n")) << shown;
    // It ends with the line blanked and the cursor at its start: after the last row, nothing
    // but the blanks over what the line showed.
    const std::size_t lastRow = shown.rfind('\n');
    EXPECT_EQ(std::string::npos, shown.find_first_not_of(" \r", lastRow + 1)) << shown.substr(lastRow + 1);
}

TEST(ScanCommand, SaysHowManyFindingsTheIgnoreListLeftOut)
{
    ScanMachine s;
    const std::string run = "Software\\Microsoft\\Windows\\Currentversion\\Run";
    s.Text(kLocalMachine, run, "Gone", "C:\\Gone\\run.exe");
    s.Text(kLocalMachine, run, "Hidden", "C:\\Gone\\hidden.exe");
    std::ostringstream out, err;
    cli::Context context{s.registry, s.system, out, err};
    ASSERT_EQ(cli::kExitOk, cli::Run(context, {"ignore", "add", "HKEY_LOCAL_MACHINE\\" + run, "Hidden"}));
    out.str("");
    EXPECT_EQ(cli::kExitOk, cli::Run(context, {"scan", "StartupPrograms"}));
    EXPECT_EQ("Startup Programs\tHKEY_LOCAL_MACHINE\\" + run + "\tGone\tC:\\Gone\\run.exe\tVAL\tC:\\Gone\\run.exe\n"
              "1 ignored problem was left out.\n",
              out.str());
    out.str("");
    EXPECT_EQ(cli::kExitOk, cli::Run(context, {"scan", "StartupPrograms", "--json"}));
    EXPECT_NE(std::string::npos, out.str().find("\"valueName\":\"Gone\""));
    EXPECT_EQ(std::string::npos, out.str().find("Hidden"));
    EXPECT_NE(std::string::npos, out.str().find("\n{\"ignored\":1}\n"));
    // A list that holds nothing this scan finds still says so.
    out.str("");
    EXPECT_EQ(cli::kExitOk, cli::Run(context, {"scan", "FileAssociations", "--json"}));
    EXPECT_EQ("{\"ignored\":0}\n", out.str());
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

// Signals the stop event of the scanning process at the hundredth subkey the walk asks for.
class StopsHalfWay final : public ForwardingRegistry {
public:
    StopsHalfWay(Registry& inner, System& system) : ForwardingRegistry(inner), system_(system) {}
    long EnumKeyEx(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength, std::uint32_t* reserved,
                   char* keyClass, std::uint32_t* classLength, FileTime* lastWriteTime) override
    {
        if (++calls_ == 100)
            system_.MakeEvent(StopEventName(system_), true, false, nullptr)->Set();
        return ForwardingRegistry::EnumKeyEx(key, index, name, nameLength, reserved, keyClass, classLength,
                                             lastWriteTime);
    }

private:
    System& system_;
    int calls_ = 0;
};

TEST(ScanCommand, AScanStoppedBeforeItFinishedFailsAndSaysSo)
{
    ScanMachine s;
    for (int i = 0; i < 500; ++i)
        s.Text(kLocalMachine, "SOFTWARE\\Big\\K" + std::to_string(i), "P", "C:\\Gone\\" + std::to_string(i) + ".exe");
    StopsHalfWay registry(s.registry, s.system);
    std::ostringstream out, err;
    cli::Context context{registry, s.system, out, err};
    EXPECT_EQ(cli::kExitFailed, cli::Run(context, {"scan", "CompleteRegistryScan"}));
    EXPECT_NE(std::string::npos, err.str().find("tarnwick-cli: the scan was stopped before it finished"));
    EXPECT_EQ(std::string::npos, err.str().find("Finished"));

    // The same scan left alone finishes, and says nothing of a stop.
    std::ostringstream out2, err2;
    cli::Context alone{s.registry, s.system, out2, err2};
    EXPECT_EQ(cli::kExitOk, cli::Run(alone, {"scan", "CompleteRegistryScan"}));
    EXPECT_EQ(std::string::npos, err2.str().find("stopped"));
    EXPECT_GT(out2.str().size(), out.str().size());
}

}  // namespace
}  // namespace tw::test
