// End to end through the backup windows: the backup manager's restore page over a repair
// backup (its dates, its rows, a restore with one row unticked, removal), the full-backup page
// (creation, restore through the picker, cancel, and the failures the user is told of), and
// the pruning of an orphaned full-backup folder at the next start.
#include "gui_driver.h"

#include "backup/repair_backup.h"
#include "backup/repair_deletion.h"
#include "log/activity_log.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "support/registry_fixture.h"

#include "../../resources/resource.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

namespace tw::test::gui {
namespace {

const char* const kMainTitle = "Tarnwick Version 2.6";
const char* const kManagerTitle = "Tarnwick version 2.6";
const char* const kBase = "Software\\TarnwickGuiBackup";
const char* const kNoBackups = "No backups present for restore.";

std::string BackupsFolder()
{
    return TestFolder() + "\\Registry Backups";
}

std::string FullFolder()
{
    return TestFolder() + "\\Full Backups";
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> Names(const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

void RemoveTree(const std::string& path)
{
    for (const std::string& name : Names(path + "\\*")) {
        std::string child = path + "\\" + name;
        if (GetFileAttributesA(child.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(child);
        else
            DeleteFileA(child.c_str());
    }
    RemoveDirectoryA(path.c_str());
    DeleteFileA(path.c_str());
}

// The date the manager shows for a file: its creation time in local time, in English.
std::string DateText(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return {};
    FILETIME local;
    SYSTEMTIME t;
    FileTimeToLocalFileTime(&data.ftCreationTime, &local);
    FileTimeToSystemTime(&local, &t);
    std::tm fields{};
    fields.tm_year = t.wYear - 1900;
    fields.tm_mon = t.wMonth - 1;
    fields.tm_mday = t.wDay;
    fields.tm_hour = t.wHour;
    fields.tm_min = t.wMinute;
    fields.tm_sec = t.wSecond;
    fields.tm_wday = t.wDayOfWeek;
    char text[128];
    std::strftime(text, sizeof text, "%A, %B %d, %Y, %H:%M:%S", &fields);
    return text;
}

// Waits for a message box of the program, checks its text and answers it.
std::string AnswerBox(TarnwickRun& run, const char* caption = "Tarnwick", int button = IDOK)
{
    HWND box = run.WaitForWindow(caption);
    if (!box)
        return "(no message box)";
    std::string text = MessageBoxText(box);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); });
    return text;
}

std::string ValueText(Registry& registry, const std::string& path, const char* name)
{
    std::uint32_t type = 0;
    Bytes data;
    if (!GetValue(registry, kCurrentUser, path, name, &type, &data))
        return "(missing)";
    return std::string(data.begin(), data.end());
}

class GuiBackupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WipeKey(registry, kCurrentUser, kBase);
        RemoveTree(BackupsFolder());
        RemoveTree(FullFolder());
    }
    void TearDown() override
    {
        WipeKey(registry, kCurrentUser, kBase);
        RemoveTree(BackupsFolder());
        RemoveTree(FullFolder());
    }
    Win32Registry registry;
    Win32System system;
};

TEST_F(GuiBackupTest, RepairBackupIsListedShownRestoredWithoutTheUntickedValueAndRemoved)
{
    // A repair of one key: the backup holds the key, its values and its subkey.
    const std::string item = std::string(kBase) + "\\Item";
    SetValue(registry, kCurrentUser, item, "Alpha", kRegSz, Str("first value"));
    SetValue(registry, kCurrentUser, item, "Beta", kRegDword, B({7, 0, 0, 0}));
    SetValue(registry, kCurrentUser, item, "Gamma", kRegBinary, B({0, 1, 2, 0xff}));
    SetValue(registry, kCurrentUser, item + "\\Sub", "Delta", kRegExpandSz, Str("%SystemRoot%\\d.dll"));
    std::string before = DumpBranch(registry, kCurrentUser, item);
    // And a shortcut file the repair deleted, kept in the same backup.
    const std::string shortcut = TestFolder() + "\\gui-backup-gone.lnk";
    const std::string shortcutBytes("L\0\0\0 a shortcut's bytes \x01\xff", 26);
    std::ofstream(shortcut, std::ios::binary) << shortcutBytes;
    ActivityLog log(system);
    std::vector<RepairBackupItem> items = {{"HKEY_CURRENT_USER\\" + item, "KEY", ""}};
    RepairBackupResult backup = WriteRepairBackupItems(registry, system, log, TestFolder(), items, {shortcut});
    ASSERT_EQ(RepairBackupResult::Status::Written, backup.status);
    ASSERT_EQ(std::vector<bool>{true}, backup.filesSaved);
    DeleteSavedItems(registry, system, log, items, {}, backup, {});
    ASSERT_FALSE(KeyExists(registry, kCurrentUser, item));
    ASSERT_TRUE(DeleteFileA(shortcut.c_str()));

    TarnwickRun run;
    ASSERT_TRUE(run.started());
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    Click(main, IDC_BACKUP_TILE);
    HWND manager = run.WaitForWindow(kManagerTitle);
    ASSERT_NE(nullptr, manager);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }));
    for (int id : {IDC_BACKUP_DATES, IDC_BACKUP_CONTENT, IDC_RESTORE_RUN, IDC_REMOVE_BACKUP, IDC_SELECT_ALL})
        EXPECT_TRUE(Visible(manager, id)) << id;
    for (int id : {IDC_RADIO_CREATE, IDC_FULL_PERFORM})
        EXPECT_FALSE(Visible(manager, id)) << id;

    // The date list: the placeholder, then the backup by its file's creation date.
    HWND dates = Control(manager, IDC_BACKUP_DATES);
    ASSERT_TRUE(WaitFor([&] { return ComboCount(dates) == 2; }));
    EXPECT_EQ("< Select the date >", ComboText(dates, 0));
    EXPECT_EQ(DateText(backup.path), ComboText(dates, 1));
    EXPECT_EQ(0, ComboSelection(dates));

    // Choosing it fills the content list, every row ticked.
    HWND list = Control(manager, IDC_BACKUP_CONTENT);
    SelectComboItem(dates, 1);
    ASSERT_TRUE(WaitFor([&] { return ListRowCount(list) == 7; }));
    const std::string path = "HKEY_CURRENT_USER\\" + item;
    const std::pair<std::string, std::string> rows[] = {
        {"Key", path},
        {"Value", path + " [Alpha]"},
        {"Value", path + " [Beta]"},
        {"Value", path + " [Gamma]"},
        {"Key", path + "\\Sub"},
        {"Value", path + "\\Sub [Delta]"},
        {"File", shortcut},
    };
    for (int row = 0; row < 7; ++row) {
        EXPECT_EQ(rows[row].first, ListText(list, row, 0)) << row;
        EXPECT_EQ(rows[row].second, ListText(list, row, 1)) << row;
        EXPECT_TRUE(ListChecked(list, row)) << row;
    }
    EXPECT_TRUE(SaveScreenshot(manager, "backup-restore-page"));

    // "Deselect all" and "Select all", then one value unticked: the restore leaves just it out.
    Click(manager, IDC_DESELECT_ALL);
    EXPECT_TRUE(WaitFor([&] { return !ListChecked(list, 0) && !ListChecked(list, 6); }));
    Click(manager, IDC_SELECT_ALL);
    EXPECT_TRUE(WaitFor([&] { return ListChecked(list, 0) && ListChecked(list, 6); }));
    SetListChecked(list, 2, false);
    ASSERT_FALSE(ListChecked(list, 2));
    Click(manager, IDC_RESTORE_RUN);
    EXPECT_EQ("Backup restored!", AnswerBox(run));
    EXPECT_EQ("(missing)", ValueText(registry, item, "Beta"));
    SetValue(registry, kCurrentUser, item, "Beta", kRegDword, B({7, 0, 0, 0}));
    EXPECT_EQ(before, DumpBranch(registry, kCurrentUser, item));
    std::ifstream restored(shortcut, std::ios::binary);
    EXPECT_EQ(shortcutBytes, std::string(std::istreambuf_iterator<char>(restored), {}));  // the shortcut, byte for byte
    restored.close();
    DeleteFileA(shortcut.c_str());

    // Removing the last repair backup through the picker.
    Click(manager, IDC_REMOVE_BACKUP);
    HWND picker = run.WaitForWindow("Remove Backup");
    ASSERT_NE(nullptr, picker);
    EXPECT_EQ("Select Backup Date:", WindowText(Control(picker, IDC_PICKER_GROUP)));
    EXPECT_EQ(0u, WindowText(Control(picker, IDC_PICKER_TEXT)).find("This option allows you to remove any backups"));
    HWND pickerDates = Control(picker, IDC_PICKER_DATES);
    ASSERT_EQ(2, ComboCount(pickerDates));
    SelectComboItem(pickerDates, 1);
    EXPECT_TRUE(SaveScreenshot(picker, "backup-date-picker"));
    Click(picker, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(picker); }));
    // Asked first, naming the date; No keeps it.
    const std::string date = ComboText(dates, 1);
    const std::string question = "Remove the backup of " + date + "? It cannot be undone.";
    EXPECT_EQ(question, AnswerBox(run, "Tarnwick", IDNO));
    EXPECT_TRUE(Exists(backup.path));
    EXPECT_EQ(2, ComboCount(dates));
    // Finish without a date says that none was chosen.
    Click(manager, IDC_REMOVE_BACKUP);
    picker = run.WaitForWindow("Remove Backup");
    ASSERT_NE(nullptr, picker);
    Click(picker, IDOK);
    EXPECT_EQ("No date was chosen, so no backup was removed.", AnswerBox(run));
    EXPECT_TRUE(Exists(backup.path));
    // Yes removes it and says so; then the list is empty again.
    Click(manager, IDC_REMOVE_BACKUP);
    picker = run.WaitForWindow("Remove Backup");
    ASSERT_NE(nullptr, picker);
    SelectComboItem(Control(picker, IDC_PICKER_DATES), 1);
    Click(picker, IDOK);
    HWND ask = run.WaitForWindow("Tarnwick");
    ASSERT_NE(nullptr, ask);
    EXPECT_EQ(question, MessageBoxText(ask));
    PostMessageA(ask, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(ask, IDYES)));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(ask); }));
    EXPECT_EQ("The backup of " + date + " is removed.", AnswerBox(run));
    EXPECT_EQ(kNoBackups, AnswerBox(run));
    EXPECT_FALSE(Exists(backup.path));
    EXPECT_EQ(1, ComboCount(dates));
    EXPECT_EQ(0, ListRowCount(list));

    // "User settings" leaves for the "Settings" page of the main window.
    Click(manager, IDC_USER_SETTINGS);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) && Visible(main, IDC_FULL_BACKUP); }));
    EXPECT_EQ(nullptr, FindProcessWindow(run.processId(), kManagerTitle));
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, run.WaitForExit());
}

// A repair's backup holds the problems the user unticked too: the window starts their rows
// unticked and says they were kept, and a restore leaves what the user kept as it is now.
TEST_F(GuiBackupTest, WhatTheRepairKeptStartsUntickedAndIsNotWrittenBack)
{
    const std::string key = std::string(kBase) + "\\Run";
    SetValue(registry, kCurrentUser, key, "Gone", kRegSz, Str("c:\\gone.exe"));
    SetValue(registry, kCurrentUser, key, "Kept", kRegSz, Str("c:\\kept.exe"));
    ActivityLog log(system);
    std::vector<RepairBackupItem> items = {{"HKEY_CURRENT_USER\\" + key, "VAL", "Gone"},
                                           {"HKEY_CURRENT_USER\\" + key, "VAL", "Kept", true}};
    RepairBackupResult backup = WriteRepairBackupItems(registry, system, log, TestFolder(), items);
    ASSERT_EQ(RepairBackupResult::Status::Written, backup.status);
    DeleteSavedItems(registry, system, log, items, {false, true}, backup, {});
    ASSERT_EQ("(missing)", ValueText(registry, key, "Gone"));
    SetValue(registry, kCurrentUser, key, "Kept", kRegSz, Str("c:\\moved.exe"));  // the user's change since

    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    Click(main, IDC_BACKUP_TILE);
    HWND manager = run.WaitForWindow(kManagerTitle);
    ASSERT_NE(nullptr, manager);
    HWND dates = Control(manager, IDC_BACKUP_DATES);
    ASSERT_TRUE(WaitFor([&] { return ComboCount(dates) == 2; }));
    SelectComboItem(dates, 1);
    HWND list = Control(manager, IDC_BACKUP_CONTENT);
    ASSERT_TRUE(WaitFor([&] { return ListRowCount(list) == 4; }));
    const std::string path = "HKEY_CURRENT_USER\\" + key;
    EXPECT_EQ(path + " [Gone]", ListText(list, 1, 1));
    EXPECT_TRUE(ListChecked(list, 1));
    EXPECT_EQ(path + " [Kept]  (kept by the repair)", ListText(list, 3, 1));
    EXPECT_FALSE(ListChecked(list, 3));
    EXPECT_FALSE(ListChecked(list, 2));
    EXPECT_TRUE(SaveScreenshot(manager, "backup-restore-kept"));
    Click(manager, IDC_RESTORE_RUN);
    EXPECT_EQ("Backup restored!", AnswerBox(run));
    EXPECT_EQ(std::string("c:\\gone.exe") + '\0', ValueText(registry, key, "Gone"));
    EXPECT_EQ(std::string("c:\\moved.exe") + '\0', ValueText(registry, key, "Kept"));
    Click(manager, IDC_RESTORE_CLOSE);
    Click(main, IDC_EXIT);
}

TEST_F(GuiBackupTest, FullBackupCreatedRestoredCancelledAndItsFailuresTold)
{
    const std::string key = std::string(kBase) + "\\Full";
    SetValue(registry, kCurrentUser, key, "Keep", kRegSz, Str("first"));
    TarnwickRun run;
    ASSERT_TRUE(run.started());
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    Click(main, IDC_USER_SETTINGS);
    ASSERT_TRUE(WaitFor([&] { return Visible(main, IDC_FULL_BACKUP); }));
    Click(main, IDC_FULL_BACKUP);
    HWND manager = run.WaitForWindow(kManagerTitle);
    ASSERT_NE(nullptr, manager);
    for (int id : {IDC_RADIO_CREATE, IDC_RADIO_RESTORE, IDC_FULL_PERFORM, IDC_FULL_CLOSE})
        EXPECT_TRUE(Visible(manager, id)) << id;
    EXPECT_FALSE(Visible(manager, IDC_BACKUP_DATES));
    EXPECT_FALSE(Checked(manager, IDC_RADIO_CREATE));
    EXPECT_FALSE(Checked(manager, IDC_RADIO_RESTORE));
    EXPECT_TRUE(SaveScreenshot(manager, "backup-full-page"));

    // Creating: the empty catalogue file and the folder with its three snapshots.
    Click(manager, IDC_RADIO_CREATE);
    Click(manager, IDC_FULL_PERFORM);
    HWND progress = run.WaitForWindow("Full Backup");
    ASSERT_NE(nullptr, progress);
    EXPECT_EQ("Creating backup...", WindowText(Control(progress, IDC_PROCESS_STATUS)));
    SaveScreenshot(progress, "backup-progress");
    HWND done = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(120000));
    ASSERT_NE(nullptr, done);
    // Created; keys that could not be read (Wine has a few) are counted, and the log named
    // in the message lists each of them.
    const std::string created = MessageBoxText(done);
    EXPECT_EQ(0u, created.find("Full registry backup is created.")) << created;
    const std::string leftOut = " could not be read and ";
    const std::string logIntro = "The activity log names each one:\n";
    if (std::size_t counted = created.find(leftOut); counted != std::string::npos) {
        int keys = std::atoi(created.c_str() + created.find('\n') + 1);
        std::size_t logAt = created.find(logIntro);
        ASSERT_NE(std::string::npos, logAt) << created;
        std::ifstream in(created.substr(logAt + logIntro.size()), std::ios::binary);
        std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        int named = 0;
        for (std::size_t at = log.find("Full backup: key left out"); at != std::string::npos;
             at = log.find("Full backup: key left out", at + 1))
            ++named;
        EXPECT_GT(keys, 0) << created;
        EXPECT_EQ(keys, named) << created;
    }
    // The bar stands full behind the message, not where its last step left it.
    EXPECT_EQ(100, SendMessageA(Control(progress, IDC_PROCESS_BAR), PBM_GETPOS, 0, 0));
    // After completion "Cancel" does nothing: no question, and OK ends the window.
    Click(progress, IDCANCEL);
    PressOk(done);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(progress); }));
    EXPECT_EQ(nullptr, FindProcessWindow(run.processId(), "Warning"));
    std::vector<std::string> catalogue = Names(BackupsFolder() + "\\FULL*.reg");
    ASSERT_EQ(1u, catalogue.size());
    const std::string name = catalogue[0];
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExA((BackupsFolder() + "\\" + name).c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(0u, data.nFileSizeLow);
    for (const char* file : {"SOFTWARE", "HARDWARE", "CUSOFTWARE"})
        EXPECT_TRUE(Exists(FullFolder() + "\\" + name + "\\" + file)) << file;

    // The restore page lists repair backups only: with only full backups there is none.
    Click(manager, IDC_BACKUP_MANAGER);
    EXPECT_EQ(kNoBackups, AnswerBox(run));
    EXPECT_TRUE(Visible(manager, IDC_BACKUP_DATES));
    EXPECT_EQ(1, ComboCount(Control(manager, IDC_BACKUP_DATES)));
    Click(manager, IDC_RESTORE_CLOSE);  // back to the full-backup page it came from
    ASSERT_TRUE(WaitFor([&] { return Visible(manager, IDC_FULL_PERFORM); }));

    // A key changed afterwards comes back with the full restore, asked for through the picker.
    SetValue(registry, kCurrentUser, key, "Keep", kRegSz, Str("changed"));
    Click(manager, IDC_RADIO_RESTORE);
    Click(manager, IDC_FULL_PERFORM);
    HWND picker = run.WaitForWindow("Full Registry Backup");
    ASSERT_NE(nullptr, picker);
    HWND pickerDates = Control(picker, IDC_PICKER_DATES);
    ASSERT_EQ(2, ComboCount(pickerDates));
    EXPECT_EQ(DateText(BackupsFolder() + "\\" + name), ComboText(pickerDates, 1));
    SelectComboItem(pickerDates, 1);
    Click(picker, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(picker); }));
    progress = run.WaitForWindow("Full Backup");
    ASSERT_NE(nullptr, progress);
    EXPECT_EQ("Restoring backup...", WindowText(Control(progress, IDC_PROCESS_STATUS)));
    // What the restore wrote over ("changed") is saved first into a backup of its own, named.
    const std::string saved = "1 values held other data and were written over; what they held is saved in the backup ";
    std::string told = AnswerBox(run);
    EXPECT_EQ(saved, told.substr(0, saved.size()));
    const std::string restoredLine = ".\nFull registry backup was restored.";
    ASSERT_GT(told.size(), saved.size() + restoredLine.size());
    EXPECT_EQ(restoredLine, told.substr(told.size() - restoredLine.size()));
    const std::string undoBackup = told.substr(saved.size(), told.size() - saved.size() - restoredLine.size());
    EXPECT_TRUE(Exists(BackupsFolder() + "\\" + undoBackup)) << undoBackup;
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(progress); }));
    EXPECT_EQ(std::string("first") + '\0', ValueText(registry, key, "Keep"));

    // A snapshot file missing: the others are restored, and the user is told.
    SetValue(registry, kCurrentUser, key, "Keep", kRegSz, Str("changed again"));
    ASSERT_TRUE(DeleteFileA((FullFolder() + "\\" + name + "\\HARDWARE").c_str()));
    Click(manager, IDC_FULL_PERFORM);
    picker = run.WaitForWindow("Full Registry Backup");
    ASSERT_NE(nullptr, picker);
    SelectComboItem(Control(picker, IDC_PICKER_DATES), 1);
    Click(picker, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(picker); }));
    progress = run.WaitForWindow("Full Backup");
    ASSERT_NE(nullptr, progress);
    told = AnswerBox(run);
    EXPECT_EQ(saved, told.substr(0, saved.size()));
    const std::string notWhole = "\nFull registry backup was not completely restored.";
    ASSERT_GT(told.size(), notWhole.size());
    EXPECT_EQ(notWhole, told.substr(told.size() - notWhole.size()));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(progress); }));
    EXPECT_EQ(std::string("first") + '\0', ValueText(registry, key, "Keep"));

    // Cancelling a creation: Yes leaves no backup behind, and the window says so.
    for (int i = 0; i < 3000; ++i)
        CreateKey(registry, kCurrentUser, std::string(kBase) + "\\Bulk\\K" + std::to_string(i));
    Click(manager, IDC_RADIO_CREATE);
    Click(manager, IDC_FULL_PERFORM);
    progress = run.WaitForWindow("Full Backup");
    ASSERT_NE(nullptr, progress);
    Click(progress, IDCANCEL);
    HWND question = run.WaitForWindow("Warning");
    ASSERT_NE(nullptr, question);
    EXPECT_EQ("Do you want to cancel full backup procedure?", MessageBoxText(question));
    PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(question, IDYES)));
    EXPECT_EQ("Full registry backup was cancelled. No backup was kept.", AnswerBox(run));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(progress); }));
    EXPECT_EQ(std::vector<std::string>{name}, Names(BackupsFolder() + "\\FULL*.reg"));
    EXPECT_EQ(std::vector<std::string>{name}, Names(FullFolder() + "\\FULL*"));  // nothing of it is left

    // The window's own close button ends the program.
    Click(manager, IDC_BACKUP_EXIT);
    EXPECT_EQ(0, run.WaitForExit());

    // The next start prunes the cancelled backup's folder and keeps the whole one.
    {
        TarnwickRun next;
        ASSERT_TRUE(next.started());
        HWND nextMain = next.WaitForMainWindow();
        ASSERT_NE(nullptr, nextMain);
        EXPECT_EQ(std::vector<std::string>{name}, Names(FullFolder() + "\\FULL*"));

        // A backup whose folder cannot be made is not created, and the user is told.
        RemoveTree(FullFolder());
        HANDLE blocker = CreateFileA(FullFolder().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, blocker);
        CloseHandle(blocker);
        Click(nextMain, IDC_USER_SETTINGS);
        ASSERT_TRUE(WaitFor([&] { return Visible(nextMain, IDC_FULL_BACKUP); }));
        Click(nextMain, IDC_FULL_BACKUP);
        HWND nextManager = next.WaitForWindow(kManagerTitle);
        ASSERT_NE(nullptr, nextManager);
        Click(nextManager, IDC_RADIO_CREATE);
        Click(nextManager, IDC_FULL_PERFORM);
        EXPECT_EQ("Full registry backup could not be created.", AnswerBox(next));
        EXPECT_EQ(std::vector<std::string>{name}, Names(BackupsFolder() + "\\FULL*.reg"));
        Click(nextManager, IDC_FULL_CLOSE);
        EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(nextMain); }));
        PostMessageA(nextMain, WM_CLOSE, 0, 0);
        EXPECT_EQ(0, next.WaitForExit());
    }
}

}  // namespace
}  // namespace tw::test::gui
