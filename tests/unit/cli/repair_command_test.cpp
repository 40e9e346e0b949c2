#include "cli/cli.h"
#include "unit/cli/cli_run.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tw::test {
namespace {

class RepairCommand : public ::testing::Test {
protected:
    using Result = CliResult;
    Result Run(cli::Arguments args) { return RunCli(registry, machine.system, std::move(args)); }
    MemoryRegistry registry;
    ScratchMachine machine;
};

TEST_F(RepairCommand, AnIgnoredEntryIsNeverRepaired)
{
    const std::string appPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
    SetValue(registry, kLocalMachine, appPaths + "\\Gone.exe", nullptr, kRegSz, Str("C:\\Tools\\gone.exe"));
    SetValue(registry, kLocalMachine, appPaths + "\\Kept.exe", nullptr, kRegSz, Str("C:\\Tools\\kept.exe"));
    ASSERT_EQ(0, Run({"ignore", "add", "HKEY_LOCAL_MACHINE\\" + appPaths + "\\Kept.exe"}).status);
    Result r = Run({"repair", "ApplicationPaths"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, appPaths + "\\Gone.exe"));
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, appPaths + "\\Kept.exe"));
}

TEST_F(RepairCommand, RepairsTheFindingsAndPrintsTheBackup)
{
    const std::string appPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
    machine.dir.WriteFile("C:\\Tools\\there.exe", "");
    SetValue(registry, kLocalMachine, appPaths + "\\Gone.exe", nullptr, kRegSz, Str("C:\\Tools\\gone.exe"));
    SetValue(registry, kLocalMachine, appPaths + "\\There.exe", nullptr, kRegSz, Str("C:\\Tools\\there.exe"));
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
    Result r = Run({"repair", "ApplicationPaths"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos,
              r.out.find("Backup: C:\\Program Files\\Tarnwick\\Registry Backups\\2005-03-07_14-05-09.reg\n"))
        << r.out;
    EXPECT_NE(std::string::npos, r.out.find("Removed: 1 keys, 0 values, 0 shortcut files\n")) << r.out;
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, appPaths + "\\Gone.exe"));
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, appPaths + "\\There.exe"));

    Result restored = Run({"backup", "restore", "2005-03-07_14-05-09.reg"});
    EXPECT_EQ("Backup restored!\n", restored.out);
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, appPaths + "\\Gone.exe"));
}

TEST_F(RepairCommand, ABackupThatCannotBeWrittenIsAnErrorAndNothingGoes)
{
    const std::string appPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
    SetValue(registry, kLocalMachine, appPaths + "\\Gone.exe", nullptr, kRegSz, Str("C:\\Tools\\gone.exe"));
    machine.dir.WriteFile("C:\\Program Files\\Tarnwick\\Registry Backups", "not a folder");
    Result r = Run({"repair", "ApplicationPaths"});
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.err.find("The registry backup could not be written, so nothing was repaired.")) << r.err;
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, appPaths + "\\Gone.exe"));
    EXPECT_EQ(2, Run({"repair", "NoSuchSection"}).status);
}

// Without the rights a repair needs (a program run without elevation), what the registry
// refuses is named on the error stream and the command fails; the rest is repaired.
TEST_F(RepairCommand, AccessDeniedIsNamedAndFailsTheCommand)
{
    const std::string appPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
    SetValue(registry, kLocalMachine, appPaths + "\\Locked.exe", nullptr, kRegSz, Str("C:\\Tools\\locked.exe"));
    SetValue(registry, kLocalMachine, appPaths + "\\Deep.exe", nullptr, kRegSz, Str("C:\\Tools\\deep.exe"));
    CreateKey(registry, kLocalMachine, appPaths + "\\Deep.exe\\Sub");
    SetValue(registry, kLocalMachine, appPaths + "\\Gone.exe", nullptr, kRegSz, Str("C:\\Tools\\gone.exe"));
    ASSERT_TRUE(registry.RefuseWriteAccess(kLocalMachine, appPaths + "\\Locked.exe"));
    ASSERT_TRUE(registry.RefuseWriteAccess(kLocalMachine, appPaths + "\\Deep.exe\\Sub"));
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});

    Result r = Run({"repair", "ApplicationPaths"});
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.err.find("tarnwick-cli: access denied: HKEY_LOCAL_MACHINE\\" + appPaths +
                                            "\\locked.exe (not saved, not repaired)\n"))
        << r.err;
    EXPECT_NE(std::string::npos, r.err.find("tarnwick-cli: access denied: HKEY_LOCAL_MACHINE\\" + appPaths +
                                            "\\deep.exe\\Sub (left in place)\n"))
        << r.err;
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, appPaths + "\\Gone.exe"));
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, appPaths + "\\Locked.exe"));
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, appPaths + "\\Deep.exe\\Sub"));
    EXPECT_NE(std::string::npos, r.out.find("Left in place: 2\n")) << r.out;
    // How many were left, and which log names them.
    EXPECT_NE(std::string::npos, r.err.find("tarnwick-cli: 2 of the ticked items were left in place")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("The activity log names each one:\nC:\\Program Files\\Tarnwick\\Log\\log_"))
        << r.err;

    // A restore whose values the registry refuses says which, and is not reported as done.
    registry.InjectFault(RegOp::SetValueEx, 1, kErrorAccessDenied);
    Result restored = Run({"backup", "restore", "2005-03-07_14-05-09.reg"});
    EXPECT_EQ(1, restored.status);
    EXPECT_NE(std::string::npos, restored.err.find("tarnwick-cli: cannot write HKEY_LOCAL_MACHINE\\")) << restored.err;
    EXPECT_NE(std::string::npos, restored.err.find("Backup was not restored!\n")) << restored.err;
    EXPECT_EQ("", restored.out);
}

// After the repair the same sections are scanned again: what the repair left behind is
// counted and named, and not repaired.
TEST_F(RepairCommand, TheSecondLookNamesWhatTheRepairLeftBehind)
{
    SetValue(registry, kClassesRoot, ".alias", nullptr, kRegSz, Str(".def"));
    SetValue(registry, kClassesRoot, ".def", nullptr, kRegSz, Str("deffile"));
    SetValue(registry, kClassesRoot, "deffile\\shell\\open\\command", nullptr, kRegSz,
             Str("\"C:\\Apps\\gone.exe\" \"%1\""));
    Result r = Run({"repair", "FileAssociations"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("Removed: 1 keys, 0 values, 0 shortcut files\nNew problems: 1\n"
                                            "New: File Associations\tHKEY_CLASSES_ROOT\\.alias [(Default)]\n"))
        << r.out;
    EXPECT_TRUE(KeyExists(registry, kClassesRoot, ".alias"));

    Result json = Run({"repair", "FileAssociations", "--json"});
    EXPECT_EQ(0, json.status) << json.err;
    EXPECT_NE(std::string::npos, json.out.find("\"removedKeys\":1")) << json.out;
    EXPECT_NE(std::string::npos, json.out.find("\"newProblems\":0}")) << json.out;
    EXPECT_NE(std::string::npos, json.out.find("\"problems\":1,")) << json.out;
    EXPECT_FALSE(KeyExists(registry, kClassesRoot, ".alias"));
}

TEST_F(RepairCommand, TheJsonSummaryListsEachNewProblem)
{
    SetValue(registry, kClassesRoot, ".alias", nullptr, kRegSz, Str(".def"));
    SetValue(registry, kClassesRoot, ".def", nullptr, kRegSz, Str("deffile"));
    SetValue(registry, kClassesRoot, "deffile\\shell\\open\\command", nullptr, kRegSz,
             Str("\"C:\\Apps\\gone.exe\" \"%1\""));
    Result r = Run({"repair", "FileAssociations", "--json"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("\"newProblems\":1}\n")) << r.out;
    EXPECT_NE(std::string::npos,
              r.out.find("{\"newProblem\":\"HKEY_CLASSES_ROOT\\\\.alias\",\"section\":\"File Associations\",\"value\":"))
        << r.out;
}

}  // namespace
}  // namespace tw::test
