#include "backup/backup_catalogue.h"
#include "backup/full_backup.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

const std::string kProgram = "C:\\Program Files\\Tarnwick";

TEST(FullBackupSnapshots, ThreeBranchesAreSavedAndMergedBack)
{
    ScratchMachine machine;
    MemoryRegistry registry;
    SetValue(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path", kRegSz, Str("c:\\vendor"));
    SetValue(registry, kLocalMachine, "HARDWARE\\DESCRIPTION\\System", "Id", kRegDword, B({1, 0, 0, 0}));
    SetValue(registry, kCurrentUser, "SOFTWARE\\Mine", "Flag", kRegBinary, B({7, 8}));
    SetValue(registry, kLocalMachine, "SYSTEM\\Other", "x", kRegSz, Str("not backed up"));
    std::unique_ptr<FullBackupSteps> steps = MakeSnapshotSteps(machine.system);
    FullBackupPlan plan = PrepareFullBackup(machine.system, kProgram, {2005, 3, 1, 7, 14, 5, 9, 0});
    FullBackupJob create(registry, machine.system, *steps, plan);
    create.Start();
    create.Wait();
    EXPECT_EQ(3, create.filesDone());
    for (const char* f : {"SOFTWARE", "HARDWARE", "CUSOFTWARE"}) {
        std::string text = machine.dir.ReadFile(plan.backupFolder + "\\" + f);
        const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n";
        EXPECT_EQ(head, text.substr(0, head.size())) << f;
    }
    EXPECT_NE(std::string::npos, machine.dir.ReadFile(plan.backupFolder + "\\CUSOFTWARE").find("<k name=\"Mine\">"));

    std::string before = DumpBranch(registry, kLocalMachine, "SOFTWARE") + DumpBranch(registry, kLocalMachine, "HARDWARE") +
                         DumpBranch(registry, kCurrentUser, "SOFTWARE");
    SetValue(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path", kRegSz, Str("changed"));
    WipeKey(registry, kCurrentUser, "SOFTWARE\\Mine");
    FullBackupJob restore(registry, machine.system, *steps, PlanFullRestore(kProgram, plan.name));
    restore.RunHere();
    EXPECT_EQ(3, restore.filesDone());
    EXPECT_EQ(before, DumpBranch(registry, kLocalMachine, "SOFTWARE") + DumpBranch(registry, kLocalMachine, "HARDWARE") +
                          DumpBranch(registry, kCurrentUser, "SOFTWARE"));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

}  // namespace
}  // namespace tw::test
