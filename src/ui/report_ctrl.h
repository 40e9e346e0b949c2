// CReportCtrl: the self-drawn report list. A window of its own class, "MFCReportCtrl", with a
// platform header control on top; rows are drawn in system colours with grid lines, a check
// box in every cell that has a check state, cell text in the owner's palette colours, and
// under each row (with the style bit kReportPreviewStyle) a preview area that the owner
// draws when told with kReportDrawPreview. Only the rows in view are drawn, into one
// off-screen bitmap, so the list stays quick with many thousand rows.
//
// What the list decides (rows and their cells, hit testing, selection, scrolling) is
// ReportModel's; this class turns messages into calls on it and draws what it says. The
// owner (the parent window) hears of events through WM_NOTIFY with a ReportNotification;
// its answer claims an event or refuses a selection change (see ReportNotificationCode).
#pragma once

#include "platform/registry.h"
#include "platform/win32/win32_handle.h"
#include "ui/report_model.h"

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <string>

namespace tw {

// What WM_NOTIFY carries from the list; header.code is a ReportNotificationCode.
struct ReportNotification {
    NMHDR header;
    int row;               // -1 for none
    int column;            // a column definition's index, -1 for none
    UINT hitFlags;         // mouse events: ReportHitFlags
    UINT keyFlags;         // mouse events: MK_SHIFT, MK_CONTROL; kReportKeyDown: kKeyShift, kKeyControl
    UINT key;              // kReportKeyDown: the virtual key code
    POINT point;           // mouse events: client coordinates
    UINT oldState;         // selection events: the row's state before and after
    UINT newState;
    LPARAM ownerValue;     // the row's owner value
    HDC dc;                // kReportDrawPreview: where to draw (font and background set)
    RECT rect;             // kReportDrawPreview: the row's preview area
};

// What WM_NOTIFY carries with kReportGetRowTip, sent when the pointer comes to rest on
// another row: the owner may set `text` to the row's whole text (its preview's, which only
// the owner knows). Left empty, the tooltip shows the texts of the row's cells that are cut
// short, one a line, and no tooltip at all when none is.
struct ReportTipRequest {
    ReportNotification note;  // note.row: the row; an owner may read it as any notification
    std::string text;
};

class CReportCtrl : private ReportOwner {
public:
    static constexpr const char* kClassName = "MFCReportCtrl";

    // For programs that read the list from outside (accessibility tools, the end-to-end
    // tests): the row count; kSelectCell (row, column) picks the cell whose text WM_GETTEXT
    // and WM_GETTEXTLENGTH then give, and answers its check state (-1 none, -2 no such cell);
    // kCheckPoint (row, column) answers the centre of the cell's check box, or of the cell
    // when it has none, in client coordinates (MAKELONG(x, y)), -1 when out of view. With no
    // cell picked and no rows, WM_GETTEXT gives the text the empty list shows.
    static constexpr UINT kRowCountMessage = WM_APP + 0x2E0;
    static constexpr UINT kSelectCellMessage = WM_APP + 0x2E1;
    static constexpr UINT kCheckPointMessage = WM_APP + 0x2E2;
    static constexpr const char* kDefaultEmptyText = ReportModel::kEmptyText;

    // Reads the wheel setting of the user's registry; the second form reads it from `registry`.
    CReportCtrl();
    explicit CReportCtrl(Registry& registry);
    ~CReportCtrl() override;
    CReportCtrl(const CReportCtrl&) = delete;
    CReportCtrl& operator=(const CReportCtrl&) = delete;

    // Creates the window (a child of `parent` with this id); false when the window class
    // could not be registered or a window not be made.
    bool Create(DWORD style, const RECT& rect, HWND parent, int id);
    void Destroy();
    HWND hwnd() const { return hwnd_; }
    HWND header() const { return header_; }
    HWND headerTooltip() const { return tooltip_; }
    // The tool of the row tooltip (on the list's window), for TTM_GETTEXT.
    static constexpr UINT_PTR kRowTipTool = 0xFFFF;
    // The row the tooltip is for (-1 none) and its text, as last set.
    int tipRow() const { return tipRow_; }
    const std::string& tipText() const { return tipText_; }

    // The palette index, or -1.
    int SetPaletteColour(int index, COLORREF colour);
    // Inserts a column definition at `index`; the index, or -1. A defined column is shown with
    // ShowColumn.
    int DefineColumn(int index, const ReportColumn& column);
    // The header position, or -1 when the column is undefined or shown already.
    int ShowColumn(int column, int position);
    int SetColumnWidth(int column, int width);

    // Tells the owner of each row, removes them all and repaints.
    void DeleteAllItems();
    bool DeleteItem(int row);
    int GetItemCount() const { return model_.RowCount(); }
    // Inserts a row (item.row past the end: appended); the new row's index, or -1.
    int InsertItem(const ReportItem& item);
    bool SetItem(const ReportItem& item);
    bool GetItem(ReportItem* item) const { return model_.GetItem(item); }
    // Sets a cell's text and, when textColour is not -1, its palette colour.
    bool SetItemText(int row, int column, const std::string& text, int textColour = -1);
    std::string GetItemText(int row, int column) const { return model_.ItemText(row, column); }
    // Sets a cell's check state: 1 ticked, 0 not, -1 no check box.
    bool SetCheck(int row, int column, int check);
    int GetCheck(int row, int column) const { return model_.GetCheck(row, column); }
    std::intptr_t GetItemData(int row) const { return model_.OwnerValue(row); }

    bool SetSelected(int row, bool selected);
    bool IsSelected(int row) const { return model_.IsSelected(row); }
    bool EnsureVisible(int row);
    void SetEmptyText(const std::string& text);
    const std::string& emptyText() const { return emptyText_; }
    // Images for cells and header items (not owned).
    void SetImageList(HIMAGELIST images);

    const ReportModel& model() const { return model_; }

private:
    long Notify(const ReportEvent& event) override;
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnHeaderNotify(const NMHDR& header, LRESULT* result);
    void OnScroll(bool vertical, int code);
    void LoadSystemColours();
    void UpdateRowHeight();
    void Layout();
    void UpdateScrollBars();
    void Changed();
    void InsertHeaderItem(int position);
    void UpdateHeaderItem(int column);
    void UpdateHeaderTooltips();
    // The pointer moved to (x, y): the row tooltip follows the row under it.
    void UpdateRowTip(int x, int y);
    std::string RowTipText(int row);
    void ForgetRowTip() { tipRow_ = -2; }
    void Paint(HDC target, const RECT& update);
    void Draw(HDC dc, const RECT& update);
    void DrawRow(HDC dc, int row, bool focused);
    COLORREF Palette(int index, COLORREF fallback) const;

    enum SystemColour { kWindow, kHighlight, kButtonFace, kWindowText, kHighlightText, kGrid, kColourCount };

    ReportModel model_;
    bool registered_ = false;
    HWND hwnd_ = nullptr;
    HWND header_ = nullptr;   // a child: destroyed with the list
    HWND tooltip_ = nullptr;  // owned by the list's window: destroyed with it
    int tooltipTools_ = 0;
    HFONT font_ = nullptr;    // the owner's or a stock font; never deleted here
    HIMAGELIST images_ = nullptr;
    std::string emptyText_ = kDefaultEmptyText;
    std::array<COLORREF, kColourCount> colours_{};
    UniqueGdiObject buffer_;  // the off-screen bitmap, kept while the size fits
    SIZE bufferSize_{0, 0};
    bool inLayout_ = false;
    bool layoutStale_ = false;   // scroll bars and header to be set before the next paint
    bool paintPending_ = false;  // the whole view is invalid already
    RECT headerPlace_{};
    int tipRow_ = -2;   // the row the tooltip was last set for; -2 none yet
    bool tipToolAdded_ = false;
    std::string tipText_;
    int textRow_ = -1;  // the cell WM_GETTEXT reads (kSelectCellMessage)
    int textColumn_ = -1;
    SCROLLINFO vertical_{};      // as last set
    SCROLLINFO horizontal_{};
};

}  // namespace tw
