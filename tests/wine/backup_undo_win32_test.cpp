// Repair backup and restore against the real registry: what the backup saved and the repair
// deleted comes back byte for byte, every value type, large values and the unnamed value;
// names and text outside the code page (written by other programs through the wide calls)
// are neither saved as something else nor deleted; two repairs started in the same second
// each keep a backup file of their own (through the real CreateFile).
#include "platform/program_info.h"
#include "backup/backup_catalogue.h"
#include "backup/backup_restore.h"
#include "backup/repair_deletion.h"
#include "log/activity_log.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"
#include "unit/backup/backup_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>


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
    RepairCounts counts = DeleteSavedItems(registry, machine.system, log, items, {}, backup, {});
    EXPECT_EQ(1, counts.keys);
    EXPECT_EQ(1, counts.values);
    EXPECT_FALSE(KeyExists(registry, kCurrentUser, base + "\\Item"));

    RestoreOutcome outcome = RestoreRepairBackup(registry, machine.system, backup.path, {});
    EXPECT_TRUE(outcome.restored);
    EXPECT_EQ(before, DumpBranch(registry, kCurrentUser, base));
    WipeKey(registry, kCurrentUser, base);
}

// ---- names and text outside the code page

void SetWide(const std::wstring& path, const std::wstring& name, const std::wstring& text)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    if (!name.empty() || !text.empty()) {
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                                DWORD((text.size() + 1) * sizeof(wchar_t))));
    }
    RegCloseKey(key);
}

// The ANSI calls cannot name what lies outside the code page, so they cannot delete it.
void WipeWide(const std::wstring& path)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
}

// Every key, value name, type and data below `path`, read through the wide calls.
std::wstring WideDump(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return L"(missing " + path + L")";
    std::wstring out = L"[" + path + L"]\n";
    std::vector<wchar_t> name(32768);
    std::vector<BYTE> data(1 << 20);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = DWORD(name.size()), size = DWORD(data.size()), type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        out += L"  " + std::wstring(name.data(), nameLength) + L" type " + std::to_wstring(type) + L": " +
               std::wstring(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t)) + L"\n";
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = DWORD(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name.data(), nameLength);
    }
    RegCloseKey(key);
    for (const std::wstring& subkey : subkeys)
        out += WideDump(path + L"\\" + subkey);
    return out;
}

std::string ReadAll(System& system, const std::string& path)
{
    std::string bytes;
    auto file = system.OpenFile(path, FileMode::Read);
    char buffer[4096];
    for (std::size_t got; file && (got = file->Read(buffer, sizeof buffer)) != 0;)
        bytes.append(buffer, got);
    return bytes;
}

std::string TempFolder(const char* name)
{
    char folder[MAX_PATH];
    if (GetTempPathA(sizeof folder, folder) == 0)
        return {};
    return std::string(folder) + name;
}

void RemoveTree(System& system, const std::string& folder)
{
    for (const DirEntry& entry : system.FindFiles(folder + "\\*")) {
        if (entry.name == "." || entry.name == "..")
            continue;
        if (entry.IsDirectory())
            RemoveTree(system, folder + "\\" + entry.name);
        else
            system.RemoveFile(folder + "\\" + entry.name);
    }
    system.RemoveEmptyDirectory(folder);
}

TEST(BackupUndoWin32, WhatDoesNotReadBackThroughTheCodePageIsNeitherSavedNorDeleted)
{
    Win32Registry registry;
    Win32System system;
    const std::string base = "Software\\TarnwickCodePage";
    const std::wstring wideBase = L"Software\\TarnwickCodePage";
    const std::string full = "HKEY_CURRENT_USER\\" + base;
    WipeWide(wideBase);
    // Another program's entries: Cyrillic, CJK, an emoji and a letter the code page has only
    // a near match for, next to plain ones.
    SetWide(wideBase + L"\\Plain", L"Path", L"c:\\gone.exe");
    SetWide(wideBase + L"\\Plain\\Sub", L"", L"x");
    SetWide(wideBase + L"\\Names", L"\x0418\x043c\x044f", L"cyrillic name");
    SetWide(wideBase + L"\\Names", L"Path", L"c:\\gone.exe");
    SetWide(wideBase + L"\\Text", L"Path", L"c:\\\x65e5\x672c\x8a9e\\gone.exe");
    SetWide(wideBase + L"\\Near", L"\u0100ccent", L"near");
    SetWide(wideBase + L"\\Subkeys\\\x4e2d\x6587", L"", L"");
    SetWide(wideBase + L"\\Subkeys", L"Path", L"c:\\gone.exe");
    SetWide(wideBase + L"\\Run", L"Plain", L"c:\\gone.exe");
    SetWide(wideBase + L"\\Run", L"Emoji", L"c:\\\xD83D\xDE00.exe");
    SetWide(wideBase + L"\\Run", L"\x0418\x043c\x044f", L"c:\\gone.exe");
    const std::wstring before = WideDump(wideBase);
    const std::vector<std::wstring> kept = {L"\\Names", L"\\Text", L"\\Near", L"\\Subkeys"};
    std::vector<std::wstring> keptBefore;
    for (const std::wstring& k : kept)
        keptBefore.push_back(WideDump(wideBase + k));

    const std::string program = TempFolder("tarnwick_code_page");
    RemoveTree(system, program);
    ASSERT_TRUE(system.MakeDirectory(program));
    ActivityLog log(system);
    log.Open();
    // The value names as a scan through the ANSI calls reads them.
    std::vector<RepairBackupItem> items = {
        {full + "\\Plain", "KEY", ""},   {full + "\\Names", "KEY", ""},  {full + "\\Text", "KEY", ""},
        {full + "\\Near", "KEY", ""},    {full + "\\Subkeys", "KEY", ""}, {full + "\\Run", "VAL", "Plain"},
        {full + "\\Run", "VAL", "Emoji"}, {full + "\\Run", "VAL", "???"},
    };
    RepairBackupResult backup = WriteRepairBackupItems(registry, system, log, program, items);
    ASSERT_EQ(RepairBackupResult::Status::Written, backup.status);
    EXPECT_EQ((std::vector<bool>{true, false, false, false, false, true, false, false}), backup.saved);
    RepairCounts counts = DeleteSavedItems(registry, system, log, items, {}, backup, {});
    EXPECT_EQ(1, counts.keys);
    EXPECT_EQ(1, counts.values);
    EXPECT_EQ(6, counts.left);

    // The plain items went; everything else is as it was, down to the last character.
    for (std::size_t i = 0; i < kept.size(); ++i)
        EXPECT_TRUE(keptBefore[i] == WideDump(wideBase + kept[i])) << i;
    EXPECT_EQ(std::wstring::npos, WideDump(wideBase).find(L"[" + wideBase + L"\\Plain]"));
    std::wstring run = WideDump(wideBase + L"\\Run");
    EXPECT_EQ(std::wstring::npos, run.find(L"  Plain type"));
    EXPECT_NE(std::wstring::npos, run.find(L"  Emoji type 1: c:\\\xD83D\xDE00.exe"));
    EXPECT_NE(std::wstring::npos, run.find(L"  \x0418\x043c\x044f type 1: c:\\gone.exe"));

    // The log names each item left out, as the ANSI calls spell it.
    log.Close();
    std::string text = ReadAll(system, log.path());
    for (const std::string& line : {full + "\\Names [???]", full + "\\Text [Path]", full + "\\Near [Accent]",
                                    full + "\\Subkeys\\??", full + "\\Run [Emoji]", full + "\\Run [???]"})
        EXPECT_NE(std::string::npos,
                  text.find("Left out of the backup, as it does not read back as it was read: " + line))
            << line;

    // The backup holds only what reads back, so restoring it gives back the registry exactly.
    for (const BackupItem& item : ListRepairBackupItems(system, backup.path).items)
        EXPECT_EQ(std::string::npos, item.path.find('?')) << item.path;
    EXPECT_TRUE(RestoreRepairBackup(registry, system, backup.path, {}).restored);
    EXPECT_EQ(before, WideDump(wideBase));
    WipeWide(wideBase);
    RemoveTree(system, program);
}

// ---- repairs started in the same second

TEST(BackupUndoWin32, TwoRepairsInTheSameSecondEachKeepTheirOwnFile)
{
    Win32Registry registry;
    Win32System real;
    const LocalTime now = real.GetLocalTime();
    SameSecond window(real, now), commandLine(real, now);
    const std::string base = "Software\\TarnwickSameSecond";
    WipeKey(registry, kCurrentUser, base);
    SetValue(registry, kCurrentUser, base + "\\Window", "v", kRegSz, Str("window"));
    SetValue(registry, kCurrentUser, base + "\\CommandLine", "w", kRegSz, Str("command line"));
    const std::string before = DumpBranch(registry, kCurrentUser, base);
    const std::string program = TempFolder("tarnwick_same_second");
    RemoveTree(real, program);
    ASSERT_TRUE(real.MakeDirectory(program));
    ActivityLog log(real);

    // The command line's repair gets to its backup file first, and deletes its key.
    std::vector<RepairBackupItem> commandLineItems = {{"HKEY_CURRENT_USER\\" + base + "\\CommandLine", "KEY", ""}};
    RepairBackupResult first;
    RepairCounts firstCounts;
    window.before = [&] {
        first = WriteRepairBackupItems(registry, commandLine, log, program, commandLineItems);
        firstCounts = DeleteSavedItems(registry, real, log, commandLineItems, {}, first, {});
    };
    std::vector<RepairBackupItem> windowItems = {{"HKEY_CURRENT_USER\\" + base + "\\Window", "KEY", ""}};
    RepairBackupResult second = WriteRepairBackupItems(registry, window, log, program, windowItems);
    RepairCounts secondCounts = DeleteSavedItems(registry, real, log, windowItems, {}, second, {});

    ASSERT_EQ(RepairBackupResult::Status::Written, first.status);
    ASSERT_EQ(RepairBackupResult::Status::Written, second.status);
    const std::string dated = JoinPath(RegistryBackupsPath(program), RepairBackupName(now));
    EXPECT_EQ(dated, first.path);
    EXPECT_EQ(dated.substr(0, dated.size() - 4) + "_2.reg", second.path);
    EXPECT_EQ(1, firstCounts.keys);
    EXPECT_EQ(1, secondCounts.keys);
    EXPECT_EQ(2u, real.FindFiles(RegistryBackupsPath(program) + "\\*.reg").size());
    // Each file holds its own repair's key, and together they give back the registry.
    BackupListing firstRows = ListRepairBackupItems(real, first.path);
    BackupListing secondRows = ListRepairBackupItems(real, second.path);
    ASSERT_FALSE(firstRows.items.empty());
    ASSERT_FALSE(secondRows.items.empty());
    EXPECT_EQ(commandLineItems[0].keyPath, firstRows.items[0].path);
    EXPECT_EQ(windowItems[0].keyPath, secondRows.items[0].path);
    EXPECT_TRUE(RestoreRepairBackup(registry, real, first.path, {}).restored);
    EXPECT_TRUE(RestoreRepairBackup(registry, real, second.path, {}).restored);
    EXPECT_EQ(before, DumpBranch(registry, kCurrentUser, base));
    WipeKey(registry, kCurrentUser, base);
    RemoveTree(real, program);
}

}  // namespace
}  // namespace tw::test
