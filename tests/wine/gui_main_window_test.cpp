// End to end: Tarnwick.exe started from the test program's folder, driven through its
// windows, with the effects checked in the registry and on disk.
#include "gui_driver.h"

#include <shellapi.h>

#include "platform/win32/win32_registry.h"
#include "support/registry_fixture.h"

#include "../../resources/resource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace tw::test::gui {
namespace {

const char* const kMainTitle = "Tarnwick Version 2.6";
const char* const kSectionKey = "Software\\Tarnwick\\Tarnwick\\SectionToScan";
const char* const kMachineKey = "SOFTWARE\\Tarnwick";

const int kSettingsButtons[] = {IDC_BHO_MANAGER, IDC_STARTUP_MANAGER, IDC_ADDREMOVE_MANAGER, IDC_FULL_BACKUP,
                                IDC_IGNORED_ENTRIES};
const int kOptionControls[] = {IDC_CHK_SCAN_ON_LOAD, IDC_LBL_SCAN_ON_LOAD, IDC_CHK_RESTORE_LATEST,
                               IDC_LBL_RESTORE_LATEST};
const int kMainControls[] = {IDC_SCAN_NOW, IDC_AREAS_HEADING, IDC_SCAN_TILE, IDC_BACKUP_TILE, IDC_SETTINGS_TILE,
                             IDC_TIP_CARD, IDC_CHK_COMPLETE_REGISTRY, IDC_LBL_COMPLETE_REGISTRY, IDC_CHK_SHORTCUTS,
                             IDC_LBL_SHORTCUTS, IDC_CHK_VXD, IDC_LBL_VXD, IDC_UNDO_REPAIR};
const int kEveryPage[] = {IDC_EXIT, IDC_MINIMIZE, IDC_LOGO, IDC_MAIN_PAGE, IDC_ADVANCED_OPTIONS,
                          IDC_BACKUP_MANAGER, IDC_USER_SETTINGS, IDC_HELP_PAGE};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string LogPath(const SYSTEMTIME& t)
{
    char name[64];
    std::snprintf(name, sizeof name, "\\Log\\log_%02i_%02i_%02i_%02i_%02i_%02i.twlog", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return TestFolder() + name;
}

// The log of a run: named after a second between the start request and a moment later.
std::string FindRunLog(const SYSTEMTIME& start)
{
    FILETIME f;
    SystemTimeToFileTime(&start, &f);
    ULARGE_INTEGER at{{f.dwLowDateTime, f.dwHighDateTime}};
    for (int s = 0; s < 4; ++s) {
        ULARGE_INTEGER t = at;
        t.QuadPart += static_cast<ULONGLONG>(s) * 10000000ull;
        FILETIME ft{t.LowPart, t.HighPart};
        SYSTEMTIME st;
        FileTimeToSystemTime(&ft, &st);
        std::string path = LogPath(st);
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return path;
    }
    return {};
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Each test starts from the registry of a first run and leaves no trace of its own.
class GuiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WipeKey(registry, kCurrentUser, "Software\\Tarnwick");
        WipeKey(registry, kLocalMachine, kMachineKey);
    }
    void TearDown() override
    {
        WipeKey(registry, kCurrentUser, "Software\\Tarnwick");
        WipeKey(registry, kLocalMachine, kMachineKey);
    }
    std::uint32_t SectionValue(const char* name)
    {
        std::uint32_t type = 0;
        Bytes data;
        if (!GetValue(registry, kCurrentUser, kSectionKey, name, &type, &data) || type != kRegDword ||
            data.size() != 4)
            return 0xFFFFFFFFu;
        return data[0];
    }
    Win32Registry registry;
};

TEST_F(GuiTest, SplashThenMainWindowAndItsThreePages)
{
    TarnwickRun run;
    ASSERT_TRUE(run.started());
    HWND splash = run.WaitForWindow("Tarnwick Running...");
    ASSERT_NE(nullptr, splash);
    auto splashSeen = std::chrono::steady_clock::now();
    EXPECT_EQ(nullptr, FindProcessWindow(run.processId(), kMainTitle));
    EXPECT_TRUE(SaveScreenshot(splash, "splash"));

    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    EXPECT_FALSE(IsWindow(splash) && IsWindowVisible(splash));
    EXPECT_GE(std::chrono::steady_clock::now() - splashSeen, std::chrono::milliseconds(1500));

    // The window takes the outline of its skin: a layered window the skin's size.
    RECT rect;
    GetWindowRect(main, &rect);
    EXPECT_GE(rect.right - rect.left, 622);  // the frame's outline, and the transparent margin
    EXPECT_LE(rect.right - rect.left, 740);
    EXPECT_GE(rect.bottom - rect.top, 546);
    EXPECT_LE(rect.bottom - rect.top, 558);
    EXPECT_TRUE(GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_LAYERED);

    // Main page.
    for (int id : kMainControls)
        EXPECT_TRUE(Visible(main, id)) << id;
    for (int id : kSettingsButtons)
        EXPECT_FALSE(Visible(main, id)) << id;
    for (int id : kOptionControls)
        EXPECT_FALSE(Visible(main, id)) << id;
    EXPECT_FALSE(Visible(main, IDC_PAGE_TITLE));
    EXPECT_EQ("Sound Section", ControlText(Control(main, IDC_LBL_SOUNDS)));
    EXPECT_TRUE(Checked(main, IDC_CHK_SOUNDS));  // a first run has every section ticked
    EXPECT_TRUE(SaveScreenshot(main, "main-page"));

    // "User settings".
    Click(main, IDC_USER_SETTINGS);
    EXPECT_TRUE(WaitFor([&] { return Visible(main, IDC_BHO_MANAGER); }));
    for (int id : kSettingsButtons)
        EXPECT_TRUE(Visible(main, id)) << id;
    for (int id : kMainControls)
        EXPECT_FALSE(Visible(main, id)) << id;
    for (int id : kOptionControls)
        EXPECT_FALSE(Visible(main, id)) << id;
    EXPECT_TRUE(Visible(main, IDC_PAGE_TITLE));
    EXPECT_EQ("Settings", ControlText(Control(main, IDC_PAGE_TITLE)));
    EXPECT_TRUE(SaveScreenshot(main, "settings-page"));

    // "User options".
    Click(main, IDC_ADVANCED_OPTIONS);
    EXPECT_TRUE(WaitFor([&] { return Visible(main, IDC_CHK_SCAN_ON_LOAD); }));
    for (int id : kOptionControls)
        EXPECT_TRUE(Visible(main, id)) << id;
    for (int id : kSettingsButtons)
        EXPECT_FALSE(Visible(main, id)) << id;
    EXPECT_EQ("Advanced Options", ControlText(Control(main, IDC_PAGE_TITLE)));
    EXPECT_EQ("Perform Scan on Application Load", ControlText(Control(main, IDC_LBL_SCAN_ON_LOAD)));
    EXPECT_EQ("Restore From Latest Backup", ControlText(Control(main, IDC_LBL_RESTORE_LATEST)));
    EXPECT_TRUE(SaveScreenshot(main, "advanced-options-page"));

    // The logo brings back the main page.
    Click(main, IDC_LOGO);
    EXPECT_TRUE(WaitFor([&] { return Visible(main, IDC_SCAN_NOW); }));
    for (int id : kOptionControls)
        EXPECT_FALSE(Visible(main, id)) << id;
    EXPECT_FALSE(Visible(main, IDC_PAGE_TITLE));
    for (int id : kEveryPage)
        EXPECT_TRUE(Visible(main, id)) << id;

    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
}

TEST_F(GuiTest, ASecondCopyIsRefusedAndLeavesALogOfItsClosingLineOnly)
{
    TarnwickRun first;
    HWND main = first.WaitForMainWindow();
    ASSERT_NE(nullptr, main);

    TarnwickRun second;
    ASSERT_TRUE(second.started());
    HWND box = second.WaitForWindow("Error");
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("An instance of Tarnwick is already running", MessageBoxText(box));
    EXPECT_EQ(nullptr, FindProcessWindow(second.processId(), "Tarnwick Running..."));
    PressOk(box);
    EXPECT_EQ(0, second.WaitForExit());
    EXPECT_TRUE(IsWindowVisible(main));  // the running copy stays as it was

    std::string log = FindRunLog(second.startTime());
    ASSERT_FALSE(log.empty());
    std::string text = ReadFile(log);
    // "YYYY/MM/DD hh:mm:ss:mmm \t" and the closing line, nothing else.
    const std::string closing = " \tFinish Logging \r\n\r\n\r\n";
    EXPECT_EQ(23 + closing.size(), text.size()) << text;
    EXPECT_TRUE(EndsWith(text, closing)) << text;
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, first.WaitForExit());
}

TEST_F(GuiTest, AnUntickedSectionIsStoredOnLeavingAndShownUntickedNextTime)
{
    {
        TarnwickRun run;
        HWND main = run.WaitForMainWindow();
        ASSERT_NE(nullptr, main);
        EXPECT_TRUE(Checked(main, IDC_CHK_VXD));
        SendMessageA(Control(main, IDC_CHK_VXD), BM_CLICK, 0, 0);
        EXPECT_FALSE(Checked(main, IDC_CHK_VXD));
        Click(main, IDC_EXIT);
        ASSERT_EQ(0, run.WaitForExit());

        // The log is named after the start and ends with the closing line.
        std::string log = FindRunLog(run.startTime());
        ASSERT_FALSE(log.empty());
        EXPECT_TRUE(EndsWith(ReadFile(log), " \tFinish Logging \r\n\r\n\r\n"));
    }
    EXPECT_EQ(0u, SectionValue("chk_vxd_"));
    EXPECT_EQ(1u, SectionValue("chk_comregscan_"));
    EXPECT_EQ(1u, SectionValue("chk_shortcuts_"));
    // With both options off no machine key is made.
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, kMachineKey));

    TarnwickRun next;
    HWND main = next.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    EXPECT_FALSE(Checked(main, IDC_CHK_VXD));
    EXPECT_TRUE(Checked(main, IDC_CHK_SOUNDS));
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, next.WaitForExit());
}

TEST_F(GuiTest, EscapeEndsTheProgramAndTheOptionsAreSaved)
{
    CreateKey(registry, kLocalMachine, kMachineKey);
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    Click(main, IDC_ADVANCED_OPTIONS);
    ASSERT_TRUE(WaitFor([&] { return Visible(main, IDC_CHK_RESTORE_LATEST); }));
    SendMessageA(Control(main, IDC_CHK_RESTORE_LATEST), BM_CLICK, 0, 0);
    SendMessageA(Control(main, IDC_CHK_HELP_FILES), BM_CLICK, 0, 0);  // a hidden box keeps its state
    PostMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_EQ(0, run.WaitForExit());

    std::uint32_t type = 0;
    Bytes data;
    ASSERT_TRUE(GetValue(registry, kLocalMachine, kMachineKey, "restorebackopt", &type, &data));
    EXPECT_EQ(kRegSz, type);
    EXPECT_EQ(Str("1"), data);
    ASSERT_TRUE(GetValue(registry, kLocalMachine, kMachineKey, "scanonstartup", &type, &data));
    EXPECT_EQ(Str("0"), data);
    EXPECT_EQ(0u, SectionValue("chk_helpfiles_"));
}

TEST_F(GuiTest, OptionsTickedOnANewCopyAreTickedAfterARestart)
{
    ASSERT_FALSE(KeyExists(registry, kLocalMachine, kMachineKey));
    {
        TarnwickRun run;
        HWND main = run.WaitForMainWindow();
        ASSERT_NE(nullptr, main);
        // Only the help files, for the scan the option starts next time.
        for (int id = IDC_CHK_COMPLETE_REGISTRY; id <= IDC_CHK_SHORTCUTS; ++id)
            if (Checked(main, id) != (id == IDC_CHK_HELP_FILES))
                SendMessageA(Control(main, id), BM_CLICK, 0, 0);
        Click(main, IDC_ADVANCED_OPTIONS);
        ASSERT_TRUE(WaitFor([&] { return Visible(main, IDC_CHK_SCAN_ON_LOAD); }));
        SendMessageA(Control(main, IDC_CHK_SCAN_ON_LOAD), BM_CLICK, 0, 0);
        SendMessageA(Control(main, IDC_CHK_RESTORE_LATEST), BM_CLICK, 0, 0);
        WaitUntilIdle(main);
        EXPECT_EQ(nullptr, FindProcessWindow(run.processId(), "Tarnwick"));  // nothing to tell
        Click(main, IDC_EXIT);
        ASSERT_EQ(0, run.WaitForExit());
    }
    TarnwickRun next;
    // The option kept: the start-up scan runs.
    HWND done = next.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(60000));
    ASSERT_NE(nullptr, done);
    EXPECT_EQ("Scanning complete.\nClick OK for Details about the errors found.", MessageBoxText(done));
    PressOk(done);
    HWND viewer = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        viewer = FindProcessWindow(next.processId(), "Tarnwick version 2.6");
        return viewer && GetDlgItem(viewer, 1040);
    }));
    Click(viewer, 1056);  // "User options": the main window on its "Advanced Options" page
    HWND main = FindProcessWindow(next.processId(), kMainTitle, "#32770", false);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main) && Visible(main, IDC_CHK_SCAN_ON_LOAD); }));
    EXPECT_TRUE(Checked(main, IDC_CHK_SCAN_ON_LOAD));
    EXPECT_TRUE(Checked(main, IDC_CHK_RESTORE_LATEST));
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, next.WaitForExit());
}

TEST_F(GuiTest, OptionsThatCannotBeWrittenAreToldOnce)
{
    CreateKey(registry, kLocalMachine, kMachineKey);
    RefuseWriteAccess(registry, kLocalMachine, kMachineKey);
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    Click(main, IDC_ADVANCED_OPTIONS);
    ASSERT_TRUE(WaitFor([&] { return Visible(main, IDC_CHK_RESTORE_LATEST); }));
    PostMessageA(Control(main, IDC_CHK_RESTORE_LATEST), BM_CLICK, 0, 0);
    HWND box = run.WaitForWindow("Tarnwick");
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("The options could not be saved: HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick cannot be written without "
              "administrator rights. They apply until Tarnwick is closed.",
              MessageBoxText(box));
    PressOk(box);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));
    EXPECT_TRUE(Checked(main, IDC_CHK_RESTORE_LATEST));  // it applies to this run
    // Once: the second box ticked says nothing more.
    PostMessageA(Control(main, IDC_CHK_SCAN_ON_LOAD), BM_CLICK, 0, 0);
    WaitUntilIdle(main);
    EXPECT_EQ(nullptr, FindProcessWindow(run.processId(), "Tarnwick"));
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
    RefuseWriteAccess(registry, kLocalMachine, kMachineKey, false);
    Bytes data;
    EXPECT_FALSE(GetValue(registry, kLocalMachine, kMachineKey, "restorebackopt", nullptr, &data));
}

TEST_F(GuiTest, TheStartUpScanOpensTheScanPageOnceTheWindowIsShown)
{
    SetValue(registry, kLocalMachine, kMachineKey, "scanonstartup", kRegSz, Str("1"));
    // Only the help files: a short scan.
    for (const char* name : {"chk_comregscan_", "chk_progid_", "chk_addremove_", "chk_apppaths_", "chk_winfonts_",
                             "chk_sharedfiles_", "chk_startup_", "chk_sysservs_", "chk_vxd_", "chk_fileasss_",
                             "chk_sounds_", "chk_regint_", "chk_shortcuts_"})
        SetValue(registry, kCurrentUser, kSectionKey, name, kRegDword, B({0, 0, 0, 0}));
    TarnwickRun run;
    // The scan page may take its place before a poll sees it shown: found whether or not.
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        return (main = FindProcessWindow(run.processId(), "Tarnwick Version 2.6", "#32770", false)) != nullptr;
    }));
    HWND done = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(60000));
    ASSERT_NE(nullptr, done);
    EXPECT_EQ("Scanning complete.\nClick OK for Details about the errors found.", MessageBoxText(done));
    HWND page = FindProcessWindow(run.processId(), "Tarnwick version 2.6");
    ASSERT_NE(nullptr, page);
    EXPECT_FALSE(IsWindowVisible(main));
    PressOk(done);
    // The results viewer: its close button ends it and the scan page; the main window is back.
    HWND viewer = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        viewer = FindProcessWindow(run.processId(), "Tarnwick version 2.6");
        return viewer && GetDlgItem(viewer, 1040);
    }));
    Click(viewer, 1029);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main); }));
    // Once only: nothing more is opened once the program has handled all it was sent.
    WaitUntilIdle(main);
    EXPECT_EQ(nullptr, FindProcessWindow(run.processId(), "Tarnwick version 2.6"));
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
}

TEST_F(GuiTest, TheNotificationAreaMenuOpensTheWindow)
{
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);

    // The icon is there while the window is: it can be changed.
    NOTIFYICONDATAA icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = main;
    icon.uID = 132;
    icon.uFlags = NIF_TIP;
    lstrcpynA(icon.szTip, "Tarnwick", sizeof icon.szTip);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &icon));

    // A user's click on the minimise button lands on the active window.
    SetForegroundWindow(main);
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == main; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Click(main, IDC_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(main) != FALSE; }));

    PostMessageA(main, WM_USER + 2, 132, WM_RBUTTONUP);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        menu = FindWindowA("#32768", nullptr);
        return menu && IsWindowVisible(menu);
    }));
    // Menus are private to their process: the menu shown is read from the program's
    // resources.
    HMODULE program = LoadLibraryExA((TestFolder() + "\\Tarnwick.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program);
    HMENU resource = LoadMenuA(program, MAKEINTRESOURCEA(IDR_TRAY_MENU));
    ASSERT_NE(nullptr, resource);
    HMENU items = GetSubMenu(resource, 0);
    EXPECT_EQ(2, GetMenuItemCount(items));
    char text[64] = {};
    GetMenuStringA(items, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("Open Tarnwick", text);
    EXPECT_EQ(static_cast<UINT>(ID_TRAY_OPEN), GetMenuItemID(items, 0));
    EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR), GetMenuState(items, 1, MF_BYPOSITION) & MF_SEPARATOR);
    DestroyMenu(resource);
    FreeLibrary(program);
    EXPECT_TRUE(SaveScreenshot(menu, "notification-menu"));
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(main); }));
    EXPECT_TRUE(IsWindowVisible(main));

    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
    // Leaving removed the icon.
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &icon));
}

// Moves the real pointer (the program sees what a user's mouse would do).
void PointerTo(int x, int y)
{
    SetCursorPos(x, y);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
}
void Press()
{
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
}
void Release()
{
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}
POINT Centre(HWND control)
{
    RECT r;
    GetWindowRect(control, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

TEST_F(GuiTest, TheBareSkinDragsTheWindowAndAButtonClicksOnlyWhenReleasedOverIt)
{
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    SetForegroundWindow(main);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == main; }));

    // A section's label ticks its box, as a check box's own text would.
    POINT label = Centre(Control(main, IDC_LBL_SOUNDS));
    PointerTo(label.x, label.y);
    Press();
    Release();
    EXPECT_FALSE(Checked(main, IDC_CHK_SOUNDS));

    // Held down on a button and released off it: no click, and the window stays put.
    RECT before;
    GetWindowRect(main, &before);
    POINT settings = Centre(Control(main, IDC_USER_SETTINGS));
    PointerTo(settings.x, settings.y);
    Press();
    PointerTo(settings.x, settings.y + 70);  // onto the bare page below the toolbar
    PointerTo(settings.x, settings.y + 80);
    Release();
    EXPECT_FALSE(Visible(main, IDC_BHO_MANAGER));
    RECT after;
    GetWindowRect(main, &after);
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(before.top, after.top);

    // Released over it: the click counts.
    PointerTo(settings.x, settings.y);
    Press();
    Release();
    EXPECT_TRUE(WaitFor([&] { return Visible(main, IDC_BHO_MANAGER); }));
    EXPECT_TRUE(SaveScreenshot(main, "settings-page-hover"));

    // The caption band is bare skin: dragging it moves the window.
    PointerTo(before.left + 300, before.top + 16);
    Press();
    for (int step = 1; step <= 6; ++step)
        PointerTo(before.left + 300 + step * 10, before.top + 16 + step * 7);
    Release();
    EXPECT_TRUE(WaitFor([&] {
        GetWindowRect(main, &after);
        return after.left == before.left + 60 && after.top == before.top + 42;
    }, std::chrono::milliseconds(3000)))
        << after.left - before.left << "," << after.top - before.top;

    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
}

TEST_F(GuiTest, HoveringShowsTheHighlightAndLeavingTheNormalImageAgain)
{
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    SetForegroundWindow(main);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == main; }));
    HWND options = Control(main, IDC_ADVANCED_OPTIONS);
    POINT centre = Centre(options);
    RECT window;
    GetWindowRect(main, &window);

    PointerTo(window.left + 300, window.top + 16);  // bare caption band
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::vector<std::uint32_t> normal = ScreenPixels(options);
    PointerTo(centre.x, centre.y);
    PointerTo(centre.x + 1, centre.y + 1);
    std::vector<std::uint32_t> hovered;
    EXPECT_TRUE(WaitFor([&] { return (hovered = ScreenPixels(options)) != normal; }, std::chrono::milliseconds(3000)));
    // Held down: the same image (one image serves hover and pressed).
    Press();
    EXPECT_EQ(hovered, ScreenPixels(options));
    PointerTo(window.left + 300, window.top + 16);
    Release();
    EXPECT_TRUE(WaitFor([&] { return ScreenPixels(options) == normal; }, std::chrono::milliseconds(3000)));
    EXPECT_FALSE(Visible(main, IDC_CHK_SCAN_ON_LOAD));  // released off the button: no click

    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
}

TEST_F(GuiTest, AHelpPageThatCannotBeOpenedIsToldWithItsPath)
{
    const std::string page = TestFolder() + "\\Tarnwick Help.html";
    const std::string away = TestFolder() + "\\Tarnwick Help.html.away";
    ASSERT_TRUE(MoveFileA(page.c_str(), away.c_str()));
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    if (main) {
        Click(main, IDC_HELP_PAGE);
        HWND box = run.WaitForWindow("Tarnwick");
        EXPECT_NE(nullptr, box);
        if (box) {
            std::string text = MessageBoxText(box);
            EXPECT_EQ(0u, text.find("The help page could not be opened: ")) << text;
            // The system's own reason, as it words it.
            char reason[256] = {};
            FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND,
                           0, reason, sizeof reason, nullptr);
            std::string expected = reason;
            while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r'))
                expected.pop_back();
            EXPECT_FALSE(expected.empty());
            EXPECT_NE(std::string::npos, text.find(": " + expected + "\n")) << text;
            EXPECT_NE(std::string::npos, text.find("It is " + page)) << text;
            PressOk(box);
        }
        Click(main, IDC_EXIT);
        EXPECT_EQ(0, run.WaitForExit());
    }
    MoveFileA(away.c_str(), page.c_str());
    EXPECT_NE(nullptr, main);
}

TEST_F(GuiTest, TheHelpPageLiesBesideTheProgram)
{
    std::string page = ReadFile(TestFolder() + "\\Tarnwick Help.html");
    EXPECT_NE(std::string::npos, page.find("<title>Tarnwick 2.6 help</title>"));
    EXPECT_NE(std::string::npos, page.find("Undoing a repair"));
    EXPECT_NE(std::string::npos, page.find("Registry Backups"));
}

}  // namespace
}  // namespace tw::test::gui
