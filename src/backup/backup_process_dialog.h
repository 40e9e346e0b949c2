// BackupProcess: the small progress window of a full backup or restore, over
// BackupProcessModel and a FullBackupJob. The job's worker starts when the window opens; a
// 777 ms timer moves the bar, which only shows that work goes on. The worker's end reaches
// the window as a posted message, so the completion runs on the user-interface thread: the
// bar goes to 100, the completion text is shown, and the window ends with IDOK. "Cancel"
// asks first (caption "Warning", Yes and No); Yes while the worker runs stops it and ends the
// window with -1. An end that arrives while the question is open waits for the answer.
#pragma once

#include "backup/backup_process_model.h"
#include "backup/full_backup.h"
#include "ui/skin_dialog.h"

namespace tw {

class BackupProcess final : public SkinDialog {
public:
    BackupProcess(HWND parent, Registry& registry, System& system, FullBackupSteps& steps, FullBackupPlan plan);

    // DoModal: IDOK once the completion was shown, -1 after a confirmed cancel.

private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;

    void Complete();
    void ShowFullBar();
    void AskToCancel();

    static constexpr UINT_PTR kProgressTimer = 1;
    static constexpr UINT kProgressPeriod = 777;
    static constexpr UINT kWorkerFinished = WM_APP + 11;

    FullBackupJob job_;
    BackupProcessModel model_;
    bool asking_ = false;
    bool finishPending_ = false;
};

}  // namespace tw
