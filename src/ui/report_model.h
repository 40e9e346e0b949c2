// ReportModel: everything the report list control decides, without a window. It holds the
// owner's palette and puts together the parts that each keep one job: the rows as structures
// (ReportRowModel), the columns (ReportColumnModel), where rows and cells lie and how far the
// list is scrolled (ReportLayoutModel), what clicks and keys do to the focus and selection
// (ReportInputModel), and the wheel (ReportWheelModel). Changes that reach several parts (a
// column inserted into every row, a row added or removed) are made here, so that the parts
// agree. The window (CReportCtrl) turns messages into calls here and draws what the geometry
// says; the owner is told of events through ReportOwner, whose answer can claim an event (the
// list then does nothing more) or refuse a selection change.
#pragma once

#include "ui/report_column_model.h"
#include "ui/report_input_model.h"
#include "ui/report_layout_model.h"
#include "ui/report_row_model.h"
#include "ui/report_wheel_model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tw {

// Window style bit of the list: rows show their preview areas.
constexpr unsigned kReportPreviewStyle = 0x40;

class ReportModel {
public:
    static constexpr int kDefaultColumnWidth = ReportColumnModel::kDefaultColumnWidth;
    static constexpr int kMaxPaletteEntries = 256;
    static constexpr int kCheckBoxSize = ReportLayoutModel::kCheckBoxSize;
    static constexpr int kImageSize = ReportLayoutModel::kImageSize;
    static constexpr int kCellMargin = ReportLayoutModel::kCellMargin;
    static constexpr int kHorizontalLine = ReportLayoutModel::kHorizontalLine;
    static constexpr int kWheelDelta = ReportWheelModel::kWheelDelta;
    static constexpr int kDefaultWheelLines = ReportWheelModel::kDefaultWheelLines;
    static constexpr const char* kEmptyText = "No Errors Found.";
    static constexpr int kEmptyTextLines = ReportLayoutModel::kEmptyTextLines;

    ReportModel() = default;
    ReportModel(const ReportModel&) = delete;  // the parts refer to one another
    ReportModel& operator=(const ReportModel&) = delete;

    void SetOwner(ReportOwner* owner) { input_.SetOwner(owner); }

    // ---- palette
    // Sets entry `index`; the index, or -1 when it is outside the palette.
    int SetPaletteColour(int index, std::uint32_t colour);
    // False when the entry was never set.
    bool PaletteColour(int index, std::uint32_t* colour) const;

    // ---- columns
    // Inserts a definition at `index` (0 to ColumnCount()); every row gets an unset cell
    // there. The index, or -1.
    int DefineColumn(int index, const ReportColumn& column);
    int ColumnCount() const { return columns_.Count(); }
    const ReportColumn* Column(int index) const { return columns_.Column(index); }
    // Shows a defined column at header position `position` (past the end, or negative: at the
    // end). The header position, or -1 when the column is undefined or already shown.
    int ShowColumn(int column, int position) { return columns_.Show(column, position); }
    int ShownCount() const { return columns_.ShownCount(); }
    int ColumnAt(int position) const { return columns_.ColumnAt(position); }
    int PositionOf(int column) const { return columns_.PositionOf(column); }
    // Sets a width within the column's bounds; the width set, or -1 for an undefined column.
    int SetColumnWidth(int column, int width);
    int TotalWidth() const { return columns_.TotalWidth(); }
    static std::string SortTooltip(const std::string& title) { return ReportColumnModel::SortTooltip(title); }

    // ---- rows
    int RowCount() const { return rows_.RowCount(); }
    // Inserts a row at item.row (past the end, or negative: at the end) and sets what the mask
    // names. The row's index, or -1 when the mask names a cell of a column that does not exist.
    int InsertItem(const ReportItem& item);
    // Sets what the mask names of row item.row and cell item.column.
    bool SetItem(const ReportItem& item);
    // Fills everything of row item->row and cell item->column; mask becomes what was read.
    bool GetItem(ReportItem* item) const;
    bool SetCheck(int row, int column, int check);
    int GetCheck(int row, int column) const;  // -1 when unset or out of range
    std::string ItemText(int row, int column) const;
    // The cell as kept (null when the row or column does not exist), and a copy of it.
    const ReportCell* Cell(int row, int column) const { return rows_.Cell(row, column); }
    bool GetCell(int row, int column, ReportCell* cell) const;
    unsigned RowState(int row) const { return input_.RowState(row); }  // with focus and selection
    std::intptr_t OwnerValue(int row) const { return rows_.OwnerValue(row); }
    int PreviewHeight(int row) const { return rows_.PreviewHeight(row); }  // whether shown or not
    int RowTextColour(int row) const { return rows_.TextColour(row); }
    int RowBackColour(int row) const { return rows_.BackColour(row); }
    // The row's record text (ReportRowModel), and that of a new row.
    std::string RowRecords(int row) const { return rows_.Records(row); }
    std::string TemplateRecords() const { return rows_.TemplateRecords(); }
    // Tells the owner, then removes the row.
    bool DeleteItem(int row);
    // Tells the owner of every row, then removes them all.
    void DeleteAllItems();

    // ---- selection and focus
    bool IsSelected(int row) const { return input_.IsSelected(row); }
    std::vector<int> SelectedRows() const { return input_.SelectedRows(); }
    int FocusRow() const { return input_.FocusRow(); }
    int AnchorRow() const { return input_.AnchorRow(); }
    // Selects or deselects one row, asking the owner first; false when refused or out of range.
    bool SetSelected(int row, bool selected) { return input_.SetSelected(row, selected); }
    void SetFocusRow(int row) { input_.SetFocusRow(row); }
    // Selects `row` alone (-1: none) and anchors it.
    void SelectOnly(int row) { input_.SelectOnly(row); }

    // ---- layout and scrolling (ReportLayoutModel)
    void SetLayout(int headerHeight, int clientWidth, int clientHeight)
    {
        layout_.SetLayout(headerHeight, clientWidth, clientHeight);
    }
    void SetRowHeight(int height) { layout_.SetRowHeight(height); }
    int RowHeight() const { return layout_.RowHeight(); }
    void SetPreviews(bool shown) { layout_.SetPreviews(shown); }
    bool Previews() const { return layout_.Previews(); }
    int HeaderHeight() const { return layout_.HeaderHeight(); }
    int ViewHeight() const { return layout_.ViewHeight(); }
    int TopRow() const { return layout_.TopRow(); }
    int ScrollX() const { return layout_.ScrollX(); }
    int MaxTopRow() const { return layout_.MaxTopRow(); }
    int MaxScrollX() const { return layout_.MaxScrollX(); }
    bool ScrollTo(int topRow) { return layout_.ScrollTo(topRow); }
    bool ScrollLines(int lines) { return layout_.ScrollLines(lines); }
    bool ScrollPage(bool down) { return layout_.ScrollPage(down); }
    bool SetScrollX(int x) { return layout_.SetScrollX(x); }
    bool EnsureVisible(int row) { return layout_.EnsureVisible(row); }
    ReportRowRange VisibleRows() const { return layout_.VisibleRows(); }
    int LastFullyVisibleRow() const { return layout_.LastFullyVisibleRow(); }
    ReportRect RowRect(int row) const { return layout_.RowRect(row); }
    ReportRect LineRect(int row) const { return layout_.LineRect(row); }
    ReportRect PreviewRect(int row) const { return layout_.PreviewRect(row); }
    ReportRect CellRect(int row, int column) const { return layout_.CellRect(row, column); }
    ReportRect CheckBoxRect(int row, int column) const { return layout_.CheckBoxRect(row, column); }
    ReportRect ImageRect(int row, int column) const { return layout_.ImageRect(row, column); }
    ReportRect TextRect(int row, int column) const { return layout_.TextRect(row, column); }
    ReportRect EmptyTextRect() const { return layout_.EmptyTextRect(); }
    ReportHit HitTest(int x, int y) const { return layout_.HitTest(x, y); }

    // ---- input (ReportInputModel)
    bool LeftButtonDown(int x, int y, unsigned keyFlags) { return input_.LeftButtonDown(x, y, keyFlags); }
    bool DoubleClick(int x, int y, unsigned keyFlags) { return input_.DoubleClick(x, y, keyFlags); }
    bool RightButtonDown(int x, int y, unsigned keyFlags) { return input_.RightButtonDown(x, y, keyFlags); }
    bool HeaderClick(int column) { return input_.HeaderClick(column); }
    bool KeyDown(unsigned key, unsigned keyFlags) { return input_.KeyDown(key, keyFlags); }

    // ---- wheel (ReportWheelModel)
    void SetWheelLines(int lines) { wheel_.SetLines(lines); }
    int WheelLines() const { return wheel_.Lines(); }
    ReportWheelScroll Wheel(int delta) { return wheel_.Wheel(delta, RowCount()); }

private:
    std::vector<std::int64_t> palette_;  // -1 where unset
    ReportRowModel rows_;
    ReportColumnModel columns_;
    ReportLayoutModel layout_{rows_, columns_};
    ReportInputModel input_{rows_, layout_};
    ReportWheelModel wheel_;
};

}  // namespace tw
