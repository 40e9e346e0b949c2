#include "ui/report_column_model.h"

#include <algorithm>

namespace tw {

const ReportColumn* ReportColumnModel::Column(int index) const
{
    return Valid(index) ? &columns_[static_cast<std::size_t>(index)] : nullptr;
}

int ReportColumnModel::Define(int index, const ReportColumn& column)
{
    if (index < 0 || index > Count())
        return -1;
    ReportColumn defined = column;
    int width = defined.width < 0 ? kDefaultColumnWidth : defined.width;
    defined.width = 0;
    columns_.insert(columns_.begin() + index, defined);
    for (int& shown : shown_)
        if (shown >= index)
            ++shown;
    SetWidth(index, width);
    return index;
}

int ReportColumnModel::Show(int column, int position)
{
    if (!Valid(column) || PositionOf(column) >= 0)
        return -1;
    if (position < 0 || position > ShownCount())
        position = ShownCount();
    shown_.insert(shown_.begin() + position, column);
    totalWidth_ += columns_[static_cast<std::size_t>(column)].width;
    return position;
}

int ReportColumnModel::ColumnAt(int position) const
{
    if (position < 0 || position >= ShownCount())
        return -1;
    return shown_[static_cast<std::size_t>(position)];
}

int ReportColumnModel::PositionOf(int column) const
{
    auto found = std::find(shown_.begin(), shown_.end(), column);
    return found == shown_.end() ? -1 : static_cast<int>(found - shown_.begin());
}

int ReportColumnModel::SetWidth(int column, int width)
{
    if (!Valid(column))
        return -1;
    ReportColumn& c = columns_[static_cast<std::size_t>(column)];
    int w = std::max({width, c.minimumWidth, 0});
    if (c.maximumWidth > 0 && w > c.maximumWidth)
        w = c.maximumWidth;
    if (PositionOf(column) >= 0)
        totalWidth_ += w - c.width;
    c.width = w;
    return w;
}

int ReportColumnModel::OffsetOf(int position) const
{
    int offset = 0;
    for (int p = 0; p < position && p < ShownCount(); ++p)
        offset += columns_[static_cast<std::size_t>(shown_[static_cast<std::size_t>(p)])].width;
    return offset;
}

int ReportColumnModel::ColumnAtOffset(int x) const
{
    int left = 0;
    for (int column : shown_) {
        int width = columns_[static_cast<std::size_t>(column)].width;
        if (x >= left && x < left + width)
            return column;
        left += width;
    }
    return -1;
}

std::string ReportColumnModel::SortTooltip(const std::string& title)
{
    return "Sort by: " + title;
}

}  // namespace tw
