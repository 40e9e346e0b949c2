// Full registry backups: HKEY_LOCAL_MACHINE\SOFTWARE, HKEY_LOCAL_MACHINE\HARDWARE and
// HKEY_CURRENT_USER\SOFTWARE saved as three snapshot files in a folder of "Full Backups",
// made visible to the picker by an empty catalogue file of the same name in "Registry
// Backups", and written back in the order HARDWARE, SOFTWARE, CUSOFTWARE.
//
// Both directions run on one worker thread behind the progress window. The window's model
// (`BackupProcessModel`, backup_process_model.h) owns the texts, the bar that only shows that work goes on, and the
// cancel rule; the job (`FullBackupJob`) owns the worker. Cancel is cooperative: the worker
// reads and writes the registry through a CancellableRegistry, which stops answering when
// cancelled, so the snapshot code unwinds at the next key and the thread ends on its own. A
// cancelled creation deletes its catalogue file at once and its half-written folder as the
// worker ends (what a worker killed with the program leaves, PruneOrphanFullBackups removes
// at the next start); the window says it was cancelled once the worker has ended.
//
// A backup is only left in the catalogue when it is whole: one whose catalogue file or folder
// cannot be made is not started, and one whose snapshot file could not be written in full is
// removed (catalogue file and folder) before the user is told that it could not be created.
// Keys that cannot be read are left out of the snapshot with their subtrees; each one's path
// goes into the activity log and the job counts them. A restore whose snapshot file is
// missing or unreadable restores the other files and says it was not complete.
#pragma once

#include "backup/backup_restore.h"
#include "backup/cancellable_registry.h"
#include "platform/registry.h"
#include "platform/system.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tw {

class ActivityLog;

enum class FullBackupMode { Create, Restore };

struct FullBackupFile {
    std::string path;    // the snapshot file
    std::string branch;  // the full key path it holds (for creation)
};

struct FullBackupPlan {
    FullBackupMode mode = FullBackupMode::Create;
    std::string name;           // FullBackupName
    std::string backupFolder;   // "Full Backups\<name>"
    std::string catalogueFile;  // "Registry Backups\<name>"
    std::vector<FullBackupFile> files;  // in the order the worker takes them
    // Creation: false when the catalogue file or the backup folder could not be made (what
    // was made of them is removed again); the worker then writes nothing and fails.
    bool prepared = true;
};

// Creation: forms the name from `now` ("FULL 2005-03-07_14-05-09.reg", or "..._2.reg" and so
// on when a full backup of that second exists), makes the empty catalogue file and the
// folders; `prepared` says whether they could be made.
FullBackupPlan PrepareFullBackup(System& system, std::string_view programFolder, const LocalTime& now);
// Restore of the full backup `name` (a catalogue name, "FULL ...").
FullBackupPlan PlanFullRestore(std::string_view programFolder, std::string_view name);

// What the worker does with each file, so that the worker can be exercised on its own.
class FullBackupSteps {
public:
    virtual ~FullBackupSteps() = default;
    // Writes the snapshot of `branch` into a new file at `path`; false when the file could
    // not be written in full. Each key left out because it cannot be read is counted in
    // `*skippedKeys`.
    virtual bool WriteBranchFile(Registry& registry, const std::string& path, const std::string& branch,
                                 std::size_t* skippedKeys) = 0;
    // Merges the snapshot file at `path` into the registry; false when the file is missing or
    // unreadable, or a key of it could be neither opened nor created.
    virtual bool RestoreFile(Registry& registry, const std::string& path) = 0;
    // Before a restore writes anything: saves what restoring the files would write over, so
    // that the restore can be undone. When that fails, nothing is restored. The default has
    // nothing to save.
    virtual OverwriteUndo SaveWhatRestoreOverwrites(Registry&, const std::vector<std::string>&) { return {}; }
};

// The snapshot files of the program (XmlWriter + WriteBranchSnapshot, RestoreSnapshotFile).
// With a log, each key left out of a snapshot is written into it.
std::unique_ptr<FullBackupSteps> MakeSnapshotSteps(System& system, ActivityLog* log = nullptr);

// The text the progress window ends with: created / restored, or that it was not.
const char* FullBackupCompletionText(FullBackupMode mode, bool succeeded);
// The whole completion message: that text and, for a backup made without keys that could
// not be read, how many and where the activity log (at `logPath`) names them.
// A restore's message begins with what it says of the values it wrote over (`undoMessage`).
std::string FullBackupCompletionMessage(FullBackupMode mode, bool succeeded, std::size_t skippedKeys,
                                        std::string_view logPath, std::string_view undoMessage = {});

class FullBackupJob {
public:
    enum class State { Idle, Working, Completed, Cancelled };

    FullBackupJob(Registry& registry, System& system, FullBackupSteps& steps, FullBackupPlan plan);
    // Cancels a worker still running and waits for it.
    ~FullBackupJob();
    FullBackupJob(const FullBackupJob&) = delete;
    FullBackupJob& operator=(const FullBackupJob&) = delete;

    // Starts the worker. `onFinished` runs on the worker thread once it has done its work
    // (not after a cancel); the window posts itself a message from there.
    void Start(std::function<void()> onFinished = {});
    // Runs the work on the calling thread (the command line).
    void RunHere();
    bool IsRunning() const { return running_.load(); }
    State state() const;
    // Cancel confirmed by the user: true when the work is cancelled. A running worker is
    // told to stop (it stops at the next key); a creation loses its catalogue file at once
    // and its folder as the worker ends. A creation whose worker finished while the user was
    // answering is removed the same way: the user asked for no backup. False when there is
    // nothing to cancel (a restore already over, a job never started, one cancelled).
    bool Cancel();
    // Waits for the worker thread to end.
    void Wait();

    const FullBackupPlan& plan() const { return plan_; }
    // Files whose step reported success.
    int filesDone() const { return filesDone_.load(); }
    // Files whose step reported a failure (a snapshot not written in full, a key that could
    // not be restored); read once the worker has ended.
    std::vector<std::string> failedFiles() const;
    // The worker ended with everything done: every file written or restored in full (and,
    // for a creation, the catalogue file and folder made).
    bool succeeded() const;
    // Keys left out of the snapshots because they cannot be read.
    std::size_t skippedKeys() const { return skippedKeys_.load(); }
    // A restore's saving of what it writes over; read once the worker has ended.
    OverwriteUndo undo() const;

private:
    void Work();

    CancellableRegistry registry_;
    System& system_;
    FullBackupSteps& steps_;
    FullBackupPlan plan_;
    std::thread worker_;
    std::atomic<bool> running_{false};
    std::atomic<int> filesDone_{0};
    std::atomic<std::size_t> skippedKeys_{0};
    bool failedBeforeStart_ = false;
    std::vector<std::string> failedFiles_;
    OverwriteUndo undo_;
    mutable std::mutex stateMutex_;
    State state_ = State::Idle;
    std::function<void()> onFinished_;
};

}  // namespace tw
