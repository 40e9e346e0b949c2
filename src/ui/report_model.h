// ReportModel: everything the report list control decides, without a window. It keeps the
// column definitions apart from the columns shown in the header, the rows with all their
// cells in one record text each, the owner's palette, the selection with its anchor and
// focus row, the scroll position, and the geometry of rows, cells, check boxes and preview
// areas. The window (CReportCtrl) turns messages into calls here and draws what the
// geometry says; the owner is told of events through ReportOwner, whose answer can claim an
// event (the list then does nothing more) or refuse a selection change.
//
// Row records: each cell is "(a,b,c,d,n)text|" with a the text colour and b the background
// colour (palette indices), c the check state (1 checked, 0 unchecked), d the image index,
// each -1 when unset, and n the length of the text (-1 for no text). The text is read by its
// length, so a text may itself hold "|" or ")".
//
// Coordinates are the window's client coordinates: rows start under the header and move
// up by whole rows as the list scrolls, and left by pixels as it scrolls sideways.
#pragma once

#include "platform/registry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tw {

// Notification codes sent to the owner. A non-zero answer to a claimable event stops the
// list's own handling; a non-zero answer to kReportSelectionChanging keeps the row as it was.
enum ReportNotificationCode : int {
    kReportDrawPreview = -2048,        // the owner draws a row's preview area
    kReportLeftButtonDown = -2049,     // claimable
    kReportDoubleClick = -2050,        // claimable
    kReportSelectionChanging = -2051,  // refusable; sent only for a real change
    kReportSelectionChanged = -2052,
    kReportHeaderClick = -2053,        // claimable; the list never reorders rows itself
    kReportRowDeleting = -2055,
    kReportKeyDown = -2059,            // claimable
    kReportRightButtonDown = -2061,    // claimable
    kReportGetRowTip = -2062,          // a ReportTipRequest: the owner may give a row's tooltip
};

// What a point hits.
enum ReportHitFlags : unsigned {
    kHitNowhere = 0x01,  // no row there
    kHitCell = 0x02,     // a cell of a row, outside its check box and image
    kHitCheckBox = 0x04, // the check box of a cell that has one
    kHitImage = 0x08,    // the image of a cell that has one
    kHitPreview = 0x10,  // the preview area under a row
};

// Row state. The focus and selection bits (and two more kept for the list's own use) are the
// list's; an owner's state bits outside kRowListState are stored and given back unchanged.
enum ReportRowState : unsigned {
    kRowFocused = 0x01,
    kRowSelected = 0x02,
    kRowListState = 0x63,
};

// The modifier flags of mouse messages (MK_SHIFT, MK_CONTROL).
enum ReportKeyFlags : unsigned {
    kKeyShift = 0x04,
    kKeyControl = 0x08,
};

// Virtual key codes the list handles.
enum ReportKey : unsigned {
    kVkEscape = 0x1B,
    kVkSpace = 0x20,
    kVkPageUp = 0x21,
    kVkPageDown = 0x22,
    kVkEnd = 0x23,
    kVkHome = 0x24,
    kVkLeft = 0x25,
    kVkUp = 0x26,
    kVkRight = 0x27,
    kVkDown = 0x28,
};

// Window style bit of the list: rows show their preview areas.
constexpr unsigned kReportPreviewStyle = 0x40;

// Column format: the low 16 bits are the header control's (alignment, image, text), the
// high bits the list's own.
enum ReportColumnFormat : unsigned {
    kColumnAlignMask = 0x0003,
    kColumnLeft = 0x0000,
    kColumnRight = 0x0001,
    kColumnCentre = 0x0002,
    kColumnImage = 0x0800,
    kColumnText = 0x4000,
    kColumnHeaderFormat = 0xFFFF,
    kColumnSortTooltip = 0x80000,
};

struct ReportColumn {
    unsigned format = kColumnText;
    int width = -1;        // negative: the default width
    int minimumWidth = 0;  // a width set below it is raised to it
    int maximumWidth = 0;  // a width set above it is lowered to it; 0 for none
    int image = -1;
    std::string title;
};

// One cell as its record says.
struct ReportCell {
    int textColour = -1;
    int backColour = -1;
    int check = -1;
    int image = -1;
    bool hasText = false;
    std::string text;
};

// What InsertItem and SetItem take from a ReportItem.
enum ReportItemMask : unsigned {
    kItemText = 0x001,
    kItemTextColour = 0x002,
    kItemBackColour = 0x004,
    kItemCheck = 0x008,
    kItemImage = 0x010,
    kItemState = 0x020,
    kItemOwnerValue = 0x040,
    kItemPreview = 0x080,
    kItemRowTextColour = 0x100,
    kItemRowBackColour = 0x200,
    kItemCellFields = kItemText | kItemTextColour | kItemBackColour | kItemCheck | kItemImage,
};

// A row's fields and one of its cells (row, column), as set and read.
struct ReportItem {
    unsigned mask = 0;
    int row = 0;
    int column = 0;
    // The cell's.
    std::string text;
    int textColour = -1;
    int backColour = -1;
    int check = -1;
    int image = -1;
    // The row's.
    unsigned state = 0;
    unsigned stateMask = 0;
    std::intptr_t ownerValue = 0;
    int previewHeight = 0;
    int rowTextColour = -1;  // used by cells without a colour of their own
    int rowBackColour = -1;
};

// A cell's text, and its palette colour unless that is -1.
ReportItem TextItem(int row, int column, const std::string& text, int textColour = -1);

// An event as the owner is told of it.
struct ReportEvent {
    int code = 0;
    int row = -1;
    int column = -1;
    unsigned hitFlags = 0;
    unsigned keyFlags = 0;
    unsigned key = 0;
    int x = 0;
    int y = 0;
    unsigned oldState = 0;
    unsigned newState = 0;
};

class ReportOwner {
public:
    virtual ~ReportOwner() = default;
    virtual long Notify(const ReportEvent& event) = 0;
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

// What one wheel message asks for: `count` scroll requests, up (towards the first row) or
// down, each a line or a page.
struct ReportWheelScroll {
    int count = 0;
    bool up = false;
    bool pages = false;
};

class ReportModel {
public:
    static constexpr int kDefaultColumnWidth = 200;
    static constexpr std::size_t kReservedPerColumn = 20;
    static constexpr int kMaxPaletteEntries = 256;
    static constexpr int kCheckBoxSize = 13;
    static constexpr int kImageSize = 16;
    static constexpr int kCellMargin = 3;
    static constexpr int kHorizontalLine = 16;  // pixels per sideways scroll step
    static constexpr int kWheelDelta = 120;
    static constexpr int kDefaultWheelLines = 3;
    static constexpr const char* kEmptyText = "No Errors Found.";
    static constexpr int kEmptyTextLines = 4;

    ReportModel();

    void SetOwner(ReportOwner* owner) { owner_ = owner; }

    // ---- palette
    // Sets entry `index`; the index, or -1 when it is outside the palette.
    int SetPaletteColour(int index, std::uint32_t colour);
    // False when the entry was never set.
    bool PaletteColour(int index, std::uint32_t* colour) const;

    // ---- columns
    // Inserts a definition at `index` (0 to ColumnCount()); every row and the template row get
    // an unset record there. The index, or -1.
    int DefineColumn(int index, const ReportColumn& column);
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const ReportColumn* Column(int index) const;
    // Shows a defined column at header position `position` (past the end, or negative: at the
    // end). The header position, or -1 when the column is undefined or already shown.
    int ShowColumn(int column, int position);
    int ShownCount() const { return static_cast<int>(shown_.size()); }
    int ColumnAt(int position) const;
    int PositionOf(int column) const;
    // Sets a width within the column's bounds; the width set, or -1 for an undefined column.
    int SetColumnWidth(int column, int width);
    int TotalWidth() const { return totalWidth_; }
    static std::string SortTooltip(const std::string& title);

    // ---- rows
    int RowCount() const { return static_cast<int>(rows_.size()); }
    // Inserts a row at item.row (past the end, or negative: at the end) and sets what the mask
    // names. The row's index.
    int InsertItem(const ReportItem& item);
    // Sets what the mask names of row item.row and cell item.column.
    bool SetItem(const ReportItem& item);
    // Fills everything of row item->row and cell item->column; mask becomes what was read.
    bool GetItem(ReportItem* item) const;
    bool SetCheck(int row, int column, int check);
    int GetCheck(int row, int column) const;  // -1 when unset or out of range
    std::string ItemText(int row, int column) const;
    bool GetCell(int row, int column, ReportCell* cell) const;
    unsigned RowState(int row) const;  // with the focus and selection bits
    std::intptr_t OwnerValue(int row) const;
    int PreviewHeight(int row) const;  // as set, whether previews are shown or not
    int RowTextColour(int row) const;
    int RowBackColour(int row) const;
    const std::string& RowRecords(int row) const;
    const std::string& TemplateRecords() const { return template_; }
    // Tells the owner, then removes the row.
    bool DeleteItem(int row);
    // Tells the owner of every row, then removes them all.
    void DeleteAllItems();

    // ---- selection and focus
    bool IsSelected(int row) const;
    std::vector<int> SelectedRows() const;
    int FocusRow() const { return focus_; }
    int AnchorRow() const { return anchor_; }
    // Selects or deselects one row, asking the owner first; false when refused or out of range.
    bool SetSelected(int row, bool selected);
    void SetFocusRow(int row);
    // Selects `row` alone (-1: none) and anchors it.
    void SelectOnly(int row);

    // ---- layout and scrolling
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

    // ---- input: each tells the owner first; false when the owner claimed the event (the
    // window then does nothing more, not even take the focus).
    bool LeftButtonDown(int x, int y, unsigned keyFlags);
    bool DoubleClick(int x, int y, unsigned keyFlags);
    bool RightButtonDown(int x, int y, unsigned keyFlags);
    bool HeaderClick(int column);
    // True when the list handled the key (the window then does no default handling).
    bool KeyDown(unsigned key, unsigned keyFlags);

    // ---- wheel
    void SetWheelLines(int lines) { wheelLines_ = lines; }
    int WheelLines() const { return wheelLines_; }
    // Adds a wheel rotation; every whole 120 units give scroll requests.
    ReportWheelScroll Wheel(int delta);

private:
    struct Row {
        std::string records;
        unsigned state = 0;  // the owner's bits and kRowSelected
        std::intptr_t ownerValue = 0;
        int previewHeight = 0;
        int textColour = -1;
        int backColour = -1;
    };
    struct Record {
        std::size_t begin = 0;  // at "("
        std::size_t end = 0;    // past the separator
        ReportCell cell;
    };

    bool ValidRow(int row) const { return row >= 0 && row < RowCount(); }
    bool ValidColumn(int column) const { return column >= 0 && column < ColumnCount(); }
    static bool FindRecord(const std::string& records, int column, Record* record);
    static std::string FormatRecord(const ReportCell& cell);
    ReportRect CellPart(int row, int column, bool image) const;
    void ApplyItem(Row& row, const ReportItem& item);
    long Tell(const ReportEvent& event);
    ReportEvent MouseEvent(int code, int x, int y, unsigned keyFlags, ReportHit* hit) const;
    void SelectRange(int from, int to, bool keepOthers);
    void MoveSelection(int row, unsigned keyFlags, bool toggleWithControl);
    int RowTop(int row) const;  // offset of a row from the first row's top
    int RowTotalHeight(int row) const;
    void RowsChanged(int from);
    void EnsurePrefix() const;
    int RowAtOffset(int offset) const;
    int FirstColumnLeft() const { return -scrollX_; }

    ReportOwner* owner_ = nullptr;
    std::vector<std::int64_t> palette_;  // -1 where unset
    std::vector<ReportColumn> columns_;
    std::vector<int> shown_;  // header position -> column
    int totalWidth_ = 0;
    std::string template_;
    std::vector<Row> rows_;
    int focus_ = -1;
    int anchor_ = -1;
    int headerHeight_ = 0;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int rowHeight_ = 18;
    bool previews_ = false;
    int top_ = 0;
    int scrollX_ = 0;
    int wheelLines_ = kDefaultWheelLines;
    int wheelRemainder_ = 0;
    // previewPrefix_[i]: the preview heights of rows 0..i-1, valid up to prefixValid_ rows.
    mutable std::vector<std::int64_t> previewPrefix_;
    mutable std::size_t prefixValid_ = 0;
};

// The user's wheel setting: "WheelScrollLines" of HKEY_CURRENT_USER\Control Panel\Desktop, a
// decimal number as text; 3 when it cannot be read. -1 asks for a page per notch.
int ReadWheelScrollLines(Registry& registry);

}  // namespace tw
