// ListView: a thin wrapper over the platform's report-style list view, for the
// windows that show rows with check boxes (the backup manager, the three managers, the scan
// progress rows). It only turns calls into messages and does not own the control: the
// window that holds it does. A list it creates shows, where the pointer rests on a cell
// whose text is cut short ("..."), that text in full in a tooltip; the tooltip lives and
// dies with the list.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace tw {

class ListView {
public:
    ListView() = default;
    explicit ListView(HWND control) : hwnd_(control) {}

    // Creates a report-style list view child of `parent` in the client rectangle `area`.
    // `style` adds to WS_CHILD | WS_VISIBLE | LVS_REPORT.
    bool Create(HWND parent, int id, const RECT& area, DWORD style);
    void Attach(HWND control) { hwnd_ = control; }
    HWND hwnd() const { return hwnd_; }

    // The tooltip of cut-short cells (a list made by Create), null otherwise. Its one tool
    // is on the list's window with the id kCellTipTool.
    HWND cellTooltip() const;
    static constexpr UINT_PTR kCellTipTool = 1;

    // LVS_EX_* bits added to the extended style (check boxes, grid lines, full-row select).
    void AddExtendedStyle(DWORD bits);
    // Appends a left-aligned column; its index.
    int AddColumn(const std::string& heading, int width);

    int Count() const;
    // Appends a row with the first cell's text and the row's item data; its index or -1.
    int AddRow(const std::string& text, LPARAM data = 0);
    bool SetText(int row, int column, const std::string& text);
    std::string Text(int row, int column) const;
    LPARAM Data(int row) const;
    bool DeleteRow(int row);
    void DeleteAll();

    // The row check box (LVS_EX_CHECKBOXES).
    void SetChecked(int row, bool checked);
    bool IsChecked(int row) const;
    void SetAllChecked(bool checked);

    // The selection mark (the row last selected); -1 when none.
    int SelectionMark() const;
    // The first selected row, -1 when none.
    int Selected() const;
    void Select(int row);

private:
    HWND hwnd_ = nullptr;
};

}  // namespace tw
