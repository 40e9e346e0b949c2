#include "pages/process_list_dialog.h"

#include "log/process_log.h"
#include "platform/program_info.h"
#include "pages/results_dialog.h"

#include "../../resources/resource.h"
#include "ui/shared_texts.h"

#include <commctrl.h>

namespace tw {
namespace {

struct ButtonImages {
    int id, normal, hot, mask;
    const char* tooltip;
};
constexpr ButtonImages kButtons[] = {
    {kScanClose, IDB_CLOSE_WIDE, IDB_CLOSE_WIDE_HOT, IDB_WIDE_BUTTON_MASK, shared_text::kCloseTheDialog},
    {kScanRepair, IDB_REPAIR, IDB_REPAIR_HOT, 0, shared_text::kRepairFoundProblems},
    {kScanAbort, IDB_ABORT, IDB_ABORT_HOT, 0, "Abort scanning"},
};

// The progress list's place in the client area, in pixels.
constexpr RECT kRowsArea{17, 144, 600, 405};

}  // namespace

void ProcessListDialog::WindowProgress::ScanCompleted()
{
    ProgressTable::ScanCompleted();
    // Sent, not posted: the worker waits here while the page shows its completion.
    if (window)
        SendMessageA(window, kScanCompletedMessage, 0, 0);
}

void ProcessListDialog::PumpingWait::Until(const std::function<bool()>& finished)
{
    // Only messages sent from other threads are handled meanwhile: the worker's sends must
    // not wait for us, and the user's clicks must not reach a page that is in the middle
    // of a command.
    while (!finished()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_SENDMESSAGE);
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

ProcessListDialog::ProcessListDialog(PageHost& host, Registry& registry, System& system, ActivityLog& log,
                                     const ScanRequest& request)
    : PageDialog(IDD_PROCESS_LIST, host, kSkinId, RGB(1, 255, 1)),
      registry_(registry),
      system_(system),
      model_(std::make_unique<ScanPageModel>(registry, system, log, ProgramFolder(system), request, &wait_))
{
}

ProcessListDialog::~ProcessListDialog() = default;

BOOL ProcessListDialog::OnInitDialog()
{
    progress_.window = hwnd();
    SetUpPage(kScanPageTitleLine);
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        const ButtonImages& b = kButtons[i];
        if (!buttons_[i].Attach(hwnd(), b.id))
            continue;
        buttons_[i].SetImages(b.normal, b.hot, b.hot, 0, b.mask);
        buttons_[i].SetTooltip(b.tooltip);
    }
    rows_.Create(hwnd(), kScanProgressList, kRowsArea, WS_BORDER | LVS_SINGLESEL);
    rows_.AddExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    rows_.AddColumn("Section Name", 380);
    rows_.AddColumn("Problems", 100);
    rows_.AddColumn("Status", 100);
    SendDlgItemMessageA(hwnd(), kScanProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    model_->Open(*this, progress_);
    SetTimer(hwnd(), kProgressTimer, kProgressPeriod, nullptr);
    progressTimer_ = true;
    SetTimer(hwnd(), kRowsTimer, kRowsPeriod, nullptr);
    // The page opens where "Scan now" was: a double click's second half must not abort.
    model_->PageShownAt(GetTickCount());
    return TRUE;
}

void ProcessListDialog::ShowRows()
{
    std::vector<ProgressTable::Row> rows = progress_.Rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i >= rowsShown_) {
            rows_.AddRow(rows[i][kColumnSectionName]);
            lastRows_.push_back({rows[i][kColumnSectionName], "", ""});
            ++rowsShown_;
        }
        for (int column = 0; column < 3; ++column) {
            const std::string& text = rows[i][static_cast<std::size_t>(column)];
            if (lastRows_[i][static_cast<std::size_t>(column)] != text) {
                rows_.SetText(static_cast<int>(i), column, text);
                lastRows_[i][static_cast<std::size_t>(column)] = text;
            }
        }
    }
    std::string status = progress_.Status();
    if (status != lastStatus_) {
        SetDlgItemTextA(hwnd(), kScanStatusLine, status.c_str());
        lastStatus_ = std::move(status);
    }
    if (progress_.RepairEnabled())
        EnableWindow(Item(kScanRepair), TRUE);
}

void ProcessListDialog::OnTimer(UINT_PTR id)
{
    if (id == kProgressTimer)
        model_->OnProgressTimer();
    else if (id == kRowsTimer)
        ShowRows();
}

INT_PTR ProcessListDialog::OnMessage(UINT message, WPARAM, LPARAM, bool* handled)
{
    *handled = message == kScanCompletedMessage;
    if (*handled)
        model_->OnScanCompleted();
    return 0;
}

bool ProcessListDialog::OnCommand(int id, int code, HWND control)
{
    if (id == IDCANCEL && !control) {
        // Escape (or the window closed by the system) ends the page without its own
        // buttons: the destruction ends the program.
        EndDialog(IDCANCEL);
        return true;
    }
    if (code != BN_CLICKED)
        return false;
    ShowRows();
    for (const SkinButton& button : buttons_)
        if (button.hwnd() == control && button.releasingPointer())
            return model_->OnPointerClick(id, static_cast<std::uint32_t>(GetMessageTime()), GetDoubleClickTime());
    return model_->OnCommand(id);
}

void ProcessListDialog::StopTimers()
{
    if (progressTimer_)
        KillTimer(hwnd(), kProgressTimer);
    progressTimer_ = false;
    KillTimer(hwnd(), kRowsTimer);
}

void ProcessListDialog::OnDestroy()
{
    StopTimers();
    model_->OnDestroy();  // no worker outlives the window
    if (rows_.hwnd())
        DestroyWindow(rows_.hwnd());
    PageDialog::OnDestroy();
}

// ---- ScanPageView

void ProcessListDialog::ShowControl(int id, bool show)
{
    if (HWND control = Item(id))
        ShowWindow(control, show ? SW_SHOW : SW_HIDE);
}

void ProcessListDialog::SetProgressBar(int position)
{
    SendDlgItemMessageA(hwnd(), kScanProgressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void ProcessListDialog::StopProgressTimer()
{
    if (progressTimer_)
        KillTimer(hwnd(), kProgressTimer);
    progressTimer_ = false;
}

void ProcessListDialog::ShowMessage(const std::string& text)
{
    // The counts as the scan left them, before the message box covers them: after a
    // completion, and after an abort, whose worker may have found more since the last
    // timer drew the rows.
    ShowRows();
    MessageBoxA(Foremost(), text.c_str(), "Tarnwick", MB_OK);
}

HWND ProcessListDialog::Foremost() const
{
    // The results viewer over this page, while one is open: a box or a viewer the repair
    // opens from there belongs to it, so that it takes no clicks until they are answered
    // (the repair's second look replaces the findings its rows point at).
    HWND top = GetLastActivePopup(hwnd());
    return top && IsWindowVisible(top) ? top : hwnd();
}

bool ProcessListDialog::Ask(const std::string& text)
{
    return MessageBoxA(Foremost(), text.c_str(), "Tarnwick", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

ResultsOutcome ProcessListDialog::OpenResults()
{
    ShowRows();
    ScanCoverage coverage = CoverageFromRows(progress_.Rows(), model_->scanComplete());
    coverage.ignored = model_->driver().engine().ignoredCount();
    return RunResultsDialog(host(), Foremost(), model_->driver().engine().problems(),
                            model_->driver().shortcuts().brokenList, *model_, std::move(coverage));
}

void ProcessListDialog::EndPage(int pageRequest)
{
    ClosePage(pageRequest);
}

void ProcessListDialog::Minimize()
{
    ShowWindow(hwnd(), SW_MINIMIZE);
}

void ProcessListDialog::OpenHelpPage()
{
    host().OpenHelpPage();
}

void ProcessListDialog::SetWaitCursor(bool on)
{
    SetCursor(LoadCursorA(nullptr, on ? IDC_WAIT : IDC_ARROW));
}

}  // namespace tw
