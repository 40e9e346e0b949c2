#include "backup/backup_process_model.h"

#include "backup/backup_messages.h"

namespace tw {

const char* BackupProcessModel::statusText() const
{
    return mode_ == FullBackupMode::Create ? backup_text::kCreatingStatus : backup_text::kRestoringStatus;
}

void BackupProcessModel::Tick()
{
    if (completed_)
        return;
    position_ += 2;
    if (position_ > 100)
        position_ = 0;
}

const char* BackupProcessModel::Complete(bool succeeded)
{
    completed_ = true;
    position_ = 100;
    return FullBackupCompletionText(mode_, succeeded);
}

std::string BackupProcessModel::Complete(const FullBackupJob& job, std::string_view logPath)
{
    bool succeeded = job.succeeded();
    Complete(succeeded);
    return FullBackupCompletionMessage(mode_, succeeded, job.skippedKeys(), logPath, job.undo().message);
}

const char* BackupProcessModel::cancelledText() const
{
    return mode_ == FullBackupMode::Create ? backup_text::kCreateCancelled : backup_text::kRestoreCancelled;
}

const char* BackupProcessModel::cancelQuestion() const
{
    return mode_ == FullBackupMode::Create ? backup_text::kCancelCreateQuestion : backup_text::kCancelRestoreQuestion;
}

bool BackupProcessModel::ConfirmCancel(FullBackupJob& job)
{
    if (completed_)
        return false;
    return job.Cancel();
}

}  // namespace tw
