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

#include <algorithm>

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

TEST(BackupUndoWin32, NamesAndTextsOfAnyScriptAreSavedDeletedAndRestoredExactly)
{
    Win32Registry registry;
    Win32System system;
    const std::string base = "Software\\TarnwickCodePage";
    const std::wstring wideBase = L"Software\\TarnwickCodePage";
    const std::string full = "HKEY_CURRENT_USER\\" + base;
    WipeWide(wideBase);
    // Another program's entries, written through the wide calls: Cyrillic, CJK, Greek, an
    // emoji outside the BMP and a letter of Latin Extended-A, next to plain ones.
    SetWide(wideBase + L"\\Plain", L"Path", L"c:\\gone.exe");
    SetWide(wideBase + L"\\Plain\\Sub", L"", L"x");
    SetWide(wideBase + L"\\Names", L"\x0418\x043c\x044f", L"cyrillic name");
    SetWide(wideBase + L"\\Names", L"Path", L"c:\\gone.exe");
    SetWide(wideBase + L"\\Text", L"Path", L"c:\\\x65e5\x672c\x8a9e\\gone.exe");
    SetWide(wideBase + L"\\Near", L"\u0100ccent", L"\x03a9\x03bc\x03ad\x03b3\x03b1");
    SetWide(wideBase + L"\\Subkeys\\\x4e2d\x6587 \xD83C\xDF89", L"", L"");
    SetWide(wideBase + L"\\Subkeys", L"Path", L"c:\\gone.exe");
    SetWide(wideBase + L"\\Run", L"Plain", L"c:\\gone.exe");
    SetWide(wideBase + L"\\Run", L"Emoji", L"c:\\\xD83D\xDE00.exe");
    SetWide(wideBase + L"\\Run", L"\x0418\x043c\x044f", L"c:\\gone.exe");
    SetWide(wideBase + L"\\Run", L"Stays", L"c:\\here.exe");
    const std::wstring before = WideDump(wideBase);

    const std::string program = TempFolder("tarnwick_code_page");
    RemoveTree(system, program);
    ASSERT_TRUE(system.MakeDirectory(program));
    ActivityLog log(system);
    log.Open();
    // The names as a scan reads them through the ANSI calls: UTF-8, every character kept.
    const std::string cyrillic = "\xD0\x98\xD0\xBC\xD1\x8F";
    std::vector<RepairBackupItem> items = {
        {full + "\\Plain", "KEY", ""},   {full + "\\Names", "KEY", ""},  {full + "\\Text", "KEY", ""},
        {full + "\\Near", "KEY", ""},    {full + "\\Subkeys", "KEY", ""}, {full + "\\Run", "VAL", "Plain"},
        {full + "\\Run", "VAL", "Emoji"}, {full + "\\Run", "VAL", cyrillic},
    };
    RepairBackupResult backup = WriteRepairBackupItems(registry, system, log, program, items);
    ASSERT_EQ(RepairBackupResult::Status::Written, backup.status);
    EXPECT_EQ(std::vector<bool>(items.size(), true), backup.saved);
    RepairCounts counts = DeleteSavedItems(registry, system, log, items, {}, backup, {});
    EXPECT_EQ(5, counts.keys);
    EXPECT_EQ(3, counts.values);
    EXPECT_EQ(0, counts.left);
    EXPECT_EQ(L"[" + wideBase + L"]\n[" + wideBase + L"\\Run]\n  Stays type 1: c:\\here.exe" + std::wstring(1, L'\0') + L"\n",
              WideDump(wideBase));

    // The listing names each item with its real characters.
    std::vector<std::string> paths;
    for (const BackupItem& item : ListRepairBackupItems(system, backup.path).items)
        paths.push_back(item.path);
    EXPECT_NE(paths.end(), std::find(paths.begin(), paths.end(), full + "\\Subkeys\\\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x8E\x89"));
    EXPECT_NE(paths.end(), std::find(paths.begin(), paths.end(), full + "\\Run [" + cyrillic + "]"));
    for (const std::string& path : paths)
        EXPECT_EQ(std::string::npos, path.find('?')) << path;

    // Restoring the backup gives back the registry exactly, down to the last character.
    EXPECT_TRUE(RestoreRepairBackup(registry, system, backup.path, {}).restored);
    EXPECT_EQ(before, WideDump(wideBase));
    // Nothing was left out of the backup for its characters.
    log.Close();
    EXPECT_EQ(std::string::npos, ReadAll(system, log.path()).find("Left out of the backup"));
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
