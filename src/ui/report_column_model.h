// ReportColumnModel: the report list's columns. Definitions are kept apart from the columns
// shown in the header, so that a column can be defined and then shown at a position of its
// own; the widths of the shown columns add up to the list's total width.
#pragma once

#include <string>
#include <vector>

namespace tw {

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

class ReportColumnModel {
public:
    static constexpr int kDefaultColumnWidth = 200;

    // Inserts a definition at `index` (0 to Count()); the index, or -1.
    int Define(int index, const ReportColumn& column);
    int Count() const { return static_cast<int>(columns_.size()); }
    bool Valid(int column) const { return column >= 0 && column < Count(); }
    const ReportColumn* Column(int index) const;
    // Shows a defined column at header position `position` (past the end, or negative: at the
    // end). The header position, or -1 when the column is undefined or already shown.
    int Show(int column, int position);
    int ShownCount() const { return static_cast<int>(shown_.size()); }
    // The column at a header position, or -1.
    int ColumnAt(int position) const;
    // The header position of a column, or -1 when it is not shown.
    int PositionOf(int column) const;
    // Sets a width within the column's bounds; the width set, or -1 for an undefined column.
    int SetWidth(int column, int width);
    int TotalWidth() const { return totalWidth_; }
    // From the first shown column's left edge: where a shown column begins.
    int OffsetOf(int position) const;
    // The column shown at `x` from the first shown column's left edge, or -1.
    int ColumnAtOffset(int x) const;
    static std::string SortTooltip(const std::string& title);

private:
    std::vector<ReportColumn> columns_;
    std::vector<int> shown_;  // header position -> column
    int totalWidth_ = 0;
};

}  // namespace tw
