// ReportInputModel: what the user's clicks and keys do to the report list. The owner is told
// of each first (ReportOwner), and its answer can claim the event (the list then does
// nothing more) or refuse a selection change; otherwise clicks and keys move the focus row
// and the selection by the list's rules, from the anchor row, and keys scroll the focus row
// into view. The selection is kept in the rows' state; the focus and anchor rows here.
#pragma once

#include "ui/report_layout_model.h"
#include "ui/report_row_model.h"

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

class ReportInputModel {
public:
    // Changes the selection in `rows` and scrolls `layout`; both outlive it.
    ReportInputModel(ReportRowModel& rows, ReportLayoutModel& layout) : rows_(rows), layout_(layout) {}

    void SetOwner(ReportOwner* owner) { owner_ = owner; }
    // The owner's answer; 0 without an owner.
    long Tell(const ReportEvent& event);

    // A row's state with the focus and selection bits.
    unsigned RowState(int row) const;
    bool IsSelected(int row) const { return rows_.Selected(row); }
    std::vector<int> SelectedRows() const;
    int FocusRow() const { return focus_; }
    int AnchorRow() const { return anchor_; }
    // Selects or deselects one row, asking the owner first; false when refused or out of range.
    bool SetSelected(int row, bool selected);
    void SetFocusRow(int row);
    // Selects `row` alone (-1: none) and anchors it.
    void SelectOnly(int row);

    // The focus and anchor rows follow rows inserted or removed.
    void RowInserted(int row);
    void RowErased(int row);
    void RowsCleared() { focus_ = anchor_ = -1; }

    // Each tells the owner first; false when the owner claimed the event (the window then does
    // nothing more, not even take the focus).
    bool LeftButtonDown(int x, int y, unsigned keyFlags);
    bool DoubleClick(int x, int y, unsigned keyFlags);
    bool RightButtonDown(int x, int y, unsigned keyFlags);
    bool HeaderClick(int column);
    // True when the list handled the key (the window then does no default handling).
    bool KeyDown(unsigned key, unsigned keyFlags);

private:
    ReportEvent MouseEvent(int code, int x, int y, unsigned keyFlags, ReportHit* hit) const;
    void SelectRange(int from, int to, bool keepOthers);
    void MoveSelection(int row, unsigned keyFlags, bool toggleWithControl);

    ReportRowModel& rows_;
    ReportLayoutModel& layout_;
    ReportOwner* owner_ = nullptr;
    int focus_ = -1;
    int anchor_ = -1;
};

}  // namespace tw
