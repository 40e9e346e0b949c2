#include "backup/backup_restore.h"
#include "backup/repair_backup_file.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

const char* const kFile = "C:\\b.reg";

std::string SmallBackup()
{
    std::string bytes;
    AppendU32(bytes, 0x80000001u);
    AppendText(bytes, "Software\\Cut");
    AppendU32(bytes, 2);
    AppendText(bytes, "a");
    AppendU32(bytes, kRegSz);
    AppendText(bytes, std::string("1\0", 2));
    AppendText(bytes, "b");
    AppendU32(bytes, kRegBinary);
    AppendText(bytes, "\x01\x02");
    AppendU32(bytes, 1);
    AppendText(bytes, "Sub");
    AppendU32(bytes, 1);
    AppendText(bytes, "c");
    AppendU32(bytes, kRegDword);
    AppendText(bytes, std::string("\3\0\0\0", 4));
    AppendU32(bytes, 0);
    return bytes;
}

TEST(DamagedBackup, ACutAnywhereRestoresNothingPastItAndIsReported)
{
    std::string whole = SmallBackup();
    ScratchMachine machine;
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        MemoryRegistry registry;
        machine.dir.WriteFile(kFile, whole.substr(0, cut));
        BackupListing listing = ListRepairBackupItems(machine.system, kFile);
        RestoreOutcome outcome = RestoreRepairBackup(registry, machine.system, kFile, {});
        bool complete = cut == 0 || cut == whole.size();
        EXPECT_EQ(complete, listing.complete);
        EXPECT_EQ(complete, outcome.restored);
        EXPECT_EQ(complete ? "Backup restored!" : "Backup was not restored!", outcome.messages.back());
        // Whatever was restored is a prefix of the file's rows: "c" needs everything before it.
        Bytes data;
        bool haveC = GetValue(registry, kCurrentUser, "Software\\Cut\\Sub", "c", nullptr, &data);
        EXPECT_EQ(cut >= whole.size() - 4, haveC);
        if (GetValue(registry, kCurrentUser, "Software\\Cut", "b", nullptr, &data)) {
            EXPECT_EQ(B({1, 2}), data);
        }
    }
}

TEST(DamagedBackup, LengthsThatDoNotFitEndTheFile)
{
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string hugePath, hugeValues, hugeData, badRoot, hugeSubkeys;
    AppendU32(hugePath, 0x80000001u);
    AppendU32(hugePath, 0xFFFFFFF0u);
    hugePath += "abc";
    AppendU32(hugeValues, 0x80000002u);
    AppendText(hugeValues, "K");
    AppendU32(hugeValues, 0xFFFFFFFFu);
    AppendU32(hugeData, 0x80000002u);
    AppendText(hugeData, "K");
    AppendU32(hugeData, 1);
    AppendText(hugeData, "v");
    AppendU32(hugeData, kRegBinary);
    AppendU32(hugeData, 0x7FFFFFFFu);
    AppendU32(badRoot, 0x80000004u);
    AppendText(badRoot, "K");
    AppendU32(badRoot, 0);
    AppendU32(badRoot, 0);
    AppendU32(hugeSubkeys, 0x80000002u);
    AppendText(hugeSubkeys, "K");
    AppendU32(hugeSubkeys, 0);
    AppendU32(hugeSubkeys, 0xFFFFFFFFu);
    for (int i = 0; i < 1000; ++i) {
        AppendText(hugeSubkeys, "s");
        AppendU32(hugeSubkeys, 0);
        AppendU32(hugeSubkeys, 1);
    }
    const Case cases[] = {{"path length", hugePath},
                          {"value count", hugeValues},
                          {"data length", hugeData},
                          {"unknown root code", badRoot},
                          {"subkey counts nested a thousand deep", hugeSubkeys}};
    ScratchMachine machine;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryRegistry registry;
        machine.dir.WriteFile(kFile, c.bytes);
        EXPECT_FALSE(ListRepairBackupItems(machine.system, kFile).complete);
        EXPECT_FALSE(RestoreRepairBackup(registry, machine.system, kFile, {}).restored);
        EXPECT_EQ(0u, registry.OpenHandleCount());
    }
}

TEST(DamagedBackup, AMissingFileIsReportedByName)
{
    ScratchMachine machine;
    MemoryRegistry registry;
    BackupListing listing = ListRepairBackupItems(machine.system, "C:\\none.reg");
    EXPECT_FALSE(listing.opened);
    EXPECT_EQ(std::vector<std::string>{"Backup file not found: C:\\none.reg."}, listing.messages);
    EXPECT_EQ((std::vector<std::string>{"Backup file not found: C:\\none.reg.", "Backup was not restored!"}),
              RestoreRepairBackup(registry, machine.system, "C:\\none.reg", {}).messages);
}

TEST(DamagedBackup, AKeyThatCannotBeCreatedIsReportedWithItsCode)
{
    ScratchMachine machine;
    MemoryRegistry registry;
    machine.dir.WriteFile(kFile, SmallBackup());
    registry.InjectFault(RegOp::CreateKey, 1, kErrorAccessDenied);
    RestoreOutcome outcome = RestoreRepairBackup(registry, machine.system, kFile, {});
    EXPECT_FALSE(outcome.restored);
    EXPECT_EQ((std::vector<std::string>{"Can't create key. Error code = 5. 80000001 Software\\Cut",
                                        "Backup was not restored!"}),
              outcome.messages);
}

// A crafted file of one long key path with a great many empty values: every row names the
// path, so listing them all would take thousands of times the file's size. The listing
// keeps within its budget, says how many rows it left out, and is not complete.
TEST(DamagedBackup, AListingStaysWithinABudgetInProportionToTheFile)
{
    const std::string path = "Software\\" + std::string(60000, 'k');
    const std::uint32_t values = 60000;
    std::string bytes;
    AppendU32(bytes, 0x80000001u);
    AppendText(bytes, path);
    AppendU32(bytes, values);
    for (std::uint32_t i = 0; i < values; ++i) {
        AppendText(bytes, "");
        AppendU32(bytes, kRegBinary);
        AppendText(bytes, "");
    }
    AppendU32(bytes, 0);
    ScratchMachine machine;
    machine.dir.WriteFile(kFile, bytes);

    BackupListing listing = ListRepairBackupItems(machine.system, kFile);
    EXPECT_TRUE(listing.opened);
    EXPECT_FALSE(listing.complete);
    EXPECT_FALSE(listing.damaged) << "the file is whole";
    EXPECT_EQ(std::size_t(values) + 1 - listing.items.size(), listing.rowsLeftOut);
    std::size_t kept = 0;
    for (const BackupItem& item : listing.items)
        kept += item.path.size() + item.name.size() + item.data.size();
    EXPECT_LE(kept, kListingBaseBytes + kListingBytesPerFileByte * bytes.size());
    ASSERT_GT(listing.items.size(), 1u);
    EXPECT_LT(listing.items.size(), std::size_t(values));
    EXPECT_EQ("HKEY_CURRENT_USER\\" + path, listing.items[0].path);
    EXPECT_EQ("HKEY_CURRENT_USER\\" + path + " []", listing.items[1].path);
    ASSERT_EQ(1u, listing.messages.size());
    EXPECT_EQ("The backup holds more rows than can be listed: " + std::to_string(values + 1 - listing.items.size()) +
                  " rows are left out.",
              listing.messages[0]);
}

// Deeply nested keys: each row's path is built from its parent's, never kept per level.
TEST(DamagedBackup, DeepKeysAreListedWithTheirWholePaths)
{
    const int depth = 3000;
    std::string bytes;
    AppendU32(bytes, 0x80000001u);
    AppendText(bytes, "Software");
    for (int i = 0; i < depth; ++i) {
        AppendU32(bytes, 0);  // no values
        AppendU32(bytes, 1);  // one subkey
        AppendText(bytes, "d");
    }
    AppendU32(bytes, 1);
    AppendText(bytes, "v");
    AppendU32(bytes, kRegSz);
    AppendText(bytes, std::string("1\0", 2));
    AppendU32(bytes, 0);
    ScratchMachine machine;
    machine.dir.WriteFile(kFile, bytes);

    BackupListing listing = ListRepairBackupItems(machine.system, kFile);
    EXPECT_TRUE(listing.complete);
    ASSERT_EQ(std::size_t(depth) + 2, listing.items.size());
    std::string deepest = "HKEY_CURRENT_USER\\Software";
    for (int i = 0; i < depth; ++i)
        deepest += "\\d";
    EXPECT_EQ(deepest, listing.items[depth].path);
    EXPECT_EQ(deepest + " [v]", listing.items[depth + 1].path);
}

}  // namespace
}  // namespace tw::test
