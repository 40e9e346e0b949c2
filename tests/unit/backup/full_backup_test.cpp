#include "backup/backup_catalogue.h"
#include "backup/backup_process_model.h"
#include "backup/full_backup.h"
#include "platform/key_handle.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace tw::test {
namespace {

const std::string kProgram = "C:\\Program Files\\Tarnwick";

// Records the order of the files and walks the branch key by key through the registry it is
// given, as the snapshot writer does; it can hold the worker at its first file until the test
// lets it go.
class RecordingSteps final : public FullBackupSteps {
public:
    bool WriteBranchFile(Registry& registry, const std::string& path, const std::string& branch,
                         std::size_t* /*skippedKeys*/) override
    {
        Enter(path);
        bool walked = Walk(registry, branch);
        return path.substr(path.rfind('\\') + 1) != failWriting && walked;
    }
    bool RestoreFile(Registry& registry, const std::string& path) override
    {
        Enter(path);
        return Walk(registry, "HKEY_CURRENT_USER\\SOFTWARE");
    }
    void HoldFirstFile()
    {
        std::lock_guard lock(mutex_);
        hold_ = true;
    }
    void WaitUntilHeld()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return held_; });
    }
    void Release()
    {
        std::lock_guard lock(mutex_);
        hold_ = false;
        changed_.notify_all();
    }
    std::vector<std::string> files;
    std::size_t keysWalked = 0;
    std::string failWriting;  // the snapshot file whose writing fails

private:
    void Enter(const std::string& path)
    {
        std::unique_lock lock(mutex_);
        files.push_back(path.substr(path.rfind('\\') + 1));
        held_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return !hold_; });
    }
    bool Walk(Registry& registry, const std::string& branch)
    {
        KeyHandle key(registry);
        std::string sub = branch.substr(branch.find('\\') + 1);
        HKey root = branch.rfind("HKEY_CURRENT_USER", 0) == 0 ? kCurrentUser : kLocalMachine;
        if (registry.OpenKey(root, sub.c_str(), key.Put()) != kSuccess)
            return false;
        return WalkKey(registry, key.get());
    }
    bool WalkKey(Registry& registry, HKey key)
    {
        ++keysWalked;
        char name[256];
        for (std::uint32_t i = 0;; ++i) {
            std::uint32_t length = sizeof name;
            long status = registry.EnumKeyEx(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == kErrorNoMoreItems)
                return true;
            if (status != kSuccess)
                return false;
            KeyHandle child(registry);
            if (registry.OpenKey(key, name, child.Put()) != kSuccess || !WalkKey(registry, child.get()))
                return false;
        }
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    bool hold_ = false;
    bool held_ = false;
};

TEST(FullBackup, CreationMakesTheCatalogueFileAndFolderAndWritesInOrder)
{
    ScratchMachine machine;
    MemoryRegistry registry;
    CreateKey(registry, kLocalMachine, "SOFTWARE\\A");
    CreateKey(registry, kLocalMachine, "HARDWARE");
    CreateKey(registry, kCurrentUser, "SOFTWARE");
    FullBackupPlan plan = PrepareFullBackup(machine.system, kProgram, {2005, 3, 1, 7, 14, 5, 9, 0});
    EXPECT_EQ("FULL 2005-03-07_14-05-09.reg", plan.name);
    EXPECT_EQ("", machine.dir.ReadFile(kProgram + "\\Registry Backups\\FULL 2005-03-07_14-05-09.reg"));
    EXPECT_TRUE(machine.dir.Exists(kProgram + "\\Full Backups\\FULL 2005-03-07_14-05-09.reg"));
    RecordingSteps steps;
    FullBackupJob job(registry, machine.system, steps, plan);
    bool finished = false;
    job.Start([&] { finished = true; });
    job.Wait();
    EXPECT_TRUE(finished);
    EXPECT_EQ(FullBackupJob::State::Completed, job.state());
    EXPECT_TRUE(job.succeeded());
    EXPECT_EQ((std::vector<std::string>{"SOFTWARE", "HARDWARE", "CUSOFTWARE"}), steps.files);

    FullBackupPlan restore = PlanFullRestore(kProgram, plan.name);
    RecordingSteps restoreSteps;
    FullBackupJob restoreJob(registry, machine.system, restoreSteps, restore);
    restoreJob.RunHere();
    EXPECT_EQ((std::vector<std::string>{"HARDWARE", "SOFTWARE", "CUSOFTWARE"}), restoreSteps.files);

    // A second full backup in the same second (the command line while the window makes
    // one) takes a name and a folder of its own instead of overwriting this one's files.
    FullBackupPlan second = PrepareFullBackup(machine.system, kProgram, {2005, 3, 1, 7, 14, 5, 9, 0});
    EXPECT_EQ("FULL 2005-03-07_14-05-09_2.reg", second.name);
    EXPECT_EQ(kProgram + "\\Full Backups\\FULL 2005-03-07_14-05-09_2.reg\\SOFTWARE", second.files.at(0).path);
    EXPECT_TRUE(machine.dir.Exists(kProgram + "\\Registry Backups\\FULL 2005-03-07_14-05-09_2.reg"));
    EXPECT_TRUE(machine.dir.Exists(kProgram + "\\Full Backups\\FULL 2005-03-07_14-05-09_2.reg"));
}

TEST(FullBackup, CancelStopsTheWorkerBetweenKeysAndDropsTheCatalogueEntry)
{
    ScratchMachine machine;
    MemoryRegistry registry;
    for (int i = 0; i < 50; ++i)
        CreateKey(registry, kLocalMachine, "SOFTWARE\\K" + std::to_string(i) + "\\Sub");
    FullBackupPlan plan = PrepareFullBackup(machine.system, kProgram, {2005, 3, 1, 7, 14, 5, 9, 0});
    RecordingSteps steps;
    steps.HoldFirstFile();
    FullBackupJob job(registry, machine.system, steps, plan);
    BackupProcessModel window(FullBackupMode::Create);
    EXPECT_STREQ("Creating backup...", window.statusText());
    EXPECT_STREQ("Do you want to cancel full backup procedure?", window.cancelQuestion());
    bool finished = false;
    job.Start([&] { finished = true; });
    steps.WaitUntilHeld();
    EXPECT_TRUE(window.ConfirmCancel(job));
    // The catalogue entry goes at once, while the worker is still at its first file.
    EXPECT_FALSE(machine.dir.Exists(plan.catalogueFile));
    steps.Release();
    job.Wait();
    EXPECT_FALSE(finished);
    EXPECT_EQ(FullBackupJob::State::Cancelled, job.state());
    EXPECT_EQ(std::vector<std::string>{"SOFTWARE"}, steps.files);
    EXPECT_LE(steps.keysWalked, 1u);
    EXPECT_EQ(0u, registry.OpenHandleCount());
    // A second Cancel, or one after the end, changes nothing.
    EXPECT_FALSE(job.Cancel());
    // The half-made folder went with the worker: nothing is left for the next start.
    EXPECT_FALSE(machine.dir.Exists(plan.backupFolder));
    EXPECT_EQ(0, PruneOrphanFullBackups(machine.system, kProgram));
    EXPECT_STREQ("Full registry backup was cancelled. No backup was kept.", window.cancelledText());
}

TEST(FullBackup, YesToCancelAfterTheWorkerFinishedStillLeavesNoBackup)
{
    // The worker ends while the user reads "Do you want to cancel full backup procedure?":
    // the answer Yes is what counts, not the completion queued behind it.
    ScratchMachine machine;
    MemoryRegistry registry;
    CreateKey(registry, kLocalMachine, "SOFTWARE");
    CreateKey(registry, kLocalMachine, "HARDWARE");
    CreateKey(registry, kCurrentUser, "SOFTWARE");
    RecordingSteps steps;
    FullBackupPlan plan = PrepareFullBackup(machine.system, kProgram, {2005, 3, 1, 7, 14, 5, 9, 0});
    FullBackupJob job(registry, machine.system, steps, plan);
    BackupProcessModel window(FullBackupMode::Create);
    bool finished = false;
    job.Start([&] { finished = true; });
    job.Wait();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(window.ConfirmCancel(job));
    EXPECT_FALSE(machine.dir.Exists(plan.catalogueFile));
    EXPECT_FALSE(machine.dir.Exists(plan.backupFolder));
    EXPECT_EQ(FullBackupJob::State::Cancelled, job.state());
    EXPECT_FALSE(window.ConfirmCancel(job));

    // A restore that is over has nothing left to cancel.
    FullBackupPlan restorePlan = PlanFullRestore(kProgram, "FULL 2005-03-07_14-05-09.reg");
    FullBackupJob restore(registry, machine.system, steps, restorePlan);
    restore.RunHere();
    EXPECT_FALSE(BackupProcessModel(FullBackupMode::Restore).ConfirmCancel(restore));
}

TEST(FullBackup, ABackupWithoutUnreadableKeysSaysHowManyAndWhereTheLogNamesThem)
{
    EXPECT_EQ("Full registry backup is created.",
              FullBackupCompletionMessage(FullBackupMode::Create, true, 0, "C:\\T\\Log\\log.twlog"));
    EXPECT_EQ("Full registry backup is created.\n3 keys could not be read and are not in the backup.\n"
              "The activity log names each one:\nC:\\T\\Log\\log.twlog",
              FullBackupCompletionMessage(FullBackupMode::Create, true, 3, "C:\\T\\Log\\log.twlog"));
    EXPECT_EQ("Full registry backup is created.\n1 key could not be read and is not in the backup.",
              FullBackupCompletionMessage(FullBackupMode::Create, true, 1, ""));
    EXPECT_EQ("Full registry backup could not be created.",
              FullBackupCompletionMessage(FullBackupMode::Create, false, 3, "C:\\x.twlog"));

    // Through the job: a branch that cannot be read (here HKLM\\HARDWARE is missing) is counted.
    ScratchMachine machine;
    MemoryRegistry registry;
    CreateKey(registry, kLocalMachine, "SOFTWARE\\Open");
    CreateKey(registry, kCurrentUser, "SOFTWARE");
    std::unique_ptr<FullBackupSteps> steps = MakeSnapshotSteps(machine.system);
    FullBackupPlan plan = PrepareFullBackup(machine.system, kProgram, {2005, 3, 1, 7, 14, 5, 9, 0});
    FullBackupJob job(registry, machine.system, *steps, plan);
    job.RunHere();
    BackupProcessModel window(FullBackupMode::Create);
    EXPECT_EQ("Full registry backup is created.\n1 key could not be read and is not in the backup.\n"
              "The activity log names each one:\nC:\\log",
              window.Complete(job, "C:\\log"));
    EXPECT_EQ(100, window.position());
}

TEST(FullBackup, ProgressWindowModel)
{
    BackupProcessModel window(FullBackupMode::Restore);
    EXPECT_STREQ("Restoring backup...", window.statusText());
    EXPECT_STREQ("Do you want to cancel full backup restore?", window.cancelQuestion());
    for (int i = 0; i < 50; ++i)
        window.Tick();
    EXPECT_EQ(100, window.position());
    window.Tick();
    EXPECT_EQ(0, window.position());
    EXPECT_STREQ("Full registry backup was restored.", window.Complete(true));
    EXPECT_EQ(100, window.position());
    EXPECT_STREQ("Full registry backup is created.", BackupProcessModel(FullBackupMode::Create).Complete(true));
    EXPECT_STREQ("Full registry backup could not be created.",
                 BackupProcessModel(FullBackupMode::Create).Complete(false));
    EXPECT_STREQ("Full registry backup was not completely restored.",
                 BackupProcessModel(FullBackupMode::Restore).Complete(false));

    // After completion Cancel has no effect.
    ScratchMachine machine;
    MemoryRegistry registry;
    CreateKey(registry, kLocalMachine, "SOFTWARE");
    CreateKey(registry, kLocalMachine, "HARDWARE");
    CreateKey(registry, kCurrentUser, "SOFTWARE");
    RecordingSteps steps;
    FullBackupPlan plan = PrepareFullBackup(machine.system, kProgram, {2005, 3, 1, 7, 14, 5, 9, 0});
    FullBackupJob job(registry, machine.system, steps, plan);
    job.RunHere();
    EXPECT_TRUE(job.succeeded());
    BackupProcessModel done(FullBackupMode::Create);
    done.Complete(job.succeeded());
    EXPECT_FALSE(done.ConfirmCancel(job));
    EXPECT_TRUE(machine.dir.Exists(plan.catalogueFile));
}

// A backup that could not be made whole is not left behind, and the window says so.
TEST(FullBackup, ABackupThatCannotBeMadeWholeLeavesNothingBehind)
{
    const LocalTime when{2005, 3, 1, 7, 14, 5, 9, 0};
    MemoryRegistry registry;
    {
        // "Registry Backups" is a file: no catalogue file, so no folder either.
        ScratchMachine machine;
        machine.dir.WriteFile(kProgram + "\\Registry Backups", "in the way");
        FullBackupPlan plan = PrepareFullBackup(machine.system, kProgram, when);
        EXPECT_FALSE(plan.prepared);
        EXPECT_FALSE(machine.dir.Exists(kProgram + "\\Full Backups\\" + plan.name));
        RecordingSteps steps;
        FullBackupJob job(registry, machine.system, steps, plan);
        job.RunHere();
        EXPECT_TRUE(steps.files.empty());
        EXPECT_FALSE(job.succeeded());
        BackupProcessModel window(FullBackupMode::Create);
        EXPECT_STREQ("Full registry backup could not be created.", window.Complete(job.succeeded()));
    }
    {
        // "Full Backups" is a file: the catalogue file made first goes again.
        ScratchMachine machine;
        machine.dir.WriteFile(kProgram + "\\Full Backups", "in the way");
        FullBackupPlan plan = PrepareFullBackup(machine.system, kProgram, when);
        EXPECT_FALSE(plan.prepared);
        EXPECT_FALSE(machine.dir.Exists(plan.catalogueFile));
    }
    {
        // A snapshot not written in full: catalogue file and folder are removed.
        ScratchMachine machine;
        FullBackupPlan plan = PrepareFullBackup(machine.system, kProgram, when);
        ASSERT_TRUE(plan.prepared);
        RecordingSteps steps;
        steps.failWriting = "HARDWARE";
        FullBackupJob job(registry, machine.system, steps, plan);
        job.Start();
        job.Wait();
        EXPECT_EQ(FullBackupJob::State::Completed, job.state());
        EXPECT_FALSE(job.succeeded());
        EXPECT_FALSE(machine.dir.Exists(plan.catalogueFile));
        EXPECT_FALSE(machine.dir.Exists(plan.backupFolder));
        EXPECT_TRUE(ListCatalogue(machine.system, kProgram, CatalogueKind::FullBackups).empty());
    }
}

}  // namespace
}  // namespace tw::test
