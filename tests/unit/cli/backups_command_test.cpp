#include "backup/repair_backup.h"
#include "cli/cli.h"
#include "unit/cli/cli_run.h"
#include "log/activity_log.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tw::test {
namespace {

const std::string kBackups = "C:\\Program Files\\Tarnwick\\Registry Backups";

class BackupsCommand : public ::testing::Test {
protected:
    using Result = CliResult;
    Result Run(cli::Arguments args) { return RunCli(registry, machine.system, std::move(args)); }
    std::string MakeBackup()
    {
        SetValue(registry, kCurrentUser, "Software\\C", "v", kRegSz, Str("x"));
        SetValue(registry, kCurrentUser, "Software\\C\\S", "w", kRegDword, B({5, 0, 0, 0}));
        machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
        ActivityLog log(machine.system);
        return WriteRepairBackupItems(registry, machine.system, log, "C:\\Program Files\\Tarnwick",
                                      {{"HKEY_CURRENT_USER\\Software\\C", "KEY", ""}})
            .path;
    }
    MemoryRegistry registry;
    ScratchMachine machine;
};

TEST_F(BackupsCommand, ListsTheCatalogueByKind)
{
    MakeBackup();
    machine.dir.SetFileTime(kBackups + "\\2005-03-07_14-05-09.reg", 1110204309);
    machine.dir.WriteFile(kBackups + "\\FULL 2005-03-08_10-00-00.reg", "");
    machine.dir.SetFileTime(kBackups + "\\FULL 2005-03-08_10-00-00.reg", 1110276000);
    Result r = Run({"backups", "--json"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("{\"name\":\"2005-03-07_14-05-09.reg\",\"path\":\"C:\\\\Program Files\\\\Tarnwick\\\\Registry "
              "Backups\\\\2005-03-07_14-05-09.reg\",\"date\":\"Monday, March 07, 2005, 14:05:09\"}\n",
              r.out);
    Result full = Run({"backups", "--full"});
    EXPECT_EQ("FULL 2005-03-08_10-00-00.reg\tTuesday, March 08, 2005, 10:00:00\t" + kBackups +
                  "\\FULL 2005-03-08_10-00-00.reg\n",
              full.out);
}

TEST_F(BackupsCommand, ShowRestoreAndRemove)
{
    std::string path = MakeBackup();
    Result shown = Run({"backup", "show", "2005-03-07_14-05-09.reg"});
    EXPECT_EQ(0, shown.status);
    EXPECT_EQ("0\tKey\tHKEY_CURRENT_USER\\Software\\C\n"
              "1\tValue\tHKEY_CURRENT_USER\\Software\\C [v]\n"
              "2\tKey\tHKEY_CURRENT_USER\\Software\\C\\S\n"
              "3\tValue\tHKEY_CURRENT_USER\\Software\\C\\S [w]\n",
              shown.out);

    WipeKey(registry, kCurrentUser, "Software\\C");
    Result restored = Run({"backup", "restore", path, "--untick", "2"});
    EXPECT_EQ(0, restored.status);
    EXPECT_EQ("Backup restored!\n", restored.out);
    EXPECT_TRUE(KeyExists(registry, kCurrentUser, "Software\\C"));
    EXPECT_FALSE(KeyExists(registry, kCurrentUser, "Software\\C\\S"));

    EXPECT_EQ(2, Run({"backup", "remove", "..\\x.reg"}).status);
    EXPECT_EQ(0, Run({"backup", "remove", "2005-03-07_14-05-09.reg"}).status);
    EXPECT_FALSE(machine.dir.Exists(path));
    EXPECT_EQ(1, Run({"backup", "remove", "2005-03-07_14-05-09.reg"}).status);
}

TEST_F(BackupsCommand, ADamagedOrMissingFileFailsWithStatusOne)
{
    std::string path = MakeBackup();
    std::string bytes = machine.dir.ReadFile(path);
    machine.dir.WriteFile(path, bytes.substr(0, bytes.size() - 3));
    Result shown = Run({"backup", "show", path});
    EXPECT_EQ(1, shown.status);
    Result restored = Run({"backup", "restore", path});
    EXPECT_EQ(1, restored.status);
    EXPECT_EQ("Backup was not restored!\n", restored.err);
    Result missing = Run({"backup", "restore", "C:\\nowhere.reg"});
    EXPECT_EQ(1, missing.status);
    EXPECT_EQ("Backup file not found: C:\\nowhere.reg.\nBackup was not restored!\n", missing.err);
}

}  // namespace
}  // namespace tw::test
