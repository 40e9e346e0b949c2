#include "backup/full_backup.h"

#include "backup/backup_catalogue.h"
#include "backup/backup_messages.h"
#include "platform/program_info.h"

namespace tw {

FullBackupPlan PrepareFullBackup(System& system, std::string_view programFolder, const LocalTime& now)
{
    FullBackupPlan plan;
    plan.mode = FullBackupMode::Create;
    plan.name = FullBackupName(now);
    std::string registryBackups = RegistryBackupsPath(programFolder);
    std::string fullBackups = FullBackupsPath(programFolder);

    // A catalogue entry whose folder could not be made would list a backup that does not
    // exist, and a folder without its entry is pruned unseen: either both or neither.
    // The name is taken by creating the catalogue file: a full backup started in the same
    // second gets a name, and so a folder, of its own rather than writing into this one's.
    if (!PathExists(system, registryBackups))
        system.MakeDirectory(registryBackups);
    std::unique_ptr<File> file = CreateFreeFile(system, registryBackups, plan.name, &plan.catalogueFile);
    if (file)
        plan.name = plan.catalogueFile.substr(registryBackups.size() + 1);
    else
        plan.catalogueFile = JoinPath(registryBackups, plan.name);
    plan.backupFolder = JoinPath(fullBackups, plan.name);
    plan.files = {{JoinPath(plan.backupFolder, "SOFTWARE"), "HKEY_LOCAL_MACHINE\\SOFTWARE"},
                  {JoinPath(plan.backupFolder, "HARDWARE"), "HKEY_LOCAL_MACHINE\\HARDWARE"},
                  {JoinPath(plan.backupFolder, "CUSOFTWARE"), "HKEY_CURRENT_USER\\SOFTWARE"}};
    if (!file || !file->Close()) {
        // Only a file this backup made itself is removed: a failed create-new made none.
        if (file) {
            file.reset();
            system.RemoveFile(plan.catalogueFile);
        }
        plan.prepared = false;
        return plan;
    }
    file.reset();
    if (!PathExists(system, fullBackups))
        system.MakeDirectory(fullBackups);
    system.MakeDirectory(plan.backupFolder);
    std::uint32_t attributes = system.FileAttributes(plan.backupFolder);
    if (attributes == kInvalidFileAttributes || (attributes & kFileAttributeDirectory) == 0) {
        system.RemoveFile(plan.catalogueFile);
        plan.prepared = false;
    }
    return plan;
}

FullBackupPlan PlanFullRestore(std::string_view programFolder, std::string_view name)
{
    FullBackupPlan plan;
    plan.mode = FullBackupMode::Restore;
    plan.name = std::string(name);
    plan.catalogueFile = JoinPath(RegistryBackupsPath(programFolder), name);
    plan.backupFolder = JoinPath(FullBackupsPath(programFolder), name);
    for (const char* file : {"HARDWARE", "SOFTWARE", "CUSOFTWARE"})
        plan.files.push_back({JoinPath(plan.backupFolder, file), ""});
    return plan;
}

FullBackupJob::FullBackupJob(Registry& registry, System& system, FullBackupSteps& steps, FullBackupPlan plan)
    : registry_(registry), system_(system), steps_(steps), plan_(std::move(plan))
{
}

FullBackupJob::~FullBackupJob()
{
    if (worker_.joinable()) {
        registry_.Cancel();
        worker_.join();
    }
}

FullBackupJob::State FullBackupJob::state() const
{
    std::lock_guard lock(stateMutex_);
    return state_;
}

void FullBackupJob::Start(std::function<void()> onFinished)
{
    if (worker_.joinable() || state() != State::Idle)
        return;
    onFinished_ = std::move(onFinished);
    {
        std::lock_guard lock(stateMutex_);
        state_ = State::Working;
    }
    running_.store(true);
    worker_ = std::thread([this] { Work(); });
}

void FullBackupJob::RunHere()
{
    if (worker_.joinable() || state() != State::Idle)
        return;
    {
        std::lock_guard lock(stateMutex_);
        state_ = State::Working;
    }
    running_.store(true);
    Work();
}

void FullBackupJob::Work()
{
    failedBeforeStart_ = !plan_.prepared;
    if (plan_.mode == FullBackupMode::Restore && plan_.prepared) {
        std::vector<std::string> paths;
        for (const FullBackupFile& f : plan_.files)
            paths.push_back(f.path);
        OverwriteUndo undo = steps_.SaveWhatRestoreOverwrites(registry_, paths);
        std::lock_guard lock(stateMutex_);
        failedBeforeStart_ = !undo.saved;
        undo_ = std::move(undo);
    }
    for (const FullBackupFile& f : plan_.files) {
        if (registry_.cancelled() || failedBeforeStart_)
            break;
        bool ok = false;
        if (plan_.mode == FullBackupMode::Create) {
            std::size_t skipped = 0;
            ok = steps_.WriteBranchFile(registry_, f.path, f.branch, &skipped);
            skippedKeys_.fetch_add(skipped);
        } else {
            ok = steps_.RestoreFile(registry_, f.path);
        }
        if (registry_.cancelled())
            break;
        if (ok) {
            filesDone_.fetch_add(1);
        } else {
            std::lock_guard lock(stateMutex_);
            failedFiles_.push_back(f.path);
        }
    }
    // A backup that is not whole is not kept: the catalogue would offer a restore that
    // silently lacks part of a branch.
    if (plan_.mode == FullBackupMode::Create && plan_.prepared && !registry_.cancelled() && !succeeded()) {
        system_.RemoveFile(plan_.catalogueFile);
        RemoveFullBackupFolder(system_, plan_.backupFolder);
    }
    bool finished = false;
    bool cancelled = false;
    {
        std::lock_guard lock(stateMutex_);
        if (state_ == State::Working) {
            state_ = State::Completed;
            finished = true;
        }
        cancelled = state_ == State::Cancelled;
        running_.store(false);
    }
    // A cancelled creation leaves nothing: its catalogue entry went when it was cancelled.
    if (cancelled && plan_.mode == FullBackupMode::Create)
        RemoveFullBackupFolder(system_, plan_.backupFolder);
    if (finished && onFinished_)
        onFinished_();
}

std::vector<std::string> FullBackupJob::failedFiles() const
{
    std::lock_guard lock(stateMutex_);
    return failedFiles_;
}

OverwriteUndo FullBackupJob::undo() const
{
    std::lock_guard lock(stateMutex_);
    return undo_;
}

bool FullBackupJob::succeeded() const
{
    std::lock_guard lock(stateMutex_);
    return !failedBeforeStart_ && failedFiles_.empty() && std::size_t(filesDone_.load()) == plan_.files.size();
}

const char* FullBackupCompletionText(FullBackupMode mode, bool succeeded)
{
    if (mode == FullBackupMode::Create)
        return succeeded ? backup_text::kCreatedDone : backup_text::kNotCreated;
    return succeeded ? backup_text::kRestoredDone : backup_text::kNotRestoredFully;
}

bool FullBackupJob::Cancel()
{
    bool running = false;
    {
        std::lock_guard lock(stateMutex_);
        bool justFinished = state_ == State::Completed && plan_.mode == FullBackupMode::Create;
        running = state_ == State::Working && running_.load();
        if (!running && !justFinished)
            return false;
        state_ = State::Cancelled;
    }
    if (running)
        registry_.Cancel();  // the worker removes the folder on its way out
    if (plan_.mode == FullBackupMode::Create)
        system_.RemoveFile(plan_.catalogueFile);  // at once: the backup is no longer offered
    if (!running) {
        Wait();
        RemoveFullBackupFolder(system_, plan_.backupFolder);
    }
    return true;
}

void FullBackupJob::Wait()
{
    if (worker_.joinable())
        worker_.join();
}

std::string FullBackupCompletionMessage(FullBackupMode mode, bool succeeded, std::size_t skippedKeys,
                                        std::string_view logPath, std::string_view undoMessage)
{
    std::string text(undoMessage);
    if (!text.empty())
        text += "\n";
    text += FullBackupCompletionText(mode, succeeded);
    if (mode == FullBackupMode::Create && succeeded && skippedKeys > 0)
        text += "\n" + backup_text::KeysLeftOutText(skippedKeys, logPath);
    return text;
}

}  // namespace tw
