// What the full backup's progress window (BackupProcess) shows and does, without the window:
// the status text, the bar that only shows that work goes on, the completion message and the
// cancel rule. The work itself is the FullBackupJob's.
#pragma once

#include "backup/full_backup.h"

#include <string>
#include <string_view>

namespace tw {

class BackupProcessModel {
public:
    explicit BackupProcessModel(FullBackupMode mode) : mode_(mode) {}

    // "Creating backup..." or "Restoring backup...".
    const char* statusText() const;
    // The 777 ms timer: +2, and back to 0 past 100.
    void Tick();
    int position() const { return position_; }
    // The worker's completion: the bar goes to 100 and this message is shown.
    const char* Complete(bool succeeded);
    // The job's completion: the bar goes to 100; the whole message to show.
    std::string Complete(const FullBackupJob& job, std::string_view logPath);
    bool completed() const { return completed_; }
    // The question the "Cancel" button asks (caption "Warning", Yes and No).
    const char* cancelQuestion() const;
    // The user answered Yes: stops a running job. True when the window then ends with -1,
    // after telling cancelledText().
    bool ConfirmCancel(FullBackupJob& job);
    // "Full registry backup was cancelled. No backup was kept." (or the restore's text).
    const char* cancelledText() const;

private:
    FullBackupMode mode_;
    int position_ = 0;
    bool completed_ = false;
};

}  // namespace tw
