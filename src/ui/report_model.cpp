#include "ui/report_model.h"

namespace tw {

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

// ---- columns

int ReportModel::DefineColumn(int index, const ReportColumn& column)
{
    if (columns_.Define(index, column) < 0)
        return -1;
    rows_.InsertCell(index);
    layout_.ClampScroll();
    return index;
}

int ReportModel::SetColumnWidth(int column, int width)
{
    int set = columns_.SetWidth(column, width);
    layout_.ClampScroll();
    return set;
}

// ---- rows

int ReportModel::InsertItem(const ReportItem& item)
{
    if ((item.mask & kItemCellFields) && !columns_.Valid(item.column))
        return -1;
    int at = rows_.InsertRow(item);
    input_.RowInserted(at);
    layout_.RowsChanged(at);
    return at;
}

bool ReportModel::SetItem(const ReportItem& item)
{
    if (!rows_.ValidRow(item.row) || ((item.mask & kItemCellFields) && !columns_.Valid(item.column)))
        return false;
    int oldPreview = rows_.PreviewHeight(item.row);
    rows_.Apply(item);
    if (rows_.PreviewHeight(item.row) != oldPreview) {
        layout_.RowsChanged(item.row);
        layout_.ClampScroll();
    }
    return true;
}

bool ReportModel::GetItem(ReportItem* item) const
{
    const ReportCell* cell = Cell(item->row, item->column);
    if (!cell)
        return false;
    item->mask = kItemCellFields | kItemState | kItemOwnerValue | kItemPreview | kItemRowTextColour |
                 kItemRowBackColour;
    item->text = cell->text;
    item->textColour = cell->textColour;
    item->backColour = cell->backColour;
    item->check = cell->check;
    item->image = cell->image;
    item->state = RowState(item->row);
    item->stateMask = ~0u;
    item->ownerValue = OwnerValue(item->row);
    item->previewHeight = PreviewHeight(item->row);
    item->rowTextColour = RowTextColour(item->row);
    item->rowBackColour = RowBackColour(item->row);
    return true;
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
    const ReportCell* cell = Cell(row, column);
    return cell ? cell->check : -1;
}

std::string ReportModel::ItemText(int row, int column) const
{
    const ReportCell* cell = Cell(row, column);
    return cell ? cell->text : std::string();
}

bool ReportModel::GetCell(int row, int column, ReportCell* cell) const
{
    const ReportCell* kept = Cell(row, column);
    if (!kept)
        return false;
    *cell = *kept;
    return true;
}

bool ReportModel::DeleteItem(int row)
{
    if (!rows_.ValidRow(row))
        return false;
    ReportEvent event;
    event.code = kReportRowDeleting;
    event.row = row;
    input_.Tell(event);
    if (!rows_.ValidRow(row))  // the owner changed the rows while being told
        return false;
    rows_.Erase(row);
    input_.RowErased(row);
    layout_.RowsChanged(row);
    layout_.ClampScroll();
    return true;
}

void ReportModel::DeleteAllItems()
{
    int count = RowCount();
    for (int row = 0; row < count && row < RowCount(); ++row) {
        ReportEvent event;
        event.code = kReportRowDeleting;
        event.row = row;
        input_.Tell(event);
    }
    rows_.Clear();
    input_.RowsCleared();
    layout_.RowsChanged(0);
    layout_.ClampScroll();
}

}  // namespace tw
