// A small driver for end-to-end tests of Tarnwick.exe: starts the program from the test
// program's own folder, finds its windows by title and class and its controls by id,
// clicks with BM_CLICK, answers message boxes, and saves pictures of windows (GDI, as BMP
// files in the screenshots folder beside the test program).
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <cstdint>
#include <string>
#include <vector>

namespace tw::test::gui {

// The folder of the running test program (where Tarnwick.exe is staged).
std::string TestFolder();

// Waits up to `timeout` for `condition`, pumping nothing: the program runs in its own process.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds timeout = std::chrono::milliseconds(15000),
             std::chrono::milliseconds poll = std::chrono::milliseconds(50));

// Waits until the thread of `window` has handled everything queued for it, painting
// included, and waits for input again: what a posted click or a moved pointer set off is then
// done. A window of the caller's own thread is brought up to date instead.
void WaitUntilIdle(HWND window, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// A top-level window of `processId` with this title (and class, when given), or null.
HWND FindProcessWindow(DWORD processId, const std::string& title, const char* className = "#32770",
                       bool visibleOnly = true);
std::string WindowText(HWND window);
// A control's text through WM_GETTEXT (rich-edit controls keep theirs to themselves).
std::string ControlText(HWND control);

// One run of Tarnwick.exe. The destructor ends a run that is still going.
class TarnwickRun {
public:
    TarnwickRun();
    ~TarnwickRun();
    TarnwickRun(const TarnwickRun&) = delete;
    TarnwickRun& operator=(const TarnwickRun&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD processId() const { return processId_; }
    SYSTEMTIME startTime() const { return startTime_; }

    // Waits for a window of this run.
    HWND WaitForWindow(const std::string& title, const char* className = "#32770",
                       std::chrono::milliseconds timeout = std::chrono::milliseconds(15000));
    // Waits for the main window ("Tarnwick Version 2.6") after the splash.
    HWND WaitForMainWindow();
    // Waits for the process to end; its exit code, or -1 on timeout.
    int WaitForExit(std::chrono::milliseconds timeout = std::chrono::milliseconds(15000));

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    SYSTEMTIME startTime_{};
};

HWND Control(HWND dialog, int id);
bool Visible(HWND dialog, int id);
// Posts a click, so that a window the click opens (a message box) does not block the test.
void Click(HWND dialog, int id);
bool Checked(HWND dialog, int id);
// The text of a message box and a press of its OK button.
std::string MessageBoxText(HWND box);
void PressOk(HWND box);
// A press of one of a message box's buttons (IDYES, IDNO, ...).
void PressButton(HWND box, int id);

// Drop-down lists (combo boxes): item count, an item's text, the selection.
int ComboCount(HWND combo);
std::string ComboText(HWND combo, int index);
int ComboSelection(HWND combo);
void SelectComboItem(HWND combo, int index);

// Rows of a report-style list view in another process: the calls that pass a structure go
// through a buffer allocated in the list's process.
int ListRowCount(HWND list);
std::string ListText(HWND list, int row, int column);
bool ListChecked(HWND list, int row);
void SetListChecked(HWND list, int row, bool checked);
// Selects and focuses the row and makes it the selection mark, as a click on it does.
void SelectListRow(HWND list, int row);

// The pixels of a window's rectangle on screen, as packed 32-bit values.
std::vector<std::uint32_t> ScreenPixels(HWND window);

// Saves a picture of the window's rectangle as screenshots\<name>.bmp; false on failure.
bool SaveScreenshot(HWND window, const std::string& name);

// ---- the program's pages and the results viewer's list

// The title of every page that takes the main window's place.
inline constexpr const char* kPageWindowTitle = "Tarnwick version 2.6";
// The visible page window of this run that holds control `id` (a minute at most).
HWND WaitForPage(TarnwickRun& run, int id);
// Ticks exactly these section boxes on the main page.
void TickOnly(HWND main, std::initializer_list<int> boxes);

// After "Scan now": answers the completion's message box with OK and waits for the results
// viewer; null when either does not come.
HWND OkToResults(TarnwickRun& run);

// A row of the results list, read through the list's own messages.
struct ReportRow {
    std::string text, count;
    int check = -1;
};
std::vector<ReportRow> ReportRows(HWND list);
// The first row whose text is `text`; -1 for none.
int FindRow(const std::vector<ReportRow>& rows, const std::string& text);
// Clicks (or double-clicks) where a cell's check box is, as the mouse would.
void ClickCell(HWND list, int row, int column, bool twice);

}  // namespace tw::test::gui
