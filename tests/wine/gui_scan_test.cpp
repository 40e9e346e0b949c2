// End to end through the scan windows: broken entries in three sections and a broken
// shortcut, each beside a sound entry of its kind; the sections ticked on the main page,
// the scan page's rows, the completion, the results viewer's overview and detail views, one
// problem unticked, the repair; then the registry and the disk, and the backup given back.
#include "gui_driver.h"

#include "backup/backup_restore.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "support/registry_fixture.h"
#include "ui/report_ctrl.h"

#include "../../resources/resource.h"

#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace tw::test::gui {
namespace {

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::string kHelp = "SOFTWARE\\Microsoft\\Windows\\Help";
const std::string kGone = "C:\\tarnwick\\gone";
const std::string kSoundFile = "C:\\windows\\system32\\notepad.exe";
constexpr int kProgressList = 1043;
constexpr int kResultsList = 1040;

// A row's text in a list view of another process.
std::string ListViewText(HWND list, int row, int column)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return {};
    constexpr SIZE_T kText = 512;
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + kText, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::string text;
    if (remote) {
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = remote + sizeof(LVITEMA);
        item.cchTextMax = kText;
        WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
        SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
        std::vector<char> buffer(kText + 1, '\0');
        ReadProcessMemory(process, remote + sizeof(LVITEMA), buffer.data(), kText, nullptr);
        text = buffer.data();
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return text;
}

std::vector<std::vector<std::string>> ListViewRows(HWND list, int columns)
{
    std::vector<std::vector<std::string>> rows;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int r = 0; r < count; ++r) {
        rows.emplace_back();
        for (int c = 0; c < columns; ++c)
            rows.back().push_back(ListViewText(list, r, c));
    }
    return rows;
}

// Posts a press and a release of the left button at the centre of a control, as a click of
// the pointer makes them (the button takes them as the pointer's, not as a BM_CLICK).
void PointerClick(HWND control)
{
    RECT r{};
    GetClientRect(control, &r);
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(control, WM_LBUTTONUP, 0, at);
}

// The page of this run that holds control `id`, as soon as it exists (shown or not yet).
HWND WaitForPageCreated(TarnwickRun& run, int id)
{
    HWND found = nullptr;
    WaitFor([&] {
        HWND w = FindProcessWindow(run.processId(), kPageWindowTitle, "#32770", false);
        if (w && GetDlgItem(w, id))
            found = w;
        return found != nullptr;
    }, std::chrono::milliseconds(60000), std::chrono::milliseconds(5));
    return found;
}

struct TipSearch {
    DWORD processId;
    std::string text;
};

BOOL CALLBACK FindShownTooltip(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<TipSearch*>(data);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (processId != search->processId || std::string(className) != TOOLTIPS_CLASSA || !IsWindowVisible(window))
        return TRUE;
    std::vector<char> text(4096);
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_BLOCK, 2000,
                            &copied) &&
        text[0]) {
        search->text = text.data();
        return FALSE;
    }
    return TRUE;
}

// The text of a tooltip the process shows now, empty when none.
std::string ShownTooltip(DWORD processId)
{
    TipSearch search{processId, {}};
    EnumWindows(FindShownTooltip, reinterpret_cast<LPARAM>(&search));
    return search.text;
}

// The fields of each line of a CSV file (RFC 4180: quoted fields, doubled quotes, CR LF).
std::vector<std::vector<std::string>> CsvRows(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            row.push_back(field);
            field.clear();
            rows.push_back(row);
            row.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return rows;
}

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The file name box of a common Save As dialog: the combo box cmb13, or the edit box edt1.
HWND FileNameBox(HWND dialog)
{
    if (HWND combo = GetDlgItem(dialog, 0x47C))
        return combo;
    return GetDlgItem(dialog, 0x480);
}

// The tooltip the results list shows for its detail row `row` once the pointer rests on it.
std::string RowTooltip(TarnwickRun& run, HWND list, int row)
{
    LRESULT at = SendMessageA(list, CReportCtrl::kCheckPointMessage, row, 1);
    if (at == -1)
        return {};
    POINT p{40, static_cast<short>(HIWORD(at)) + 20};  // on the preview's left, under the row's first line
    ClientToScreen(list, &p);
    SetCursorPos(p.x - 5, p.y);
    SetCursorPos(p.x, p.y);
    std::string tip;
    WaitFor([&] { return !(tip = ShownTooltip(run.processId())).empty(); });
    return tip;
}

struct ControlSearch {
    DWORD processId;
    int id;
    HWND found;
};

BOOL CALLBACK FindDialogWithControl(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<ControlSearch*>(data);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window) || !GetDlgItem(window, search->id))
        return TRUE;
    search->found = window;
    return FALSE;
}

// A shown top-level window of the process that holds control `id` (a question's Yes button).
HWND WaitForDialogWithControl(DWORD processId, int id)
{
    ControlSearch search{processId, id, nullptr};
    WaitFor([&] {
        EnumWindows(FindDialogWithControl, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    return search.found;
}

struct ProcessWindows {
    DWORD processId;
    std::vector<std::string> classes;
};

BOOL CALLBACK CollectChildClass(HWND window, LPARAM data)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    reinterpret_cast<ProcessWindows*>(data)->classes.push_back(name);
    return TRUE;
}

BOOL CALLBACK CollectTopLevelClass(HWND window, LPARAM data)
{
    auto* found = reinterpret_cast<ProcessWindows*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == found->processId) {
        CollectChildClass(window, data);
        EnumChildWindows(window, CollectChildClass, data);
    }
    return TRUE;
}

// The class names of every window of a process, top-level and child, sorted.
std::vector<std::string> WindowsOf(DWORD processId)
{
    ProcessWindows found{processId, {}};
    EnumWindows(CollectTopLevelClass, reinterpret_cast<LPARAM>(&found));
    std::sort(found.classes.begin(), found.classes.end());
    return found.classes;
}

bool MakeShortcut(const std::string& path, const std::string& target)
{
    CoInitialize(nullptr);
    bool ok = false;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        link->SetPath(target.c_str());
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            std::wstring wide(path.begin(), path.end());
            ok = SUCCEEDED(file->Save(wide.c_str(), TRUE));
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return ok;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> BackupFiles()
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((TestFolder() + "\\Registry Backups\\*.reg").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

// The one backup file in `after` that was not in `before`.
std::string NewBackup(const std::vector<std::string>& before, const std::vector<std::string>& after)
{
    for (const std::string& b : after)
        if (std::find(before.begin(), before.end(), b) == before.end())
            return b;
    return {};
}

class GuiScanTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean()
    {
        WipeKey(registry, kCurrentUser, "Software\\Tarnwick");
        DeleteValue("TwGone");
        DeleteValue("TwKept");
        DeleteValue("TwSound");
        WipeKey(registry, kLocalMachine, kAppPaths + "\\twgone.exe");
        WipeKey(registry, kLocalMachine, kAppPaths + "\\twsound.exe");
        KeyHandle help(registry);
        if (registry.OpenKeyEx(kLocalMachine, kHelp.c_str(), 0, kKeyAllAccess, help.Put()) == kSuccess) {
            registry.DeleteValue(help.get(), "twgone.hlp");
            registry.DeleteValue(help.get(), "twsound.hlp");
        }
        DeleteFileA(shortcut.c_str());
        DeleteFileA(soundShortcut.c_str());
    }
    void DeleteValue(const char* name)
    {
        KeyHandle run(registry);
        if (registry.OpenKeyEx(kLocalMachine, kRun.c_str(), 0, kKeyAllAccess, run.Put()) == kSuccess)
            registry.DeleteValue(run.get(), name);
    }
    void Seed()
    {
        SetValue(registry, kLocalMachine, kRun, "TwGone", kRegSz, Str(kGone + "\\run.exe"));
        SetValue(registry, kLocalMachine, kRun, "TwKept", kRegSz, Str(kGone + "\\kept.exe"));
        SetValue(registry, kLocalMachine, kRun, "TwSound", kRegSz, Str(kSoundFile));
        SetValue(registry, kLocalMachine, kAppPaths + "\\twgone.exe", "", kRegSz, Str(kGone + "\\app.exe"));
        SetValue(registry, kLocalMachine, kAppPaths + "\\twsound.exe", "", kRegSz, Str(kSoundFile));
        SetValue(registry, kLocalMachine, kHelp, "twgone.hlp", kRegSz, Str(kGone));
        std::ofstream("C:\\windows\\twsound.hlp") << "help";
        SetValue(registry, kLocalMachine, kHelp, "twsound.hlp", kRegSz, Str("C:\\windows"));
        ASSERT_TRUE(MakeShortcut(shortcut, kGone + "\\x.exe"));
        ASSERT_TRUE(MakeShortcut(soundShortcut, kSoundFile));
    }
    // On the main page, exactly these sections ticked.
    bool RunValue(const char* name)
    {
        std::uint32_t type = 0;
        Bytes data;
        return GetValue(registry, kLocalMachine, kRun, name, &type, &data);
    }
    bool HelpValue(const char* name)
    {
        std::uint32_t type = 0;
        Bytes data;
        return GetValue(registry, kLocalMachine, kHelp, name, &type, &data);
    }

    Win32Registry registry;
    std::string shortcut = "C:\\users\\Public\\Desktop\\twgone.lnk";
    std::string soundShortcut = "C:\\users\\Public\\Desktop\\twsound.lnk";
};

TEST_F(GuiScanTest, ScanReviewUntickOneRepairAndGiveItAllBack)
{
    CreateDirectoryA("C:\\users\\Public\\Desktop", nullptr);
    Seed();
    std::string before = DumpBranch(registry, kLocalMachine, kRun) + DumpBranch(registry, kLocalMachine, kAppPaths) +
                         DumpBranch(registry, kLocalMachine, kHelp);
    std::vector<std::string> backupsBefore = BackupFiles();

    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    TickOnly(main, {IDC_CHK_HELP_FILES, IDC_CHK_APP_PATHS, IDC_CHK_STARTUP, IDC_CHK_SHORTCUTS});
    Click(main, IDC_SCAN_NOW);

    HWND page = WaitForPage(run, kProgressList);
    ASSERT_NE(nullptr, page);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }));  // once the page is drawn
    HWND done = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(120000));
    ASSERT_NE(nullptr, done);
    EXPECT_EQ("Scanning complete.\nClick OK for Details about the errors found.", MessageBoxText(done));
    auto rows = ListViewRows(Control(page, kProgressList), 3);
    ASSERT_EQ(4u, rows.size());
    const char* order[] = {"Help files", "Applications Path", "Startup Programs", "Windows Shortcuts"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(order[i], rows[i][0]);
        EXPECT_EQ("Finished", rows[i][2]);
        EXPECT_GE(std::stoi(rows[i][1]), 1) << order[i];
    }
    EXPECT_EQ("2", rows[2][1]);  // TwGone and TwKept
    SaveScreenshot(page, "scan-page-finished");
    PressOk(done);

    HWND viewer = WaitForPage(run, kResultsList);
    ASSERT_NE(nullptr, viewer);
    HWND list = Control(viewer, kResultsList);
    ASSERT_TRUE(WaitFor([&] { return SendMessageA(list, CReportCtrl::kRowCountMessage, 0, 0) >= 4; }));
    auto overview = ReportRows(list);
    std::vector<std::string> sections;
    for (const auto& r : overview) {
        sections.push_back(r.text);
        EXPECT_EQ(1, r.check) << r.text;
    }
    EXPECT_EQ((std::vector<std::string>{"Application Paths", "Windows Help Files", "Startup Programs",
                                        "Windows Shortcuts"}),
              sections);
    EXPECT_EQ(std::stoi(rows[2][1]), std::stoi(overview[2].count));
    EXPECT_EQ("2 Problems Found", overview[2].count);
    SaveScreenshot(viewer, "results-overview");

    // The startup section in detail: untick the problem of TwKept.
    ClickCell(list, FindRow(overview, "Startup Programs"), 1, true);
    ASSERT_TRUE(WaitFor([&] { return ReportRows(list).size() == 2 && ReportRows(list)[0].text == "Error 1 Description:"; }));
    auto detail = ReportRows(list);
    EXPECT_EQ("Error 2 Description:", detail[1].text);
    SaveScreenshot(viewer, "results-detail");
    ClickCell(list, 1, 0, false);  // the seeding order: TwGone, then TwKept
    ASSERT_TRUE(WaitFor([&] { return ReportRows(list)[1].check == 0; }));
    Click(viewer, 1029);  // back to the overview: the section stays ticked
    ASSERT_TRUE(WaitFor([&] { return ReportRows(list).size() == 4; }));
    EXPECT_EQ(1, ReportRows(list)[2].check);

    Click(viewer, 1084);  // repair
    // The repair says what it removed and offers to undo it: kept.
    HWND said = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(60000));
    ASSERT_NE(nullptr, said);
    EXPECT_EQ("The repair removed 1 key, 2 values and 1 shortcut file.\n\nUndo this repair now?", MessageBoxText(said));
    PressButton(said, IDNO);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main); }, std::chrono::milliseconds(60000)));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(viewer) && !IsWindow(page); }));

    EXPECT_FALSE(RunValue("TwGone"));
    EXPECT_TRUE(RunValue("TwKept"));
    EXPECT_TRUE(RunValue("TwSound"));
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, kAppPaths + "\\twgone.exe"));
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, kAppPaths + "\\twsound.exe"));
    EXPECT_FALSE(HelpValue("twgone.hlp"));
    EXPECT_TRUE(HelpValue("twsound.hlp"));
    EXPECT_FALSE(FileExists(shortcut));
    EXPECT_TRUE(FileExists(soundShortcut));

    std::vector<std::string> backups = BackupFiles();
    ASSERT_EQ(backupsBefore.size() + 1, backups.size());
    const std::string added = NewBackup(backupsBefore, backups);
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());

    // The scan wrote its findings into the program's activity log, as the command line does.
    bool logged = false;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((TestFolder() + "\\Log\\*.twlog").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::ifstream in(TestFolder() + "\\Log\\" + data.cFileName, std::ios::binary);
            std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            logged = logged || text.find("Error Key Value Name: TwGone, Error Value: " + kGone + "\\run.exe") !=
                                   std::string::npos;
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    EXPECT_TRUE(logged);

    // Everything the repair took comes back from the backup as it was.
    Win32System system;
    std::string path = TestFolder() + "\\Registry Backups\\" + added;
    RestoreOutcome restored = RestoreRepairBackup(registry, system, path, {});
    EXPECT_TRUE(restored.restored);
    std::string after = DumpBranch(registry, kLocalMachine, kRun) + DumpBranch(registry, kLocalMachine, kAppPaths) +
                        DumpBranch(registry, kLocalMachine, kHelp);
    EXPECT_EQ(before, after);
    EXPECT_EQ(1u, restored.files);
    EXPECT_TRUE(FileExists(shortcut));  // the deleted shortcut too
    DeleteFileA(path.c_str());
}

// "Abort scanning" opens under the pointer that pressed "Scan now": the second click of a
// double click lands on it and must not stop the scan.
TEST_F(GuiScanTest, ADoubleClickOnScanNowRunsTheScanToScanningComplete)
{
    CreateDirectoryA("C:\\users\\Public\\Desktop", nullptr);
    Seed();
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    TickOnly(main, {IDC_CHK_HELP_FILES, IDC_CHK_APP_PATHS, IDC_CHK_STARTUP, IDC_CHK_SHORTCUTS});
    PointerClick(Control(main, IDC_SCAN_NOW));
    HWND page = WaitForPageCreated(run, 1092);
    ASSERT_NE(nullptr, page);
    PointerClick(Control(page, 1092));  // the double click's second half
    HWND done = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(120000));
    ASSERT_NE(nullptr, done);
    EXPECT_EQ("Scanning complete.\nClick OK for Details about the errors found.", MessageBoxText(done));
    auto rows = ListViewRows(Control(page, kProgressList), 3);
    ASSERT_EQ(4u, rows.size());
    for (const auto& row : rows)
        EXPECT_EQ("Finished", row[2]) << row[0];
    PressOk(done);
    HWND viewer = WaitForPage(run, kResultsList);
    ASSERT_NE(nullptr, viewer);
    EXPECT_EQ("", ControlText(Control(viewer, 1035)));  // a finished scan's viewer has no abort line
    Click(viewer, 1028);
    EXPECT_EQ(0, run.WaitForExit());
}

// A missing file named at the end of a long path: the detail row cuts it short, its tooltip
// shows it whole.
TEST_F(GuiScanTest, ALongPathInADetailRowIsReadableInFullInItsTooltip)
{
    const std::string path = kGone + "\\a folder with a name long enough to fill the row by itself\\"
                             "and another one below it, just as long as the first\\the-missing-program.exe";
    SetValue(registry, kLocalMachine, kRun, "TwGone", kRegSz, Str(path));
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    TickOnly(main, {IDC_CHK_STARTUP});
    Click(main, IDC_SCAN_NOW);
    HWND viewer = OkToResults(run);
    ASSERT_NE(nullptr, viewer);
    HWND list = Control(viewer, kResultsList);
    ASSERT_TRUE(WaitFor([&] { return SendMessageA(list, CReportCtrl::kRowCountMessage, 0, 0) >= 1; }));
    ClickCell(list, FindRow(ReportRows(list), "Startup Programs"), 1, true);
    ASSERT_TRUE(WaitFor([&] { return ReportRows(list).size() == 1 && ReportRows(list)[0].text == "Error 1 Description:"; }));
    // The pointer comes to rest on the row.
    LRESULT at = SendMessageA(list, CReportCtrl::kCheckPointMessage, 0, 1);
    ASSERT_NE(-1, at);
    POINT p{40, static_cast<short>(HIWORD(at)) + 20};  // on the preview's left, under the row's first line
    ClientToScreen(list, &p);
    SetCursorPos(p.x - 5, p.y);
    SetCursorPos(p.x, p.y);
    std::string tip;
    ASSERT_TRUE(WaitFor([&] { return !(tip = ShownTooltip(run.processId())).empty(); }));
    EXPECT_NE(std::string::npos, tip.find("Key Value: " + path)) << tip;
    EXPECT_NE(std::string::npos, tip.find("Key Name: TwGone")) << tip;
    SaveScreenshot(viewer, "results-detail-tooltip");
    Click(viewer, 1028);
    EXPECT_EQ(0, run.WaitForExit());
}

// Each detail row says why its entry was found, on a line of its own; "Save report..." asks
// for a file in the Save As dialog, where the name is typed as a user would, and writes the
// rows the viewer shows, with their reasons and ticks.
TEST_F(GuiScanTest, DetailRowsSayWhyAndSaveReportWritesTheRowsShown)
{
    Seed();
    const std::string folder = TestFolder() + "\\reports";
    const std::string report = folder + "\\Tarnwick report.csv";
    CreateDirectoryA(folder.c_str(), nullptr);
    DeleteFileA(report.c_str());
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    TickOnly(main, {IDC_CHK_STARTUP, IDC_CHK_SHORTCUTS});
    Click(main, IDC_SCAN_NOW);
    HWND viewer = OkToResults(run);
    ASSERT_NE(nullptr, viewer);
    EXPECT_TRUE(Visible(viewer, IDC_RESULTS_SAVE_REPORT));
    HWND list = Control(viewer, kResultsList);
    ASSERT_TRUE(WaitFor([&] { return SendMessageA(list, CReportCtrl::kRowCountMessage, 0, 0) >= 2; }));
    auto overview = ReportRows(list);
    const int shortcutRow = FindRow(overview, "Windows Shortcuts");
    ASSERT_NE(-1, shortcutRow);
    const int shortcutCount = std::stoi(overview[static_cast<std::size_t>(shortcutRow)].count);

    ClickCell(list, FindRow(overview, "Startup Programs"), 1, true);
    ASSERT_TRUE(WaitFor([&] { return ReportRows(list).size() == 2 && ReportRows(list)[0].text == "Error 1 Description:"; }));
    ClickCell(list, 1, 0, false);  // untick TwKept
    ASSERT_TRUE(WaitFor([&] { return ReportRows(list)[1].check == 0; }));
    SaveScreenshot(viewer, "results-detail-reasons");
    const std::string goneReason = "The program " + kGone + "\\run.exe started at log-on does not exist.";
    const std::string tip = RowTooltip(run, list, 0);
    EXPECT_NE(std::string::npos, tip.find("Key Name: TwGone")) << tip;
    EXPECT_NE(std::string::npos, tip.find("\nReason: " + goneReason)) << tip;

    Click(viewer, IDC_RESULTS_SAVE_REPORT);
    HWND save = run.WaitForWindow("Save report");
    ASSERT_NE(nullptr, save);
    HWND name = FileNameBox(save);
    ASSERT_NE(nullptr, name);
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(report.c_str()));
    PostMessageA(GetDlgItem(save, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(save) && FileExists(report); }));
    WaitUntilIdle(viewer);

    const std::string bytes = FileBytes(report);
    ASSERT_EQ(0u, bytes.rfind("\xEF\xBB\xBF", 0)) << "UTF-8 with a byte order mark";
    auto rows = CsvRows(bytes.substr(3));
    ASSERT_EQ(1u + 2u + static_cast<std::size_t>(shortcutCount), rows.size());
    EXPECT_EQ((std::vector<std::string>{"Section", "Key", "Value", "Data", "Reason", "Ticked"}), rows[0]);
    const std::string runKey = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Run";
    EXPECT_EQ((std::vector<std::string>{"Startup Programs", runKey, "TwGone", kGone + "\\run.exe", goneReason, "yes"}),
              rows[1]);
    EXPECT_EQ((std::vector<std::string>{"Startup Programs", runKey, "TwKept", kGone + "\\kept.exe",
                                        "The program " + kGone + "\\kept.exe started at log-on does not exist.", "no"}),
              rows[2]);
    bool ours = false;
    for (std::size_t r = 3; r < rows.size(); ++r) {
        ASSERT_EQ(6u, rows[r].size());
        EXPECT_EQ("Windows Shortcuts", rows[r][0]);
        EXPECT_NE(soundShortcut, rows[r][1]);  // its target is there
        if (rows[r][1] == shortcut) {
            ours = true;
            EXPECT_EQ("The shortcut's target " + kGone + "\\x.exe does not exist.", rows[r][4]);
            EXPECT_EQ("yes", rows[r][5]);
        }
    }
    EXPECT_TRUE(ours) << "the broken shortcut is reported";
    // Saving changed nothing on screen: the detail view is still there, as ticked.
    EXPECT_EQ(2u, ReportRows(list).size());
    EXPECT_EQ(0, ReportRows(list)[1].check);
    Click(viewer, 1028);
    EXPECT_EQ(0, run.WaitForExit());
    EXPECT_TRUE(RunValue("TwGone"));  // nothing was repaired
    DeleteFileA(report.c_str());
    RemoveDirectoryA(folder.c_str());
}

// A report that cannot be written is reported with the system's text, and the file on disk
// stays as it was: here the file the user chose to replace is held open by another program
// that lets no one else in.
TEST_F(GuiScanTest, AReportThatCannotBeWrittenIsReportedWithTheSystemsText)
{
    Seed();
    const std::string folder = TestFolder() + "\\reports";
    const std::string report = folder + "\\locked report.csv";
    CreateDirectoryA(folder.c_str(), nullptr);
    SetFileAttributesA(report.c_str(), FILE_ATTRIBUTE_NORMAL);  // whatever an earlier run left
    std::ofstream(report, std::ios::binary) << "kept";
    HANDLE held = CreateFileA(report.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    TickOnly(main, {IDC_CHK_STARTUP});
    Click(main, IDC_SCAN_NOW);
    HWND viewer = OkToResults(run);
    ASSERT_NE(nullptr, viewer);
    HWND list = Control(viewer, kResultsList);
    ASSERT_TRUE(WaitFor([&] { return SendMessageA(list, CReportCtrl::kRowCountMessage, 0, 0) >= 1; }));

    Click(viewer, IDC_RESULTS_SAVE_REPORT);
    HWND save = run.WaitForWindow("Save report");
    ASSERT_NE(nullptr, save);
    HWND name = FileNameBox(save);
    ASSERT_NE(nullptr, name);
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(report.c_str()));
    PostMessageA(GetDlgItem(save, IDOK), BM_CLICK, 0, 0);
    // The dialog asks whether to replace the file: yes.
    HWND replace = WaitForDialogWithControl(run.processId(), IDYES);
    ASSERT_NE(nullptr, replace);
    PostMessageA(replace, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(replace, IDYES)));
    HWND failed = run.WaitForWindow("Tarnwick");
    ASSERT_NE(nullptr, failed);
    const std::string text = MessageBoxText(failed);
    const std::string fixed = "The report could not be saved to " + report + ".\n\n";
    EXPECT_EQ(0u, text.rfind(fixed, 0)) << text;
    EXPECT_GT(text.size(), fixed.size()) << "the system's text follows: " << text;
    PressOk(failed);
    CloseHandle(held);
    EXPECT_EQ("kept", FileBytes(report));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(failed); }));
    EXPECT_TRUE(IsWindow(viewer));
    Click(viewer, 1028);
    EXPECT_EQ(0, run.WaitForExit());
    DeleteFileA(report.c_str());
    RemoveDirectoryA(folder.c_str());
}

// Names in other scripts go through the scan, the results window and the repair whole: the
// progress page counts the broken one only, the repair removes it and its backup gives it
// back, as another program wrote it.
TEST_F(GuiScanTest, ARunEntryNamedInAnyScriptIsFoundShownAndRepaired)
{
    const std::string broken = "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xF0\x9F\x8E\x89";  // Ωμέγα 🎉
    const std::string sound = "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0 \xE6\x95\xB0\xE6\x8D\xAE";  // Ёлка 数据
    const std::string folder = "C:\\tarnwick\\" + sound;
    CreateDirectoryA("C:\\tarnwick", nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    std::ofstream(folder + "\\app.exe") << "x";
    SetValue(registry, kLocalMachine, kRun, broken.c_str(), kRegSz, Str(kGone + "\\" + broken + ".exe"));
    SetValue(registry, kLocalMachine, kRun, sound.c_str(), kRegExpandSz, Str("\"" + folder + "\\app.exe\" /min"));
    const std::string before = DumpBranch(registry, kLocalMachine, kRun);
    std::vector<std::string> backupsBefore = BackupFiles();

    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    TickOnly(main, {IDC_CHK_STARTUP});
    Click(main, IDC_SCAN_NOW);
    HWND page = WaitForPage(run, kProgressList);
    ASSERT_NE(nullptr, page);
    HWND done = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(120000));
    ASSERT_NE(nullptr, done);
    auto rows = ListViewRows(Control(page, kProgressList), 3);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("1", rows[0][1]);
    PressOk(done);
    HWND viewer = WaitForPage(run, kResultsList);
    ASSERT_NE(nullptr, viewer);
    HWND list = Control(viewer, kResultsList);
    ASSERT_TRUE(WaitFor([&] { return SendMessageA(list, CReportCtrl::kRowCountMessage, 0, 0) == 1; }));
    ClickCell(list, 0, 1, true);
    ASSERT_TRUE(WaitFor([&] { return ReportRows(list).size() == 1 && ReportRows(list)[0].text == "Error 1 Description:"; }));
    SaveScreenshot(viewer, "results-detail-any-script");
    Click(viewer, 1084);  // repair
    HWND said = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(60000));
    ASSERT_NE(nullptr, said);
    EXPECT_EQ("The repair removed 0 keys, 1 value and 0 shortcut files.\n\nUndo this repair now?", MessageBoxText(said));
    PressButton(said, IDNO);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main); }, std::chrono::milliseconds(60000)));
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());

    EXPECT_FALSE(RunValue(broken.c_str()));
    std::uint32_t type = 0;
    Bytes data;
    ASSERT_TRUE(GetValue(registry, kLocalMachine, kRun, sound.c_str(), &type, &data));
    EXPECT_EQ(kRegExpandSz, type);
    std::vector<std::string> backups = BackupFiles();
    ASSERT_EQ(backupsBefore.size() + 1, backups.size());
    const std::string added = NewBackup(backupsBefore, backups);
    Win32System system;
    const std::string path = TestFolder() + "\\Registry Backups\\" + added;
    EXPECT_TRUE(RestoreRepairBackup(registry, system, path, {}).restored);
    EXPECT_EQ(before, DumpBranch(registry, kLocalMachine, kRun));
    DeleteFileA(path.c_str());
    DeleteValue(broken.c_str());
    DeleteValue(sound.c_str());
    DeleteFileA((folder + "\\app.exe").c_str());
    RemoveDirectoryA(folder.c_str());
}

// A branch whose walk takes long enough to be caught in the middle.
class GuiLongScanTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Win32Registry registry;
        WipeKey(registry, kCurrentUser, kBig);
        KeyHandle big(registry);
        ASSERT_EQ(kSuccess, registry.CreateKey(kCurrentUser, kBig, big.Put()));
        for (int i = 0; i < 6000; ++i) {
            KeyHandle key(registry);
            std::string name = "K" + std::to_string(i);
            ASSERT_EQ(kSuccess, registry.CreateKey(big.get(), name.c_str(), key.Put()));
            std::string path = kGone + "\\" + std::to_string(i) + ".exe";
            registry.SetValueEx(key.get(), "P", 0, kRegSz, reinterpret_cast<const std::uint8_t*>(path.c_str()),
                                static_cast<std::uint32_t>(path.size() + 1));
        }
    }
    static void TearDownTestSuite()
    {
        Win32Registry registry;
        WipeKey(registry, kCurrentUser, kBig);
        WipeKey(registry, kCurrentUser, "Software\\Tarnwick");
    }
    // Starts a scan of the whole registry and waits until it has found something.
    HWND StartLongScan(TarnwickRun& run)
    {
        HWND main = run.WaitForMainWindow();
        if (!main)
            return nullptr;
        for (int id = IDC_CHK_COMPLETE_REGISTRY; id <= IDC_CHK_SHORTCUTS; ++id)
            if (Checked(main, id) != (id == IDC_CHK_COMPLETE_REGISTRY))
                SendMessageA(Control(main, id), BM_CLICK, 0, 0);
        Click(main, IDC_SCAN_NOW);
        HWND page = WaitForPage(run, kProgressList);
        if (!page)
            return nullptr;
        HWND list = Control(page, kProgressList);
        WaitFor([&] {
            std::string found = ListViewText(list, 0, 1);
            return !found.empty() && std::stoi(found) >= 5;
        }, std::chrono::milliseconds(60000));
        return page;
    }
    static constexpr const char* kBig = "Software\\TarnwickLongScan";
};

TEST_F(GuiLongScanTest, AbortShowsTheMessageThenTheResultsAndResetsTheStopEvent)
{
    TarnwickRun run;
    HWND page = StartLongScan(run);
    ASSERT_NE(nullptr, page);
    SaveScreenshot(page, "scan-page-running");
    Click(page, 1092);
    HWND box = run.WaitForWindow("Tarnwick");
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Scanning aborted.", MessageBoxText(box));
    auto rows = ListViewRows(Control(page, kProgressList), 3);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("Scanning", rows[0][2]);  // cut short: never finished
    int shown = std::stoi(rows[0][1]);
    SaveScreenshot(page, "scan-page-aborted");
    PressOk(box);
    HWND viewer = WaitForPage(run, kResultsList);
    ASSERT_NE(nullptr, viewer);
    HWND list = Control(viewer, kResultsList);
    ASSERT_TRUE(WaitFor([&] { return SendMessageA(list, CReportCtrl::kRowCountMessage, 0, 0) == 1; }));
    // The last record found was dropped.
    EXPECT_EQ(std::to_string(shown - 1) + " Problems Found", ReportRows(list)[0].count);
    const std::string stopName = "TARNWICKSTOPSCANNING." + std::to_string(run.processId());
    HANDLE stop = OpenEventA(SYNCHRONIZE, FALSE, stopName.c_str());
    ASSERT_NE(nullptr, stop);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(stop, 0));
    CloseHandle(stop);
    Click(viewer, 1028);  // exit
    EXPECT_EQ(0, run.WaitForExit());
}

TEST_F(GuiLongScanTest, AnAbortedScansViewerSaysWhatWasScannedAndNeverNoErrorsFound)
{
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    for (int id = IDC_CHK_COMPLETE_REGISTRY; id <= IDC_CHK_SHORTCUTS; ++id)
        if (Checked(main, id) != (id == IDC_CHK_COMPLETE_REGISTRY || id == IDC_CHK_HELP_FILES))
            SendMessageA(Control(main, id), BM_CLICK, 0, 0);
    Click(main, IDC_SCAN_NOW);
    HWND page = WaitForPage(run, kProgressList);
    ASSERT_NE(nullptr, page);
    Click(page, 1092);  // at once: the walk has found little or nothing yet
    HWND box = run.WaitForWindow("Tarnwick");
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Scanning aborted.", MessageBoxText(box));
    PressOk(box);
    HWND viewer = WaitForPage(run, kResultsList);
    ASSERT_NE(nullptr, viewer);
    HWND list = Control(viewer, kResultsList);
    // The title line says the scan did not finish; the sections it names are those requested.
    ASSERT_TRUE(WaitFor([&] { return !ControlText(Control(viewer, 1035)).empty(); }));
    EXPECT_EQ("Scanning aborted: 0 of 2 sections finished", ControlText(Control(viewer, 1035)));
    if (SendMessageA(list, CReportCtrl::kRowCountMessage, 0, 0) == 0) {
        std::string empty = ControlText(list);
        EXPECT_EQ(std::string::npos, empty.find("No Errors Found.")) << empty;
        EXPECT_EQ("Scanning aborted before the scan was finished. No section was scanned to its end, and no "
                  "problems were found before the abort. Not scanned to the end: Complete Registry Scan, Help files.",
                  empty);
        SaveScreenshot(viewer, "results-aborted");
    }
    Click(viewer, 1028);
    EXPECT_EQ(0, run.WaitForExit());
}

TEST_F(GuiLongScanTest, AHeaderButtonDuringTheScanLandsOnItsPage)
{
    TarnwickRun run;
    HWND page = StartLongScan(run);
    ASSERT_NE(nullptr, page);
    Click(page, 1017);
    HWND box = run.WaitForWindow("Tarnwick");
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Scanning aborted.", MessageBoxText(box));
    PressOk(box);
    HWND main = FindProcessWindow(run.processId(), "Tarnwick Version 2.6", "#32770", false);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) && Visible(main, IDC_BHO_MANAGER); }));
    EXPECT_FALSE(IsWindow(page) && IsWindowVisible(page));
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
}

TEST_F(GuiLongScanTest, ExitDuringTheScanEndsTheProgramPromptly)
{
    TarnwickRun run;
    HWND page = StartLongScan(run);
    ASSERT_NE(nullptr, page);
    auto started = std::chrono::steady_clock::now();
    Click(page, 1028);
    EXPECT_EQ(0, run.WaitForExit(std::chrono::milliseconds(60000)));
    // Promptly: the walk stops within an entry; Wine takes its time to take windows down.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

TEST_F(GuiScanTest, OpeningAndClosingTheResultsTwentyTimesLeavesNoWindowObjectsBehind)
{
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    TickOnly(main, {IDC_CHK_HELP_FILES});
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, run.processId());
    ASSERT_NE(nullptr, process);
    auto round = [&] {
        Click(main, IDC_SCAN_NOW);
        HWND done = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(60000));
        ASSERT_NE(nullptr, done);
        PressOk(done);
        HWND viewer = WaitForPage(run, kResultsList);
        ASSERT_NE(nullptr, viewer);
        Click(viewer, 1029);  // closes the viewer and the scan page
        ASSERT_TRUE(WaitFor([&] {
            return IsWindowVisible(main) && !FindProcessWindow(run.processId(), kPageWindowTitle, "#32770", false);
        }));
    };
    round();  // the first opening loads what stays loaded (classes, fonts, images)
    DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS), user = GetGuiResources(process, GR_USEROBJECTS);
    std::vector<std::string> windows = WindowsOf(run.processId());
    for (int i = 0; i < 20; ++i)
        round();
    // Where the system counts GUI objects (Wine does not: it answers 0), they are back where
    // they were; and no window (tooltips, lists, buttons) of the viewer outlives it.
    EXPECT_EQ(gdi, GetGuiResources(process, GR_GDIOBJECTS));
    EXPECT_EQ(user, GetGuiResources(process, GR_USEROBJECTS));
    EXPECT_EQ(windows, WindowsOf(run.processId()));
    CloseHandle(process);
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
}

}  // namespace
}  // namespace tw::test::gui
