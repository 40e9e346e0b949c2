#include "backup/backup_messages.h"
#include "backup/backup_restore.h"
#include "backup/repair_backup.h"
#include "backup/repair_backup_file.h"
#include "log/activity_log.h"
#include "platform/forwarding_registry.h"
#include "registry/key_path.h"
#include "support/counting_registry.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"
#include "unit/backup/backup_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

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
    AppendU32(expected, kUtf8TextMark);  // the texts are UTF-8
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

// A file written before the texts were UTF-8 has no mark and holds code page 1252 text (the
// system's code page): its names, paths and strings are read as the characters they were,
// and binary data stays as it is.
TEST_F(RepairBackupFile, AFileOfAnEarlierVersionIsReadInTheSystemCodePage)
{
    std::string bytes;
    AppendU32(bytes, 0x80000001u);
    AppendText(bytes, "Software\\Caf\xE9");
    AppendU32(bytes, 2);
    AppendText(bytes, "N\xE9");
    AppendU32(bytes, kRegExpandSz);
    AppendText(bytes, std::string("\xE9t\xE9\0", 4));
    AppendText(bytes, "Bin");
    AppendU32(bytes, kRegBinary);
    AppendText(bytes, std::string("\xE9\x01", 2));
    AppendU32(bytes, 0);
    WriteFile(bytes);

    std::vector<std::string> paths;
    for (const BackupItem& item : ListRepairBackupItems(machine.system, kFile).items)
        paths.push_back(item.path);
    EXPECT_EQ((std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Caf\xC3\xA9",
                                        "HKEY_CURRENT_USER\\Software\\Caf\xC3\xA9 [N\xC3\xA9]",
                                        "HKEY_CURRENT_USER\\Software\\Caf\xC3\xA9 [Bin]"}),
              paths);
    EXPECT_TRUE(RestoreRepairBackup(registry, machine.system, kFile, {}).restored);
    std::uint32_t type = 0;
    Bytes data;
    ASSERT_TRUE(GetValue(registry, kCurrentUser, "Software\\Caf\xC3\xA9", "N\xC3\xA9", &type, &data));
    EXPECT_EQ(kRegExpandSz, type);
    EXPECT_EQ(Str("\xC3\xA9t\xC3\xA9"), data);
    ASSERT_TRUE(GetValue(registry, kCurrentUser, "Software\\Caf\xC3\xA9", "Bin", &type, &data));
    EXPECT_EQ(B({0xE9, 0x01}), data);
}

// A crafted file of nothing but marks is damaged at its second mark, however many follow:
// the reader walks marks in turn, so the file's length never decides the depth of a call.
TEST_F(RepairBackupFile, AFileOfMarksAloneIsDamagedNotDeep)
{
    std::string bytes;
    AppendU32(bytes, kUtf8TextMark);
    for (int i = 0; i < 300000; ++i)
        AppendU32(bytes, kKeptItemMark);
    WriteFile(bytes);
    BackupListing listing = ListRepairBackupItems(machine.system, kFile);
    EXPECT_TRUE(listing.opened);
    EXPECT_TRUE(listing.damaged);
    EXPECT_TRUE(listing.items.empty());
    EXPECT_FALSE(RestoreRepairBackup(registry, machine.system, kFile, {}).restored);
}

// On a Windows whose process code page is the system's (before UTF-8 process code pages) the
// file is written as earlier versions wrote it, without the mark.
TEST_F(RepairBackupFile, ACodePage1252SystemWritesTheFileWithoutTheMark)
{
    ScopedProcessCodePage legacy(AnsiCodePage::Windows1252);
    SetValue(registry, kCurrentUser, "Software\\K", "v\xE9", kRegSz, Str("\xE9"));
    RepairBackupResult r = Backup({{"HKEY_CURRENT_USER\\Software\\K", "KEY", ""}});
    ASSERT_EQ(RepairBackupResult::Status::Written, r.status);
    std::string expected;
    AppendU32(expected, 0x80000001u);
    AppendText(expected, "Software\\K");
    AppendU32(expected, 1);
    AppendText(expected, "v\xE9");
    AppendU32(expected, kRegSz);
    AppendText(expected, std::string("\xE9\0", 2));
    AppendU32(expected, 0);
    EXPECT_EQ(expected, FileBytes(r));
    std::vector<std::string> paths;
    for (const BackupItem& item : ListRepairBackupItems(machine.system, r.path).items)
        paths.push_back(item.path);
    EXPECT_EQ((std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\K", "HKEY_CURRENT_USER\\Software\\K [v\xE9]"}), paths);
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

// Lists values as a registry holding names and texts outside the code page would: one name
// in Cyrillic, one text in Chinese, and one text of an odd number of bytes.
class OutsideTheCodePage final : public ForwardingRegistry {
public:
    using ForwardingRegistry::ForwardingRegistry;
    long EnumValueW(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameLength, std::uint32_t* reserved,
                    std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override
    {
        long status = ForwardingRegistry::EnumValueW(key, index, name, nameLength, reserved, type, data, dataSize);
        if (status != kSuccess)
            return status;
        const std::u16string_view found(name, *nameLength);
        if (found == u"Outsider") {
            std::u16string_view cyrillic = u"\u0418\u043c\u044f";
            std::copy(cyrillic.begin(), cyrillic.end(), name);
            name[cyrillic.size()] = u'\0';
            *nameLength = static_cast<std::uint32_t>(cyrillic.size());
        } else if (found == u"Chinese" && data) {
            const char16_t text[] = u"\u4e2d";
            std::memcpy(data, text, sizeof text);
            *dataSize = sizeof text;
        } else if (found == u"Odd" && data) {
            *dataSize = 3;
        }
        return status;
    }
};

// A name or text that the code page cannot write back is neither saved nor proved by a query
// of its own: the wide listing shows it. The key is then incomplete, and the log names what
// was left out; a value item of the same key that reads back is saved.
TEST_F(RepairBackupFile, WhatTheCodePageCannotWriteBackIsLeftOutOfTheListing)
{
    // A Windows before UTF-8 process code pages: what code page 1252 cannot write reads as '?'.
    ScopedProcessCodePage legacy(AnsiCodePage::Windows1252);
    log.Open();
    for (const char* name : {"Outsider", "Chinese", "Odd", "Plain"})
        SetValue(registry, kCurrentUser, "Software\\K", name, kRegSz, Str("ab"));
    OutsideTheCodePage wide(registry);
    CountingRegistry counting(wide);
    RepairBackupResult r = WriteRepairBackupItems(counting, machine.system, log, kFolder,
                                                  {{"HKEY_CURRENT_USER\\Software\\K", "VAL", "Plain"},
                                                   {"HKEY_CURRENT_USER\\Software\\K", "KEY", ""}});
    ASSERT_EQ(RepairBackupResult::Status::Written, r.status);
    EXPECT_EQ((std::vector<bool>{true, false}), r.saved);
    EXPECT_EQ(0u, counting.count(CountingRegistry::kQueryValueW));
    const std::string text = machine.dir.ReadFile(log.path());
    for (const char* left : {"Software\\K [???]", "Software\\K [Chinese]", "Software\\K [Odd]"})
        EXPECT_NE(std::string::npos,
                  text.find(std::string("Left out of the backup, as it does not read back as it was read: "
                                        "HKEY_CURRENT_USER\\") + left))
            << left;
    EXPECT_EQ(std::string::npos, text.find("[Plain]"));
}

// Windows 95/98/Me have no wide calls: the values are listed through the ANSI call and each
// is queried again by the name saved. The file is the same either way.
class WithoutWideCalls final : public ForwardingRegistry {
public:
    using ForwardingRegistry::ForwardingRegistry;
    long EnumValueW(HKey, std::uint32_t, char16_t*, std::uint32_t*, std::uint32_t*, std::uint32_t*, std::uint8_t*,
                    std::uint32_t*) override
    {
        return kErrorCallNotImplemented;
    }
    long QueryValueExW(HKey, const char16_t*, std::uint32_t*, std::uint32_t*, std::uint8_t*, std::uint32_t*) override
    {
        return kErrorCallNotImplemented;
    }
};

TEST_F(RepairBackupFile, WithoutWideCallsEachValueIsQueriedAgainAndTheFileIsTheSame)
{
    SeedEveryKind(registry, kCurrentUser, "Software\\K", 3000);
    const std::vector<RepairBackupItem> items = {{"HKEY_CURRENT_USER\\Software\\K", "VAL", "Sz"},
                                                 {"HKEY_CURRENT_USER\\Software\\K", "KEY", ""}};
    RepairBackupResult wide = Backup(items);
    WithoutWideCalls ansiOnly(registry);
    CountingRegistry counting(ansiOnly);
    RepairBackupResult ansi = WriteRepairBackupItems(counting, machine.system, log, kFolder, items);
    ASSERT_EQ((std::vector<bool>{true, true}), wide.saved);
    ASSERT_EQ((std::vector<bool>{true, true}), ansi.saved);
    EXPECT_NE(wide.path, ansi.path);
    EXPECT_EQ(FileBytes(wide), FileBytes(ansi));
    // The wide listing is asked once, and refuses; then one ANSI query for each value saved:
    // the value item's, and the key's 18 (14 of its own, 4 in its subkeys).
    EXPECT_EQ(1u + 14 + 18, counting.count(CountingRegistry::kEnumValue));
    EXPECT_EQ(1u + 18, counting.count(CountingRegistry::kQueryValue));
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

// A record of one value item, as the file holds it.
void AppendValueRecord(std::string& bytes, const std::string& subkey, const std::string* name, std::uint32_t type,
                       const std::string& data)
{
    AppendU32(bytes, 0x80000001u);
    AppendText(bytes, subkey);
    AppendU32(bytes, name ? 1 : 0);
    if (name) {
        AppendText(bytes, *name);
        AppendU32(bytes, type);
        AppendText(bytes, data);
    }
    AppendU32(bytes, 0);
}

// Many value items in one key: the key's values are read once for all of them, and the file
// holds the same records as when each item read the key on its own.
TEST_F(RepairBackupFile, ValueItemsOfOneKeyReadTheKeyOnce)
{
    const std::size_t n = 300;
    const std::string subkey = "Software\\Wide";
    const std::string other = "Software\\Other";
    for (std::size_t i = 0; i < n; ++i)
        SetValue(registry, kCurrentUser, subkey, Numbered("Value", i).c_str(), kRegSz, Str("C:\\gone\\" + std::to_string(i)));
    SetValue(registry, kCurrentUser, subkey, nullptr, kRegDword, B({7, 0, 0, 0}));
    SetValue(registry, kCurrentUser, other, "Value 0001", kRegSz, Str("other"));

    std::vector<RepairBackupItem> items;
    std::string expected;
    AppendU32(expected, kUtf8TextMark);
    for (std::size_t i = 0; i < n; i += 10) {
        const std::string name = Numbered("Value", i);
        items.push_back({"HKEY_CURRENT_USER\\" + subkey, "VAL", name});
        AppendValueRecord(expected, subkey, &name, kRegSz, "C:\\gone\\" + std::to_string(i) + std::string(1, '\0'));
    }
    // A name the key does not hold, the unnamed value, and a value of another key between
    // two of this one's.
    items.push_back({"HKEY_CURRENT_USER\\" + subkey, "VAL", "Value 9999"});
    AppendValueRecord(expected, subkey, nullptr, 0, "");
    items.push_back({"HKEY_CURRENT_USER\\" + subkey, "VAL", ""});
    const std::string unnamed;
    AppendValueRecord(expected, subkey, &unnamed, kRegDword, std::string("\7\0\0\0", 4));
    items.push_back({"HKEY_CURRENT_USER\\" + other, "VAL", "Value 0001"});
    const std::string otherName = "Value 0001";
    AppendValueRecord(expected, other, &otherName, kRegSz, std::string("other\0", 6));
    items.push_back({"HKEY_CURRENT_USER\\" + subkey, "VAL", "Value 0001"});
    AppendValueRecord(expected, subkey, &otherName, kRegSz, std::string("C:\\gone\\1\0", 10));

    CountingRegistry counting(registry);
    RepairBackupResult r = WriteRepairBackupItems(counting, machine.system, log, kFolder, items);
    ASSERT_EQ(RepairBackupResult::Status::Written, r.status);
    EXPECT_EQ(expected, FileBytes(r));
    std::vector<bool> saved(items.size(), true);
    saved[n / 10] = false;  // the name the key does not hold
    EXPECT_EQ(saved, r.saved);
    // The wide key is read twice (before and after the other key), the other once: each
    // read enumerates the values its query counts, and no more.
    EXPECT_EQ(2 * (n + 1) + 1, counting.count(CountingRegistry::kEnumValue));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

// A key with more subkeys than the backup keeps open at once: each subkey is still proven to
// open by its name, saved whole, and every handle is closed again.
TEST_F(RepairBackupFile, AKeyOfThousandsOfSubkeysIsSavedWhole)
{
    const std::size_t n = 2500;
    const std::string subkey = "Software\\Many";
    for (std::size_t i = 0; i < n; ++i) {
        SetValue(registry, kCurrentUser, subkey + "\\" + Numbered("Sub", i), "v", kRegDword,
                 B({std::uint8_t(i & 0xFF), 0, 0, 0}));
        if (i % 1000 == 0)
            SetValue(registry, kCurrentUser, subkey + "\\" + Numbered("Sub", i) + "\\Inner", nullptr, kRegSz, Str("x"));
    }
    CountingRegistry counting(registry);
    RepairBackupResult r =
        WriteRepairBackupItems(counting, machine.system, log, kFolder, {{"HKEY_CURRENT_USER\\" + subkey, "KEY", ""}});
    ASSERT_EQ(RepairBackupResult::Status::Written, r.status);
    EXPECT_EQ(std::vector<bool>{true}, r.saved);

    std::string expected;
    AppendU32(expected, kUtf8TextMark);
    AppendU32(expected, 0x80000001u);
    AppendText(expected, subkey);
    AppendU32(expected, 0);
    AppendU32(expected, std::uint32_t(n));
    for (std::size_t i = 0; i < n; ++i) {
        AppendText(expected, Numbered("Sub", i));
        AppendU32(expected, 1);
        AppendText(expected, "v");
        AppendU32(expected, kRegDword);
        AppendText(expected, std::string({char(i & 0xFF), 0, 0, 0}));
        if (i % 1000 == 0) {
            AppendU32(expected, 1);
            AppendText(expected, "Inner");
            AppendU32(expected, 1);
            AppendText(expected, "");
            AppendU32(expected, kRegSz);
            AppendText(expected, std::string("x\0", 2));
            AppendU32(expected, 0);
        } else {
            AppendU32(expected, 0);
        }
    }
    EXPECT_EQ(expected, FileBytes(r));
    EXPECT_EQ(0u, registry.OpenHandleCount());
    // One query per key (and one of the parent, for the spelling of the item's name), and
    // each subkey opened once but for those past the handles kept.
    const std::size_t keys = 1 + n + 3;
    EXPECT_EQ(keys + 1, counting.count(CountingRegistry::kQueryInfo));
    EXPECT_LT(counting.count(CountingRegistry::kOpen), 2 * keys);
}

}  // namespace
}  // namespace tw::test
