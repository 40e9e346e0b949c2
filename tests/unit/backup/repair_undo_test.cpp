// Undo in one step: a repair taken back whole (registry and shortcut files), once only, with
// what the undo writes over saved first, and the record of which repair comes next.
#include "backup/repair_undo.h"

#include "backup/backup_messages.h"
#include "backup/repair.h"
#include "backup/backup_catalogue.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"
#include "unit/backup/backup_test_support.h"
#include "unit/scan/scan_test_support.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

const char* const kProgram = "C:\\Program Files\\Tarnwick";
const std::string kBackups = std::string(kProgram) + "\\Registry Backups";
const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kAppPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe";

std::string LinkText(const std::string& target)
{
    const std::vector<std::uint8_t> bytes = LinkFileBytes(target);
    return std::string(bytes.begin(), bytes.end());
}

class RepairUndo : public ::testing::Test {
protected:
    void Add(const std::string& keyPath, const char* deleteType, const char* valueName, bool excluded = false)
    {
        auto record = std::make_unique<ProblemRecord>();
        record->section = "Startup Programs";
        record->keyPath = keyPath;
        record->deleteType = deleteType;
        if (valueName)
            record->value = std::make_unique<ValueEntry>(ValueEntry{valueName, "", kRegSz});
        record->excluded = excluded ? 1 : 0;
        engine.problems().push_back(std::move(record));
    }
    // A key with every kind of value, two values of one key (one unticked), and a shortcut.
    void SeedAndList()
    {
        SeedEveryKind(registry, kLocalMachine, kAppPath);
        SetValue(registry, kLocalMachine, kRun, kGone, kRegSz, Str(kGoneData));
        SetValue(registry, kLocalMachine, kRun, "Kept", kRegSz, Str("c:\\kept.exe"));
        SetValue(registry, kLocalMachine, kRun, "Here", kRegSz, Str("c:\\here.exe"));
        Add("HKEY_LOCAL_MACHINE\\" + kAppPath, "KEY", "(Default)");
        Add("HKEY_LOCAL_MACHINE\\" + kRun, "VAL", kGone);
        Add("HKEY_LOCAL_MACHINE\\" + kRun, "VAL", "Kept", true);
        machine.dir.WriteFile(kLink, LinkText("C:\\Gone\\a.exe"));
        shortcuts.brokenList.push_back({kLink, 0});
    }
    std::string Dump()
    {
        return DumpBranch(registry, kLocalMachine, "SOFTWARE") + DumpBranch(registry, kCurrentUser, "");
    }
    RepairOutcome RepairNow()
    {
        RepairOutcome outcome = Repair(engine, shortcuts, kProgram);
        EXPECT_FALSE(outcome.backupFailed);
        return outcome;
    }

    // Names, texts and folders of any script.
    static constexpr const char* kGone = "Ушёл Ελληνικά 消失";
    static constexpr const char* kGoneData = "c:\\Программы\\ушёл.exe";
    const std::string kLink = "C:\\Users\\Иван\\Desktop\\消えた.lnk";
    MemoryRegistry registry;
    ScratchMachine machine;
    ActivityLog log{machine.system};
    ScanEngine engine{registry, machine.system, log};
    CShortcut shortcuts{machine.system};
};

TEST_F(RepairUndo, RepairThenUndoLeavesTheRegistryAndTheShortcutsAsBefore)
{
    SeedAndList();
    const std::string before = Dump();
    const std::string link = machine.dir.ReadFile(kLink);
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
    RepairOutcome repaired = RepairNow();
    ASSERT_EQ(1, repaired.counts.keys);
    ASSERT_EQ(1, repaired.counts.values);
    ASSERT_EQ(1, repaired.counts.shortcuts);
    ASSERT_NE(before, Dump());
    ASSERT_FALSE(machine.dir.Exists(kLink));
    EXPECT_EQ("2005-03-07_14-05-09.reg", ReadLastRepair(machine.system, kProgram).backupName);

    UndoOutcome undo = UndoLastRepair(registry, machine.system, log, kProgram);
    EXPECT_EQ(UndoOutcome::Status::Undone, undo.status);
    EXPECT_EQ(before, Dump());
    EXPECT_EQ(link, machine.dir.ReadFile(kLink));
    // Nothing held other data, so no backup of what it wrote over was needed.
    EXPECT_EQ(0u, undo.restore.overwritten);
    ASSERT_EQ(1u, undo.messages.size());
    EXPECT_EQ(backup_text::UndoneText(undo.items, 0, ""), undo.messages[0]);
    EXPECT_NE(std::string::npos, undo.messages[0].find("The repair is undone: "));
    EXPECT_GT(undo.items, 2u);
}

// An undo is not done twice: the second one says so and writes nothing, even over values
// the user set again in between. A new repair is the next one to undo.
TEST_F(RepairUndo, TheSameRepairIsNotUndoneTwice)
{
    SeedAndList();
    RepairNow();
    ASSERT_EQ(UndoOutcome::Status::Undone, UndoLastRepair(registry, machine.system, log, kProgram).status);
    SetValue(registry, kLocalMachine, kRun, kGone, kRegSz, Str("c:\\changed.exe"));
    const std::string between = Dump();

    UndoOutcome again = UndoLastRepair(registry, machine.system, log, kProgram);
    EXPECT_EQ(UndoOutcome::Status::AlreadyUndone, again.status);
    ASSERT_EQ(1u, again.messages.size());
    EXPECT_EQ("The last repair (backup " + again.backupName + ") is already undone.", again.messages[0]);
    EXPECT_EQ(between, Dump());
    EXPECT_TRUE(ReadLastRepair(machine.system, kProgram).undone);

    // A second repair (of the value set again) is the one an undo takes back now.
    engine.problems().clear();
    shortcuts.brokenList.clear();
    Add("HKEY_LOCAL_MACHINE\\" + kRun, "VAL", kGone);
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 6, 0, 0});
    RepairOutcome second = RepairNow();
    ASSERT_EQ(1, second.counts.values);
    LastRepair last = ReadLastRepair(machine.system, kProgram);
    EXPECT_EQ("2005-03-07_14-06-00.reg", last.backupName);
    EXPECT_FALSE(last.undone);
    EXPECT_EQ(UndoOutcome::Status::Undone, UndoLastRepair(registry, machine.system, log, kProgram).status);
    EXPECT_EQ(between, Dump());
}

TEST_F(RepairUndo, WithoutARepairThereIsNothingToUndo)
{
    SetValue(registry, kLocalMachine, kRun, "Here", kRegSz, Str("c:\\here.exe"));
    const std::string before = Dump();
    UndoOutcome undo = UndoLastRepair(registry, machine.system, log, kProgram);
    EXPECT_EQ(UndoOutcome::Status::NoRepair, undo.status);
    EXPECT_EQ(std::vector<std::string>{"There is no repair to undo."}, undo.messages);
    EXPECT_EQ(before, Dump());
    // A repair with nothing to save writes no backup and is nothing to undo either.
    RepairNow();
    EXPECT_EQ(UndoOutcome::Status::NoRepair, UndoLastRepair(registry, machine.system, log, kProgram).status);
}

// A value the user set again after the repair is written over by the undo, but only after
// it was saved into a backup of its own, which the undo names; the value the repair kept
// (unticked) is not touched, though the user changed it since.
TEST_F(RepairUndo, WhatTheUndoWritesOverIsSavedFirstAndKeptRowsAreLeftAlone)
{
    SeedAndList();
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
    RepairNow();
    SetValue(registry, kLocalMachine, kRun, kGone, kRegSz, Str("c:\\new.exe"));
    SetValue(registry, kLocalMachine, kRun, "Kept", kRegSz, Str("c:\\user.exe"));
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 7, 0, 0});

    UndoOutcome undo = UndoLastRepair(registry, machine.system, log, kProgram);
    ASSERT_EQ(UndoOutcome::Status::Undone, undo.status);
    EXPECT_EQ(1u, undo.restore.overwritten);
    EXPECT_EQ(kBackups + "\\2005-03-07_14-07-00.reg", undo.restore.undoBackupPath);
    EXPECT_EQ(backup_text::UndoneText(undo.items, 1, "2005-03-07_14-07-00.reg"), undo.messages.back());
    EXPECT_NE(std::string::npos,
              undo.messages.back().find("1 value holding other data was saved first in the backup 2005-03-07_14-07-00.reg."));
    Bytes data;
    ASSERT_TRUE(GetValue(registry, kLocalMachine, kRun, kGone, nullptr, &data));
    EXPECT_EQ(Str(kGoneData), data);
    ASSERT_TRUE(GetValue(registry, kLocalMachine, kRun, "Kept", nullptr, &data));
    EXPECT_EQ(Str("c:\\user.exe"), data);
    // The saved value comes back from the undo's own backup.
    ASSERT_TRUE(RestoreRepairBackup(registry, machine.system, undo.restore.undoBackupPath, {}).restored);
    ASSERT_TRUE(GetValue(registry, kLocalMachine, kRun, kGone, nullptr, &data));
    EXPECT_EQ(Str("c:\\new.exe"), data);
}

// The backup removed by the user: the undo says which file is missing and that the repair
// was not undone, and a later attempt may still try (it is not marked undone).
TEST_F(RepairUndo, AMissingBackupIsToldAndNotMarkedUndone)
{
    SeedAndList();
    RepairOutcome repaired = RepairNow();
    machine.system.RemoveFile(repaired.backup.path);
    UndoOutcome undo = UndoLastRepair(registry, machine.system, log, kProgram);
    EXPECT_EQ(UndoOutcome::Status::NotRestored, undo.status);
    EXPECT_EQ((std::vector<std::string>{"Backup file not found: " + repaired.backup.path + ".",
                                        "The repair was not undone."}),
              undo.messages);
    EXPECT_FALSE(ReadLastRepair(machine.system, kProgram).undone);
}

// The record is the program's own: not a backup the catalogue lists, and lines it does not
// know (or that are far too long) are passed over.
TEST_F(RepairUndo, TheRecordIsNoBackupAndOddLinesArePassedOver)
{
    SeedAndList();
    RepairOutcome repaired = RepairNow();
    EXPECT_EQ(1u, ListCatalogue(machine.system, kProgram, CatalogueKind::RepairBackups).size());
    const std::string name = ReadLastRepair(machine.system, kProgram).backupName;
    std::string text = machine.dir.ReadFile(RepairRecordPath(kProgram));
    EXPECT_EQ("begun\t" + name + "\r\nrepair\t" + name + "\r\n", text);
    machine.dir.WriteFile(RepairRecordPath(kProgram),
                          text + "something\telse\r\nundone\t" + std::string(10000, 'x') + "\r\nno tab\r\n");
    EXPECT_EQ(name, ReadLastRepair(machine.system, kProgram).backupName);
    EXPECT_FALSE(ReadLastRepair(machine.system, kProgram).undone);
    // A name that climbs out of the folder is not followed.
    machine.dir.WriteFile(RepairRecordPath(kProgram), "repair\t..\\..\\x.reg\r\n");
    EXPECT_EQ(UndoOutcome::Status::NoRepair, UndoLastRepair(registry, machine.system, log, kProgram).status);
}

// A repair is recorded before it deletes anything: one cut short (the program ended during
// the deletion) is still the last, and an undo takes it back rather than the one before.
TEST_F(RepairUndo, ARepairCutShortIsStillTheLastToUndo)
{
    SeedAndList();
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
    RepairNow();
    const std::string first = ReadLastRepair(machine.system, kProgram).backupName;
    // What a repair that began and never ended leaves in the record.
    const std::string text = machine.dir.ReadFile(RepairRecordPath(kProgram));
    machine.dir.WriteFile(RepairRecordPath(kProgram), text + "begun\t2005-03-07_14-06-00.reg\r\n");
    EXPECT_EQ("2005-03-07_14-06-00.reg", ReadLastRepair(machine.system, kProgram).backupName);
    EXPECT_NE(first, ReadLastRepair(machine.system, kProgram).backupName);
    // Ended having removed nothing, it gives the last place back.
    machine.dir.WriteFile(RepairRecordPath(kProgram),
                          text + "begun\t2005-03-07_14-06-00.reg\r\nnothing\t2005-03-07_14-06-00.reg\r\n");
    EXPECT_EQ(first, ReadLastRepair(machine.system, kProgram).backupName);
}

// A repair that removed nothing (every problem unticked) is no repair to undo: the one before
// stays the last.
TEST_F(RepairUndo, ARepairThatRemovedNothingDoesNotTakeTheLastPlace)
{
    SeedAndList();
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
    RepairNow();
    engine.problems().clear();
    shortcuts.brokenList.clear();
    Add("HKEY_LOCAL_MACHINE\\" + kRun, "VAL", "Here", true);
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 6, 0, 0});
    RepairOutcome nothing = RepairNow();
    EXPECT_EQ(RepairBackupResult::Status::Written, nothing.backup.status);
    EXPECT_EQ(0, nothing.counts.values);
    EXPECT_EQ("2005-03-07_14-05-09.reg", ReadLastRepair(machine.system, kProgram).backupName);
}

}  // namespace
}  // namespace tw::test
