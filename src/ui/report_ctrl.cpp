#include "ui/report_ctrl.h"

#include "platform/win32/win32_registry.h"
#include "ui/wide_text.h"
#include "ui/window_barrier.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace tw {
namespace {

constexpr UINT_PTR kSubclassId = 0x52505254;  // "RPRT"
constexpr int kHeaderId = 0;

RECT ToRect(const ReportRect& r)
{
    return RECT{r.left, r.top, r.right, r.bottom};
}

// Fills with one colour through the device context's own brush: no brush to create.
void Fill(HDC dc, const RECT& rect, COLORREF colour)
{
    SetDCBrushColor(dc, colour);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

bool Overlaps(const ReportRect& r, const RECT& area)
{
    return r.right > area.left && r.left < area.right && r.bottom > area.top && r.top < area.bottom;
}

// Registers the list's window class once per process; false when that fails.
bool RegisterReportClass()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(instance, CReportCtrl::kClassName, &existing))
        return true;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcA;  // each list subclasses its own window
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = CReportCtrl::kClassName;
    return RegisterClassExA(&wc) != 0;
}

Registry& UserRegistry()
{
    static Win32Registry registry;
    return registry;
}

}  // namespace

CReportCtrl::CReportCtrl() : CReportCtrl(UserRegistry()) {}

CReportCtrl::CReportCtrl(Registry& registry)
{
    registered_ = RegisterReportClass();
    model_.SetWheelLines(ReadWheelScrollLines(registry));
    model_.SetOwner(this);
}

CReportCtrl::~CReportCtrl()
{
    model_.SetOwner(nullptr);
    Destroy();
}

bool CReportCtrl::Create(DWORD style, const RECT& rect, HWND parent, int id)
{
    if (!registered_ || hwnd_)
        return false;
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);

    HINSTANCE instance = GetModuleHandleA(nullptr);
    hwnd_ = CreateWindowExA(0, kClassName, "", style | WS_CLIPCHILDREN, rect.left, rect.top, rect.right - rect.left,
                            rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                            nullptr);
    if (!hwnd_)
        return false;
    SetWindowSubclass(hwnd_, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    header_ = CreateWindowExA(0, WC_HEADERA, "", WS_CHILD | WS_VISIBLE | HDS_HORZ | HDS_BUTTONS | HDS_FULLDRAG, 0, 0, 0,
                              0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kHeaderId)), instance, nullptr);
    if (!header_) {
        Destroy();
        return false;
    }
    // Without its tooltip window the list only lacks the sort hints.
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance, nullptr);
    LoadSystemColours();
    font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageA(header_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    for (int position = 0; position < model_.ShownCount(); ++position)  // columns shown before
        InsertHeaderItem(position);
    UpdateHeaderTooltips();
    model_.SetPreviews((style & kReportPreviewStyle) != 0);
    UpdateRowHeight();
    Layout();
    return true;
}

void CReportCtrl::Destroy()
{
    if (hwnd_)
        DestroyWindow(hwnd_);  // WM_NCDESTROY forgets the handles
}

void CReportCtrl::LoadSystemColours()
{
    colours_[kWindow] = GetSysColor(COLOR_WINDOW);
    colours_[kHighlight] = GetSysColor(COLOR_HIGHLIGHT);
    colours_[kButtonFace] = GetSysColor(COLOR_BTNFACE);
    colours_[kWindowText] = GetSysColor(COLOR_WINDOWTEXT);
    colours_[kHighlightText] = GetSysColor(COLOR_HIGHLIGHTTEXT);
    colours_[kGrid] = GetSysColor(COLOR_3DLIGHT);
}

COLORREF CReportCtrl::Palette(int index, COLORREF fallback) const
{
    std::uint32_t colour = 0;
    return model_.PaletteColour(index, &colour) ? static_cast<COLORREF>(colour) : fallback;
}

// ---- the owner's calls

int CReportCtrl::SetPaletteColour(int index, COLORREF colour)
{
    int result = model_.SetPaletteColour(index, colour);
    if (result >= 0)
        Changed();
    return result;
}

int CReportCtrl::DefineColumn(int index, const ReportColumn& column)
{
    return model_.DefineColumn(index, column);
}

int CReportCtrl::ShowColumn(int column, int position)
{
    int shownAt = model_.ShowColumn(column, position);
    if (shownAt < 0 || !header_)
        return shownAt;
    InsertHeaderItem(shownAt);
    UpdateHeaderTooltips();
    Layout();
    Changed();
    return shownAt;
}

void CReportCtrl::InsertHeaderItem(int position)
{
    const ReportColumn* c = model_.Column(model_.ColumnAt(position));
    std::string title = c->title;
    HDITEMA item{};
    item.mask = HDI_FORMAT | HDI_WIDTH;
    item.fmt = static_cast<int>(c->format & kColumnHeaderFormat);
    item.cxy = c->width;
    if (c->format & kColumnText) {
        item.mask |= HDI_TEXT;
        item.pszText = title.data();
        item.cchTextMax = static_cast<int>(title.size());
    }
    if (c->format & kColumnImage) {
        item.mask |= HDI_IMAGE;
        item.iImage = c->image;
    }
    SendMessageA(header_, HDM_INSERTITEMA, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&item));
}

int CReportCtrl::SetColumnWidth(int column, int width)
{
    int set = model_.SetColumnWidth(column, width);
    if (set >= 0) {
        UpdateHeaderItem(column);
        Layout();
        Changed();
    }
    return set;
}

void CReportCtrl::UpdateHeaderItem(int column)
{
    int position = model_.PositionOf(column);
    if (position < 0 || !header_)
        return;
    HDITEMA item{};
    item.mask = HDI_WIDTH;
    item.cxy = model_.Column(column)->width;
    SendMessageA(header_, HDM_SETITEMA, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&item));
    UpdateHeaderTooltips();
}

// One tool per shown column with the sort hint, over its header item.
void CReportCtrl::UpdateHeaderTooltips()
{
    if (!tooltip_ || !header_)
        return;
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = header_;
    for (int id = 0; id < tooltipTools_; ++id) {
        tool.uId = static_cast<UINT_PTR>(id);
        SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    tooltipTools_ = 0;
    for (int position = 0; position < model_.ShownCount(); ++position) {
        const ReportColumn* column = model_.Column(model_.ColumnAt(position));
        if (!(column->format & kColumnSortTooltip))
            continue;
        std::string text = ReportModel::SortTooltip(column->title);
        tool.uFlags = TTF_SUBCLASS;
        tool.uId = static_cast<UINT_PTR>(position);
        SendMessageA(header_, HDM_GETITEMRECT, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&tool.rect));
        tool.lpszText = text.data();
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        tooltipTools_ = position + 1;
    }
}

// A long key path or value is cut with "..." where the list draws it: resting the pointer
// on the row shows its whole text. One tool covers the row under the pointer; its rectangle
// and text change as the pointer moves to another row.
void CReportCtrl::UpdateRowTip(int x, int y)
{
    if (!tooltip_)
        return;
    ReportHit hit = model_.HitTest(x, y);
    int row = hit.row;
    if (row == tipRow_)
        return;
    tipRow_ = row;
    tipText_ = row >= 0 ? RowTipText(row) : std::string();
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = hwnd_;
    tool.uId = kRowTipTool;
    if (row >= 0)
        tool.rect = ToRect(model_.RowRect(row));
    if (!tipToolAdded_) {
        tool.uFlags = TTF_SUBCLASS;
        char none[] = "";
        tool.lpszText = none;
        tipToolAdded_ = SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
        SendMessageA(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(30000, 0));  // time to read it
    }
    // Lines that end where the list does (the tip opens at the pointer): a long path wraps
    // under the row instead of running off the window.
    RECT client{};
    GetClientRect(hwnd_, &client);
    SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, std::max<LONG>(client.right - x, 240));
    SendMessageA(tooltip_, TTM_POP, 0, 0);
    SendMessageA(tooltip_, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
    tool.lpszText = tipText_.data();
    SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

std::string CReportCtrl::RowTipText(int row)
{
    ReportTipRequest request{};
    request.note.header.hwndFrom = hwnd_;
    request.note.header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd_));
    request.note.header.code = static_cast<UINT>(kReportGetRowTip);
    request.note.row = row;
    request.note.column = -1;
    if (HWND owner = GetParent(hwnd_))
        SendMessageA(owner, WM_NOTIFY, request.note.header.idFrom, reinterpret_cast<LPARAM>(&request));
    if (!request.text.empty())
        return request.text;
    // The cells drawn cut short, in full.
    std::string text;
    WindowDc dc(hwnd_);
    SelectedObject font(dc.get(), font_);
    for (int position = 0; position < model_.ShownCount(); ++position) {
        int column = model_.ColumnAt(position);
        const ReportCell* cell = model_.Cell(row, column);
        if (!cell || cell->text.empty())
            continue;
        RECT room = ToRect(model_.TextRect(row, column));
        RECT needed{0, 0, 0, 0};
        ui::DrawTextIn(dc.get(), cell->text, &needed, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        if (needed.right > room.right - room.left)
            text += (text.empty() ? "" : "\n") + cell->text;
    }
    return text;
}

void CReportCtrl::DeleteAllItems()
{
    ForgetRowTip();
    model_.DeleteAllItems();
    Changed();
}

bool CReportCtrl::DeleteItem(int row)
{
    bool deleted = model_.DeleteItem(row);
    if (deleted)
        Changed();
    return deleted;
}

int CReportCtrl::InsertItem(const ReportItem& item)
{
    int row = model_.InsertItem(item);
    if (row >= 0)
        Changed();
    return row;
}

bool CReportCtrl::SetItem(const ReportItem& item)
{
    bool set = model_.SetItem(item);
    if (set)
        Changed();
    return set;
}

bool CReportCtrl::SetItemText(int row, int column, const std::string& text, int textColour)
{
    return SetItem(TextItem(row, column, text, textColour));
}

bool CReportCtrl::SetCheck(int row, int column, int check)
{
    bool set = model_.SetCheck(row, column, check);
    if (set)
        Changed();
    return set;
}

bool CReportCtrl::SetSelected(int row, bool selected)
{
    bool set = model_.SetSelected(row, selected);
    Changed();
    return set;
}

bool CReportCtrl::EnsureVisible(int row)
{
    bool moved = model_.EnsureVisible(row);
    if (moved)
        Changed();
    return moved;
}

void CReportCtrl::SetEmptyText(const std::string& text)
{
    emptyText_ = text;
    Changed();
}

void CReportCtrl::SetImageList(HIMAGELIST images)
{
    images_ = images;
    if (header_)
        SendMessageA(header_, HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    Changed();
}

// ---- layout

void CReportCtrl::UpdateRowHeight()
{
    if (!hwnd_)
        return;
    WindowDc dc(hwnd_);
    if (!dc.get())
        return;
    SelectedObject font(dc.get(), font_);
    TEXTMETRICA metrics{};
    if (GetTextMetricsA(dc.get(), &metrics))
        model_.SetRowHeight(std::max<int>(metrics.tmHeight + 4, ReportModel::kCheckBoxSize + 4));
}

// Places the header (moved left as the list scrolls sideways) and sets the scroll bars;
// showing or hiding a scroll bar changes the client area, so it repeats until that settles.
void CReportCtrl::Layout()
{
    if (!hwnd_ || inLayout_)
        return;
    inLayout_ = true;
    layoutStale_ = false;
    for (int pass = 0; pass < 3; ++pass) {
        RECT client{};
        GetClientRect(hwnd_, &client);
        int headerHeight = 0;
        if (header_) {
            RECT area{0, 0, client.right + model_.ScrollX(), client.bottom};
            WINDOWPOS place{};
            HDLAYOUT layout{&area, &place};
            if (SendMessageA(header_, HDM_LAYOUT, 0, reinterpret_cast<LPARAM>(&layout))) {
                headerHeight = place.cy;
                RECT wanted{-model_.ScrollX(), place.y, place.cx - model_.ScrollX(), place.y + place.cy};
                if (!EqualRect(&wanted, &headerPlace_)) {
                    headerPlace_ = wanted;
                    SetWindowPos(header_, nullptr, wanted.left, wanted.top, place.cx, place.cy,
                                 SWP_NOZORDER | SWP_NOACTIVATE);
                }
            }
        }
        model_.SetLayout(headerHeight, client.right, client.bottom);
        UpdateScrollBars();
        RECT after{};
        GetClientRect(hwnd_, &after);
        if (after.right == client.right && after.bottom == client.bottom)
            break;
    }
    inLayout_ = false;
}

void CReportCtrl::UpdateScrollBars()
{
    auto set = [this](int bar, const SCROLLINFO& info, SCROLLINFO& last) {
        if (info.nMax == last.nMax && info.nPage == last.nPage && info.nPos == last.nPos && last.cbSize)
            return;
        last = info;
        SetScrollInfo(hwnd_, bar, &info, TRUE);
    };
    SCROLLINFO vertical{};
    vertical.cbSize = sizeof vertical;
    vertical.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    int maxTop = model_.MaxTopRow();
    if (maxTop > 0) {
        vertical.nMax = model_.RowCount() - 1;
        vertical.nPage = static_cast<UINT>(model_.RowCount() - maxTop);
        vertical.nPos = model_.TopRow();
    }
    set(SB_VERT, vertical, vertical_);

    SCROLLINFO horizontal{};
    horizontal.cbSize = sizeof horizontal;
    horizontal.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    if (model_.MaxScrollX() > 0) {
        RECT client{};
        GetClientRect(hwnd_, &client);
        horizontal.nMax = model_.TotalWidth() - 1;
        horizontal.nPage = static_cast<UINT>(client.right);
        horizontal.nPos = model_.ScrollX();
    }
    set(SB_HORZ, horizontal, horizontal_);
}

// After any change of rows or position. The scroll bars follow at the next paint and the
// whole view is repainted then: filling a list row by row costs no window calls per row.
void CReportCtrl::Changed()
{
    if (!hwnd_)
        return;
    layoutStale_ = true;
    if (!paintPending_) {
        paintPending_ = true;
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
}

void CReportCtrl::OnScroll(bool vertical, int code)
{
    ForgetRowTip();  // other rows come under the pointer
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_TRACKPOS;
    GetScrollInfo(hwnd_, vertical ? SB_VERT : SB_HORZ, &info);
    bool moved = false;
    if (vertical) {
        switch (code) {
        case SB_LINEUP: moved = model_.ScrollLines(-1); break;
        case SB_LINEDOWN: moved = model_.ScrollLines(1); break;
        case SB_PAGEUP: moved = model_.ScrollPage(false); break;
        case SB_PAGEDOWN: moved = model_.ScrollPage(true); break;
        case SB_TOP: moved = model_.ScrollTo(0); break;
        case SB_BOTTOM: moved = model_.ScrollTo(model_.MaxTopRow()); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: moved = model_.ScrollTo(info.nTrackPos); break;
        default: break;
        }
    } else {
        RECT client{};
        GetClientRect(hwnd_, &client);
        int x = model_.ScrollX();
        switch (code) {
        case SB_LINELEFT: moved = model_.SetScrollX(x - ReportModel::kHorizontalLine); break;
        case SB_LINERIGHT: moved = model_.SetScrollX(x + ReportModel::kHorizontalLine); break;
        case SB_PAGELEFT: moved = model_.SetScrollX(x - client.right); break;
        case SB_PAGERIGHT: moved = model_.SetScrollX(x + client.right); break;
        case SB_LEFT: moved = model_.SetScrollX(0); break;
        case SB_RIGHT: moved = model_.SetScrollX(model_.MaxScrollX()); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: moved = model_.SetScrollX(info.nTrackPos); break;
        default: break;
        }
    }
    if (moved)
        Changed();
}

// ---- drawing

void CReportCtrl::Paint(HDC target, const RECT& update)
{
    RECT client{};
    GetClientRect(hwnd_, &client);
    RECT area{0, model_.HeaderHeight(), client.right, client.bottom};
    RECT dirty{};
    if (!IntersectRect(&dirty, &area, &update))
        return;
    // Drawn off screen and copied in one go, so a repaint never flickers.
    UniqueMemoryDc memory(CreateCompatibleDC(target));
    if (memory && (!buffer_ || bufferSize_.cx < client.right || bufferSize_.cy < client.bottom)) {
        buffer_.reset(CreateCompatibleBitmap(target, client.right, client.bottom));
        bufferSize_ = buffer_ ? SIZE{client.right, client.bottom} : SIZE{0, 0};
    }
    if (!memory || !buffer_) {  // short of memory: draw straight on the window
        Draw(target, dirty);
        return;
    }
    {
        SelectedObject bitmap(memory.get(), buffer_.get());
        Draw(memory.get(), dirty);
        BitBlt(target, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, memory.get(),
               dirty.left, dirty.top, SRCCOPY);
    }
}

void CReportCtrl::Draw(HDC dc, const RECT& update)
{
    Fill(dc, update, colours_[kWindow]);
    SelectedObject font(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    if (model_.RowCount() == 0) {
        if (!emptyText_.empty()) {
            RECT band = ToRect(model_.EmptyTextRect());
            SetTextColor(dc, colours_[kWindowText]);
            // One line sits in the middle of the first row's height; a longer text wraps.
            RECT firstRow = band;
            firstRow.bottom = firstRow.top + (band.bottom - band.top) / ReportModel::kEmptyTextLines;
            RECT measured = firstRow;
            ui::DrawTextIn(dc, emptyText_, &measured, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
            if (measured.right - measured.left <= band.right - band.left - 2 * ReportModel::kCellMargin)
                ui::DrawTextIn(dc, emptyText_, &firstRow, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
            else
                ui::DrawTextIn(dc, emptyText_, &band, DT_CENTER | DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
        return;
    }
    bool focused = GetFocus() == hwnd_;
    ReportRowRange rows = model_.VisibleRows();
    // The owner may change the rows while it draws a preview: the count is read each time.
    for (int row = rows.first; row < rows.last && row < model_.RowCount(); ++row)
        if (Overlaps(model_.RowRect(row), update))
            DrawRow(dc, row, focused);
}

void CReportCtrl::DrawRow(HDC dc, int row, bool focused)
{
    const bool selected = model_.IsSelected(row);
    const RECT whole = ToRect(model_.RowRect(row));
    const RECT line = ToRect(model_.LineRect(row));
    COLORREF back = selected ? colours_[focused ? kHighlight : kButtonFace]
                             : Palette(model_.RowBackColour(row), colours_[kWindow]);
    Fill(dc, whole, back);

    const COLORREF rowText = Palette(model_.RowTextColour(row), colours_[kWindowText]);
    for (int position = 0; position < model_.ShownCount(); ++position) {
        int column = model_.ColumnAt(position);
        const ReportCell* kept = model_.Cell(row, column);
        if (!kept)
            continue;
        const ReportCell& cell = *kept;
        RECT cellRect = ToRect(model_.CellRect(row, column));
        if (!selected && cell.backColour >= 0)
            Fill(dc, cellRect, Palette(cell.backColour, back));
        if (cell.check >= 0) {
            RECT box = ToRect(model_.CheckBoxRect(row, column));
            DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | (cell.check == 1 ? DFCS_CHECKED : 0u));
        }
        if (cell.image >= 0 && images_) {
            ReportRect image = model_.ImageRect(row, column);
            ImageList_Draw(images_, cell.image, dc, image.left, image.top, ILD_TRANSPARENT);
        }
        if (!cell.text.empty()) {
            RECT text = ToRect(model_.TextRect(row, column));
            UINT align = DT_LEFT;
            unsigned format = model_.Column(column)->format & kColumnAlignMask;
            if (format == kColumnRight)
                align = DT_RIGHT;
            else if (format == kColumnCentre)
                align = DT_CENTER;
            SetTextColor(dc, selected && focused ? colours_[kHighlightText] : Palette(cell.textColour, rowText));
            ui::DrawTextIn(dc, cell.text, &text,
                      align | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
        Fill(dc, RECT{cellRect.right - 1, line.top, cellRect.right, line.bottom}, colours_[kGrid]);
    }

    ReportRect preview = model_.PreviewRect(row);
    if (model_.Previews() && !preview.Empty()) {
        ReportNotification note{};
        note.header.hwndFrom = hwnd_;
        note.header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd_));
        note.header.code = static_cast<UINT>(kReportDrawPreview);
        note.row = row;
        note.column = -1;
        note.oldState = note.newState = model_.RowState(row);
        note.ownerValue = model_.OwnerValue(row);
        note.dc = dc;
        note.rect = ToRect(preview);
        int saved = SaveDC(dc);  // whatever the owner selects or sets stays with its drawing
        SetTextColor(dc, colours_[kWindowText]);
        SendMessageA(GetParent(hwnd_), WM_NOTIFY, note.header.idFrom, reinterpret_cast<LPARAM>(&note));
        RestoreDC(dc, saved);
    }
    Fill(dc, RECT{whole.left, whole.bottom - 1, whole.right, whole.bottom}, colours_[kGrid]);
    if (focused && row == model_.FocusRow()) {
        SetTextColor(dc, colours_[kWindowText]);
        DrawFocusRect(dc, &whole);
    }
}

// ---- messages

long CReportCtrl::Notify(const ReportEvent& event)
{
    HWND owner = hwnd_ ? GetParent(hwnd_) : nullptr;
    if (!owner)
        return 0;
    ReportNotification note{};
    note.header.hwndFrom = hwnd_;
    note.header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd_));
    note.header.code = static_cast<UINT>(event.code);
    note.row = event.row;
    note.column = event.column;
    note.hitFlags = event.hitFlags;
    note.keyFlags = event.keyFlags;
    note.key = event.key;
    note.point = POINT{event.x, event.y};
    note.oldState = event.oldState;
    note.newState = event.newState;
    note.ownerValue = model_.OwnerValue(event.row);
    return static_cast<long>(
        SendMessageA(owner, WM_NOTIFY, note.header.idFrom, reinterpret_cast<LPARAM>(&note)));
}

bool CReportCtrl::OnHeaderNotify(const NMHDR& header, LRESULT* result)
{
    const auto& note = reinterpret_cast<const NMHEADERA&>(header);
    *result = 0;
    switch (header.code) {
    case HDN_ITEMCLICKA:
    case HDN_ITEMCLICKW:
        model_.HeaderClick(model_.ColumnAt(note.iItem));
        return true;
    case HDN_ITEMCHANGEDA:
    case HDN_ITEMCHANGEDW: {
        int column = model_.ColumnAt(note.iItem);
        if (column < 0 || !note.pitem || !(note.pitem->mask & HDI_WIDTH))
            return true;
        // The user dragged a divider: the column keeps to its bounds.
        int width = model_.SetColumnWidth(column, note.pitem->cxy);
        if (width != note.pitem->cxy)
            UpdateHeaderItem(column);
        else
            UpdateHeaderTooltips();
        Changed();
        return true;
    }
    default:
        return false;
    }
}

LRESULT CALLBACK CReportCtrl::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR data)
{
    auto* self = reinterpret_cast<CReportCtrl*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
        self->hwnd_ = self->header_ = self->tooltip_ = nullptr;
        self->tooltipTools_ = 0;
        self->tipToolAdded_ = false;
        self->tipRow_ = -2;
        self->headerPlace_ = RECT{};
        self->vertical_ = self->horizontal_ = SCROLLINFO{};
        self->paintPending_ = self->layoutStale_ = false;
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    return GuardedWindowCall(
        hwnd, "report list", [&] { return self->HandleMessage(message, wParam, lParam); }, LRESULT(0));
}

LRESULT CReportCtrl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Input finds the scroll bars and the view as the rows now are.
    bool input = (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
                 (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
    if (input && layoutStale_)
        Layout();
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    const unsigned mouseKeys = static_cast<unsigned>(wParam) & (MK_SHIFT | MK_CONTROL);
    switch (message) {
    case WM_PAINT: {
        paintPending_ = false;
        if (layoutStale_)
            Layout();
        PaintDc paint(hwnd_);
        Paint(paint.get(), paint.area());
        return 0;
    }
    case WM_PRINTCLIENT: {
        if (layoutStale_)
            Layout();
        RECT client{};
        GetClientRect(hwnd_, &client);
        Paint(reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;  // every pixel is painted
    case WM_MOUSEMOVE:
        UpdateRowTip(x, y);
        return DefSubclassProc(hwnd_, message, wParam, lParam);
    case WM_DESTROY:
        // The tooltip is a pop-up: it would otherwise live on with the top-level window.
        if (tooltip_)
            DestroyWindow(tooltip_);
        tooltip_ = nullptr;
        return DefSubclassProc(hwnd_, message, wParam, lParam);
    case WM_SIZE:
        Layout();
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_SETFONT:
        font_ = wParam ? reinterpret_cast<HFONT>(wParam) : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        if (header_)
            SendMessageA(header_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), lParam);
        UpdateRowHeight();
        Layout();
        if (LOWORD(lParam))
            InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(font_);
    case WM_SYSCOLORCHANGE:
        LoadSystemColours();
        if (header_)
            SendMessageA(header_, WM_SYSCOLORCHANGE, wParam, lParam);
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd_, nullptr, FALSE);
        return DefSubclassProc(hwnd_, message, wParam, lParam);
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case kRowCountMessage:
        return model_.RowCount();
    case kSelectCellMessage: {
        int row = static_cast<int>(wParam), column = static_cast<int>(lParam);
        if (row < 0 || row >= model_.RowCount())
            return -2;
        textRow_ = row;
        textColumn_ = column;
        return model_.GetCheck(row, column);
    }
    case WM_GETTEXTLENGTH:
        if (textRow_ < 0 && model_.RowCount() == 0)
            return static_cast<LRESULT>(emptyText_.size());
        if (textRow_ < 0)
            return DefSubclassProc(hwnd_, message, wParam, lParam);
        return static_cast<LRESULT>(model_.ItemText(textRow_, textColumn_).size());
    case WM_GETTEXT: {
        if (textRow_ < 0 && model_.RowCount() == 0 && wParam != 0) {
            std::size_t n = std::min(emptyText_.size(), static_cast<std::size_t>(wParam) - 1);
            std::memcpy(reinterpret_cast<char*>(lParam), emptyText_.data(), n);
            reinterpret_cast<char*>(lParam)[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        if (textRow_ < 0 || wParam == 0)
            return DefSubclassProc(hwnd_, message, wParam, lParam);
        std::string text = model_.ItemText(textRow_, textColumn_);
        std::size_t n = std::min(text.size(), static_cast<std::size_t>(wParam) - 1);
        std::memcpy(reinterpret_cast<char*>(lParam), text.data(), n);
        reinterpret_cast<char*>(lParam)[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case kCheckPointMessage: {
        int row = static_cast<int>(wParam), column = static_cast<int>(lParam);
        if (row < 0 || row >= model_.RowCount())
            return -1;
        EnsureVisible(row);
        if (layoutStale_)
            Layout();
        ReportRect r = model_.CheckBoxRect(row, column);
        if (r.Empty())
            r = model_.CellRect(row, column);
        RECT client;
        GetClientRect(hwnd_, &client);
        int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
        if (r.Empty() || cx < 0 || cy < 0 || cx >= client.right || cy >= client.bottom)
            return -1;
        return MAKELONG(cx, cy);
    }
    case WM_VSCROLL:
    case WM_HSCROLL:
        OnScroll(message == WM_VSCROLL, LOWORD(wParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
        // Unless the owner claims the event, the list takes the focus (and the model selects).
        bool own = message == WM_LBUTTONDOWN     ? model_.LeftButtonDown(x, y, mouseKeys)
                   : message == WM_RBUTTONDOWN ? model_.RightButtonDown(x, y, mouseKeys)
                                               : model_.DoubleClick(x, y, mouseKeys);
        if (own)
            SetFocus(hwnd_);
        Changed();
        return 0;
    }
    case WM_KEYDOWN: {
        unsigned keys = (GetKeyState(VK_SHIFT) < 0 ? kKeyShift : 0u) | (GetKeyState(VK_CONTROL) < 0 ? kKeyControl : 0u);
        if (model_.KeyDown(static_cast<unsigned>(wParam), keys)) {
            Changed();
            return 0;
        }
        return DefSubclassProc(hwnd_, message, wParam, lParam);
    }
    case WM_MOUSEWHEEL: {
        ReportWheelScroll scroll = model_.Wheel(GET_WHEEL_DELTA_WPARAM(wParam));
        WPARAM request = scroll.pages ? (scroll.up ? SB_PAGEUP : SB_PAGEDOWN) : (scroll.up ? SB_LINEUP : SB_LINEDOWN);
        for (int i = 0; i < scroll.count; ++i)
            PostMessageA(hwnd_, WM_VSCROLL, request, 0);
        return 0;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        LRESULT result = 0;
        if (header && header->hwndFrom == header_ && OnHeaderNotify(*header, &result))
            return result;
        return DefSubclassProc(hwnd_, message, wParam, lParam);
    }
    default:
        return DefSubclassProc(hwnd_, message, wParam, lParam);
    }
}

}  // namespace tw
