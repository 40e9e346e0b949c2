#include "cli/cli.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tw::test {
namespace {

class RepairCommand : public ::testing::Test {
protected:
    struct Result {
        int status;
        std::string out, err;
    };
    Result Run(cli::Arguments args)
    {
        std::ostringstream out, err;
        cli::Context context{registry, machine.system, out, err};
        int status = cli::Run(context, args);
        return {status, out.str(), err.str()};
    }
    MemoryRegistry registry;
    ScratchMachine machine;
};

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

}  // namespace
}  // namespace tw::test
