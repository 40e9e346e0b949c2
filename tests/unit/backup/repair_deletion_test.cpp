#include "backup/backup_restore.h"
#include "backup/repair_deletion.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"
#include "unit/backup/backup_test_support.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

const char* const kProgram = "C:\\Program Files\\Tarnwick";

TEST(RepairDeletion, JournalName)
{
    EXPECT_EQ("FixedOnMondayMarch072005140509.xml", RepairJournalName({2005, 3, 0, 7, 14, 5, 9, 0}));
}

TEST(RepairDeletion, OnlyTickedItemsSavedCompleteAreDeleted)
{
    ScratchMachine machine;
    ActivityLog log(machine.system);
    MemoryRegistry registry;
    SetValue(registry, kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe", nullptr,
             kRegSz, Str("c:\\gone.exe"));
    SetValue(registry, kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\kept.exe", nullptr,
             kRegSz, Str("c:\\kept.exe"));
    SetValue(registry, kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Prog", kRegSz, Str("x"));
    SetValue(registry, kCurrentUser, "Software\\D", nullptr, kRegSz, Str("unnamed"));
    const std::string appPaths = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
    std::vector<RepairBackupItem> items = {
        {appPaths + "\\gone.exe", "KEY", ""},
        {appPaths + "\\kept.exe", "KEY", ""},  // excluded
        {appPaths, "KEY", ""},                 // a wrong path naming the container
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "VAL", "Prog"},
        {"HKEY_CURRENT_USER\\Software\\D", "VAL", ""},
        {"HKEY_CURRENT_CONFIG\\Software\\D", "KEY", ""},  // not one of the four roots
    };
    std::vector<bool> excluded = {false, true, false, false, false, false};
    RepairBackupResult backup = WriteRepairBackupItems(registry, machine.system, log, kProgram, items);
    ASSERT_EQ(RepairBackupResult::Status::Written, backup.status);
    std::vector<std::string> journal;
    KeyOperations keys(registry, DeletionStyle::WindowsNT);
    RepairCounts counts = DeleteSavedItems(keys, log, items, excluded, backup.saved,
                                           [&](const RepairBackupItem& item) { journal.push_back(item.keyPath); });
    EXPECT_EQ(1, counts.keys);
    EXPECT_EQ(2, counts.values);
    EXPECT_EQ(2, counts.left);
    EXPECT_EQ(3u, journal.size());
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe"));
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\kept.exe"));
    Bytes data;
    EXPECT_FALSE(GetValue(registry, kCurrentUser, "Software\\D", "", nullptr, &data));
    // The excluded item is in the backup all the same.
    BackupListing listing = ListRepairBackupItems(machine.system, backup.path);
    int keptRows = 0;
    for (const BackupItem& item : listing.items)
        keptRows += item.path == appPaths + "\\kept.exe";
    EXPECT_EQ(1, keptRows);
}

// Whatever fails while the backup is made or the items are deleted, each item gone from the
// registry is in the backup: restoring it gives back the registry as it was.
TEST(RepairDeletion, EverythingGoneIsInTheBackupUnderFaults)
{
    struct Fault {
        RegOp op;
        int calls;
    };
    const Fault faults[] = {{RegOp::OpenKeyEx, 30}, {RegOp::EnumKeyEx, 40}, {RegOp::EnumValue, 40},
                            {RegOp::QueryInfoKey, 30}, {RegOp::DeleteKey, 12}, {RegOp::DeleteValue, 4},
                            {RegOp::OpenKey, 20}};
    std::vector<RepairBackupItem> items = {{"HKEY_CURRENT_USER\\Software\\F", "KEY", ""},
                                           {"HKEY_CURRENT_USER\\Software\\G", "VAL", "v"},
                                           {"HKEY_CURRENT_USER\\Software\\G", "VAL", ""}};
    for (const Fault& f : faults) {
        for (int nth = 1; nth <= f.calls; ++nth) {
            SCOPED_TRACE("op " + std::to_string(int(f.op)) + " call " + std::to_string(nth));
            ScratchMachine machine;
            ActivityLog log(machine.system);
            MemoryRegistry registry;
            SeedEveryKind(registry, kCurrentUser, "Software\\F", 2000);
            SetValue(registry, kCurrentUser, "Software\\G", "v", kRegSz, Str("x"));
            SetValue(registry, kCurrentUser, "Software\\G", nullptr, kRegSz, Str("d"));
            std::string before = DumpBranch(registry, kCurrentUser, "Software");
            registry.InjectFault(f.op, std::uint64_t(nth), kErrorAccessDenied);
            RepairBackupResult backup = WriteRepairBackupItems(registry, machine.system, log, kProgram, items);
            KeyOperations keys(registry, DeletionStyle::WindowsNT);
            DeleteSavedItems(keys, log, items, {}, backup.saved, {});
            registry.ClearFaults();
            RestoreRepairBackup(registry, machine.system, backup.path, {});
            EXPECT_EQ(before, DumpBranch(registry, kCurrentUser, "Software"));
            EXPECT_EQ(0u, registry.OpenHandleCount());
        }
    }
}

}  // namespace
}  // namespace tw::test
