// Repair backup and restore against the real registry: what the backup saved and the repair
// deleted comes back byte for byte, every value type, large values and the unnamed value.
#include "backup/backup_restore.h"
#include "backup/repair_deletion.h"
#include "log/activity_log.h"
#include "platform/win32/win32_registry.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"
#include "unit/backup/backup_test_support.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

TEST(BackupUndoWin32, RepairThenRestoreGivesBackTheRegistry)
{
    Win32Registry registry;
    const std::string base = "Software\\TarnwickBackupUndo";
    WipeKey(registry, kCurrentUser, base);
    SeedEveryKind(registry, kCurrentUser, base + "\\Item");
    SetValue(registry, kCurrentUser, base + "\\Run", "Prog", kRegSz, Str("c:\\gone.exe"));
    SetValue(registry, kCurrentUser, base + "\\Run", "Keep", kRegSz, Str("c:\\kept.exe"));
    std::string before = DumpBranch(registry, kCurrentUser, base);

    ScratchMachine machine;
    ActivityLog log(machine.system);
    std::vector<RepairBackupItem> items = {{"HKEY_CURRENT_USER\\" + base + "\\Item", "KEY", ""},
                                           {"HKEY_CURRENT_USER\\" + base + "\\Run", "VAL", "Prog"}};
    RepairBackupResult backup =
        WriteRepairBackupItems(registry, machine.system, log, "C:\\Program Files\\Tarnwick", items);
    ASSERT_EQ(RepairBackupResult::Status::Written, backup.status);
    EXPECT_EQ((std::vector<bool>{true, true}), backup.saved);
    RepairCounts counts = DeleteSavedItems(registry, log, items, {}, backup, {});
    EXPECT_EQ(1, counts.keys);
    EXPECT_EQ(1, counts.values);
    EXPECT_FALSE(KeyExists(registry, kCurrentUser, base + "\\Item"));

    RestoreOutcome outcome = RestoreRepairBackup(registry, machine.system, backup.path, {});
    EXPECT_TRUE(outcome.restored);
    EXPECT_EQ(before, DumpBranch(registry, kCurrentUser, base));
    WipeKey(registry, kCurrentUser, base);
}

}  // namespace
}  // namespace tw::test
