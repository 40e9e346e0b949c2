#include "backup/backup_messages.h"
#include "backup/backup_restore.h"
#include "backup/repair_backup.h"
#include "backup/repair_backup_file.h"
#include "log/activity_log.h"
#include "registry/key_path.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"
#include "unit/backup/backup_test_support.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

const char* const kFolder = "C:\\Program Files\\Tarnwick";
const char* const kFile = "C:\\Program Files\\Tarnwick\\b.reg";

class RepairBackupFile : public ::testing::Test {
protected:
    RepairBackupResult Backup(const std::vector<RepairBackupItem>& items)
    {
        return WriteRepairBackupItems(registry, machine.system, log, kFolder, items);
    }
    std::string FileBytes(const RepairBackupResult& r) { return machine.dir.ReadFile(r.path); }
    void WriteFile(const std::string& bytes) { machine.dir.WriteFile(kFile, bytes); }

    MemoryRegistry registry;
    ScratchMachine machine;
    ActivityLog log{machine.system};
};

TEST_F(RepairBackupFile, ValueAndKeyRecordsFollowTheFormatByteForByte)
{
    SetValue(registry, kCurrentUser, "Software\\K", "v", kRegDword, B({1, 0, 0, 0}));
    SetValue(registry, kCurrentUser, "Software\\K", "w", kRegSz, Str("x"));
    SetValue(registry, kCurrentUser, "Software\\K\\S", nullptr, kRegSz, Str("d"));
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
    RepairBackupResult r = Backup({{"HKEY_CURRENT_USER\\Software\\K", "VAL", "w"},
                                   {"HKEY_CURRENT_USER\\Software\\K", "VAL", "gone"},
                                   {"HKEY_CURRENT_USER\\Software\\K", "KEY", ""}});
    ASSERT_EQ(RepairBackupResult::Status::Written, r.status);
    EXPECT_EQ("C:\\Program Files\\Tarnwick\\Registry Backups\\2005-03-07_14-05-09.reg", r.path);
    EXPECT_EQ((std::vector<bool>{true, false, true}), r.saved);

    std::string expected;
    AppendU32(expected, 0x80000001u);
    AppendText(expected, "Software\\K");
    AppendU32(expected, 1);
    AppendText(expected, "w");
    AppendU32(expected, kRegSz);
    AppendText(expected, std::string("x\0", 2));
    AppendU32(expected, 0);
    // The vanished value: its key with no value and no subkey.
    AppendU32(expected, 0x80000001u);
    AppendText(expected, "Software\\K");
    AppendU32(expected, 0);
    AppendU32(expected, 0);
    // The whole key.
    AppendU32(expected, 0x80000001u);
    AppendText(expected, "Software\\K");
    AppendU32(expected, 2);
    AppendText(expected, "v");
    AppendU32(expected, kRegDword);
    AppendText(expected, std::string("\1\0\0\0", 4));
    AppendText(expected, "w");
    AppendU32(expected, kRegSz);
    AppendText(expected, std::string("x\0", 2));
    AppendU32(expected, 1);
    AppendText(expected, "S");
    AppendU32(expected, 1);
    AppendText(expected, "");
    AppendU32(expected, kRegSz);
    AppendText(expected, std::string("d\0", 2));
    AppendU32(expected, 0);
    EXPECT_EQ(expected, FileBytes(r));
}

TEST_F(RepairBackupFile, ItemsThatCannotBeSavedAreMarkedUnsaved)
{
    SetValue(registry, kLocalMachine, "SOFTWARE\\X", "v", kRegSz, Str("x"));
    RepairBackupResult r = Backup({{"", "KEY", ""},
                                   {"HKEY_CURRENT_CONFIG\\Software\\X", "KEY", ""},
                                   {"HKEY_LOCAL_MACHINE\\SOFTWARE\\X", "DEL", ""},
                                   {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Missing", "KEY", ""},
                                   {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "KEY", ""},
                                   {"HKEY_LOCAL_MACHINE", "KEY", ""},
                                   {"hkey_local_machine\\software\\x", "KEY", ""}});
    ASSERT_EQ(RepairBackupResult::Status::Written, r.status);
    EXPECT_EQ((std::vector<bool>{false, false, false, false, false, false, true}), r.saved);
}

TEST_F(RepairBackupFile, NoKeyPathMakesNoFile)
{
    RepairBackupResult r = Backup({{"", "KEY", ""}});
    EXPECT_EQ(RepairBackupResult::Status::NothingToSave, r.status);
    EXPECT_FALSE(machine.dir.Exists("C:\\Program Files\\Tarnwick\\Registry Backups"));
    EXPECT_EQ(RepairBackupResult::Status::NothingToSave, Backup({}).status);
}

TEST_F(RepairBackupFile, ADatedNameThatExistsGetsAFreeVariant)
{
    SetValue(registry, kCurrentUser, "Software\\K", "v", kRegSz, Str("x"));
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
    RepairBackupResult first = Backup({{"HKEY_CURRENT_USER\\Software\\K", "KEY", ""}});
    RepairBackupResult second = Backup({{"HKEY_CURRENT_USER\\Software\\K", "KEY", ""}});
    EXPECT_EQ("C:\\Program Files\\Tarnwick\\Registry Backups\\2005-03-07_14-05-09_2.reg", second.path);
    EXPECT_EQ(FileBytes(first), FileBytes(second));
}

TEST_F(RepairBackupFile, AFolderThatCannotBeMadeFailsTheBackup)
{
    // A file where the folder should be.
    machine.dir.WriteFile("C:\\Program Files\\Tarnwick\\Registry Backups", "x");
    SetValue(registry, kCurrentUser, "Software\\K", "v", kRegSz, Str("x"));
    RepairBackupResult r = Backup({{"HKEY_CURRENT_USER\\Software\\K", "KEY", ""}});
    EXPECT_EQ(RepairBackupResult::Status::Failed, r.status);
    EXPECT_EQ(std::vector<bool>{false}, r.saved);
}

TEST_F(RepairBackupFile, UndoIsExactForEveryKindOfData)
{
    SeedEveryKind(registry, kCurrentUser, "Software\\Undo");
    SetValue(registry, kLocalMachine, "SOFTWARE\\Run", "Prog", kRegSz, Str("c:\\gone.exe"));
    SetValue(registry, kLocalMachine, "SOFTWARE\\Run", "Keep", kRegSz, Str("c:\\here.exe"));
    std::string before = DumpBranch(registry, kCurrentUser, "Software") + DumpBranch(registry, kLocalMachine, "SOFTWARE");
    RepairBackupResult r = Backup({{"HKEY_CURRENT_USER\\Software\\Undo", "KEY", ""},
                                   {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Run", "VAL", "Prog"},
                                   {"HKEY_CURRENT_USER\\Software\\Undo\\Other", "VAL", ""}});
    ASSERT_EQ(RepairBackupResult::Status::Written, r.status);
    KeyOperations keys(registry, DeletionStyle::WindowsNT);
    ASSERT_EQ(kSuccess, keys.DeleteKeyTree("HKEY_CURRENT_USER", "Software\\Undo"));
    ASSERT_EQ(kSuccess, keys.DeleteKeyValue("HKEY_LOCAL_MACHINE", "SOFTWARE\\Run", "Prog"));

    RestoreOutcome restored = RestoreRepairBackup(registry, machine.system, r.path, {});
    EXPECT_TRUE(restored.restored);
    EXPECT_EQ(std::vector<std::string>{"Backup restored!"}, restored.messages);
    EXPECT_EQ(before, DumpBranch(registry, kCurrentUser, "Software") + DumpBranch(registry, kLocalMachine, "SOFTWARE"));
}

TEST_F(RepairBackupFile, AKeyNamedInAnotherCaseComesBackInItsOwnSpelling)
{
    SetValue(registry, kLocalMachine, "SOFTWARE\\App Paths\\Gone.EXE", nullptr, kRegSz, Str("c:\\gone.exe"));
    RepairBackupResult r = Backup({{"HKEY_LOCAL_MACHINE\\software\\app paths\\gone.exe", "KEY", ""}});
    ASSERT_TRUE(r.saved[0]);
    std::string before = DumpBranch(registry, kLocalMachine, "SOFTWARE");
    KeyOperations(registry, DeletionStyle::WindowsNT).DeleteKeyTree("HKEY_LOCAL_MACHINE", "SOFTWARE\\App Paths\\Gone.EXE");
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\software\\app paths\\Gone.EXE",
              ListRepairBackupItems(machine.system, r.path).items.at(0).path);
    RestoreRepairBackup(registry, machine.system, r.path, {});
    EXPECT_EQ(before, DumpBranch(registry, kLocalMachine, "SOFTWARE"));
}

TEST_F(RepairBackupFile, RowsAreNumberedDepthFirstWithTheirPaths)
{
    SetValue(registry, kClassesRoot, "CLSID\\{1}", "v", kRegSz, Str("x"));
    SetValue(registry, kClassesRoot, "CLSID\\{1}\\Sub", nullptr, kRegSz, Str("y"));
    CreateKey(registry, kClassesRoot, "CLSID\\{1}\\Sub\\Deeper");
    SetValue(registry, kClassesRoot, "CLSID\\{1}\\Two", "w", kRegSz, Str("z"));
    RepairBackupResult r = Backup({{"HKEY_CLASSES_ROOT\\CLSID\\{1}", "KEY", ""}});
    BackupListing listing = ListRepairBackupItems(machine.system, r.path);
    ASSERT_TRUE(listing.complete);
    std::vector<std::string> rows;
    for (const BackupItem& item : listing.items)
        rows.push_back(std::string(BackupItemKindText(item.kind)) + " " + item.path);
    EXPECT_EQ((std::vector<std::string>{
                  "Key HKEY_CLASSES_ROOT\\CLSID\\{1}",
                  "Value HKEY_CLASSES_ROOT\\CLSID\\{1} [v]",
                  "Key HKEY_CLASSES_ROOT\\CLSID\\{1}\\Sub",
                  "Value HKEY_CLASSES_ROOT\\CLSID\\{1}\\Sub []",
                  "Key HKEY_CLASSES_ROOT\\CLSID\\{1}\\Sub\\Deeper",
                  "Key HKEY_CLASSES_ROOT\\CLSID\\{1}\\Two",
                  "Value HKEY_CLASSES_ROOT\\CLSID\\{1}\\Two [w]",
              }),
              rows);
}

TEST_F(RepairBackupFile, UntickedRowsAreLeftAlone)
{
    SetValue(registry, kCurrentUser, "Software\\T", "a", kRegSz, Str("1"));
    SetValue(registry, kCurrentUser, "Software\\T\\Sub", "b", kRegSz, Str("2"));
    SetValue(registry, kCurrentUser, "Software\\T\\Sub\\Deep", "c", kRegSz, Str("3"));
    SetValue(registry, kCurrentUser, "Software\\T\\Other", "d", kRegSz, Str("4"));
    RepairBackupResult r = Backup({{"HKEY_CURRENT_USER\\Software\\T", "KEY", ""}});
    // Rows: 0 T, 1 [a], 2 Other, 3 Other [d], 4 Sub, 5 Sub [b], 6 Deep, 7 Deep [c].
    struct Case {
        const char* what;
        std::vector<bool> ticks;
        std::vector<std::string> present, absent;
    };
    const Case cases[] = {
        {"an unticked key row leaves its subtree alone, ticked rows below it included",
         {true, true, true, true, false, true, true, true},
         {"Software\\T", "Software\\T\\Other"},
         {"Software\\T\\Sub"}},
        {"an unticked value row leaves that value alone",
         {true, false, true, true, true, true, true, true},
         {"Software\\T\\Sub\\Deep"},
         {}},
        {"an unticked record key restores nothing of it", {false, true, true, true, true, true, true, true}, {}, {"Software\\T"}},
    };
    KeyOperations keys(registry, DeletionStyle::WindowsNT);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        keys.DeleteKeyTree("HKEY_CURRENT_USER", "Software\\T");
        EXPECT_TRUE(RestoreRepairBackup(registry, machine.system, r.path, c.ticks).restored);
        for (const std::string& p : c.present)
            EXPECT_TRUE(KeyExists(registry, kCurrentUser, p)) << p;
        for (const std::string& p : c.absent)
            EXPECT_FALSE(KeyExists(registry, kCurrentUser, p)) << p;
    }
    // The value case once more, looking at the values themselves.
    keys.DeleteKeyTree("HKEY_CURRENT_USER", "Software\\T");
    RestoreRepairBackup(registry, machine.system, r.path, {true, false, true, true, true, true, true, true});
    Bytes data;
    EXPECT_FALSE(GetValue(registry, kCurrentUser, "Software\\T", "a", nullptr, &data));
    EXPECT_TRUE(GetValue(registry, kCurrentUser, "Software\\T\\Sub\\Deep", "c", nullptr, &data));
}

}  // namespace
}  // namespace tw::test
