// ReportRowModel: the report list's rows. Each row is kept as a structure, its cells (text,
// colours, check state, image) one per defined column, and the row's own fields (state bits,
// the owner's value, the preview height, the row's colours); drawing, hit testing and tooltips
// read them as they are. A cell's text is cut to what the list keeps once, when it is set.
//
// The row's record text, "(a,b,c,d,n)text|" per cell (a the text colour and b the background
// colour, palette indices; c the check state, 1 checked, 0 unchecked; d the image index; each
// -1 when unset; n the text's length in bytes, -1 for no text), is made only when asked for
// (Records) and read back by ParseReportRecords. The text is read by its length, so it may
// itself hold "|", ")" or "(" and characters of any script: nothing is escaped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// One cell as its record says.
struct ReportCell {
    int textColour = -1;
    int backColour = -1;
    int check = -1;
    int image = -1;
    bool hasText = false;
    std::string text;
    bool operator==(const ReportCell&) const = default;
};

// Row state. The focus and selection bits (and two more kept for the list's own use) are the
// list's; an owner's state bits outside kRowListState are stored and given back unchanged.
enum ReportRowState : unsigned {
    kRowFocused = 0x01,
    kRowSelected = 0x02,
    kRowListState = 0x63,
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

// The record text of these cells, one record each.
std::string FormatReportRecords(const std::vector<ReportCell>& cells);
// Reads record text as FormatReportRecords writes it, so that formatting the cells read gives
// the same bytes again. False, with `cells` unchanged, for anything else: a record cut short,
// a number that is not one (leading zeros, a sign other than a leading "-", out of int
// range), a text length below -1, above the longest text kept or past the end, a text holding
// NUL, no separator after the text.
bool ParseReportRecords(std::string_view text, std::vector<ReportCell>* cells);

class ReportRowModel {
public:
    // Longest cell text kept; a longer one is cut (a list cell shows far less).
    static constexpr std::size_t kMaxCellText = 65536;
    // Tallest preview area a row may ask for.
    static constexpr int kMaxPreviewHeight = 4096;

    int RowCount() const { return static_cast<int>(rows_.size()); }
    // The cells each row has: one per defined column.
    int CellCount() const { return cellCount_; }
    bool ValidRow(int row) const { return row >= 0 && row < RowCount(); }
    bool ValidCell(int column) const { return column >= 0 && column < cellCount_; }

    // Every row gets an unset cell at `index` (0 to CellCount()), the cells after it move on.
    void InsertCell(int index);
    // Inserts a row of unset cells at `at` (past the end, or negative: at the end) and sets
    // what the item's mask names; the row's index.
    int InsertRow(const ReportItem& item);
    // Sets what the item's mask names of row item.row and its cell item.column.
    void Apply(const ReportItem& item);
    void Erase(int row);
    void Clear() { rows_.clear(); }

    // Null when the row or cell does not exist.
    const ReportCell* Cell(int row, int column) const;
    // The state bits stored: the owner's and kRowSelected (the focus is not a row's).
    unsigned State(int row) const;
    bool Selected(int row) const { return (State(row) & kRowSelected) != 0; }
    void SetSelected(int row, bool selected);
    std::intptr_t OwnerValue(int row) const;
    int PreviewHeight(int row) const;
    int TextColour(int row) const;
    int BackColour(int row) const;

    // The row's record text, and that of a new row.
    std::string Records(int row) const;
    std::string TemplateRecords() const;

private:
    struct Row {
        std::vector<ReportCell> cells;
        unsigned state = 0;  // the owner's bits and kRowSelected
        std::intptr_t ownerValue = 0;
        int previewHeight = 0;
        int textColour = -1;
        int backColour = -1;
    };

    static void ApplyTo(Row& row, const ReportItem& item);

    std::vector<Row> rows_;
    int cellCount_ = 0;
};

}  // namespace tw
