// The report list as a real window: created in a test window that owns it as the results
// viewer would (a plain window procedure answering WM_NOTIFY), fed with rows, clicked and
// typed at with real messages; what the owner was told, what the list holds and the pixels
// it draws (through WM_PRINTCLIENT) are checked.
#include "ui/report_ctrl.h"

#include "gui_driver.h"
#include "platform/memory/memory_registry.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace tw::test {
namespace {

constexpr int kListId = 1201;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kPreviewInk = RGB(0, 128, 0);

// The owner's side: every notification is kept; answers come from `answer`.
struct Owner {
    std::vector<ReportNotification> told;
    std::function<LRESULT(const ReportNotification&)> answer;
    CReportCtrl* list = nullptr;
    bool tickOnBox = true;
    std::string rowTip;  // the answer to kReportGetRowTip, empty to leave it to the list  // as the results viewer does: a click on a box turns it over

    std::vector<int> Codes() const
    {
        std::vector<int> codes;
        for (const auto& n : told)
            if (static_cast<int>(n.header.code) != kReportDrawPreview)
                codes.push_back(static_cast<int>(n.header.code));
        return codes;
    }
    const ReportNotification* Last(int code) const
    {
        for (auto it = told.rbegin(); it != told.rend(); ++it)
            if (static_cast<int>(it->header.code) == code)
                return &*it;
        return nullptr;
    }
};

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NOTIFY && owner && wParam == kListId) {
        const auto& note = *reinterpret_cast<const ReportNotification*>(lParam);
        owner->told.push_back(note);
        int code = static_cast<int>(note.header.code);
        if (code == kReportGetRowTip) {
            reinterpret_cast<ReportTipRequest*>(lParam)->text = owner->rowTip;
            return 0;
        }
        if (code == kReportDrawPreview) {
            RECT r = note.rect;
            r.left += 40;
            std::string text = "Preview of row " + std::to_string(note.row);
            SetTextColor(note.dc, kPreviewInk);
            DrawTextA(note.dc, text.c_str(), -1, &r, DT_WORDBREAK | DT_NOPREFIX);
            return 0;
        }
        LRESULT answer = owner->answer ? owner->answer(note) : 0;
        if (code == kReportLeftButtonDown && answer == 0 && owner->tickOnBox && (note.hitFlags & kHitCheckBox) &&
            note.row >= 0 && note.column >= 0)
            owner->list->SetCheck(note.row, note.column, owner->list->GetCheck(note.row, note.column) == 1 ? 0 : 1);
        return answer;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A 32-bit top-down picture of a window's client area, drawn by the window itself.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    COLORREF At(int x, int y) const
    {
        std::uint32_t p = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // Pixels in the rectangle for which `match` holds.
    int Count(const RECT& r, const std::function<bool(COLORREF)>& match) const
    {
        int n = 0;
        for (int y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, height); ++y)
            for (int x = std::max<LONG>(r.left, 0); x < std::min<LONG>(r.right, width); ++x)
                n += match(At(x, y)) ? 1 : 0;
        return n;
    }
};

Picture PrintClient(HWND window)
{
    Picture picture;
    RECT client{};
    GetClientRect(window, &client);
    picture.width = client.right;
    picture.height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    UniqueGdiObject bitmap(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    std::unique_ptr<std::remove_pointer_t<HDC>, decltype(&DeleteDC)> memory(CreateCompatibleDC(screen), &DeleteDC);
    ReleaseDC(nullptr, screen);
    if (!bitmap || !memory)
        return picture;
    HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
    SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.get()), PRF_CLIENT);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    picture.pixels.assign(p, p + static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height));
    SelectObject(memory.get(), old);
    return picture;
}

bool Reddish(COLORREF c)
{
    return GetRValue(c) > 150 && GetGValue(c) < 110 && GetBValue(c) < 110;
}
bool Dark(COLORREF c)
{
    return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
}
bool Greenish(COLORREF c)
{
    return GetGValue(c) > 60 && GetRValue(c) < 100 && GetBValue(c) < 100;
}

RECT ToRect(const ReportRect& r)
{
    return RECT{r.left, r.top, r.right, r.bottom};
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

class ReportCtrlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        wc.lpszClassName = "TarnwickReportOwner";
        RegisterClassA(&wc);
        top = CreateWindowExA(0, "TarnwickReportOwner", "Report list test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                              660, 400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, top);
        SetWindowLongPtrA(top, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&owner));
        // No wheel setting: three lines per notch.
        list = std::make_unique<CReportCtrl>(registry);
        owner.list = list.get();
        RECT rect{17, 20, 600, 331};
        ASSERT_TRUE(list->Create(0x50010040, rect, top, kListId));
        EXPECT_EQ(0, list->SetPaletteColour(0, RGB(0, 0, 0)));
        EXPECT_EQ(1, list->SetPaletteColour(1, kRed));
        const int widths[4] = {30, 160, 165, 225};
        const char* titles[4] = {"", "Section", "Count", "Name"};
        for (int i = 0; i < 4; ++i) {
            ReportColumn column;
            column.width = widths[i];
            column.format = i < 3 ? 0x44000u : 0x4000u | kColumnSortTooltip;
            column.title = titles[i];
            ASSERT_EQ(i, list->DefineColumn(i, column));
            ASSERT_EQ(i, list->ShowColumn(i, i));
        }
        list->DeleteAllItems();
    }
    void TearDown() override
    {
        list.reset();
        DestroyWindow(top);
        PumpMessages();
    }
    // A row as the results overview adds it: a tick, black and red text, a preview area.
    void AddRow(const std::string& section, int count)
    {
        ReportItem item;
        item.mask = kItemState | kItemOwnerValue | kItemPreview;
        item.row = list->GetItemCount();
        item.state = 12;
        item.ownerValue = item.row;
        item.previewHeight = 37;
        int row = list->InsertItem(item);
        ASSERT_EQ(item.row, row);
        list->SetItemText(row, 1, section, 0);
        list->SetItemText(row, 2, std::to_string(count) + " Problems Found", 1);
        list->SetItemText(row, 3, "Use Double-Click for view Details...");
        list->SetCheck(row, 0, 1);
    }
    POINT Centre(const ReportRect& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    void Mouse(UINT message, POINT p, WPARAM keys = 0)
    {
        SendMessageA(list->hwnd(), message, keys, MAKELPARAM(p.x, p.y));
        if (message == WM_LBUTTONDOWN)
            SendMessageA(list->hwnd(), WM_LBUTTONUP, keys, MAKELPARAM(p.x, p.y));
    }
    void Key(UINT key, bool shift = false)
    {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        SendMessageA(list->hwnd(), WM_KEYDOWN, key, 1);
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
    }

    MemoryRegistry registry;
    HWND top = nullptr;
    Owner owner;
    std::unique_ptr<CReportCtrl> list;
};

TEST_F(ReportCtrlTest, IsAWindowOfItsOwnClassWithAHeaderOfTheShownColumns)
{
    char name[64] = {};
    GetClassNameA(list->hwnd(), name, sizeof name);
    EXPECT_STREQ("MFCReportCtrl", name);
    EXPECT_TRUE(GetClassLongPtrA(list->hwnd(), GCL_STYLE) & CS_DBLCLKS);
    EXPECT_EQ(kListId, GetDlgCtrlID(list->hwnd()));
    EXPECT_EQ(4, SendMessageA(list->header(), HDM_GETITEMCOUNT, 0, 0));
    char title[32] = {};
    HDITEMA item{};
    item.mask = HDI_TEXT | HDI_WIDTH;
    item.pszText = title;
    item.cchTextMax = sizeof title;
    ASSERT_TRUE(SendMessageA(list->header(), HDM_GETITEMA, 3, reinterpret_cast<LPARAM>(&item)));
    EXPECT_STREQ("Name", title);
    EXPECT_EQ(225, item.cxy);

    // Showing a shown column again adds no header item.
    EXPECT_EQ(-1, list->ShowColumn(2, 0));
    EXPECT_EQ(4, SendMessageA(list->header(), HDM_GETITEMCOUNT, 0, 0));

    // The sorting hint of the column that asks for one.
    ASSERT_NE(nullptr, list->headerTooltip());
    char tip[64] = {};
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = list->header();
    tool.uId = 3;
    tool.lpszText = tip;
    SendMessageA(list->headerTooltip(), TTM_GETTEXTA, sizeof tip, reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ("Sort by: Name", tip);
    EXPECT_EQ(1, SendMessageA(list->headerTooltip(), TTM_GETTOOLCOUNT, 0, 0));
}

TEST_F(ReportCtrlTest, AnEmptyListSaysNoErrorsFoundCentredUnderTheHeader)
{
    Picture picture = PrintClient(list->hwnd());
    ASSERT_FALSE(picture.pixels.empty());
    auto isInk = Dark;  // the window-text colour (black), or its edges
    RECT band = ToRect(list->model().EmptyTextRect());
    ASSERT_GT(band.top, 0);  // under the header
    // The text's ink lies in the band, around the middle.
    int left = picture.width, right = -1;
    for (int y = band.top; y < band.bottom; ++y)
        for (int x = 0; x < picture.width; ++x)
            if (isInk(picture.At(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(right, 0) << "no text drawn";
    EXPECT_NEAR(picture.width / 2, (left + right) / 2, 6);
    EXPECT_GT(right - left, 40);
    EXPECT_EQ(0, picture.Count(RECT{0, band.bottom + 2, picture.width, picture.height}, isInk));

    // With an empty text nothing is drawn there.
    list->SetEmptyText("");
    EXPECT_EQ(0, PrintClient(list->hwnd()).Count(band, isInk));
}

TEST_F(ReportCtrlTest, RowsShowTicksRedCountsAndTheOwnersPreview)
{
    AddRow("Windows Fonts", 3);
    AddRow("System Services", 12);
    Picture picture = PrintClient(list->hwnd());
    ASSERT_FALSE(picture.pixels.empty());
    const ReportModel& m = list->model();

    // The count column is red, the section column is not.
    EXPECT_GT(picture.Count(ToRect(m.TextRect(0, 2)), Reddish), 10);
    EXPECT_EQ(0, picture.Count(ToRect(m.TextRect(0, 1)), Reddish));
    EXPECT_GT(picture.Count(ToRect(m.TextRect(0, 1)), Dark), 10);
    // The ticked box: its tick is drawn in the window-text colour inside the frame.
    RECT box = ToRect(m.CheckBoxRect(1, 0));
    InflateRect(&box, -3, -3);
    EXPECT_GT(picture.Count(box, Dark), 4);
    // Every row's preview area was the owner's to draw, with its rectangle.
    ASSERT_NE(nullptr, owner.Last(kReportDrawPreview));
    for (int row = 0; row < 2; ++row) {
        RECT preview = ToRect(m.PreviewRect(row));
        EXPECT_EQ(37, preview.bottom - preview.top);
        EXPECT_GT(picture.Count(preview, Greenish), 10) << row;
    }
    const ReportNotification* note = owner.Last(kReportDrawPreview);
    RECT expected = ToRect(m.PreviewRect(note->row));
    EXPECT_TRUE(EqualRect(&expected, &note->rect));
    EXPECT_EQ(12u, note->newState & 12u);

    // Unticked, the box is empty again.
    list->SetCheck(1, 0, 0);
    picture = PrintClient(list->hwnd());
    EXPECT_EQ(0, picture.Count(box, Dark));
    // What a user sees, kept as a picture.
    RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpMessages();
    EXPECT_TRUE(gui::SaveScreenshot(top, "report_list"));
}

TEST_F(ReportCtrlTest, ClicksReachTheOwnerWhoseAnswerDecides)
{
    for (int i = 0; i < 6; ++i)
        AddRow("Section " + std::to_string(i), i + 1);
    const ReportModel& m = list->model();
    owner.told.clear();

    // A click on row 1's box: the owner hears of it first and turns the tick over.
    Mouse(WM_LBUTTONDOWN, Centre(m.CheckBoxRect(1, 0)));
    const ReportNotification* click = owner.Last(kReportLeftButtonDown);
    ASSERT_NE(nullptr, click);
    EXPECT_EQ(1, click->row);
    EXPECT_EQ(0, click->column);
    EXPECT_TRUE(click->hitFlags & kHitCheckBox);
    EXPECT_EQ(1, click->ownerValue);
    EXPECT_EQ(0, list->GetCheck(1, 0));
    EXPECT_TRUE(list->IsSelected(1));
    EXPECT_EQ((std::vector<int>{kReportLeftButtonDown, kReportSelectionChanging, kReportSelectionChanged}),
              owner.Codes());
    EXPECT_EQ(list->hwnd(), GetFocus());

    // Shift extends from the anchor; the text of a cell is no box.
    Mouse(WM_LBUTTONDOWN, Centre(m.CellRect(3, 1)), MK_SHIFT);
    EXPECT_FALSE(owner.Last(kReportLeftButtonDown)->hitFlags & kHitCheckBox);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), m.SelectedRows());
    EXPECT_EQ(1, list->GetCheck(3, 0));

    // Claimed, a click changes nothing.
    owner.answer = [](const ReportNotification& n) {
        return static_cast<int>(n.header.code) == kReportLeftButtonDown ? 1 : 0;
    };
    Mouse(WM_LBUTTONDOWN, Centre(m.CheckBoxRect(5, 0)));
    EXPECT_EQ((std::vector<int>{1, 2, 3}), m.SelectedRows());
    EXPECT_EQ(1, list->GetCheck(5, 0));

    // A refused change keeps the row selected.
    owner.answer = [](const ReportNotification& n) {
        return static_cast<int>(n.header.code) == kReportSelectionChanging && n.row == 2 ? 1 : 0;
    };
    Mouse(WM_LBUTTONDOWN, Centre(m.CellRect(4, 2)));
    EXPECT_EQ((std::vector<int>{2, 4}), m.SelectedRows());

    // A double click and the right button are told with their rows.
    owner.answer = nullptr;
    owner.told.clear();
    Mouse(WM_LBUTTONDBLCLK, Centre(m.CellRect(2, 3)));
    ASSERT_NE(nullptr, owner.Last(kReportDoubleClick));
    EXPECT_EQ(2, owner.Last(kReportDoubleClick)->row);
    Mouse(WM_RBUTTONDOWN, Centre(m.CellRect(0, 3)));
    ASSERT_NE(nullptr, owner.Last(kReportRightButtonDown));
    EXPECT_EQ(0, owner.Last(kReportRightButtonDown)->row);
    EXPECT_EQ(std::vector<int>{0}, m.SelectedRows());

    // Emptying the list tells the owner of every row.
    owner.told.clear();
    list->DeleteAllItems();
    EXPECT_EQ(std::vector<int>(6, kReportRowDeleting), owner.Codes());
    EXPECT_EQ(0, list->GetItemCount());
}

TEST_F(ReportCtrlTest, AHeaderClickIsToldAndReordersNothing)
{
    AddRow("b", 1);
    AddRow("a", 2);
    RECT item{};
    SendMessageA(list->header(), HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageA(list->header(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(list->header(), WM_LBUTTONUP, 0, at);
    const ReportNotification* click = owner.Last(kReportHeaderClick);
    ASSERT_NE(nullptr, click);
    EXPECT_EQ(1, click->column);
    EXPECT_EQ("b", list->GetItemText(0, 1));
}

TEST_F(ReportCtrlTest, KeysMoveTheFocusAndTheSelection)
{
    for (int i = 0; i < 20; ++i)
        AddRow("Section " + std::to_string(i), i);
    SetFocus(list->hwnd());
    const ReportModel& m = list->model();
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(1, m.FocusRow());
    Key(VK_DOWN, true);
    Key(VK_DOWN, true);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), m.SelectedRows());
    const ReportNotification* key = owner.Last(kReportKeyDown);
    ASSERT_NE(nullptr, key);
    EXPECT_EQ(static_cast<UINT>(VK_DOWN), key->key);
    EXPECT_EQ(static_cast<UINT>(kKeyShift), key->keyFlags);
    Key(VK_END);
    EXPECT_EQ(19, m.FocusRow());
    EXPECT_EQ(m.MaxTopRow(), m.TopRow());
    EXPECT_EQ(std::vector<int>{19}, m.SelectedRows());
    Key(VK_HOME);
    EXPECT_EQ(0, m.TopRow());
    // The list asks the dialog manager for the arrow keys, and leaves Escape to it.
    EXPECT_TRUE(SendMessageA(list->hwnd(), WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS);
}

TEST_F(ReportCtrlTest, TheWheelScrollsThreeLinesPerNotchWithoutASetting)
{
    for (int i = 0; i < 60; ++i)
        AddRow("Section " + std::to_string(i), i);
    const ReportModel& m = list->model();
    SendMessageA(list->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    PumpMessages();
    EXPECT_EQ(3, m.TopRow());
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    GetScrollInfo(list->hwnd(), SB_VERT, &info);
    EXPECT_EQ(3, info.nPos);
    SendMessageA(list->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    PumpMessages();
    EXPECT_EQ(0, m.TopRow());

    // A list made while the user's setting says 5.
    SetValue(registry, kCurrentUser, "Control Panel\\Desktop", "WheelScrollLines", kRegSz, Str("5"));
    CReportCtrl second(registry);
    EXPECT_EQ(5, second.model().WheelLines());
}

// The text of the row tooltip as last set, after the pointer moved to `p`.
std::string RowTipAfterPointerAt(CReportCtrl& list, POINT p)
{
    SendMessageA(list.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    std::vector<char> text(2048);
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = list.hwnd();
    tool.uId = CReportCtrl::kRowTipTool;
    tool.lpszText = text.data();
    SendMessageA(list.headerTooltip(), TTM_GETTEXTA, text.size(), reinterpret_cast<LPARAM>(&tool));
    return text.data();
}

TEST_F(ReportCtrlTest, RestingOnARowShowsItsWholeTextInATooltip)
{
    AddRow("Windows Fonts", 3);
    const std::string name = "A name far longer than the column that shows it, ending in the-missing-file.ttf";
    AddRow("System Services", 12);
    list->SetItemText(1, 3, name);
    // Left to the list: the cells it cuts short, in full; none for a row that fits.
    EXPECT_EQ(name, RowTipAfterPointerAt(*list, Centre(list->model().TextRect(1, 1))));
    EXPECT_EQ(1, list->tipRow());
    EXPECT_EQ("", RowTipAfterPointerAt(*list, Centre(list->model().TextRect(0, 1))));
    // The owner's text wins (the preview's, which only the owner draws), over the preview too.
    owner.rowTip = "Key Path: HKEY_LOCAL_MACHINE\\SOFTWARE\\x\nKey Value: C:\\gone\\the-missing-file.exe";
    EXPECT_EQ(owner.rowTip, RowTipAfterPointerAt(*list, Centre(list->model().PreviewRect(1))));
    // Below the rows: no tooltip.
    RECT client{};
    GetClientRect(list->hwnd(), &client);
    EXPECT_EQ("", RowTipAfterPointerAt(*list, POINT{20, client.bottom - 3}));
    EXPECT_EQ(-1, list->tipRow());
}

TEST_F(ReportCtrlTest, AnEmptyListGivesItsEmptyTextToReaders)
{
    char text[128] = {};
    SendMessageA(list->hwnd(), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ("No Errors Found.", text);
    list->SetEmptyText("Scanning aborted before the scan was finished.");
    EXPECT_EQ(46, SendMessageA(list->hwnd(), WM_GETTEXTLENGTH, 0, 0));
    SendMessageA(list->hwnd(), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ("Scanning aborted before the scan was finished.", text);
}

}  // namespace
}  // namespace tw::test
