#include "backup/backup_catalogue.h"
#include "backup/backup_process_model.h"
#include "backup/full_backup.h"
#include "backup/backup_restore.h"
#include "log/activity_log.h"
#include "platform/program_info.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tw::test {
namespace {

Bytes Read(Registry& registry, HKey root, const std::string& path, const char* name)
{
    std::uint32_t type = 0;
    Bytes data;
    GetValue(registry, root, path, name, &type, &data);
    return data;
}

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

// A restore goes on past a snapshot file that is missing or unreadable, and says it was not
// complete.
TEST(FullBackupSnapshots, MissingOrUnreadableFilesAreRestoredAroundAndReported)
{
    ScratchMachine machine;
    MemoryRegistry registry;
    SetValue(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path", kRegSz, Str("c:\\vendor"));
    SetValue(registry, kLocalMachine, "HARDWARE\\Bus", "Id", kRegDword, B({1, 0, 0, 0}));
    SetValue(registry, kCurrentUser, "SOFTWARE\\Mine", "Flag", kRegSz, Str("kept"));
    std::unique_ptr<FullBackupSteps> steps = MakeSnapshotSteps(machine.system);
    FullBackupPlan plan = PrepareFullBackup(machine.system, kProgram, {2005, 3, 1, 7, 14, 5, 9, 0});
    FullBackupJob create(registry, machine.system, *steps, plan);
    create.RunHere();
    ASSERT_TRUE(create.succeeded());
    SetValue(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path", kRegSz, Str("changed"));
    SetValue(registry, kCurrentUser, "SOFTWARE\\Mine", "Flag", kRegSz, Str("changed"));

    machine.system.RemoveFile(plan.backupFolder + "\\HARDWARE");
    FullBackupJob missing(registry, machine.system, *steps, PlanFullRestore(kProgram, plan.name));
    missing.RunHere();
    EXPECT_FALSE(missing.succeeded());
    EXPECT_EQ(std::vector<std::string>{plan.backupFolder + "\\HARDWARE"}, missing.failedFiles());
    EXPECT_EQ(Str("c:\\vendor"), Read(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path"));
    EXPECT_EQ(Str("kept"), Read(registry, kCurrentUser, "SOFTWARE\\Mine", "Flag"));
    EXPECT_STREQ("Full registry backup was not completely restored.",
                 BackupProcessModel(FullBackupMode::Restore).Complete(missing.succeeded()));

    machine.dir.WriteFile(plan.backupFolder + "\\HARDWARE", "not a snapshot\r\n");
    FullBackupJob unreadable(registry, machine.system, *steps, PlanFullRestore(kProgram, plan.name));
    unreadable.RunHere();
    EXPECT_FALSE(unreadable.succeeded());
    EXPECT_EQ(2, unreadable.filesDone());

    // Values the registry refuses to write (no rights to the branch) leave the restore
    // incomplete too; the rest is still written.
    machine.system.RemoveFile(plan.backupFolder + "\\HARDWARE");
    SetValue(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path", kRegSz, Str("changed"));
    ASSERT_TRUE(registry.RefuseWriteAccess(kLocalMachine, "SOFTWARE\\Vendor"));
    FullBackupPlan whole = PrepareFullBackup(machine.system, kProgram, {2005, 3, 1, 7, 14, 6, 0, 0});
    FullBackupJob again(registry, machine.system, *steps, whole);
    again.RunHere();
    ASSERT_TRUE(again.succeeded());
    SetValue(registry, kCurrentUser, "SOFTWARE\\Mine", "Flag", kRegSz, Str("changed again"));
    FullBackupJob refused(registry, machine.system, *steps, PlanFullRestore(kProgram, whole.name));
    refused.RunHere();
    EXPECT_FALSE(refused.succeeded());
    EXPECT_EQ(std::vector<std::string>{whole.backupFolder + "\\SOFTWARE"}, refused.failedFiles());
    EXPECT_EQ(Str("changed"), Read(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path"));
    EXPECT_EQ(Str("kept"), Read(registry, kCurrentUser, "SOFTWARE\\Mine", "Flag"));
}

// Keys that cannot be read are left out; each one is counted and written into the log.
TEST(FullBackupSnapshots, KeysLeftOutAreCountedAndLogged)
{
    ScratchMachine machine;
    MemoryRegistry registry;
    SetValue(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path", kRegSz, Str("c:\\vendor"));
    SetValue(registry, kCurrentUser, "SOFTWARE\\A\\Locked", "x", kRegSz, Str("1"));
    SetValue(registry, kCurrentUser, "SOFTWARE\\A\\Open", "y", kRegSz, Str("2"));
    ActivityLog log(machine.system);
    log.Open();
    std::unique_ptr<FullBackupSteps> steps = MakeSnapshotSteps(machine.system, &log);
    FullBackupPlan plan = PrepareFullBackup(machine.system, kProgram, {2005, 3, 1, 7, 14, 5, 9, 0});
    FullBackupJob create(registry, machine.system, *steps, plan);
    // HKLM\SOFTWARE is opened and walked (2 keys), HKLM\HARDWARE is missing; under
    // HKCU\SOFTWARE the 5th open is "A", the 6th "Locked".
    registry.InjectFault(RegOp::OpenKey, 6, kErrorAccessDenied);
    create.RunHere();
    EXPECT_TRUE(create.succeeded());
    EXPECT_EQ(2u, create.skippedKeys());
    std::string snapshot = machine.dir.ReadFile(plan.backupFolder + "\\CUSOFTWARE");
    EXPECT_NE(std::string::npos, snapshot.find("<k name=\"Open\">"));
    EXPECT_EQ(std::string::npos, snapshot.find("Locked"));
    std::string logPath = log.path();
    log.Close();
    std::string text = machine.dir.ReadFile(logPath);
    EXPECT_NE(std::string::npos, text.find("Full backup: key left out, it cannot be read: HKEY_LOCAL_MACHINE\\HARDWARE\r\n"));
    EXPECT_NE(std::string::npos,
              text.find("Full backup: key left out, it cannot be read: HKEY_CURRENT_USER\\SOFTWARE\\A\\Locked\r\n"));
}

// A restore saves the values it writes over with other data into a backup of their own before
// it writes anything; restoring that backup undoes the restore.
TEST(FullBackupSnapshots, WhatARestoreWritesOverIsSavedFirstAndUndoesIt)
{
    ScratchMachine machine;
    MemoryRegistry registry;
    SetValue(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path", kRegSz, Str("c:\\vendor"));
    SetValue(registry, kLocalMachine, "SOFTWARE\\Vendor", "Size", kRegDword, B({1, 0, 0, 0}));
    SetValue(registry, kCurrentUser, "SOFTWARE\\Иван\\Ελληνικά", "Имя", kRegSz, Str("Ζεύς 雷"));
    SetValue(registry, kCurrentUser, "SOFTWARE\\Mine", "Odd", kRegSz, B({'a', 0, 'b'}));
    std::unique_ptr<FullBackupSteps> steps = MakeSnapshotSteps(machine.system);
    FullBackupPlan plan = PrepareFullBackup(machine.system, kProgram, {2005, 3, 1, 7, 14, 5, 9, 0});
    FullBackupJob create(registry, machine.system, *steps, plan);
    create.RunHere();
    ASSERT_TRUE(create.succeeded());

    // Restored over an unchanged registry, nothing is written over (the names and texts of any
    // script, and a string in the exact form, compare equal) and no backup is made.
    FullBackupJob same(registry, machine.system, *steps, PlanFullRestore(kProgram, plan.name));
    same.RunHere();
    EXPECT_TRUE(same.succeeded());
    EXPECT_EQ(0u, same.undo().values);
    EXPECT_TRUE(same.undo().backupPath.empty());
    const std::string backups = ProgramFolder(machine.system) + "\\Registry Backups";
    const std::size_t catalogued = machine.dir.List(backups).size();

    SetValue(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path", kRegExpandSz, Str("c:\\new"));
    SetValue(registry, kCurrentUser, "SOFTWARE\\Иван\\Ελληνικά", "Имя", kRegSz, Str("Ζεύς"));
    SetValue(registry, kCurrentUser, "SOFTWARE\\Mine", "Added", kRegSz, Str("not in the backup"));
    const std::string changed = DumpBranch(registry, kLocalMachine, "SOFTWARE") + DumpBranch(registry, kCurrentUser, "SOFTWARE");
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 6, 0, 0});
    FullBackupJob restore(registry, machine.system, *steps, PlanFullRestore(kProgram, plan.name));
    restore.RunHere();
    ASSERT_TRUE(restore.succeeded());
    const OverwriteUndo undo = restore.undo();
    EXPECT_EQ(2u, undo.values);
    EXPECT_EQ(backups + "\\2005-03-07_14-06-00.reg", undo.backupPath);
    EXPECT_EQ(catalogued + 1, machine.dir.List(backups).size());
    EXPECT_EQ("2 values held other data and were written over; what they held is saved in the backup "
              "2005-03-07_14-06-00.reg.\nFull registry backup was restored.",
              BackupProcessModel(FullBackupMode::Restore).Complete(restore, ""));
    EXPECT_EQ(Str("c:\\vendor"), Read(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path"));

    BackupListing listing = ListRepairBackupItems(machine.system, undo.backupPath);
    std::vector<std::string> paths;
    for (const BackupItem& item : listing.items)
        paths.push_back(item.path);
    EXPECT_EQ((std::vector<std::string>{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor",
                                        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor [Path]",
                                        "HKEY_CURRENT_USER\\SOFTWARE\\Иван\\Ελληνικά",
                                        "HKEY_CURRENT_USER\\SOFTWARE\\Иван\\Ελληνικά [Имя]"}),
              paths);
    EXPECT_TRUE(RestoreRepairBackup(registry, machine.system, undo.backupPath, {}).restored);
    EXPECT_EQ(changed, DumpBranch(registry, kLocalMachine, "SOFTWARE") + DumpBranch(registry, kCurrentUser, "SOFTWARE"));
}

// When what the restore would write over cannot be saved, nothing is restored.
TEST(FullBackupSnapshots, ARestoreWhoseOverwrittenValuesCannotBeSavedWritesNothing)
{
    ScratchMachine machine;
    MemoryRegistry registry;
    SetValue(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path", kRegSz, Str("c:\\vendor"));
    std::unique_ptr<FullBackupSteps> steps = MakeSnapshotSteps(machine.system);
    FullBackupPlan plan = PrepareFullBackup(machine.system, kProgram, {2005, 3, 1, 7, 14, 5, 9, 0});
    FullBackupJob create(registry, machine.system, *steps, plan);
    create.RunHere();
    ASSERT_TRUE(create.succeeded());
    SetValue(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path", kRegSz, Str("changed"));
    WipeKey(registry, kCurrentUser, "SOFTWARE");
    // The backup of what is written over goes beside the catalogue: a file where that folder
    // should be keeps it from being written.
    const std::string backups = ProgramFolder(machine.system) + "\\Registry Backups";
    std::filesystem::remove_all(machine.dir.Host(backups));
    machine.dir.WriteFile(backups, "a file where the folder should be");
    FullBackupJob restore(registry, machine.system, *steps, PlanFullRestore(kProgram, plan.name));
    restore.RunHere();
    EXPECT_FALSE(restore.succeeded());
    EXPECT_FALSE(restore.undo().saved);
    EXPECT_EQ(0, restore.filesDone());
    EXPECT_EQ(Str("changed"), Read(registry, kLocalMachine, "SOFTWARE\\Vendor", "Path"));
    EXPECT_EQ("(missing)", DumpBranch(registry, kCurrentUser, "SOFTWARE"));
    EXPECT_EQ("The values the restore would write over could not be saved first, so nothing was restored.\n"
              "Full registry backup was not completely restored.",
              BackupProcessModel(FullBackupMode::Restore).Complete(restore, ""));
}

}  // namespace
}  // namespace tw::test
