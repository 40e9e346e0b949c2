// End to end through the ignore list: three broken Run entries scanned, two of them put on
// the list from the results viewer's detail view through "Never report again" and its
// question; the next scan leaves them out and both the scan page and the viewer say how
// many; one taken off the list in the "Settings" page's "Ignored entries" window, and the
// scan after that reports it again. The registry is checked at each step.
#include "gui_driver.h"

#include "platform/win32/win32_registry.h"
#include "scan/ignore_list.h"
#include "support/registry_fixture.h"
#include "ui/report_ctrl.h"

#include "../../resources/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tw::test::gui {
namespace {

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kRunPath = "HKEY_LOCAL_MACHINE\\" + kRun;
const std::string kGone = "C:\\tarnwick\\gone-ignore";
constexpr int kProgressList = 1043;
constexpr int kStatusLine = 1091;
constexpr int kResultsList = 1040;
constexpr int kResultsTitleLine = 1035;
constexpr int kResultsClose = 1029;

// The "Yes" button of a message box, clicked.
void PressYes(HWND box)
{
    PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
}

class GuiIgnoreTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean()
    {
        WipeKey(registry, kCurrentUser, "Software\\Tarnwick");
        KeyHandle run(registry);
        if (registry.OpenKeyEx(kLocalMachine, kRun.c_str(), 0, kKeyAllAccess, run.Put()) == kSuccess)
            for (const char* name : {"TwIgnoreA", "TwIgnoreB", "TwIgnoreC"})
                registry.DeleteValue(run.get(), name);
    }
    std::vector<IgnoredEntry> Listed()
    {
        IgnoreList list(registry);
        list.Load();
        return list.entries();
    }
    // Scans the startup programs from the main window, answers "Scanning complete" and
    // returns the results viewer; `page` gets the scan page.
    HWND Scan(TarnwickRun& run, HWND main, HWND* page)
    {
        TickOnly(main, {IDC_CHK_STARTUP});
        Click(main, IDC_SCAN_NOW);
        *page = WaitForPage(run, kProgressList);
        HWND done = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(120000));
        if (!done)
            return nullptr;
        EXPECT_EQ("Scanning complete.\nClick OK for Details about the errors found.", MessageBoxText(done));
        PressOk(done);
        HWND viewer = WaitForPage(run, kResultsList);
        HWND list = viewer ? Control(viewer, kResultsList) : nullptr;
        if (list)
            WaitFor([&] { return SendMessageA(list, CReportCtrl::kRowCountMessage, 0, 0) >= 1; });
        return viewer;
    }
    // Closes the viewer (and with it the scan page) back to the main window.
    void CloseViewer(HWND viewer, HWND main)
    {
        Click(viewer, kResultsClose);
        ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main); }, std::chrono::milliseconds(60000)));
    }

    Win32Registry registry;
};

TEST_F(GuiIgnoreTest, IgnoreTwoFromTheViewerThenTakeOneOffInTheSettingsPage)
{
    for (const char* name : {"TwIgnoreA", "TwIgnoreB", "TwIgnoreC"})
        SetValue(registry, kLocalMachine, kRun, name, kRegSz, Str(kGone + "\\" + name + ".exe"));

    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    HWND page = nullptr;
    HWND viewer = Scan(run, main, &page);
    ASSERT_NE(nullptr, viewer);
    HWND list = Control(viewer, kResultsList);
    EXPECT_EQ("", ControlText(Control(viewer, kResultsTitleLine)));  // no list yet: nothing left out
    EXPECT_TRUE(Visible(viewer, IDC_NEVER_REPORT));
    auto overview = ReportRows(list);
    int startup = FindRow(overview, "Startup Programs");
    ASSERT_NE(-1, startup);
    EXPECT_EQ("3 Problems Found", overview[static_cast<std::size_t>(startup)].count);

    // In detail, B unticked: A and C are the ticked problems (the seeding order).
    ClickCell(list, startup, 1, true);
    ASSERT_TRUE(WaitFor([&] { return ReportRows(list).size() == 3 && ReportRows(list)[0].text == "Error 1 Description:"; }));
    ClickCell(list, 1, 0, false);
    ASSERT_TRUE(WaitFor([&] { return ReportRows(list)[1].check == 0; }));
    WaitUntilIdle(viewer);
    SaveScreenshot(viewer, "results-never-report");
    Click(viewer, IDC_NEVER_REPORT);
    HWND question = run.WaitForWindow("Tarnwick");
    ASSERT_NE(nullptr, question);
    EXPECT_EQ("Never report these 2 problems again?", MessageBoxText(question));
    PressYes(question);
    ASSERT_TRUE(WaitFor([&] { return ReportRows(list).size() == 1; }));
    EXPECT_EQ(0, ReportRows(list)[0].check);  // B, still unticked

    std::vector<IgnoredEntry> listed = Listed();
    ASSERT_EQ(2u, listed.size());
    IgnoreList list2(registry);
    list2.Load();
    EXPECT_TRUE(list2.Contains({kRunPath, std::string("TwIgnoreA")}));
    EXPECT_TRUE(list2.Contains({kRunPath, std::string("TwIgnoreC")}));
    EXPECT_FALSE(list2.Contains({kRunPath, std::string("TwIgnoreB")}));

    Click(viewer, kResultsClose);  // detail -> overview
    ASSERT_TRUE(WaitFor([&] { return FindRow(ReportRows(list), "Startup Programs") != -1; }));
    CloseViewer(viewer, main);

    // The next scan leaves the two out and says so, on the scan page and in the viewer.
    viewer = Scan(run, main, &page);
    ASSERT_NE(nullptr, viewer);
    EXPECT_EQ("2 ignored problems were left out.", ControlText(Control(page, kStatusLine)));
    EXPECT_EQ("2 ignored problems were left out.", ControlText(Control(viewer, kResultsTitleLine)));
    list = Control(viewer, kResultsList);
    overview = ReportRows(list);
    startup = FindRow(overview, "Startup Programs");
    ASSERT_NE(-1, startup);
    EXPECT_EQ("1 Problems Found", overview[static_cast<std::size_t>(startup)].count);
    WaitUntilIdle(viewer);
    SaveScreenshot(viewer, "results-ignored-left-out");
    CloseViewer(viewer, main);

    // The Settings page's "Ignored entries": take A off the list.
    Click(main, IDC_USER_SETTINGS);
    ASSERT_TRUE(WaitFor([&] { return Visible(main, IDC_IGNORED_ENTRIES); }));
    Click(main, IDC_IGNORED_ENTRIES);
    HWND window = run.WaitForWindow("Ignored entries");
    ASSERT_NE(nullptr, window);
    HWND entries = Control(window, IDC_IGNORED_LIST);
    ASSERT_TRUE(WaitFor([&] { return ListRowCount(entries) == 2; }));
    int rowA = -1;
    for (int r = 0; r < 2; ++r) {
        // The key path as the scan reported it (the startup section's own spelling).
        EXPECT_EQ("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Run", ListText(entries, r, 0));
        if (ListText(entries, r, 1) == "TwIgnoreA")
            rowA = r;
    }
    ASSERT_NE(-1, rowA);
    WaitUntilIdle(window);
    SaveScreenshot(window, "ignored-entries");
    SelectListRow(entries, rowA);
    Click(window, IDC_IGNORED_REMOVE);
    ASSERT_TRUE(WaitFor([&] { return ListRowCount(entries) == 1; }));
    EXPECT_EQ("TwIgnoreC", ListText(entries, 0, 1));
    Click(window, IDC_IGNORED_CLOSE);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(window); }));
    listed = Listed();
    ASSERT_EQ(1u, listed.size());
    EXPECT_EQ(std::optional<std::string>("TwIgnoreC"), listed[0].valueName);

    // A is reported again; C is still left out.
    Click(main, IDC_MAIN_PAGE);
    viewer = Scan(run, main, &page);
    ASSERT_NE(nullptr, viewer);
    EXPECT_EQ("1 ignored problem was left out.", ControlText(Control(viewer, kResultsTitleLine)));
    list = Control(viewer, kResultsList);
    overview = ReportRows(list);
    startup = FindRow(overview, "Startup Programs");
    ASSERT_NE(-1, startup);
    EXPECT_EQ("2 Problems Found", overview[static_cast<std::size_t>(startup)].count);
    CloseViewer(viewer, main);
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
}

}  // namespace
}  // namespace tw::test::gui
