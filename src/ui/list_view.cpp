#include "ui/list_view.h"

#include "ui/window_barrier.h"

#include <windowsx.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace tw {
namespace {

constexpr UINT_PTR kCellTipSubclass = 0x7C1;
// Where the list keeps its tips (for cellTooltip()): a window property.
constexpr const char* kCellTipsProperty = "TarnwickCellTips";
// Room the list keeps around a cell's text, in pixels: a text needing more is cut.
constexpr int kCellTextPadding = 12;

struct CellTips {
    HWND tooltip = nullptr;
    int row = -2;
    int column = -2;
    std::string text;
};

// The text of (row, column) when the list shows it cut short, else empty.
std::string CutText(HWND list, int row, int column, RECT* cell)
{
    std::string text = ListView(list).Text(row, column);
    if (text.empty())
        return text;
    RECT r{};
    r.top = column;
    r.left = LVIR_LABEL;
    if (!SendMessageA(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r)))
        return {};
    *cell = r;
    int needed = static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text.c_str())));
    return needed + kCellTextPadding > r.right - r.left ? text : std::string();
}

void UpdateCellTip(HWND list, CellTips& tips, int x, int y)
{
    LVHITTESTINFO hit{};
    hit.pt = POINT{x, y};
    SendMessageA(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    int row = hit.iItem, column = row >= 0 ? hit.iSubItem : -1;
    if (row == tips.row && column == tips.column)
        return;
    tips.row = row;
    tips.column = column;
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = list;
    tool.uId = ListView::kCellTipTool;
    tips.text = row >= 0 ? CutText(list, row, column, &tool.rect) : std::string();
    // Lines that end where the list does (the tip opens at the pointer): a long path wraps
    // instead of running off the window.
    RECT client{};
    GetClientRect(list, &client);
    SendMessageA(tips.tooltip, TTM_SETMAXTIPWIDTH, 0, std::max<LONG>(client.right - x, 240));
    SendMessageA(tips.tooltip, TTM_POP, 0, 0);
    SendMessageA(tips.tooltip, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
    tool.lpszText = tips.text.data();
    SendMessageA(tips.tooltip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

LRESULT CALLBACK CellTipProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data)
{
    auto* tips = reinterpret_cast<CellTips*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(list, CellTipProc, id);
        RemovePropA(list, kCellTipsProperty);
        delete tips;
        return DefSubclassProc(list, message, wParam, lParam);
    }
    return GuardedWindowCall(
        list, "list tooltip",
        [&] {
            switch (message) {
            case WM_MOUSEMOVE:
                UpdateCellTip(list, *tips, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
                break;
            case LVM_DELETEALLITEMS:
            case LVM_DELETEITEM:
            case WM_VSCROLL:
            case WM_HSCROLL:
            case WM_MOUSEWHEEL:
                tips->row = tips->column = -2;  // other cells come under the pointer
                break;
            case WM_DESTROY:
                // A pop-up owned by the list: it would otherwise outlive it.
                if (tips->tooltip)
                    DestroyWindow(tips->tooltip);
                tips->tooltip = nullptr;
                break;
            default:
                break;
            }
            return DefSubclassProc(list, message, wParam, lParam);
        },
        LRESULT(0));
}

// Gives a list its tooltip of cut-short cells; without one the list only lacks the tips.
void AddCellTips(HWND list)
{
    auto tips = std::make_unique<CellTips>();
    tips->tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, list, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
    if (!tips->tooltip)
        return;
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = list;
    tool.uId = ListView::kCellTipTool;
    char none[] = "";
    tool.lpszText = none;
    SendMessageA(tips->tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageA(tips->tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(30000, 0));
    if (!SetWindowSubclass(list, CellTipProc, kCellTipSubclass, reinterpret_cast<DWORD_PTR>(tips.get()))) {
        DestroyWindow(tips->tooltip);
        return;
    }
    SetPropA(list, kCellTipsProperty, tips.get());
    tips.release();  // deleted by the subclass when the list goes
}

}  // namespace

HWND ListView::cellTooltip() const
{
    auto* tips = hwnd_ ? static_cast<CellTips*>(GetPropA(hwnd_, kCellTipsProperty)) : nullptr;
    return tips ? tips->tooltip : nullptr;
}

bool ListView::Create(HWND parent, int id, const RECT& area, DWORD style)
{
    hwnd_ = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | style, area.left, area.top,
                            area.right - area.left, area.bottom - area.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    if (hwnd_) {
        SendMessageA(hwnd_, WM_SETFONT, SendMessageA(parent, WM_GETFONT, 0, 0), FALSE);
        AddCellTips(hwnd_);
    }
    return hwnd_ != nullptr;
}

void ListView::AddExtendedStyle(DWORD bits)
{
    SendMessageA(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, bits, bits);
}

int ListView::AddColumn(const std::string& heading, int width)
{
    HWND header = reinterpret_cast<HWND>(SendMessageA(hwnd_, LVM_GETHEADER, 0, 0));
    int index = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<char*>(heading.c_str());
    column.iSubItem = index;
    return static_cast<int>(SendMessageA(hwnd_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index),
                                         reinterpret_cast<LPARAM>(&column)));
}

int ListView::Count() const
{
    return static_cast<int>(SendMessageA(hwnd_, LVM_GETITEMCOUNT, 0, 0));
}

int ListView::AddRow(const std::string& text, LPARAM data)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = Count();
    item.pszText = const_cast<char*>(text.c_str());
    item.lParam = data;
    return static_cast<int>(SendMessageA(hwnd_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

bool ListView::SetText(int row, int column, const std::string& text)
{
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    return SendMessageA(hwnd_, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != 0;
}

std::string ListView::Text(int row, int column) const
{
    // The control copies at most the buffer's size and says how much it copied; a full
    // buffer may mean more text, so grow until it is not full.
    std::vector<char> buffer(256);
    for (;;) {
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        auto length = static_cast<std::size_t>(
            SendMessageA(hwnd_, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < buffer.size() || buffer.size() >= (std::size_t(1) << 20))
            return std::string(buffer.data(), std::min(length, buffer.size() - 1));
        buffer.resize(buffer.size() * 4);
    }
}

LPARAM ListView::Data(int row) const
{
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(hwnd_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return 0;
    return item.lParam;
}

bool ListView::DeleteRow(int row)
{
    return SendMessageA(hwnd_, LVM_DELETEITEM, static_cast<WPARAM>(row), 0) != 0;
}

void ListView::DeleteAll()
{
    SendMessageA(hwnd_, LVM_DELETEALLITEMS, 0, 0);
}

void ListView::SetChecked(int row, bool checked)
{
    LVITEMA item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageA(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool ListView::IsChecked(int row) const
{
    auto state = static_cast<UINT>(
        SendMessageA(hwnd_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void ListView::SetAllChecked(bool checked)
{
    // Row -1 stands for every row.
    SetChecked(-1, checked);
}

int ListView::SelectionMark() const
{
    return static_cast<int>(SendMessageA(hwnd_, LVM_GETSELECTIONMARK, 0, 0));
}

int ListView::Selected() const
{
    return static_cast<int>(SendMessageA(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ListView::Select(int row)
{
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    SendMessageA(hwnd_, LVM_SETSELECTIONMARK, 0, row);
}

}  // namespace tw
