#include "backup/backup_restore.h"
#include "backup/repair_deletion.h"
#include "platform/forwarding_registry.h"
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
// is not in the backup, so it stays, with the keys above it; everything saved goes. Keys
// written just now are read again value by value; keys written long before the backup are
// known unchanged from their time, so the change must show in that time.
TEST(RepairDeletion, OnlyWhatTheBackupHoldsIsDeleted)
{
    for (bool aged : {false, true}) {
        SCOPED_TRACE(aged ? "keys written an hour before" : "keys written just now");
        ScratchMachine machine;
        ActivityLog log(machine.system);
        log.Open();
        MemoryRegistry registry;
        if (aged)
            registry.SetWriteTime(AnHourAgo());
        SeedEveryKind(registry, kCurrentUser, "Software\\K");
        SetValue(registry, kCurrentUser, "Software\\Gone", "v", kRegSz, Str("x"));
        SetValue(registry, kCurrentUser, "Software\\Run", "Prog", kRegSz, Str("c:\\gone.exe"));
        SetValue(registry, kCurrentUser, "Software\\Run", "Other", kRegSz, Str("c:\\other.exe"));
        registry.SetWriteTime(std::nullopt);
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
}

// Whatever call of the repair fails (the reading, the reading back, the deletion), each item
// gone from the registry is in the backup: restoring it gives back the registry as it was.
// A clean run counts the calls of each operation; then a fault goes to each of them in turn.
TEST(RepairDeletion, EverythingGoneIsInTheBackupUnderFaults)
{
    std::vector<RepairBackupItem> items = {{"HKEY_CURRENT_USER\\Software\\F", "KEY", ""},
                                           {"HKEY_CURRENT_USER\\Software\\G", "VAL", "v"},
                                           {"HKEY_CURRENT_USER\\Software\\G", "VAL", ""}};
    // Keys written just now are read again value by value before they go; keys written long
    // before are not.
    for (bool aged : {false, true}) {
        SCOPED_TRACE(aged ? "keys written an hour before" : "keys written just now");
        auto seed = [aged](MemoryRegistry& registry) {
            if (aged)
                registry.SetWriteTime(AnHourAgo());
            SeedEveryKind(registry, kCurrentUser, "Software\\F", 2000);
            SetValue(registry, kCurrentUser, "Software\\G", "v", kRegSz, Str("x"));
            SetValue(registry, kCurrentUser, "Software\\G", nullptr, kRegSz, Str("d"));
            registry.SetWriteTime(std::nullopt);
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
        // Every value is listed in UTF-16, and so proved without a query of its own; the
        // deletion reads each again, or only the two "VAL" items.
        EXPECT_GT(calls[std::size_t(RegOp::EnumValueW)], 10u);
        EXPECT_EQ(0u, calls[std::size_t(RegOp::QueryValueExW)]);
        if (aged)
            EXPECT_EQ(2u, calls[std::size_t(RegOp::QueryValueEx)]);
        else
            EXPECT_GT(calls[std::size_t(RegOp::QueryValueEx)], 10u);
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

// A key last written long before the backup began is known by its time to be as the backup
// read it: it goes with an open, a query, a close and a deletion, its values not read again.
TEST(RepairDeletion, AKeyUntouchedSinceLongBeforeGoesWithoutItsValuesReadAgain)
{
    ScratchMachine machine;
    ActivityLog log(machine.system);
    MemoryRegistry registry;
    registry.SetWriteTime(AnHourAgo());
    for (int i = 0; i < 10; ++i) {
        const std::string leaf = "Software\\Old\\Leaf " + std::to_string(i);
        SetValue(registry, kCurrentUser, leaf, nullptr, kRegSz, Str("C:\\gone\\tool.exe"));
        SetValue(registry, kCurrentUser, leaf, "Flags", kRegDword, B({1, 2, 3, 4}));
    }
    registry.SetWriteTime(std::nullopt);
    const std::string before = DumpBranch(registry, kCurrentUser, "Software");
    std::vector<RepairBackupItem> items = {{"HKEY_CURRENT_USER\\Software\\Old", "KEY", ""}};
    RepairBackupResult backup = WriteRepairBackupItems(registry, machine.system, log, kProgram, items);
    ASSERT_EQ(std::vector<bool>{true}, backup.saved);

    CountingRegistry counting(registry);
    RepairCounts counts = DeleteSavedItems(counting, machine.system, log, items, {}, backup, {});
    EXPECT_EQ(1, counts.keys);
    EXPECT_FALSE(KeyExists(registry, kCurrentUser, "Software\\Old"));
    EXPECT_EQ(0u, counting.count(CountingRegistry::kQueryValue));
    EXPECT_EQ(0u, counting.count(CountingRegistry::kDeleteValue));
    // Four calls for each leaf; the key above them is queried again once its leaves are gone.
    EXPECT_EQ(11u, counting.count(CountingRegistry::kDeleteKey));
    EXPECT_EQ(4u * 11 + 1, counting.total()) << counting.Summary();

    RestoreRepairBackup(registry, machine.system, backup.path, {});
    EXPECT_EQ(before, DumpBranch(registry, kCurrentUser, "Software"));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

// Windows 95/98/Me cannot delete a key through its handle: each key goes by its name.
TEST(RepairDeletion, KeysGoByNameWhereNoHandleCanDeleteThem)
{
    ScratchMachine machine;
    ActivityLog log(machine.system);
    MemoryRegistry registry(DeletionStyle::Windows9x);
    SeedEveryKind(registry, kCurrentUser, "Software\\K", 300);
    const std::string before = DumpBranch(registry, kCurrentUser, "Software");
    std::vector<RepairBackupItem> items = {{"HKEY_CURRENT_USER\\Software\\K", "KEY", ""}};
    RepairBackupResult backup = WriteRepairBackupItems(registry, machine.system, log, kProgram, items);
    ASSERT_EQ(std::vector<bool>{true}, backup.saved);

    RepairCounts counts = DeleteSavedItems(registry, machine.system, log, items, {}, backup, {});
    EXPECT_EQ(1, counts.keys);
    EXPECT_FALSE(KeyExists(registry, kCurrentUser, "Software\\K"));
    EXPECT_LT(0u, registry.CallCount(RegOp::DeleteKey));
    EXPECT_EQ(registry.CallCount(RegOp::DeleteOpenKey), registry.CallCount(RegOp::DeleteKey));
    RestoreRepairBackup(registry, machine.system, backup.path, {});
    EXPECT_EQ(before, DumpBranch(registry, kCurrentUser, "Software"));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

// A clock set back during a repair: a change then takes a time from before the backup, so
// no time proves a key unchanged, and each value is read again.
class ClockSetBack final : public ForwardingSystem {
public:
    using ForwardingSystem::ForwardingSystem;
    FileTime GetSystemTimeAsFileTime() override
    {
        FileTime now = ForwardingSystem::GetSystemTimeAsFileTime();
        return calls_++ == 0 ? now : AnHourAgo();
    }

private:
    int calls_ = 0;
};

TEST(RepairDeletion, AClockSetBackProvesNoKeyUnchanged)
{
    ScratchMachine machine;
    ClockSetBack system(machine.system);
    ActivityLog log(system);
    log.Open();
    MemoryRegistry registry;
    registry.SetWriteTime(FileTimeFromTicks(FileTimeTicks(AnHourAgo()) - 3600ull * 10000000ull));
    SetValue(registry, kCurrentUser, "Software\\Old\\Leaf", "v", kRegSz, Str("saved"));
    std::vector<RepairBackupItem> items = {{"HKEY_CURRENT_USER\\Software\\Old", "KEY", ""}};
    RepairBackupResult backup = WriteRepairBackupItems(registry, system, log, kProgram, items);
    ASSERT_EQ(std::vector<bool>{true}, backup.saved);
    // Changed on the clock set back: half an hour before the backup, by its time.
    registry.SetWriteTime(FileTimeFromTicks(FileTimeTicks(AnHourAgo()) + 1800ull * 10000000ull));
    SetValue(registry, kCurrentUser, "Software\\Old\\Leaf", "v", kRegSz, Str("changed"));

    RepairCounts counts = DeleteSavedItems(registry, system, log, items, {}, backup, {});
    EXPECT_EQ(0, counts.keys);
    Bytes data;
    ASSERT_TRUE(GetValue(registry, kCurrentUser, "Software\\Old\\Leaf", "v", nullptr, &data));
    EXPECT_EQ(Str("changed"), data);
    EXPECT_NE(std::string::npos,
              machine.dir.ReadFile(log.path())
                  .find("Left in place, as it changed after the backup: HKEY_CURRENT_USER\\Software\\Old\\Leaf [v]"));
}

// Another program makes a subkey in a key just as it is deleted: the deletion is refused, and
// the values known unchanged only by the key's time (which has now moved on) stay with it.
class SubkeyAppearsAtDeletion final : public ForwardingRegistry {
public:
    using ForwardingRegistry::ForwardingRegistry;
    long DeleteOpenKey(HKey key) override
    {
        if (!made_) {
            made_ = true;
            KeyHandle late(*this);
            ForwardingRegistry::CreateKey(key, "Late", late.Put());
        }
        return ForwardingRegistry::DeleteOpenKey(key);
    }

private:
    bool made_ = false;
};

TEST(RepairDeletion, ValuesKnownUnchangedByTimeStayWhenTheKeyChangesAtItsDeletion)
{
    ScratchMachine machine;
    ActivityLog log(machine.system);
    log.Open();
    MemoryRegistry registry;
    registry.SetWriteTime(AnHourAgo());
    SetValue(registry, kCurrentUser, "Software\\Old\\Leaf", "a", kRegSz, Str("x"));
    SetValue(registry, kCurrentUser, "Software\\Old\\Leaf", "b", kRegDword, B({1, 0, 0, 0}));
    registry.SetWriteTime(std::nullopt);
    std::vector<RepairBackupItem> items = {{"HKEY_CURRENT_USER\\Software\\Old", "KEY", ""}};
    RepairBackupResult backup = WriteRepairBackupItems(registry, machine.system, log, kProgram, items);
    ASSERT_EQ(std::vector<bool>{true}, backup.saved);

    SubkeyAppearsAtDeletion racing(registry);
    RepairCounts counts = DeleteSavedItems(racing, machine.system, log, items, {}, backup, {});
    EXPECT_EQ(0, counts.keys);
    EXPECT_EQ("[Software\\Old]\n"
              "[Software\\Old\\Leaf]\n"
              "  \"a\" type 1 size 2: 78 00\n"
              "  \"b\" type 4 size 4: 01 00 00 00\n"
              "[Software\\Old\\Leaf\\Late]\n",
              DumpBranch(registry, kCurrentUser, "Software\\Old"));
    const std::string text = machine.dir.ReadFile(log.path());
    EXPECT_NE(std::string::npos,
              text.find("Left in place, as it changed after the backup: HKEY_CURRENT_USER\\Software\\Old\\Leaf\r\n"));
    EXPECT_NE(std::string::npos,
              text.find("Left in place, as it was added after the backup: HKEY_CURRENT_USER\\Software\\Old\\Leaf\\Late"));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

}  // namespace
}  // namespace tw::test
