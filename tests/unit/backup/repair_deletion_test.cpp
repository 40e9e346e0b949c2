#include "backup/backup_restore.h"
#include "backup/repair_deletion.h"
#include "support/counting_registry.h"
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
    RepairCounts counts = DeleteSavedItems(registry, machine.system, log, items, excluded, backup,
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

// Between the backup and the deletion other programs go on writing. What they add or change
// is not in the backup, so it stays, with the keys above it; everything saved goes.
TEST(RepairDeletion, OnlyWhatTheBackupHoldsIsDeleted)
{
    ScratchMachine machine;
    ActivityLog log(machine.system);
    log.Open();
    MemoryRegistry registry;
    SeedEveryKind(registry, kCurrentUser, "Software\\K");
    SetValue(registry, kCurrentUser, "Software\\Gone", "v", kRegSz, Str("x"));
    SetValue(registry, kCurrentUser, "Software\\Run", "Prog", kRegSz, Str("c:\\gone.exe"));
    SetValue(registry, kCurrentUser, "Software\\Run", "Other", kRegSz, Str("c:\\other.exe"));
    std::vector<RepairBackupItem> items = {{"HKEY_CURRENT_USER\\Software\\K", "KEY", ""},
                                           {"HKEY_CURRENT_USER\\Software\\Gone", "KEY", ""},
                                           {"HKEY_CURRENT_USER\\Software\\Run", "VAL", "Prog"},
                                           {"HKEY_CURRENT_USER\\Software\\Run", "VAL", "Other"}};
    RepairBackupResult backup = WriteRepairBackupItems(registry, machine.system, log, kProgram, items);
    ASSERT_EQ((std::vector<bool>{true, true, true, true}), backup.saved);

    SetValue(registry, kCurrentUser, "Software\\K", "Late", kRegSz, Str("added"));
    SetValue(registry, kCurrentUser, "Software\\K\\A\\B\\New", "n", kRegDword, B({7, 0, 0, 0}));
    SetValue(registry, kCurrentUser, "Software\\K\\Other", "x", kRegSz, Str("changed"));
    SetValue(registry, kCurrentUser, "Software\\Run", "Other", kRegSz, Str("c:\\moved.exe"));
    std::string expected = "[Software\\K]\n"
                           "  \"Late\" type 1 size 6: 61 64 64 65 64 00\n"
                           "[Software\\K\\A]\n"
                           "[Software\\K\\A\\B]\n"
                           "[Software\\K\\A\\B\\New]\n"
                           "  \"n\" type 4 size 4: 07 00 00 00\n"
                           "[Software\\K\\Other]\n"
                           "  \"x\" type 1 size 8: 63 68 61 6e 67 65 64 00\n";

    RepairCounts counts = DeleteSavedItems(registry, machine.system, log, items, {}, backup, {});
    EXPECT_EQ(1, counts.keys);
    EXPECT_EQ(1, counts.values);
    EXPECT_EQ(2, counts.left);
    EXPECT_EQ(expected, DumpBranch(registry, kCurrentUser, "Software\\K"));
    EXPECT_FALSE(KeyExists(registry, kCurrentUser, "Software\\Gone"));
    Bytes data;
    EXPECT_FALSE(GetValue(registry, kCurrentUser, "Software\\Run", "Prog", nullptr, &data));
    ASSERT_TRUE(GetValue(registry, kCurrentUser, "Software\\Run", "Other", nullptr, &data));
    EXPECT_EQ(Str("c:\\moved.exe"), data);
    std::string text = machine.dir.ReadFile(log.path());
    for (const char* line : {"Left in place, as it was added after the backup: HKEY_CURRENT_USER\\Software\\K [Late]",
                             "Left in place, as it was added after the backup: HKEY_CURRENT_USER\\Software\\K\\A\\B\\New",
                             "Left in place, as it changed after the backup: HKEY_CURRENT_USER\\Software\\K\\Other [x]",
                             "Left in place, as it changed after the backup: HKEY_CURRENT_USER\\Software\\Run [Other]"})
        EXPECT_NE(std::string::npos, text.find(line)) << line;

    // The backup gives back everything that went, over what stayed.
    RestoreRepairBackup(registry, machine.system, backup.path, {});
    EXPECT_TRUE(KeyExists(registry, kCurrentUser, "Software\\Gone"));
    EXPECT_TRUE(GetValue(registry, kCurrentUser, "Software\\Run", "Prog", nullptr, &data));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

// Whatever call of the repair fails (the reading, the reading back, the deletion), each item
// gone from the registry is in the backup: restoring it gives back the registry as it was.
// A clean run counts the calls of each operation; then a fault goes to each of them in turn.
TEST(RepairDeletion, EverythingGoneIsInTheBackupUnderFaults)
{
    std::vector<RepairBackupItem> items = {{"HKEY_CURRENT_USER\\Software\\F", "KEY", ""},
                                           {"HKEY_CURRENT_USER\\Software\\G", "VAL", "v"},
                                           {"HKEY_CURRENT_USER\\Software\\G", "VAL", ""}};
    auto seed = [](MemoryRegistry& registry) {
        SeedEveryKind(registry, kCurrentUser, "Software\\F", 2000);
        SetValue(registry, kCurrentUser, "Software\\G", "v", kRegSz, Str("x"));
        SetValue(registry, kCurrentUser, "Software\\G", nullptr, kRegSz, Str("d"));
    };
    std::vector<std::uint64_t> calls(static_cast<std::size_t>(RegOp::Count));
    {
        ScratchMachine machine;
        ActivityLog log(machine.system);
        MemoryRegistry registry;
        seed(registry);
        std::vector<std::uint64_t> start(calls.size());
        for (std::size_t op = 0; op < calls.size(); ++op)
            start[op] = registry.CallCount(RegOp(op));
        RepairBackupResult backup = WriteRepairBackupItems(registry, machine.system, log, kProgram, items);
        ASSERT_EQ((std::vector<bool>{true, true, true}), backup.saved);
        DeleteSavedItems(registry, machine.system, log, items, {}, backup, {});
        for (std::size_t op = 0; op < calls.size(); ++op)
            calls[op] = registry.CallCount(RegOp(op)) - start[op];
    }
    EXPECT_GT(calls[std::size_t(RegOp::QueryValueEx)], 10u);  // every value is read back
    EXPECT_GT(calls[std::size_t(RegOp::QueryValueExW)], 5u);  // and every text in UTF-16
    for (std::size_t op = 0; op < calls.size(); ++op) {
        if (RegOp(op) == RegOp::CloseKey)
            continue;  // nothing can be done about a key that does not close
        for (std::uint64_t nth = 1; nth <= calls[op]; ++nth) {
            SCOPED_TRACE("op " + std::to_string(op) + " call " + std::to_string(nth));
            ScratchMachine machine;
            ActivityLog log(machine.system);
            MemoryRegistry registry;
            seed(registry);
            std::string before = DumpBranch(registry, kCurrentUser, "Software");
            registry.InjectFault(RegOp(op), nth, kErrorAccessDenied);
            RepairBackupResult backup = WriteRepairBackupItems(registry, machine.system, log, kProgram, items);
            DeleteSavedItems(registry, machine.system, log, items, {}, backup, {});
            registry.ClearFaults();
            RestoreRepairBackup(registry, machine.system, backup.path, {});
            EXPECT_EQ(before, DumpBranch(registry, kCurrentUser, "Software"));
            EXPECT_EQ(0u, registry.OpenHandleCount());
        }
    }
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

// A key without subkeys goes with its values in one deletion while it holds nothing else;
// one that was given a value since the backup loses the saved values and keeps the new one.
TEST(RepairDeletion, AKeyOfValuesGoesWholeUnlessItGainedOne)
{
    ScratchMachine machine;
    ActivityLog log(machine.system);
    log.Open();
    MemoryRegistry registry;
    for (const char* key : {"Software\\Whole\\Leaf", "Software\\Grown\\Leaf"}) {
        SetValue(registry, kCurrentUser, key, "a", kRegSz, Str("x"));
        SetValue(registry, kCurrentUser, key, "b", kRegDword, B({1, 0, 0, 0}));
    }
    std::vector<RepairBackupItem> items = {{"HKEY_CURRENT_USER\\Software\\Whole", "KEY", ""},
                                           {"HKEY_CURRENT_USER\\Software\\Grown", "KEY", ""}};
    RepairBackupResult backup = WriteRepairBackupItems(registry, machine.system, log, kProgram, items);
    ASSERT_EQ((std::vector<bool>{true, true}), backup.saved);
    SetValue(registry, kCurrentUser, "Software\\Grown\\Leaf", "late", kRegSz, Str("added"));

    CountingRegistry counting(registry);
    RepairCounts counts = DeleteSavedItems(counting, machine.system, log, items, {}, backup, {});
    EXPECT_EQ(1, counts.keys);
    EXPECT_EQ(1, counts.left);
    EXPECT_FALSE(KeyExists(registry, kCurrentUser, "Software\\Whole"));
    EXPECT_EQ("[Software\\Grown]\n"
              "[Software\\Grown\\Leaf]\n"
              "  \"late\" type 1 size 6: 61 64 64 65 64 00\n",
              DumpBranch(registry, kCurrentUser, "Software\\Grown"));
    // The whole key's values went with it; the grown key's one by one.
    EXPECT_EQ(2u, counting.count(CountingRegistry::kDeleteValue));
    EXPECT_NE(std::string::npos,
              machine.dir.ReadFile(log.path())
                  .find("Left in place, as it was added after the backup: HKEY_CURRENT_USER\\Software\\Grown\\Leaf [late]"));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

}  // namespace
}  // namespace tw::test
