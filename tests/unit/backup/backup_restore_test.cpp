// A restore over values that hold other data now saves them first into a backup of their own,
// listed like any other, so that the restore can be undone as well.
#include "backup/backup_restore.h"
#include "backup/repair_backup.h"
#include "registry/key_path.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tw::test {
namespace {

const char* const kFolder = "C:\\Program Files\\Tarnwick";

class RestoreOverwrites : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetValue(registry, kCurrentUser, "Software\\K", "v", kRegSz, Str("old"));
        SetValue(registry, kCurrentUser, "Software\\K", "w", kRegDword, B({1, 0, 0, 0}));
        SetValue(registry, kCurrentUser, "Software\\K", "x", kRegSz, Str("gone later"));
        machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
        RepairBackupResult r =
            WriteRepairBackupItems(registry, machine.system, log, kFolder, {{"HKEY_CURRENT_USER\\Software\\K", "KEY", ""}});
        ASSERT_EQ(RepairBackupResult::Status::Written, r.status);
        backup = r.path;
        // Since the backup: one value changed, one gone, one as it was.
        SetValue(registry, kCurrentUser, "Software\\K", "v", kRegExpandSz, Str("changed"));
        KeyOperations(registry, DeletionStyle::WindowsNT).DeleteKeyValue("HKEY_CURRENT_USER", "Software\\K", "x");
        machine.system.SetLocalTime({2005, 3, 1, 7, 14, 6, 0, 0});
    }
    Bytes Data(const char* name, std::uint32_t* type)
    {
        Bytes data;
        EXPECT_TRUE(GetValue(registry, kCurrentUser, "Software\\K", name, type, &data)) << name;
        return data;
    }

    MemoryRegistry registry;
    ScratchMachine machine;
    ActivityLog log{machine.system};
    std::string backup;
};

TEST_F(RestoreOverwrites, WhatARestoreWritesOverIsSavedFirstAndComesBackFromThere)
{
    RestoreOutcome outcome = RestoreRepairBackupKeepingWhatItOverwrites(registry, machine.system, log, kFolder, backup, {});
    EXPECT_TRUE(outcome.restored);
    EXPECT_EQ(1u, outcome.overwritten);
    EXPECT_EQ(std::string(kFolder) + "\\Registry Backups\\2005-03-07_14-06-00.reg", outcome.undoBackupPath);
    EXPECT_EQ((std::vector<std::string>{"1 values held other data and were written over; what they held is saved "
                                        "in the backup 2005-03-07_14-06-00.reg.",
                                        "Backup restored!"}),
              outcome.messages);
    std::uint32_t type = 0;
    EXPECT_EQ(Str("old"), Data("v", &type));
    EXPECT_EQ(kRegSz, type);
    EXPECT_EQ(Str("gone later"), Data("x", &type));

    // The undo backup holds the overwritten value alone, and gives it back.
    BackupListing undo = ListRepairBackupItems(machine.system, outcome.undoBackupPath);
    ASSERT_EQ(2u, undo.items.size());
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\K [v]", undo.items[1].path);
    EXPECT_TRUE(RestoreRepairBackup(registry, machine.system, outcome.undoBackupPath, {}).restored);
    EXPECT_EQ(Str("changed"), Data("v", &type));
    EXPECT_EQ(kRegExpandSz, type);
}

TEST_F(RestoreOverwrites, NothingWrittenOverMakesNoBackupAndUntickedRowsDoNotCount)
{
    // Rows: 0 the key, 1 v, 2 w, 3 x. With v unticked nothing that differs is written.
    RestoreOutcome outcome =
        RestoreRepairBackupKeepingWhatItOverwrites(registry, machine.system, log, kFolder, backup, {true, false});
    EXPECT_TRUE(outcome.restored);
    EXPECT_EQ(0u, outcome.overwritten);
    EXPECT_TRUE(outcome.undoBackupPath.empty());
    EXPECT_EQ(std::vector<std::string>{"Backup restored!"}, outcome.messages);
    EXPECT_EQ(1u, machine.dir.List(std::string(kFolder) + "\\Registry Backups").size());
}

TEST_F(RestoreOverwrites, WhenWhatWouldBeWrittenOverCannotBeSavedNothingIsRestored)
{
    const std::string moved = std::string(kFolder) + "\\kept.reg";
    machine.dir.WriteFile(moved, machine.dir.ReadFile(backup));
    std::filesystem::remove_all(machine.dir.Host(std::string(kFolder) + "\\Registry Backups"));
    machine.dir.WriteFile(std::string(kFolder) + "\\Registry Backups", "a file where the folder should be");
    RestoreOutcome outcome = RestoreRepairBackupKeepingWhatItOverwrites(registry, machine.system, log, kFolder, moved, {});
    EXPECT_FALSE(outcome.restored);
    EXPECT_EQ((std::vector<std::string>{"The values the restore would write over could not be saved first, so "
                                        "nothing was restored.",
                                        "Backup was not restored!"}),
              outcome.messages);
    std::uint32_t type = 0;
    EXPECT_EQ(Str("changed"), Data("v", &type));
    Bytes none;
    EXPECT_FALSE(GetValue(registry, kCurrentUser, "Software\\K", "x", &type, &none));
}

}  // namespace
}  // namespace tw::test
