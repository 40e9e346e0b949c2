#include "ui/report_layout_model.h"

#include <algorithm>
#include <climits>

namespace tw {
namespace {

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

ReportLayoutModel::ReportLayoutModel(const ReportRowModel& rows, const ReportColumnModel& columns)
    : rows_(rows), columns_(columns)
{
    previewPrefix_.assign(1, 0);
    prefixValid_ = 1;
}

void ReportLayoutModel::RowsChanged(int from)
{
    prefixValid_ = std::min(prefixValid_, static_cast<std::size_t>(std::max(from, 0)) + 1);
}

void ReportLayoutModel::ClampScroll()
{
    top_ = std::clamp(top_, 0, MaxTopRow());
    scrollX_ = std::clamp(scrollX_, 0, MaxScrollX());
}

void ReportLayoutModel::EnsurePrefix() const
{
    std::size_t needed = static_cast<std::size_t>(RowCount()) + 1;
    if (prefixValid_ >= needed && previewPrefix_.size() == needed)
        return;
    previewPrefix_.resize(needed);
    for (std::size_t i = std::max<std::size_t>(prefixValid_, 1); i < needed; ++i)
        previewPrefix_[i] = previewPrefix_[i - 1] + rows_.PreviewHeight(static_cast<int>(i - 1));
    prefixValid_ = needed;
}

int ReportLayoutModel::RowTop(int row) const
{
    std::int64_t top = static_cast<std::int64_t>(row) * rowHeight_;
    if (previews_) {
        EnsurePrefix();
        top += previewPrefix_[static_cast<std::size_t>(row)];
    }
    return ClampInt(top);
}

int ReportLayoutModel::RowTotalHeight(int row) const
{
    return rowHeight_ + (previews_ ? rows_.PreviewHeight(row) : 0);
}

// The row that holds `offset` (from the first row's top), or -1.
int ReportLayoutModel::RowAtOffset(int offset) const
{
    if (offset < 0 || RowCount() == 0 || offset >= RowTop(RowCount()))
        return -1;
    return FirstWhere(0, RowCount() - 1, [&](int row) { return RowTop(row + 1) > offset; });
}

void ReportLayoutModel::SetLayout(int headerHeight, int clientWidth, int clientHeight)
{
    headerHeight_ = std::max(headerHeight, 0);
    clientWidth_ = std::max(clientWidth, 0);
    clientHeight_ = std::max(clientHeight, 0);
    ClampScroll();
}

void ReportLayoutModel::SetRowHeight(int height)
{
    rowHeight_ = std::max(height, 1);
    top_ = std::clamp(top_, 0, MaxTopRow());
}

void ReportLayoutModel::SetPreviews(bool shown)
{
    previews_ = shown;
    top_ = std::clamp(top_, 0, MaxTopRow());
}

int ReportLayoutModel::ViewHeight() const
{
    return std::max(clientHeight_ - headerHeight_, 0);
}

int ReportLayoutModel::MaxTopRow() const
{
    if (RowCount() == 0)
        return 0;
    int total = RowTop(RowCount());
    int view = ViewHeight();
    // The first row from which every row to the end fits in the view.
    return FirstWhere(0, RowCount() - 1, [&](int row) { return total - RowTop(row) <= view; });
}

int ReportLayoutModel::MaxScrollX() const
{
    return std::max(columns_.TotalWidth() - clientWidth_, 0);
}

bool ReportLayoutModel::ScrollTo(int topRow)
{
    return MoveWithin(&top_, topRow, MaxTopRow());
}

bool ReportLayoutModel::ScrollLines(int lines)
{
    return ScrollTo(ClampInt(static_cast<std::int64_t>(top_) + lines));
}

bool ReportLayoutModel::ScrollPage(bool down)
{
    if (RowCount() == 0)
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

bool ReportLayoutModel::SetScrollX(int x)
{
    return MoveWithin(&scrollX_, x, MaxScrollX());
}

bool ReportLayoutModel::EnsureVisible(int row)
{
    if (!rows_.ValidRow(row))
        return false;
    if (row < top_)
        return ScrollTo(row);
    if (row <= LastFullyVisibleRow())
        return false;
    // The first top row that shows `row` wholly at the bottom.
    int bottom = RowTop(row + 1), view = ViewHeight();
    return ScrollTo(FirstWhere(top_, row, [&](int top) { return bottom - RowTop(top) <= view; }));
}

ReportRowRange ReportLayoutModel::VisibleRows() const
{
    ReportRowRange range{top_, top_};
    int view = ViewHeight();
    if (RowCount() == 0 || view == 0)
        return range;
    int limit = RowTop(top_) + view;  // the first offset below the view
    range.last = FirstWhere(top_, RowCount(), [&](int row) { return RowTop(row) >= limit; });
    return range;
}

int ReportLayoutModel::LastFullyVisibleRow() const
{
    if (RowCount() == 0)
        return -1;
    int limit = RowTop(top_) + ViewHeight();
    // The row before the first one whose bottom is below the view.
    int first = FirstWhere(top_, RowCount(), [&](int row) { return row == RowCount() || RowTop(row + 1) > limit; });
    return std::max(first - 1, top_);
}

ReportRect ReportLayoutModel::RowRect(int row) const
{
    if (!rows_.ValidRow(row))
        return {};
    ReportRect r;
    r.left = FirstColumnLeft();
    r.right = r.left + columns_.TotalWidth();
    r.top = headerHeight_ + RowTop(row) - RowTop(top_);
    r.bottom = r.top + RowTotalHeight(row);
    return r;
}

ReportRect ReportLayoutModel::LineRect(int row) const
{
    ReportRect r = RowRect(row);
    if (rows_.ValidRow(row))
        r.bottom = r.top + rowHeight_;
    return r;
}

ReportRect ReportLayoutModel::PreviewRect(int row) const
{
    ReportRect r = RowRect(row);
    if (rows_.ValidRow(row))
        r.top += rowHeight_;
    return r.Empty() ? ReportRect{} : r;
}

ReportRect ReportLayoutModel::CellRect(int row, int column) const
{
    int position = columns_.PositionOf(column);
    if (!rows_.ValidRow(row) || position < 0)
        return {};
    ReportRect r = LineRect(row);
    r.left += columns_.OffsetOf(position);
    r.right = r.left + columns_.Column(column)->width;
    return r;
}

// The check box (at the cell's left) or the image (after the box, if any) of a cell, centred
// in the row's line; empty when the cell has none.
ReportRect ReportLayoutModel::CellPart(int row, int column, bool image) const
{
    const ReportCell* cell = rows_.Cell(row, column);
    if (!cell || (image ? cell->image : cell->check) < 0)
        return {};
    ReportRect c = CellRect(row, column);
    if (c.Empty())
        return {};
    int size = image ? kImageSize : kCheckBoxSize;
    ReportRect part;
    part.left = c.left + kCellMargin + (image && cell->check >= 0 ? kCheckBoxSize + kCellMargin : 0);
    part.top = c.top + (rowHeight_ - size) / 2;
    part.right = part.left + size;
    part.bottom = part.top + size;
    return part;
}

ReportRect ReportLayoutModel::CheckBoxRect(int row, int column) const
{
    return CellPart(row, column, false);
}

ReportRect ReportLayoutModel::ImageRect(int row, int column) const
{
    return CellPart(row, column, true);
}

ReportRect ReportLayoutModel::TextRect(int row, int column) const
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

ReportRect ReportLayoutModel::EmptyTextRect() const
{
    ReportRect r;
    r.left = 0;
    r.right = clientWidth_;
    r.top = headerHeight_ + 2;
    // Room for a few lines: a text longer than the list is wide wraps instead of being cut.
    r.bottom = r.top + kEmptyTextLines * rowHeight_;
    return r;
}

ReportHit ReportLayoutModel::HitTest(int x, int y) const
{
    ReportHit hit;
    if (y < headerHeight_)
        return hit;
    int row = RowAtOffset(ClampInt(static_cast<std::int64_t>(y) - headerHeight_ + RowTop(top_)));
    if (row < 0)
        return hit;
    hit.row = row;
    hit.column = columns_.ColumnAtOffset(ClampInt(static_cast<std::int64_t>(x) - FirstColumnLeft()));
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

}  // namespace tw
