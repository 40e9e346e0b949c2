#include "ui/report_model.h"

#include "platform/key_handle.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

namespace tw {
namespace {

// Longest cell text kept; a longer one is cut (a list cell shows far less).
constexpr std::size_t kMaxCellText = 65536;
// Tallest preview area a row may ask for.
constexpr int kMaxPreviewHeight = 4096;

bool ParseInt(const std::string& s, std::size_t* pos, int* value)
{
    std::size_t i = *pos;
    bool negative = false;
    if (i < s.size() && s[i] == '-') {
        negative = true;
        ++i;
    }
    std::size_t digits = i;
    long long v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        v = v * 10 + (s[i] - '0');
        if (v > INT_MAX)
            return false;
        ++i;
    }
    if (i == digits)
        return false;
    *value = static_cast<int>(negative ? -v : v);
    *pos = i;
    return true;
}

int ClampInt(std::int64_t v)
{
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

// Sets a scroll position within [0, maximum]; true when it moved.
bool MoveWithin(int* position, int wanted, int maximum)
{
    int clamped = std::clamp(wanted, 0, maximum);
    if (clamped == *position)
        return false;
    *position = clamped;
    return true;
}

// The first n in [low, high] for which holds(n), by bisection (holds turns true once and
// stays true); high when it holds nowhere before.
template <class Holds>
int FirstWhere(int low, int high, Holds holds)
{
    while (low < high) {
        int mid = low + (high - low) / 2;
        if (holds(mid))
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

}  // namespace

ReportModel::ReportModel()
{
    previewPrefix_.assign(1, 0);
    prefixValid_ = 1;
}

// ---- palette

int ReportModel::SetPaletteColour(int index, std::uint32_t colour)
{
    if (index < 0 || index >= kMaxPaletteEntries)
        return -1;
    if (palette_.size() <= static_cast<std::size_t>(index))
        palette_.resize(static_cast<std::size_t>(index) + 1, -1);
    palette_[static_cast<std::size_t>(index)] = colour;
    return index;
}

bool ReportModel::PaletteColour(int index, std::uint32_t* colour) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= palette_.size() || palette_[static_cast<std::size_t>(index)] < 0)
        return false;
    *colour = static_cast<std::uint32_t>(palette_[static_cast<std::size_t>(index)]);
    return true;
}

// ---- records

bool ReportModel::FindRecord(const std::string& records, int column, Record* record)
{
    std::size_t pos = 0;
    for (int i = 0; i <= column; ++i) {
        Record r;
        r.begin = pos;
        if (pos >= records.size() || records[pos] != '(')
            return false;
        ++pos;
        int fields[5];
        for (int f = 0; f < 5; ++f) {
            if (!ParseInt(records, &pos, &fields[f]))
                return false;
            char expected = f < 4 ? ',' : ')';
            if (pos >= records.size() || records[pos] != expected)
                return false;
            ++pos;
        }
        std::size_t length = fields[4] < 0 ? 0 : static_cast<std::size_t>(fields[4]);
        if (records.size() - pos < length + 1 || records[pos + length] != '|')
            return false;
        if (i == column) {
            r.cell.textColour = fields[0];
            r.cell.backColour = fields[1];
            r.cell.check = fields[2];
            r.cell.image = fields[3];
            r.cell.hasText = fields[4] >= 0;
            r.cell.text.assign(records, pos, length);
            r.end = pos + length + 1;
            *record = std::move(r);
            return true;
        }
        pos += length + 1;
    }
    return false;
}

std::string ReportModel::FormatRecord(const ReportCell& cell)
{
    std::size_t length = cell.hasText ? std::min(strnlen(cell.text.c_str(), cell.text.size()), kMaxCellText) : 0;
    char head[80];
    std::snprintf(head, sizeof head, "(%d,%d,%d,%d,%d)", cell.textColour, cell.backColour, cell.check, cell.image,
                  cell.hasText ? static_cast<int>(length) : -1);
    std::string record = head;
    record.append(cell.text, 0, length);
    record += '|';
    return record;
}

// ---- columns

const ReportColumn* ReportModel::Column(int index) const
{
    return ValidColumn(index) ? &columns_[static_cast<std::size_t>(index)] : nullptr;
}

int ReportModel::DefineColumn(int index, const ReportColumn& column)
{
    if (index < 0 || index > ColumnCount())
        return -1;
    Record at;
    bool appending = index == ColumnCount();
    const std::string unset = FormatRecord(ReportCell{});
    auto insertRecord = [&](std::string& records) {
        std::size_t where = records.size();
        if (!appending && FindRecord(records, index, &at))
            where = at.begin;
        records.insert(where, unset);
    };
    insertRecord(template_);
    for (Row& row : rows_)
        insertRecord(row.records);

    ReportColumn defined = column;
    int width = defined.width < 0 ? kDefaultColumnWidth : defined.width;
    defined.width = 0;
    columns_.insert(columns_.begin() + index, defined);
    for (int& shown : shown_)
        if (shown >= index)
            ++shown;
    SetColumnWidth(index, width);
    return index;
}

int ReportModel::ShowColumn(int column, int position)
{
    if (!ValidColumn(column) || PositionOf(column) >= 0)
        return -1;
    if (position < 0 || position > ShownCount())
        position = ShownCount();
    shown_.insert(shown_.begin() + position, column);
    totalWidth_ += columns_[static_cast<std::size_t>(column)].width;
    return position;
}

int ReportModel::ColumnAt(int position) const
{
    if (position < 0 || position >= ShownCount())
        return -1;
    return shown_[static_cast<std::size_t>(position)];
}

int ReportModel::PositionOf(int column) const
{
    auto found = std::find(shown_.begin(), shown_.end(), column);
    return found == shown_.end() ? -1 : static_cast<int>(found - shown_.begin());
}

int ReportModel::SetColumnWidth(int column, int width)
{
    if (!ValidColumn(column))
        return -1;
    ReportColumn& c = columns_[static_cast<std::size_t>(column)];
    int w = std::max({width, c.minimumWidth, 0});
    if (c.maximumWidth > 0 && w > c.maximumWidth)
        w = c.maximumWidth;
    if (PositionOf(column) >= 0)
        totalWidth_ += w - c.width;
    c.width = w;
    scrollX_ = std::clamp(scrollX_, 0, MaxScrollX());
    return w;
}

std::string ReportModel::SortTooltip(const std::string& title)
{
    return "Sort by: " + title;
}

// ---- rows

void ReportModel::ApplyItem(Row& row, const ReportItem& item)
{
    if (item.mask & kItemState) {
        unsigned mask = (item.stateMask ? item.stateMask : ~0u) & ~static_cast<unsigned>(kRowListState);
        row.state = (row.state & ~mask) | (item.state & mask);
    }
    if (item.mask & kItemOwnerValue)
        row.ownerValue = item.ownerValue;
    if (item.mask & kItemPreview)
        row.previewHeight = std::clamp(item.previewHeight, 0, kMaxPreviewHeight);
    if (item.mask & kItemRowTextColour)
        row.textColour = item.rowTextColour;
    if (item.mask & kItemRowBackColour)
        row.backColour = item.rowBackColour;
    if (!(item.mask & kItemCellFields))
        return;
    Record record;
    if (!FindRecord(row.records, item.column, &record))
        return;
    ReportCell& cell = record.cell;
    if (item.mask & kItemText) {
        cell.hasText = true;
        cell.text = item.text;
    }
    if (item.mask & kItemTextColour)
        cell.textColour = item.textColour;
    if (item.mask & kItemBackColour)
        cell.backColour = item.backColour;
    if (item.mask & kItemCheck)
        cell.check = item.check;
    if (item.mask & kItemImage)
        cell.image = item.image;
    row.records.replace(record.begin, record.end - record.begin, FormatRecord(cell));
}

int ReportModel::InsertItem(const ReportItem& item)
{
    if ((item.mask & kItemCellFields) && !ValidColumn(item.column))
        return -1;
    int at = (item.row < 0 || item.row > RowCount()) ? RowCount() : item.row;
    Row row;
    row.records.reserve(kReservedPerColumn * columns_.size());
    row.records = template_;
    ApplyItem(row, item);
    rows_.insert(rows_.begin() + at, std::move(row));
    if (focus_ >= at)
        ++focus_;
    if (anchor_ >= at)
        ++anchor_;
    RowsChanged(at);
    return at;
}

bool ReportModel::SetItem(const ReportItem& item)
{
    if (!ValidRow(item.row) || ((item.mask & kItemCellFields) && !ValidColumn(item.column)))
        return false;
    Row& row = rows_[static_cast<std::size_t>(item.row)];
    int oldPreview = row.previewHeight;
    ApplyItem(row, item);
    if (row.previewHeight != oldPreview) {
        RowsChanged(item.row);
        top_ = std::clamp(top_, 0, MaxTopRow());
    }
    return true;
}

bool ReportModel::GetItem(ReportItem* item) const
{
    ReportCell cell;
    if (!GetCell(item->row, item->column, &cell))
        return false;
    const Row& row = rows_[static_cast<std::size_t>(item->row)];
    item->mask = kItemCellFields | kItemState | kItemOwnerValue | kItemPreview | kItemRowTextColour |
                 kItemRowBackColour;
    item->text = cell.text;
    item->textColour = cell.textColour;
    item->backColour = cell.backColour;
    item->check = cell.check;
    item->image = cell.image;
    item->state = RowState(item->row);
    item->stateMask = ~0u;
    item->ownerValue = row.ownerValue;
    item->previewHeight = row.previewHeight;
    item->rowTextColour = row.textColour;
    item->rowBackColour = row.backColour;
    return true;
}

ReportItem TextItem(int row, int column, const std::string& text, int textColour)
{
    ReportItem item;
    item.mask = kItemText | (textColour >= 0 ? kItemTextColour : 0u);
    item.row = row;
    item.column = column;
    item.text = text;
    item.textColour = textColour;
    return item;
}

bool ReportModel::SetCheck(int row, int column, int check)
{
    ReportItem item;
    item.mask = kItemCheck;
    item.row = row;
    item.column = column;
    item.check = check;
    return SetItem(item);
}

int ReportModel::GetCheck(int row, int column) const
{
    ReportCell cell;
    return GetCell(row, column, &cell) ? cell.check : -1;
}

std::string ReportModel::ItemText(int row, int column) const
{
    ReportCell cell;
    return GetCell(row, column, &cell) ? cell.text : std::string();
}

bool ReportModel::GetCell(int row, int column, ReportCell* cell) const
{
    if (!ValidRow(row) || !ValidColumn(column))
        return false;
    Record record;
    if (!FindRecord(rows_[static_cast<std::size_t>(row)].records, column, &record))
        return false;
    *cell = std::move(record.cell);
    return true;
}

unsigned ReportModel::RowState(int row) const
{
    if (!ValidRow(row))
        return 0;
    return rows_[static_cast<std::size_t>(row)].state | (row == focus_ ? kRowFocused : 0u);
}

std::intptr_t ReportModel::OwnerValue(int row) const
{
    return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].ownerValue : 0;
}

int ReportModel::PreviewHeight(int row) const
{
    return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].previewHeight : 0;
}

int ReportModel::RowTextColour(int row) const
{
    return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].textColour : -1;
}

int ReportModel::RowBackColour(int row) const
{
    return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].backColour : -1;
}

const std::string& ReportModel::RowRecords(int row) const
{
    static const std::string none;
    return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].records : none;
}

bool ReportModel::DeleteItem(int row)
{
    if (!ValidRow(row))
        return false;
    ReportEvent event;
    event.code = kReportRowDeleting;
    event.row = row;
    Tell(event);
    if (!ValidRow(row))  // the owner changed the rows while being told
        return false;
    rows_.erase(rows_.begin() + row);
    for (int* index : {&focus_, &anchor_}) {
        if (*index == row)
            *index = -1;
        else if (*index > row)
            --*index;
    }
    RowsChanged(row);
    top_ = std::clamp(top_, 0, MaxTopRow());
    return true;
}

void ReportModel::DeleteAllItems()
{
    int count = RowCount();
    for (int row = 0; row < count && row < RowCount(); ++row) {
        ReportEvent event;
        event.code = kReportRowDeleting;
        event.row = row;
        Tell(event);
    }
    rows_.clear();
    focus_ = anchor_ = -1;
    top_ = 0;
    RowsChanged(0);
}

// ---- selection

bool ReportModel::IsSelected(int row) const
{
    return ValidRow(row) && (rows_[static_cast<std::size_t>(row)].state & kRowSelected);
}

std::vector<int> ReportModel::SelectedRows() const
{
    std::vector<int> selected;
    for (int row = 0; row < RowCount(); ++row)
        if (rows_[static_cast<std::size_t>(row)].state & kRowSelected)
            selected.push_back(row);
    return selected;
}

bool ReportModel::SetSelected(int row, bool selected)
{
    if (!ValidRow(row))
        return false;
    if (IsSelected(row) == selected)
        return true;
    ReportEvent event;
    event.code = kReportSelectionChanging;
    event.row = row;
    event.oldState = RowState(row);
    event.newState = event.oldState ^ kRowSelected;
    if (Tell(event) != 0 || !ValidRow(row))
        return false;
    Row& r = rows_[static_cast<std::size_t>(row)];
    r.state = selected ? (r.state | kRowSelected) : (r.state & ~static_cast<unsigned>(kRowSelected));
    event.code = kReportSelectionChanged;
    event.newState = RowState(row);
    Tell(event);
    return true;
}

void ReportModel::SetFocusRow(int row)
{
    focus_ = ValidRow(row) ? row : -1;
}

void ReportModel::SelectOnly(int row)
{
    SelectRange(row, row, false);
    anchor_ = ValidRow(row) ? row : -1;
}

// Selects rows from..to; without keepOthers every other row is deselected first.
void ReportModel::SelectRange(int from, int to, bool keepOthers)
{
    int low = std::min(from, to), high = std::max(from, to);
    if (!keepOthers)
        for (int row = 0; row < RowCount(); ++row)
            if ((row < low || row > high) && IsSelected(row))
                SetSelected(row, false);
    for (int row = std::max(low, 0); row <= high && row < RowCount(); ++row)
        SetSelected(row, true);
}

// The selection rules shared by clicks and keys: Shift selects from the anchor, Ctrl toggles
// (a click) or only moves the focus (a key), both add the range and move the anchor.
void ReportModel::MoveSelection(int row, unsigned keyFlags, bool toggleWithControl)
{
    bool shift = keyFlags & kKeyShift, control = keyFlags & kKeyControl;
    if (!ValidRow(row)) {
        if (!shift && !control)
            SelectOnly(-1);
        return;
    }
    focus_ = row;
    if (shift && !control) {
        if (!ValidRow(anchor_))
            anchor_ = row;
        SelectRange(anchor_, row, false);
    } else if (control && !shift) {
        if (toggleWithControl) {
            SetSelected(row, !IsSelected(row));
            anchor_ = row;
        }
    } else if (shift && control) {
        if (!ValidRow(anchor_))
            anchor_ = row;
        SelectRange(anchor_, row, true);
        anchor_ = row;
    } else {
        SelectOnly(row);
    }
}

// ---- layout

void ReportModel::RowsChanged(int from)
{
    prefixValid_ = std::min(prefixValid_, static_cast<std::size_t>(std::max(from, 0)) + 1);
}

void ReportModel::EnsurePrefix() const
{
    std::size_t needed = rows_.size() + 1;
    if (prefixValid_ >= needed && previewPrefix_.size() == needed)
        return;
    previewPrefix_.resize(needed);
    for (std::size_t i = std::max<std::size_t>(prefixValid_, 1); i < needed; ++i)
        previewPrefix_[i] = previewPrefix_[i - 1] + rows_[i - 1].previewHeight;
    prefixValid_ = needed;
}

int ReportModel::RowTop(int row) const
{
    std::int64_t top = static_cast<std::int64_t>(row) * rowHeight_;
    if (previews_) {
        EnsurePrefix();
        top += previewPrefix_[static_cast<std::size_t>(row)];
    }
    return ClampInt(top);
}

int ReportModel::RowTotalHeight(int row) const
{
    return rowHeight_ + (previews_ ? rows_[static_cast<std::size_t>(row)].previewHeight : 0);
}

// The row that holds `offset` (from the first row's top), or -1.
int ReportModel::RowAtOffset(int offset) const
{
    if (offset < 0 || rows_.empty() || offset >= RowTop(RowCount()))
        return -1;
    return FirstWhere(0, RowCount() - 1, [&](int row) { return RowTop(row + 1) > offset; });
}

void ReportModel::SetLayout(int headerHeight, int clientWidth, int clientHeight)
{
    headerHeight_ = std::max(headerHeight, 0);
    clientWidth_ = std::max(clientWidth, 0);
    clientHeight_ = std::max(clientHeight, 0);
    top_ = std::clamp(top_, 0, MaxTopRow());
    scrollX_ = std::clamp(scrollX_, 0, MaxScrollX());
}

void ReportModel::SetRowHeight(int height)
{
    rowHeight_ = std::max(height, 1);
    top_ = std::clamp(top_, 0, MaxTopRow());
}

void ReportModel::SetPreviews(bool shown)
{
    previews_ = shown;
    top_ = std::clamp(top_, 0, MaxTopRow());
}

int ReportModel::ViewHeight() const
{
    return std::max(clientHeight_ - headerHeight_, 0);
}

int ReportModel::MaxTopRow() const
{
    if (rows_.empty())
        return 0;
    int total = RowTop(RowCount());
    int view = ViewHeight();
    // The first row from which every row to the end fits in the view.
    return FirstWhere(0, RowCount() - 1, [&](int row) { return total - RowTop(row) <= view; });
}

int ReportModel::MaxScrollX() const
{
    return std::max(totalWidth_ - clientWidth_, 0);
}

bool ReportModel::ScrollTo(int topRow)
{
    return MoveWithin(&top_, topRow, MaxTopRow());
}

bool ReportModel::ScrollLines(int lines)
{
    return ScrollTo(ClampInt(static_cast<std::int64_t>(top_) + lines));
}

bool ReportModel::ScrollPage(bool down)
{
    if (rows_.empty())
        return false;
    if (down) {
        int last = LastFullyVisibleRow();
        return ScrollTo(last > top_ ? last + 1 : top_ + 1);
    }
    // Up: the first row from which the rows down to the current top fill one view.
    int topOffset = RowTop(top_), view = ViewHeight();
    int first = FirstWhere(0, top_, [&](int row) { return topOffset - RowTop(row) <= view; });
    return ScrollTo(first < top_ ? first : top_ - 1);
}

bool ReportModel::SetScrollX(int x)
{
    return MoveWithin(&scrollX_, x, MaxScrollX());
}

bool ReportModel::EnsureVisible(int row)
{
    if (!ValidRow(row))
        return false;
    if (row < top_)
        return ScrollTo(row);
    if (row <= LastFullyVisibleRow())
        return false;
    // The first top row that shows `row` wholly at the bottom.
    int bottom = RowTop(row + 1), view = ViewHeight();
    return ScrollTo(FirstWhere(top_, row, [&](int top) { return bottom - RowTop(top) <= view; }));
}

ReportRowRange ReportModel::VisibleRows() const
{
    ReportRowRange range{top_, top_};
    int view = ViewHeight();
    if (rows_.empty() || view == 0)
        return range;
    int limit = RowTop(top_) + view;  // the first offset below the view
    range.last = FirstWhere(top_, RowCount(), [&](int row) { return RowTop(row) >= limit; });
    return range;
}

int ReportModel::LastFullyVisibleRow() const
{
    if (rows_.empty())
        return -1;
    int limit = RowTop(top_) + ViewHeight();
    // The row before the first one whose bottom is below the view.
    int first = FirstWhere(top_, RowCount(), [&](int row) { return row == RowCount() || RowTop(row + 1) > limit; });
    return std::max(first - 1, top_);
}

ReportRect ReportModel::RowRect(int row) const
{
    if (!ValidRow(row))
        return {};
    ReportRect r;
    r.left = FirstColumnLeft();
    r.right = r.left + totalWidth_;
    r.top = headerHeight_ + RowTop(row) - RowTop(top_);
    r.bottom = r.top + RowTotalHeight(row);
    return r;
}

ReportRect ReportModel::LineRect(int row) const
{
    ReportRect r = RowRect(row);
    if (ValidRow(row))
        r.bottom = r.top + rowHeight_;
    return r;
}

ReportRect ReportModel::PreviewRect(int row) const
{
    ReportRect r = RowRect(row);
    if (ValidRow(row))
        r.top += rowHeight_;
    return r.Empty() ? ReportRect{} : r;
}

ReportRect ReportModel::CellRect(int row, int column) const
{
    int position = PositionOf(column);
    if (!ValidRow(row) || position < 0)
        return {};
    ReportRect r = LineRect(row);
    for (int p = 0; p < position; ++p)
        r.left += columns_[static_cast<std::size_t>(shown_[static_cast<std::size_t>(p)])].width;
    r.right = r.left + columns_[static_cast<std::size_t>(column)].width;
    return r;
}

// The check box (at the cell's left) or the image (after the box, if any) of a cell, centred
// in the row's line; empty when the cell has none.
ReportRect ReportModel::CellPart(int row, int column, bool image) const
{
    ReportCell cell;
    if (!GetCell(row, column, &cell) || (image ? cell.image : cell.check) < 0)
        return {};
    ReportRect c = CellRect(row, column);
    if (c.Empty())
        return {};
    int size = image ? kImageSize : kCheckBoxSize;
    ReportRect part;
    part.left = c.left + kCellMargin + (image && cell.check >= 0 ? kCheckBoxSize + kCellMargin : 0);
    part.top = c.top + (rowHeight_ - size) / 2;
    part.right = part.left + size;
    part.bottom = part.top + size;
    return part;
}

ReportRect ReportModel::CheckBoxRect(int row, int column) const
{
    return CellPart(row, column, false);
}

ReportRect ReportModel::ImageRect(int row, int column) const
{
    return CellPart(row, column, true);
}

ReportRect ReportModel::TextRect(int row, int column) const
{
    ReportRect c = CellRect(row, column);
    if (c.Empty())
        return {};
    int left = c.left;
    for (const ReportRect& part : {CheckBoxRect(row, column), ImageRect(row, column)})
        if (!part.Empty())
            left = std::max(left, part.right);
    c.left = left + kCellMargin;
    c.right -= kCellMargin;
    return c;
}

ReportRect ReportModel::EmptyTextRect() const
{
    ReportRect r;
    r.left = 0;
    r.right = clientWidth_;
    r.top = headerHeight_ + 2;
    // Room for a few lines: a text longer than the list is wide wraps instead of being cut.
    r.bottom = r.top + kEmptyTextLines * rowHeight_;
    return r;
}

ReportHit ReportModel::HitTest(int x, int y) const
{
    ReportHit hit;
    if (y < headerHeight_)
        return hit;
    int row = RowAtOffset(ClampInt(static_cast<std::int64_t>(y) - headerHeight_ + RowTop(top_)));
    if (row < 0)
        return hit;
    hit.row = row;
    int left = FirstColumnLeft();
    for (int column : shown_) {
        int width = columns_[static_cast<std::size_t>(column)].width;
        if (x >= left && x < left + width) {
            hit.column = column;
            break;
        }
        left += width;
    }
    if (!LineRect(row).Contains(x, y) && y >= LineRect(row).bottom) {
        hit.flags = kHitPreview;
        return hit;
    }
    hit.flags = kHitCell;
    if (hit.column >= 0) {
        if (CheckBoxRect(row, hit.column).Contains(x, y))
            hit.flags = kHitCheckBox;
        else if (ImageRect(row, hit.column).Contains(x, y))
            hit.flags = kHitImage;
    }
    return hit;
}

// ---- input

long ReportModel::Tell(const ReportEvent& event)
{
    return owner_ ? owner_->Notify(event) : 0;
}

ReportEvent ReportModel::MouseEvent(int code, int x, int y, unsigned keyFlags, ReportHit* hit) const
{
    *hit = HitTest(x, y);
    ReportEvent event;
    event.code = code;
    event.row = hit->row;
    event.column = hit->column;
    event.hitFlags = hit->flags;
    event.keyFlags = keyFlags;
    event.x = x;
    event.y = y;
    return event;
}

bool ReportModel::LeftButtonDown(int x, int y, unsigned keyFlags)
{
    ReportHit hit;
    if (Tell(MouseEvent(kReportLeftButtonDown, x, y, keyFlags, &hit)) != 0)
        return false;
    MoveSelection(hit.row, keyFlags, true);
    return true;
}

bool ReportModel::DoubleClick(int x, int y, unsigned keyFlags)
{
    ReportHit hit;
    return Tell(MouseEvent(kReportDoubleClick, x, y, keyFlags, &hit)) == 0;
}

bool ReportModel::RightButtonDown(int x, int y, unsigned keyFlags)
{
    ReportHit hit;
    if (Tell(MouseEvent(kReportRightButtonDown, x, y, keyFlags, &hit)) != 0)
        return false;
    if (!(keyFlags & (kKeyShift | kKeyControl))) {
        SelectOnly(hit.row);
        if (ValidRow(hit.row))
            focus_ = hit.row;
    }
    return true;
}

bool ReportModel::HeaderClick(int column)
{
    ReportEvent event;
    event.code = kReportHeaderClick;
    event.column = column;
    return Tell(event) == 0;
}

bool ReportModel::KeyDown(unsigned key, unsigned keyFlags)
{
    ReportEvent event;
    event.code = kReportKeyDown;
    event.row = focus_;
    event.key = key;
    event.keyFlags = keyFlags;
    if (Tell(event) != 0)
        return true;

    int last = RowCount() - 1;
    int target = -1;
    switch (key) {
    case kVkLeft:
    case kVkRight:
        SetScrollX(scrollX_ + (key == kVkLeft ? -kHorizontalLine : kHorizontalLine));
        return true;
    case kVkSpace:
        if (ValidRow(focus_)) {
            if (keyFlags & kKeyControl) {
                SetSelected(focus_, !IsSelected(focus_));
                anchor_ = focus_;
            } else {
                SelectOnly(focus_);
            }
        }
        return true;
    case kVkUp:
        target = ValidRow(focus_) ? focus_ - 1 : 0;
        break;
    case kVkDown:
        target = ValidRow(focus_) ? focus_ + 1 : 0;
        break;
    case kVkHome:
        target = 0;
        break;
    case kVkEnd:
        target = last;
        break;
    case kVkPageUp:
        if (focus_ == top_)
            ScrollPage(false);
        target = top_;
        break;
    case kVkPageDown:
        if (focus_ == LastFullyVisibleRow())
            ScrollPage(true);
        target = LastFullyVisibleRow();
        break;
    default:
        return false;  // Escape and every other key: the window's default handling
    }
    if (last < 0)
        return true;
    target = std::clamp(target, 0, last);
    MoveSelection(target, keyFlags, false);
    EnsureVisible(target);
    return true;
}

ReportWheelScroll ReportModel::Wheel(int delta)
{
    ReportWheelScroll scroll;
    wheelRemainder_ += delta;
    int notches = wheelRemainder_ / kWheelDelta;
    wheelRemainder_ -= notches * kWheelDelta;
    if (notches == 0 || rows_.empty())
        return scroll;
    scroll.up = notches > 0;
    std::int64_t count = notches < 0 ? -static_cast<std::int64_t>(notches) : notches;
    if (wheelLines_ == -1) {
        scroll.pages = true;
    } else if (wheelLines_ > 0) {
        count *= wheelLines_;
    } else {
        return scroll;
    }
    // Requests beyond the number of rows could scroll no further; a huge setting would only
    // flood the message queue.
    scroll.count = static_cast<int>(std::min<std::int64_t>(count, RowCount()));
    return scroll;
}

int ReadWheelScrollLines(Registry& registry)
{
    KeyHandle key(registry);
    if (registry.OpenKeyEx(kCurrentUser, "Control Panel\\Desktop", 0, kKeyRead, key.Put()) != kSuccess)
        return ReportModel::kDefaultWheelLines;
    std::uint8_t data[128] = {};
    std::uint32_t size = sizeof data;
    std::uint32_t type = kRegNone;
    if (registry.QueryValueEx(key.get(), "WheelScrollLines", nullptr, &type, data, &size) != kSuccess)
        return ReportModel::kDefaultWheelLines;
    long long value = 0;
    if (type == kRegDword && size == 4) {
        value = static_cast<long long>(static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
                                       (static_cast<std::uint32_t>(data[2]) << 16) |
                                       (static_cast<std::uint32_t>(data[3]) << 24));
    } else if (type == kRegSz || type == kRegExpandSz) {
        std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
        std::size_t i = text.find_first_not_of(" \t");
        if (i == std::string::npos)
            return ReportModel::kDefaultWheelLines;
        bool negative = text[i] == '-';
        if (negative || text[i] == '+')
            ++i;
        std::size_t digits = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value <= 0xFFFFFFFFLL)
            value = value * 10 + (text[i++] - '0');
        if (i == digits)  // not a number: as if there were no setting
            return ReportModel::kDefaultWheelLines;
        if (negative)
            value = -value;
    } else {
        return ReportModel::kDefaultWheelLines;
    }
    // -1, or the same bits read unsigned, asks for a page per notch.
    if (value == -1 || value == 0xFFFFFFFFLL)
        return -1;
    return static_cast<int>(std::clamp<long long>(value, 0, INT_MAX));
}

}  // namespace tw
