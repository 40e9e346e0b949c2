// End to end through the windows: a repair taken back from the message that reports it, and
// from the main page's "Undo last repair"; the registry is then as it was before the repair.
// And the second look: a repair that orphans a second entry says so, and shows that entry in
// the results viewer, unrepaired.
#include "gui_driver.h"

#include "backup/backup_restore.h"
#include "backup/repair_undo.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
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
const std::string kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::string kGone = "C:\\tarnwick\\undo-gone";
constexpr int kProgressList = 1043;
constexpr int kResultsList = 1040;
constexpr int kResultsRepair = 1084;
constexpr int kResultsClose = 1029;

// The section rows of the results list, through its own messages.
std::vector<std::string> ReportTexts(HWND list)
{
    std::vector<std::string> rows;
    int count = static_cast<int>(SendMessageA(list, CReportCtrl::kRowCountMessage, 0, 0));
    for (int r = 0; r < count; ++r) {
        SendMessageA(list, CReportCtrl::kSelectCellMessage, r, 1);
        rows.push_back(ControlText(list));
    }
    return rows;
}

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}
bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class GuiUndoTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean()
    {
        WipeKey(registry, kCurrentUser, "Software\\Tarnwick");
        KeyHandle run(registry);
        if (registry.OpenKeyEx(kLocalMachine, kRun.c_str(), 0, kKeyAllAccess, run.Put()) == kSuccess)
            registry.DeleteValue(run.get(), "TwUndoGone");
        WipeKey(registry, kLocalMachine, kAppPaths + "\\twundogone.exe");
        WipeKey(registry, kClassesRoot, ".twalias");
        WipeKey(registry, kClassesRoot, ".twdef");
        WipeKey(registry, kClassesRoot, "twdeffile");
    }
    void Seed()
    {
        SetValue(registry, kLocalMachine, kRun, "TwUndoGone", kRegSz, Str(kGone + "\\run.exe"));
        SetValue(registry, kLocalMachine, kAppPaths + "\\twundogone.exe", "", kRegSz, Str(kGone + "\\app.exe"));
        SetValue(registry, kLocalMachine, kAppPaths + "\\twundogone.exe", "Path", kRegSz, Str(kGone));
    }
    std::string Dump()
    {
        return DumpBranch(registry, kLocalMachine, kRun) + DumpBranch(registry, kLocalMachine, kAppPaths);
    }
    // On the main page, exactly these sections ticked.
    void TickOnly(HWND main, std::initializer_list<int> boxes)
    {
        for (int id = IDC_CHK_COMPLETE_REGISTRY; id <= IDC_CHK_SHORTCUTS; ++id) {
            bool want = std::find(boxes.begin(), boxes.end(), id) != boxes.end();
            if (Checked(main, id) != want)
                SendMessageA(Control(main, id), BM_CLICK, 0, 0);
        }
    }
    // Scans the ticked sections, opens the results and presses "Repair found problems"; the
    // results viewer.
    HWND ScanAndRepair(TarnwickRun& run, HWND main)
    {
        Click(main, IDC_SCAN_NOW);
        HWND page = WaitForPage(run, kProgressList);
        EXPECT_NE(nullptr, page);
        HWND done = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(120000));
        EXPECT_NE(nullptr, done);
        if (!done)
            return nullptr;
        PressOk(done);
        HWND viewer = WaitForPage(run, kResultsList);
        EXPECT_NE(nullptr, viewer);
        if (!viewer)
            return nullptr;
        HWND list = Control(viewer, kResultsList);
        EXPECT_TRUE(WaitFor([&] { return SendMessageA(list, CReportCtrl::kRowCountMessage, 0, 0) >= 1; }));
        Click(viewer, kResultsRepair);
        return viewer;
    }

    Win32Registry registry;
};

TEST_F(GuiUndoTest, RepairThenUndoFromItsMessageLeavesTheRegistryAsBefore)
{
    Seed();
    const std::string before = Dump();
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    TickOnly(main, {IDC_CHK_STARTUP, IDC_CHK_APP_PATHS});
    ASSERT_NE(nullptr, ScanAndRepair(run, main));

    HWND question = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(60000));
    ASSERT_NE(nullptr, question);
    const std::string asked = MessageBoxText(question);
    EXPECT_TRUE(StartsWith(asked, "The repair removed ")) << asked;
    EXPECT_TRUE(EndsWith(asked, "\n\nUndo this repair now?")) << asked;
    EXPECT_NE(nullptr, GetDlgItem(question, IDYES));
    EXPECT_NE(nullptr, GetDlgItem(question, IDNO));
    ASSERT_FALSE(KeyExists(registry, kLocalMachine, kAppPaths + "\\twundogone.exe"));
    SaveScreenshot(question, "repair-undo-question");
    PressButton(question, IDYES);

    HWND told = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        told = FindProcessWindow(run.processId(), "Tarnwick");
        return told && told != question && StartsWith(MessageBoxText(told), "The repair is undone: ");
    }, std::chrono::milliseconds(60000)));
    SaveScreenshot(told, "repair-undone");
    PressOk(told);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main); }, std::chrono::milliseconds(60000)));
    EXPECT_EQ(before, Dump());
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
}

TEST_F(GuiUndoTest, UndoLastRepairOnTheMainPageAsksOnceAndIsNotDoneTwice)
{
    Seed();
    const std::string before = Dump();
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    EXPECT_TRUE(Visible(main, IDC_UNDO_REPAIR));
    TickOnly(main, {IDC_CHK_STARTUP, IDC_CHK_APP_PATHS});
    ASSERT_NE(nullptr, ScanAndRepair(run, main));
    HWND question = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(60000));
    ASSERT_NE(nullptr, question);
    PressButton(question, IDNO);  // the repair is kept for now
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main); }, std::chrono::milliseconds(60000)));
    ASSERT_NE(before, Dump());

    Win32System system;
    const std::string backup = ReadLastRepair(system, TestFolder()).backupName;
    ASSERT_FALSE(backup.empty());
    Click(main, IDC_UNDO_REPAIR);
    HWND confirm = run.WaitForWindow("Tarnwick");
    ASSERT_NE(nullptr, confirm);
    EXPECT_EQ("Undo the last repair? Everything it removed is written back from its backup " + backup + ".",
              MessageBoxText(confirm));
    // Drawn whole before its picture: the text and both buttons.
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(GetDlgItem(confirm, IDNO)) && IsWindowVisible(GetDlgItem(confirm, 0xFFFF)); }));
    RedrawWindow(confirm, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SaveScreenshot(confirm, "undo-last-repair-question");
    PressButton(confirm, IDYES);
    HWND told = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        told = FindProcessWindow(run.processId(), "Tarnwick");
        return told && StartsWith(MessageBoxText(told), "The repair is undone: ");
    }, std::chrono::milliseconds(60000)));
    PressOk(told);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(told); }));
    EXPECT_EQ(before, Dump());

    // Pressed again: nothing to write, and it says why.
    SetValue(registry, kLocalMachine, kRun, "TwUndoGone", kRegSz, Str(kGone + "\\changed.exe"));
    const std::string changed = Dump();
    Click(main, IDC_UNDO_REPAIR);
    HWND again = run.WaitForWindow("Tarnwick");
    ASSERT_NE(nullptr, again);
    EXPECT_EQ("The last repair (backup " + backup + ") is already undone.", MessageBoxText(again));
    PressOk(again);
    EXPECT_EQ(changed, Dump());
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
}

// ".twalias" names the extension ".twdef" as its program; ".twdef"'s program is gone. The
// repair removes ".twdef", which leaves ".twalias" pointing nowhere: the second look says so
// and shows it, and it is still there afterwards.
TEST_F(GuiUndoTest, ARepairThatOrphansASecondEntryShowsItInTheSecondLook)
{
    SetValue(registry, kClassesRoot, ".twalias", "", kRegSz, Str(".twdef"));
    SetValue(registry, kClassesRoot, ".twdef", "", kRegSz, Str("twdeffile"));
    SetValue(registry, kClassesRoot, "twdeffile\\shell\\open\\command", "", kRegSz, Str("\"" + kGone + "\\def.exe\" \"%1\""));
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    TickOnly(main, {IDC_CHK_FILE_ASSOCIATIONS});
    HWND viewer = ScanAndRepair(run, main);
    ASSERT_NE(nullptr, viewer);
    HWND question = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(60000));
    ASSERT_NE(nullptr, question);
    PressButton(question, IDNO);

    HWND look = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        look = FindProcessWindow(run.processId(), "Tarnwick");
        return look && look != question && StartsWith(MessageBoxText(look), "The repair left ");
    }, std::chrono::milliseconds(120000)));
    const std::string said = MessageBoxText(look);
    EXPECT_TRUE(said == "The repair left 1 new problem. Show it?" || EndsWith(said, " new problems. Show them?")) << said;
    EXPECT_FALSE(KeyExists(registry, kClassesRoot, ".twdef"));
    EXPECT_TRUE(KeyExists(registry, kClassesRoot, ".twalias"));
    SaveScreenshot(look, "second-look-question");
    PressButton(look, IDYES);

    // A second results viewer, over what the repair left behind.
    HWND second = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        HWND w = FindProcessWindow(run.processId(), kPageWindowTitle);
        if (w && w != viewer && GetDlgItem(w, kResultsList))
            second = w;
        return second != nullptr;
    }, std::chrono::milliseconds(60000)));
    HWND list = Control(second, kResultsList);
    ASSERT_TRUE(WaitFor([&] { return SendMessageA(list, CReportCtrl::kRowCountMessage, 0, 0) >= 1; }));
    EXPECT_EQ(std::vector<std::string>{"File Associations"}, ReportTexts(list));
    SaveScreenshot(second, "second-look-results");
    Click(second, kResultsClose);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(main); }, std::chrono::milliseconds(60000)));
    EXPECT_TRUE(KeyExists(registry, kClassesRoot, ".twalias"));  // shown, not repaired

    // What the repair took from the prefix besides the seed goes back.
    Win32System system;
    const std::string backup = ReadLastRepair(system, TestFolder()).backupName;
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
    ActivityLog log(system);
    EXPECT_EQ(UndoOutcome::Status::Undone, UndoLastRepair(registry, system, log, TestFolder()).status) << backup;
}

}  // namespace
}  // namespace tw::test::gui
