#include "ui/report_input_model.h"

#include <algorithm>

namespace tw {

long ReportInputModel::Tell(const ReportEvent& event)
{
    return owner_ ? owner_->Notify(event) : 0;
}

unsigned ReportInputModel::RowState(int row) const
{
    if (!rows_.ValidRow(row))
        return 0;
    return rows_.State(row) | (row == focus_ ? kRowFocused : 0u);
}

std::vector<int> ReportInputModel::SelectedRows() const
{
    std::vector<int> selected;
    for (int row = 0; row < rows_.RowCount(); ++row)
        if (rows_.Selected(row))
            selected.push_back(row);
    return selected;
}

bool ReportInputModel::SetSelected(int row, bool selected)
{
    if (!rows_.ValidRow(row))
        return false;
    if (IsSelected(row) == selected)
        return true;
    ReportEvent event;
    event.code = kReportSelectionChanging;
    event.row = row;
    event.oldState = RowState(row);
    event.newState = event.oldState ^ kRowSelected;
    if (Tell(event) != 0 || !rows_.ValidRow(row))
        return false;
    rows_.SetSelected(row, selected);
    event.code = kReportSelectionChanged;
    event.newState = RowState(row);
    Tell(event);
    return true;
}

void ReportInputModel::SetFocusRow(int row)
{
    focus_ = rows_.ValidRow(row) ? row : -1;
}

void ReportInputModel::SelectOnly(int row)
{
    SelectRange(row, row, false);
    anchor_ = rows_.ValidRow(row) ? row : -1;
}

void ReportInputModel::RowInserted(int row)
{
    if (focus_ >= row)
        ++focus_;
    if (anchor_ >= row)
        ++anchor_;
}

void ReportInputModel::RowErased(int row)
{
    for (int* index : {&focus_, &anchor_}) {
        if (*index == row)
            *index = -1;
        else if (*index > row)
            --*index;
    }
}

// Selects rows from..to; without keepOthers every other row is deselected first.
void ReportInputModel::SelectRange(int from, int to, bool keepOthers)
{
    int low = std::min(from, to), high = std::max(from, to);
    if (!keepOthers)
        for (int row = 0; row < rows_.RowCount(); ++row)
            if ((row < low || row > high) && IsSelected(row))
                SetSelected(row, false);
    for (int row = std::max(low, 0); row <= high && row < rows_.RowCount(); ++row)
        SetSelected(row, true);
}

// The selection rules shared by clicks and keys: Shift selects from the anchor, Ctrl toggles
// (a click) or only moves the focus (a key), both add the range and move the anchor.
void ReportInputModel::MoveSelection(int row, unsigned keyFlags, bool toggleWithControl)
{
    bool shift = keyFlags & kKeyShift, control = keyFlags & kKeyControl;
    if (!rows_.ValidRow(row)) {
        if (!shift && !control)
            SelectOnly(-1);
        return;
    }
    focus_ = row;
    if (shift && !control) {
        if (!rows_.ValidRow(anchor_))
            anchor_ = row;
        SelectRange(anchor_, row, false);
    } else if (control && !shift) {
        if (toggleWithControl) {
            SetSelected(row, !IsSelected(row));
            anchor_ = row;
        }
    } else if (shift && control) {
        if (!rows_.ValidRow(anchor_))
            anchor_ = row;
        SelectRange(anchor_, row, true);
        anchor_ = row;
    } else {
        SelectOnly(row);
    }
}

ReportEvent ReportInputModel::MouseEvent(int code, int x, int y, unsigned keyFlags, ReportHit* hit) const
{
    *hit = layout_.HitTest(x, y);
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

bool ReportInputModel::LeftButtonDown(int x, int y, unsigned keyFlags)
{
    ReportHit hit;
    if (Tell(MouseEvent(kReportLeftButtonDown, x, y, keyFlags, &hit)) != 0)
        return false;
    MoveSelection(hit.row, keyFlags, true);
    return true;
}

bool ReportInputModel::DoubleClick(int x, int y, unsigned keyFlags)
{
    ReportHit hit;
    return Tell(MouseEvent(kReportDoubleClick, x, y, keyFlags, &hit)) == 0;
}

bool ReportInputModel::RightButtonDown(int x, int y, unsigned keyFlags)
{
    ReportHit hit;
    if (Tell(MouseEvent(kReportRightButtonDown, x, y, keyFlags, &hit)) != 0)
        return false;
    if (!(keyFlags & (kKeyShift | kKeyControl))) {
        SelectOnly(hit.row);
        if (rows_.ValidRow(hit.row))
            focus_ = hit.row;
    }
    return true;
}

bool ReportInputModel::HeaderClick(int column)
{
    ReportEvent event;
    event.code = kReportHeaderClick;
    event.column = column;
    return Tell(event) == 0;
}

bool ReportInputModel::KeyDown(unsigned key, unsigned keyFlags)
{
    ReportEvent event;
    event.code = kReportKeyDown;
    event.row = focus_;
    event.key = key;
    event.keyFlags = keyFlags;
    if (Tell(event) != 0)
        return true;

    int last = rows_.RowCount() - 1;
    int target = -1;
    switch (key) {
    case kVkLeft:
    case kVkRight:
        layout_.SetScrollX(layout_.ScrollX() +
                           (key == kVkLeft ? -ReportLayoutModel::kHorizontalLine : ReportLayoutModel::kHorizontalLine));
        return true;
    case kVkSpace:
        if (rows_.ValidRow(focus_)) {
            if (keyFlags & kKeyControl) {
                SetSelected(focus_, !IsSelected(focus_));
                anchor_ = focus_;
            } else {
                SelectOnly(focus_);
            }
        }
        return true;
    case kVkUp:
        target = rows_.ValidRow(focus_) ? focus_ - 1 : 0;
        break;
    case kVkDown:
        target = rows_.ValidRow(focus_) ? focus_ + 1 : 0;
        break;
    case kVkHome:
        target = 0;
        break;
    case kVkEnd:
        target = last;
        break;
    case kVkPageUp:
        if (focus_ == layout_.TopRow())
            layout_.ScrollPage(false);
        target = layout_.TopRow();
        break;
    case kVkPageDown:
        if (focus_ == layout_.LastFullyVisibleRow())
            layout_.ScrollPage(true);
        target = layout_.LastFullyVisibleRow();
        break;
    default:
        return false;  // Escape and every other key: the window's default handling
    }
    if (last < 0)
        return true;
    target = std::clamp(target, 0, last);
    MoveSelection(target, keyFlags, false);
    layout_.EnsureVisible(target);
    return true;
}

}  // namespace tw
