// What the scan progress page shows and does, without the window: it starts the worker as
// it opens, steps the progress bar on its timer, handles the completion (its message, the
// buttons it swaps, the results viewer), the abort and every way out (header buttons, the
// second close button, the exit button, the window ending any other way), and runs the
// repair for the results viewer. The dialog implements ScanPageView over its controls.
#pragma once

#include "../../resources/resource.h"

#include "scan/ignore_list.h"
#include "scan/scan_driver.h"
#include "ui/click_guard.h"

#include <string>

namespace tw {

// Control ids of the scan progress page.
enum ScanPageControl : int {
    kScanExit = IDC_EXIT,                      // caption "Close the dialog"
    kScanClose = IDC_SCAN_CLOSE,               // second "Close the dialog", shown once the scan is over
    kScanTitleLine = IDC_PAGE_TITLE_LINE,
    kScanProgressList = IDC_SCAN_PROGRESS_LIST,
    kScanRepair = IDC_SCAN_REPAIR,             // "Repair found problems"
    kScanProgressBar = IDC_SCAN_PROGRESS_BAR,
    kScanStatusLine = IDC_SCAN_STATUS_LINE,
    kScanAbort = IDC_SCAN_ABORT,               // "Abort scanning"
};

// The window message by which the worker reports the end of a scan (sent, not posted).
inline constexpr unsigned kScanCompletedMessage = 6031;

inline constexpr const char* kScanCompleteText = "Scanning complete.\nClick OK for Details about the errors found.";
inline constexpr const char* kScanAbortedText = "Scanning aborted.";
inline constexpr const char* kScanPageTitleLine = "Process Bar";

// How the results viewer ended.
struct ResultsOutcome {
    int pageRequest = 0;      // a page request for the main window, 0 for none
    bool closeOwner = false;  // closed through its close step: this page ends too
};

class ScanPageView {
public:
    virtual ~ScanPageView() = default;
    virtual void ShowControl(int id, bool show) = 0;
    virtual void SetProgressBar(int position) = 0;
    virtual void StopProgressTimer() = 0;
    // A message box with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // A message box with Yes and No buttons; true for Yes.
    virtual bool Ask(const std::string& text) = 0;
    // Runs the results viewer modally over this page's findings.
    virtual ResultsOutcome OpenResults() = 0;
    // Ends the page's modal run; the page was closed through its own buttons.
    virtual void EndPage(int pageRequest) = 0;
    // Asks the main window to close, which ends the program.
    virtual void CloseMainWindow() = 0;
    virtual void Minimize() = 0;
    virtual void OpenHelpPage() = 0;
    virtual void SetWaitCursor(bool on) = 0;
};

// What the results viewer asks of the scan progress page that opened it.
class ScanPageCommands {
public:
    virtual ~ScanPageCommands() = default;
    // Repairs every finding whose excluded flag is 0.
    virtual void Repair() = 0;
    // Aborts a running scan, or ends the page with its pending request.
    virtual void StopOrClose() = 0;
    // Puts findings on the user's ignore list; 0, or the registry's status of the first
    // entry that could not be written (those before it are on the list).
    virtual long Ignore(const std::vector<IgnoredEntry>& entries)
    {
        (void)entries;
        return kErrorCallNotImplemented;
    }
};

class ScanPageModel final : public ScanPageCommands {
public:
    ScanPageModel(Registry& registry, System& system, ActivityLog& log, std::string programFolder,
                  const ScanRequest& request, WorkerWait* wait);

    // The page is open: the worker starts, reporting to `progress`.
    void Open(ScanPageView& view, ScanProgress& progress);
    // Timer 1: the bar creeps up to 80 whatever the scan does.
    void OnProgressTimer();
    // The worker's completion message: the scan ran to its end.
    void OnScanCompleted();
    // A button; false when it is none of the page's.
    bool OnCommand(int id);
    // The page is on screen (`time` in the system's milliseconds): "Abort scanning", which
    // opens under the pointer that pressed "Scan now", takes no click for a double-click time.
    void PageShownAt(std::uint32_t time) { abortGuard_.Arm(time); }
    // A button clicked with the pointer at `time`: as OnCommand, but the second click of a
    // double click on "Abort scanning" (or one that lands there as the page opens) is dropped.
    bool OnPointerClick(int id, std::uint32_t time, std::uint32_t doubleClickTime);
    // The window is being destroyed: no worker outlives it. True when the page was not
    // closed through its own buttons, which ends the program as its exit button does.
    bool OnDestroy();

    // The repair of the findings, for the repair button and the results viewer; shows the
    // wait cursor while it runs. A repair that removed something says what and offers to undo
    // it (Yes restores its backup whole). Not undone, the sections the scan ran are scanned
    // again: new findings are counted and, when the user asks, shown in the results viewer
    // (the page's findings are then only those), never repaired without the user's review.
    void Repair() override;
    // The stop-or-close command: aborts a running scan (then opens the results viewer unless
    // a page request is pending) or ends the page with the pending request.
    void StopOrClose() override;
    // The results viewer's "Never report again": into HKCU\Software\Tarnwick\Ignored.
    long Ignore(const std::vector<IgnoredEntry>& entries) override;

    int progressPosition() const { return position_; }
    int pageRequest() const { return pageRequest_; }
    bool closing() const { return closing_; }
    // The scan ran to its end (its completion came); false before, and after an abort.
    bool scanComplete() const { return scanComplete_; }
    ScanDriver& driver() { return driver_; }

private:
    void Complete(bool success);
    void OpenResults();
    void Exit();

    ScanDriver driver_;
    std::string programFolder_;
    ScanRequest request_;
    ScanPageView* view_ = nullptr;
    int position_ = 0;
    int pageRequest_ = 0;
    bool closing_ = false;
    bool aborting_ = false;
    bool scanComplete_ = false;
    DoubleClickGuard abortGuard_;
};

}  // namespace tw
