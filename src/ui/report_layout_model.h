// ReportLayoutModel: where the report list's rows and cells lie. It keeps the header's
// height, the client area, the row height, whether preview areas are shown, and the scroll
// position, and from the rows and columns it is given answers the geometry of rows, cells,
// check boxes, images and preview areas, what a point hits, and which rows are in view.
//
// Coordinates are the window's client coordinates: rows start under the header and move
// up by whole rows as the list scrolls, and left by pixels as it scrolls sideways.
#pragma once

#include "ui/report_column_model.h"
#include "ui/report_row_model.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tw {

// What a point hits.
enum ReportHitFlags : unsigned {
    kHitNowhere = 0x01,  // no row there
    kHitCell = 0x02,     // a cell of a row, outside its check box and image
    kHitCheckBox = 0x04, // the check box of a cell that has one
    kHitImage = 0x08,    // the image of a cell that has one
    kHitPreview = 0x10,  // the preview area under a row
};

struct ReportRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const ReportRect&) const = default;
};

struct ReportHit {
    int row = -1;
    int column = -1;  // a column definition's index
    unsigned flags = kHitNowhere;
};

// Rows [first, last).
struct ReportRowRange {
    int first = 0;
    int last = 0;
    bool operator==(const ReportRowRange&) const = default;
};

class ReportLayoutModel {
public:
    static constexpr int kCheckBoxSize = 13;
    static constexpr int kImageSize = 16;
    static constexpr int kCellMargin = 3;
    static constexpr int kHorizontalLine = 16;  // pixels per sideways scroll step
    static constexpr int kEmptyTextLines = 4;

    // Reads the rows and columns it is given; they outlive it.
    ReportLayoutModel(const ReportRowModel& rows, const ReportColumnModel& columns);

    // Rows from `from` on were inserted, removed or changed their preview heights.
    void RowsChanged(int from);
    // Keeps both scroll positions within their ranges, after rows or widths changed.
    void ClampScroll();

    void SetLayout(int headerHeight, int clientWidth, int clientHeight);
    void SetRowHeight(int height);
    int RowHeight() const { return rowHeight_; }
    void SetPreviews(bool shown);
    bool Previews() const { return previews_; }
    int HeaderHeight() const { return headerHeight_; }
    int ViewHeight() const;
    int TopRow() const { return top_; }
    int ScrollX() const { return scrollX_; }
    int MaxTopRow() const;
    int MaxScrollX() const;
    // Each true when the position changed.
    bool ScrollTo(int topRow);
    bool ScrollLines(int lines);
    bool ScrollPage(bool down);
    bool SetScrollX(int x);
    bool EnsureVisible(int row);
    // The rows that reach into the view.
    ReportRowRange VisibleRows() const;
    // The last row that lies wholly in the view (the top row when none does).
    int LastFullyVisibleRow() const;

    // Geometry of a row (with its preview area), its main line, a cell, a cell's parts.
    ReportRect RowRect(int row) const;
    ReportRect LineRect(int row) const;
    ReportRect PreviewRect(int row) const;
    ReportRect CellRect(int row, int column) const;
    ReportRect CheckBoxRect(int row, int column) const;  // empty when the cell has none
    ReportRect ImageRect(int row, int column) const;     // empty when the cell has none
    ReportRect TextRect(int row, int column) const;
    // The band under the header where an empty list says so.
    ReportRect EmptyTextRect() const;
    ReportHit HitTest(int x, int y) const;

private:
    ReportRect CellPart(int row, int column, bool image) const;
    int RowTop(int row) const;  // offset of a row from the first row's top
    int RowTotalHeight(int row) const;
    void EnsurePrefix() const;
    int RowAtOffset(int offset) const;
    int RowCount() const { return rows_.RowCount(); }
    int FirstColumnLeft() const { return -scrollX_; }

    const ReportRowModel& rows_;
    const ReportColumnModel& columns_;
    int headerHeight_ = 0;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int rowHeight_ = 18;
    bool previews_ = false;
    int top_ = 0;
    int scrollX_ = 0;
    // previewPrefix_[i]: the preview heights of rows 0..i-1, valid up to prefixValid_ rows.
    mutable std::vector<std::int64_t> previewPrefix_;
    mutable std::size_t prefixValid_ = 0;
};

}  // namespace tw
