#include "backup/backup_process_dialog.h"

#include "backup/backup_messages.h"
#include "log/process_log.h"

#include "../../resources/resource.h"

#include <commctrl.h>

namespace tw {

BackupProcess::BackupProcess(HWND parent, Registry& registry, System& system, FullBackupSteps& steps,
                             FullBackupPlan plan)
    : SkinDialog(IDD_BACKUP_PROCESS, parent),
      job_(registry, system, steps, std::move(plan)),
      model_(job_.plan().mode)
{
}

BOOL BackupProcess::OnInitDialog()
{
    SetDragAnywhere(false);
    HWND bar = Item(IDC_PROCESS_BAR);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(model_.position()), 0);
    SetDlgItemTextA(hwnd(), IDC_PROCESS_STATUS, model_.statusText());
    HWND self = hwnd();
    job_.Start([self] { PostMessageA(self, kWorkerFinished, 0, 0); });
    SetTimer(hwnd(), kProgressTimer, kProgressPeriod, nullptr);
    return TRUE;
}

void BackupProcess::OnTimer(UINT_PTR id)
{
    if (id != kProgressTimer)
        return;
    model_.Tick();
    SendMessageA(Item(IDC_PROCESS_BAR), PBM_SETPOS, static_cast<WPARAM>(model_.position()), 0);
}

void BackupProcess::Complete()
{
    job_.Wait();
    KillTimer(hwnd(), kProgressTimer);
    std::string text = model_.Complete(job_, ProcessActivityLog().path());
    ShowFullBar();
    MessageBoxA(hwnd(), text.c_str(), backup_text::kCaption, MB_OK);
    EndDialog(IDOK);
}

void BackupProcess::ShowFullBar()
{
    // The bar is drawn full before the message comes: a bar that creeps by steps would
    // otherwise still stand where the last tick left it behind "created".
    HWND bar = Item(IDC_PROCESS_BAR);
    SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(model_.position()), 0);
    RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void BackupProcess::AskToCancel()
{
    if (model_.completed() || asking_)
        return;  // after completion "Cancel" does nothing
    asking_ = true;
    int answer = MessageBoxA(hwnd(), model_.cancelQuestion(), backup_text::kWarningCaption, MB_YESNO);
    asking_ = false;
    if (answer == IDYES && model_.ConfirmCancel(job_)) {
        KillTimer(hwnd(), kProgressTimer);
        finishPending_ = false;
        // Told once the worker has stopped (at its next key) and the backup is gone.
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        job_.Wait();
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        MessageBoxA(hwnd(), model_.cancelledText(), backup_text::kCaption, MB_OK);
        EndDialog(-1);
        return;
    }
    if (finishPending_) {
        finishPending_ = false;
        Complete();
    }
}

bool BackupProcess::OnCommand(int id, int code, HWND control)
{
    (void)control;
    if (id != IDCANCEL || code != BN_CLICKED)
        return false;
    AskToCancel();
    return true;
}

INT_PTR BackupProcess::OnMessage(UINT message, WPARAM, LPARAM, bool* handled)
{
    *handled = message == kWorkerFinished;
    if (!*handled || model_.completed())
        return TRUE;
    if (asking_)
        finishPending_ = true;  // the user is answering the cancel question: after it
    else
        Complete();
    return TRUE;
}

void BackupProcess::OnDestroy()
{
    KillTimer(hwnd(), kProgressTimer);
}

}  // namespace tw
