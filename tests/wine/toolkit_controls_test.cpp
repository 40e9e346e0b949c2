// The window machinery every dialog stands on, on real windows: notifications reach the
// dialog by control id and its answer goes back to the control, an exception thrown while a
// message is handled ends the dialog and is written to the activity log instead of
// unwinding through the system, and the list-view wrapper reads back what it wrote.
#include "log/activity_log.h"
#include "platform/win32/win32_system.h"
#include "ui/list_view.h"
#include "ui/skin_dialog.h"
#include "ui/window_barrier.h"

#include "gui_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tw::test {
namespace {

constexpr int kListId = 1043;
constexpr int kThrowButton = 1029;

// A popup template with one push button (1029).
std::vector<WORD> DialogTemplate()
{
    std::vector<WORD> t;
    auto dword = [&](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    dword(WS_POPUP | WS_VISIBLE | DS_SETFONT);
    dword(0);
    t.push_back(1);
    for (int v : {0, 0, 300, 200})
        t.push_back(static_cast<WORD>(v));
    t.push_back(0);  // no menu
    t.push_back(0);  // default class
    for (wchar_t c : std::wstring(L"Toolkit test"))
        t.push_back(c);
    t.push_back(0);
    t.push_back(8);
    for (wchar_t c : std::wstring(L"MS Shell Dlg"))
        t.push_back(c);
    t.push_back(0);
    if (t.size() % 2)
        t.push_back(0);
    dword(WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON);
    dword(0);
    for (int v : {5, 170, 40, 14})
        t.push_back(static_cast<WORD>(v));
    t.push_back(static_cast<WORD>(kThrowButton));
    t.push_back(0xFFFF);
    t.push_back(0x0080);
    t.push_back(0);
    t.push_back(0);
    return t;
}

class ToolkitDialog : public SkinDialog {
public:
    explicit ToolkitDialog(const std::vector<WORD>& t) : SkinDialog(0, nullptr)
    {
        UseTemplate(reinterpret_cast<const DLGTEMPLATE*>(t.data()));
    }
    ListView list;
    std::vector<std::pair<int, UINT>> notifications;  // control id, code
    std::atomic<bool> refuseChanges{false};

protected:
    BOOL OnInitDialog() override
    {
        list.Create(hwnd(), kListId, RECT{10, 10, 400, 200}, LVS_SINGLESEL | WS_BORDER);
        list.AddExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
        return TRUE;
    }
    bool OnCommand(int id, int code, HWND) override
    {
        if (id == kThrowButton && code == BN_CLICKED)
            throw std::runtime_error("the button broke");
        if (id == IDCANCEL) {
            EndDialog(0);
            return true;
        }
        return false;
    }
    bool OnNotify(int id, NMHDR* header, LRESULT* result) override
    {
        notifications.emplace_back(id, header->code);
        if (header->code == LVN_ITEMCHANGING && refuseChanges) {
            *result = TRUE;  // the list view keeps the row as it was
            return true;
        }
        return false;
    }
};

// Runs the dialog modally while `act` works it from another thread; DoModal's result.
INT_PTR RunDialog(ToolkitDialog& dialog, const std::function<void(HWND)>& act)
{
    std::thread driver([&] {
        HWND window = nullptr;
        gui::WaitFor([&] { return (window = gui::FindProcessWindow(GetCurrentProcessId(), "Toolkit test")) != nullptr; });
        if (window)
            act(window);
    });
    INT_PTR result = dialog.DoModal();
    driver.join();
    return result;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(WindowBarrier, AnExceptionInAHandlerEndsTheDialogAndIsLogged)
{
    Win32System system;
    ActivityLog log(system);
    log.Open();
    ASSERT_TRUE(log.IsOpen());
    SetWindowExceptionLog(&log);
    std::vector<WORD> t = DialogTemplate();
    ToolkitDialog dialog(t);
    INT_PTR result = RunDialog(dialog, [](HWND window) { gui::Click(window, kThrowButton); });
    SetWindowExceptionLog(nullptr);
    std::string path = log.path();
    log.Close();
    EXPECT_EQ(-1, result);
    EXPECT_NE(std::string::npos, ReadFile(path).find("Window error in dialog: the button broke"));
    DeleteFileA(path.c_str());
}

TEST(ToolkitNotifications, ReachTheDialogByIdAndItsAnswerRefusesAChange)
{
    std::vector<WORD> t = DialogTemplate();
    ToolkitDialog dialog(t);
    bool checkedBefore = true, checkedAfterRefusal = true, checkedAfterAllow = false;
    RunDialog(dialog, [&](HWND window) {
        // The list belongs to the dialog's thread: work it through messages sent there.
        ListView list(GetDlgItem(window, kListId));
        list.AddColumn("Select", 40);
        list.AddRow("first");
        checkedBefore = list.IsChecked(0);
        dialog.refuseChanges = true;
        list.SetChecked(0, true);
        checkedAfterRefusal = list.IsChecked(0);
        dialog.refuseChanges = false;
        list.SetChecked(0, true);
        checkedAfterAllow = list.IsChecked(0);
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(checkedBefore);
    EXPECT_FALSE(checkedAfterRefusal);
    EXPECT_TRUE(checkedAfterAllow);
    bool sawChanged = false;
    for (auto [id, code] : dialog.notifications) {
        EXPECT_EQ(kListId, id);
        sawChanged = sawChanged || code == LVN_ITEMCHANGED;
    }
    EXPECT_TRUE(sawChanged);
}

TEST(ListViewWrapper, RowsTextsDataChecksAndSelection)
{
    std::vector<WORD> t = DialogTemplate();
    ToolkitDialog dialog(t);
    std::string longText(700, 'x');
    longText += "end";
    RunDialog(dialog, [&](HWND window) {
        ListView list(GetDlgItem(window, kListId));
        EXPECT_EQ(0, list.AddColumn("Select", 40));
        EXPECT_EQ(1, list.AddColumn("Program Name", 150));
        EXPECT_EQ(2, list.AddColumn("Run Path", 400));
        EXPECT_EQ(0, list.AddRow("", 11));
        EXPECT_EQ(1, list.AddRow("", 22));
        list.SetText(1, 1, "Second");
        list.SetText(1, 2, longText);
        EXPECT_EQ(2, list.Count());
        EXPECT_EQ("Second", list.Text(1, 1));
        EXPECT_EQ(longText, list.Text(1, 2));  // longer than the first buffer
        EXPECT_EQ(22, list.Data(1));
        EXPECT_EQ(-1, list.Selected());
        list.Select(1);
        EXPECT_EQ(1, list.Selected());
        EXPECT_EQ(1, list.SelectionMark());
        list.SetAllChecked(true);
        EXPECT_TRUE(list.IsChecked(0));
        EXPECT_TRUE(list.IsChecked(1));
        list.SetChecked(0, false);
        EXPECT_FALSE(list.IsChecked(0));
        EXPECT_TRUE(list.DeleteRow(0));
        EXPECT_EQ(22, list.Data(0));
        list.DeleteAll();
        EXPECT_EQ(0, list.Count());
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    });
}

// The text of the list's cell tooltip as last set, after the pointer moved to (row, column).
std::string CellTipAfterPointerAt(const ListView& list, int row, int column)
{
    RECT cell{};
    cell.top = column;
    cell.left = LVIR_LABEL;
    SendMessageA(list.hwnd(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    SendMessageA(list.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2));
    std::vector<char> text(2048);
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = list.hwnd();
    tool.uId = ListView::kCellTipTool;
    tool.lpszText = text.data();
    SendMessageA(list.cellTooltip(), TTM_GETTEXTA, text.size(), reinterpret_cast<LPARAM>(&tool));
    return text.data();
}

TEST(ListViewWrapper, ACellCutShortShowsItsWholeTextInATooltip)
{
    std::vector<WORD> t = DialogTemplate();
    ToolkitDialog dialog(t);
    const std::string path = "C:\\Program Files\\A Vendor With A Long Name\\A Product\\bin\\the-missing-program.exe";
    RunDialog(dialog, [&](HWND window) {
        ListView list(GetDlgItem(window, kListId));
        ASSERT_NE(nullptr, list.cellTooltip());
        list.AddColumn("Program Name", 120);
        list.AddColumn("Run Path", 150);
        list.AddRow("Short");
        list.SetText(0, 1, path);
        list.AddRow("A program name longer than its column");
        list.SetText(1, 1, "C:\\a.exe");
        EXPECT_EQ(path, CellTipAfterPointerAt(list, 0, 1));
        EXPECT_EQ("", CellTipAfterPointerAt(list, 0, 0));  // it fits: no tooltip
        EXPECT_EQ("A program name longer than its column", CellTipAfterPointerAt(list, 1, 0));
        EXPECT_EQ("", CellTipAfterPointerAt(list, 1, 1));
        // Widened so that the path fits, the cell has no tooltip any more.
        SendMessageA(list.hwnd(), LVM_SETCOLUMNWIDTH, 1, 600);
        SendMessageA(list.hwnd(), WM_VSCROLL, SB_TOP, 0);
        EXPECT_EQ("", CellTipAfterPointerAt(list, 0, 1));
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    });
}

}  // namespace
}  // namespace tw::test
