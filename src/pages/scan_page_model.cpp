#include "pages/scan_page_model.h"

#include "backup/backup_messages.h"
#include "backup/repair.h"
#include "backup/repair_undo.h"
#include "backup/second_look.h"
#include "ui/page_request.h"

namespace tw {

ScanPageModel::ScanPageModel(Registry& registry, System& system, ActivityLog& log, std::string programFolder,
                             const ScanRequest& request, WorkerWait* wait)
    : driver_(registry, system, log, wait), programFolder_(std::move(programFolder)), request_(request)
{
}

void ScanPageModel::Open(ScanPageView& view, ScanProgress& progress)
{
    view_ = &view;
    view.ShowControl(kScanClose, false);
    view.ShowControl(kScanRepair, false);
    view.ShowControl(kScanAbort, true);
    view.SetProgressBar(0);
    driver_.Start(request_, &progress);
}

void ScanPageModel::OnProgressTimer()
{
    if (position_ <= 80)
        view_->SetProgressBar(position_++);
}

void ScanPageModel::OnScanCompleted()
{
    Complete(true);
}

void ScanPageModel::Complete(bool success)
{
    view_->StopProgressTimer();
    position_ = 100;
    view_->SetProgressBar(100);
    if (!success) {
        view_->ShowMessage(kScanAbortedText);
        return;
    }
    scanComplete_ = true;
    view_->ShowMessage(kScanCompleteText);
    view_->ShowControl(kScanClose, true);
    view_->ShowControl(kScanRepair, true);
    view_->ShowControl(kScanAbort, false);
    OpenResults();
}

void ScanPageModel::OpenResults()
{
    ResultsOutcome outcome = view_->OpenResults();
    if (closing_)
        return;  // the viewer ended the page already (its repair, or the exit)
    if (outcome.pageRequest != 0) {
        pageRequest_ = outcome.pageRequest;
        closing_ = true;
        view_->EndPage(pageRequest_);
    } else if (outcome.closeOwner) {
        closing_ = true;
        view_->EndPage(pageRequest_);
    }
}

void ScanPageModel::StopOrClose()
{
    if (aborting_)
        return;
    if (driver_.IsScanning()) {
        aborting_ = true;
        bool aborted = driver_.Abort();  // waits for the worker, drops the last record, resets the event
        aborting_ = false;
        if (aborted) {
            Complete(false);
            if (pageRequest_ == 0) {
                OpenResults();
                return;
            }
        }
    }
    closing_ = true;
    view_->EndPage(pageRequest_);
}

bool ScanPageModel::OnCommand(int id)
{
    switch (id) {
    case kScanAbort:
        pageRequest_ = kNoPageRequest;
        StopOrClose();
        return true;
    case kScanClose:
        StopOrClose();
        return true;
    case kScanRepair:
        Repair();
        return true;
    default:
        break;
    }
    // The header: what each button asks for is the page protocol's; a page this page leaves
    // for (the backup manager too, which the main window opens) waits for the scan to stop.
    using Step = PageDialogProtocol::Step;
    PageDialogProtocol header(kScanExit);
    switch (header.OnButton(id)) {
    case Step::Close:
        pageRequest_ = header.pageRequest();
        StopOrClose();
        return true;
    case Step::OpenBackupManager:
        pageRequest_ = kRequestBackupManager;
        StopOrClose();
        return true;
    case Step::OpenHelpPage:
        view_->OpenHelpPage();
        return true;
    case Step::Minimize:
        view_->Minimize();
        return true;
    case Step::Exit:
        Exit();
        return true;
    case Step::None:
        break;
    }
    return false;
}

bool ScanPageModel::OnPointerClick(int id, std::uint32_t time, std::uint32_t doubleClickTime)
{
    if (id == kScanAbort && !abortGuard_.Accept(time, doubleClickTime))
        return true;
    return OnCommand(id);
}

void ScanPageModel::Exit()
{
    // Stop reports a worker that is inside its completion report as ending by itself.
    driver_.Stop();
    closing_ = true;
    view_->EndPage(pageRequest_);
    view_->CloseMainWindow();
}

bool ScanPageModel::OnDestroy()
{
    bool endsProgram = !closing_;
    closing_ = true;
    driver_.Stop();
    return endsProgram;
}

void ScanPageModel::Repair()
{
    if (driver_.IsScanning())
        return;  // the findings belong to the worker until it has finished
    ScanEngine& engine = driver_.engine();
    const FindingSet before = FindingsOf(engine.problems());
    view_->SetWaitCursor(true);
    RepairOutcome outcome = tw::Repair(engine, driver_.shortcuts(), programFolder_);
    view_->SetWaitCursor(false);
    if (outcome.backupFailed) {
        view_->ShowMessage(backup_text::kBackupNotWritten);
        return;
    }
    const RepairCounts& counts = outcome.counts;
    const bool removed = counts.keys + counts.values + counts.shortcuts > 0;
    std::string text;
    if (counts.left > 0)
        text = backup_text::RepairLeftText(counts.left, engine.log().path());
    else if (removed)
        text = backup_text::RepairDoneText(counts.keys, counts.values, counts.shortcuts);
    if (!text.empty()) {
        if (outcome.backup.status != RepairBackupResult::Status::Written) {
            view_->ShowMessage(text);
        } else if (view_->Ask(backup_text::WithUndoQuestion(text))) {
            view_->SetWaitCursor(true);
            UndoOutcome undo = UndoRepair(engine.registry(), engine.system(), engine.log(), programFolder_,
                                          outcome.backup.path);
            view_->SetWaitCursor(false);
            std::string said;
            for (const std::string& m : undo.messages)
                said += (said.empty() ? "" : "\n") + m;
            view_->ShowMessage(said);
            return;
        }
    }
    if (!removed || outcome.stoppedAfterBackup || outcome.stoppedAfterDeletion)
        return;
    view_->SetWaitCursor(true);
    const std::size_t found = LookAgainAfterRepair(engine, request_, before);
    view_->SetWaitCursor(false);
    // The shortcuts were dealt with; the viewer shows only what the repair left behind.
    driver_.shortcuts().brokenList.clear();
    // What the repair left behind is repaired only from the viewer, after the user has seen
    // it there, never by this page's own button.
    view_->ShowControl(kScanRepair, false);
    if (found > 0 && view_->Ask(backup_text::SecondLookText(found)))
        OpenResults();
}

long ScanPageModel::Ignore(const std::vector<IgnoredEntry>& entries)
{
    if (driver_.IsScanning())
        return kErrorCallNotImplemented;  // the engine is the worker's until it has finished
    IgnoreList list(driver_.engine().registry());
    if (long status = list.Load(); status != kSuccess)
        return status;
    // All or none: entries listed before a failure come off again, since the viewer keeps
    // every one of them among the findings it repairs.
    std::vector<const IgnoredEntry*> added;
    for (const IgnoredEntry& entry : entries) {
        long status = kSuccess;
        const IgnoreResult result = list.Add(entry, &status);
        if (result == IgnoreResult::Failed) {
            for (const IgnoredEntry* listed : added)
                list.Remove(*listed);
            return status;
        }
        if (result == IgnoreResult::Added)
            added.push_back(&entry);
    }
    return kSuccess;
}

}  // namespace tw
