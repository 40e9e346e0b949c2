#include "backup/backup_manager_model.h"
#include "backup/backup_restore.h"
#include "backup/repair.h"
#include "backup/repair_deletion.h"
#include "platform/forwarding_registry.h"
#include "platform/key_handle.h"
#include "registry/key_path.h"
#include "snapshot/snapshot_writer.h"
#include "scan/scan_section.h"
#include "support/forwarding_system.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"
#include "unit/backup/backup_test_support.h"
#include "unit/scan/scan_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tw::test {
namespace {

const char* const kProgram = "C:\\Program Files\\Tarnwick";
const std::string kBackups = std::string(kProgram) + "\\Registry Backups";

// A shortcut file to `target`, as the shell writes one.
std::string LinkText(const std::string& target)
{
    const std::vector<std::uint8_t> bytes = LinkFileBytes(target);
    return std::string(bytes.begin(), bytes.end());
}

class RepairProcedure : public ::testing::Test {
protected:
    void Add(const char* section, const std::string& keyPath, const char* deleteType, const char* valueName = nullptr,
             bool excluded = false)
    {
        auto record = std::make_unique<ProblemRecord>();
        record->section = section;
        record->keyPath = keyPath;
        record->deleteType = deleteType;
        if (valueName)
            record->value = std::make_unique<ValueEntry>(ValueEntry{valueName, "", kRegSz});
        record->excluded = excluded ? 1 : 0;
        engine.problems().push_back(std::move(record));
    }
    // One finding in the shape each section writes, in a registry that holds more around it.
    void SeedEverySection()
    {
        const std::string cv = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
        SeedEveryKind(registry, kLocalMachine, cv + "\\App Paths\\gone.exe");
        SetValue(registry, kLocalMachine, cv + "\\App Paths\\here.exe", nullptr, kRegSz, Str("c:\\here.exe"));
        SetValue(registry, kLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\OldDrv", "ImagePath", kRegExpandSz,
                 Str("system32\\drivers\\old.sys"));
        SetValue(registry, kLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\OldDrv\\Enum", "Count", kRegDword,
                 B({1, 0, 0, 0}));
        SetValue(registry, kClassesRoot, "CLSID\\{0000AAAA-0000-0000-0000-000000000001}\\InprocServer32", nullptr,
                 kRegSz, Str("c:\\gone.dll"));
        SetValue(registry, kClassesRoot, "abcfile\\shell\\open\\command", nullptr, kRegSz, Str("c:\\gone.exe %1"));
        SetValue(registry, kCurrentUser, "AppEvents\\Schemes\\Apps\\.Default\\Gone\\.Current", nullptr, kRegSz,
                 Str("c:\\gone.wav"));
        SetValue(registry, kLocalMachine, cv + "\\SharedDLLs", "c:\\gone.dll", kRegDword, B({2, 0, 0, 0}));
        SetValue(registry, kLocalMachine, cv + "\\SharedDLLs", "c:\\here.dll", kRegDword, B({1, 0, 0, 0}));
        SetValue(registry, kLocalMachine, cv + "\\Run", "Gone", kRegSz, Str("c:\\gone.exe"));
        SetValue(registry, kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Gone (TrueType)",
                 kRegSz, Str("gone.ttf"));
        SetValue(registry, kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\Help", "gone.hlp", kRegSz, Str("c:\\help"));
        SetValue(registry, kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "msacm.gone",
                 kRegSz, Str("gone.acm"));
        SetValue(registry, kLocalMachine, cv + "\\Uninstall\\gone", "UninstallString", kRegSz, Str("c:\\un.exe"));
        SetValue(registry, kCurrentUser, "Software\\Vendor", "Path", kRegSz, Str("c:\\gone\\x.exe"));
        SetValue(registry, kCurrentUser, "Software\\Vendor", nullptr, kRegSz, Str("c:\\gone\\default.exe"));

        const std::string hklm = "HKEY_LOCAL_MACHINE\\" + cv;
        Add("Application Paths", hklm + "\\app paths\\gone.exe", "KEY", "(Default)");
        Add("Application Paths", hklm + "\\app paths\\here.exe", "KEY", "(Default)", true);
        Add("System Services", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\OldDrv", "KEY", "ImagePath");
        Add("Program ID Section", "HKEY_CLASSES_ROOT\\CLSID\\{0000AAAA-0000-0000-0000-000000000001}", "KEY",
            "(Default)");
        Add("File Associations", "HKEY_CLASSES_ROOT\\abcfile", "KEY", "(Default)");
        Add("Sound Section", "HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\.Default\\Gone", "KEY", "(Default)");
        Add("Shared Program Files", hklm + "\\SharedDLLs", "VAL", "c:\\gone.dll");
        Add("Startup Programs", hklm + "\\Run", "VAL", "Gone");
        Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "VAL",
            "Gone (TrueType)");
        Add("Windows Help Files", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\help", "VAL", "gone.hlp");
        Add("Vxd Drivers Section", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32",
            "VAL", "msacm.gone");
        Add("Add/Remove Program Section", hklm + "\\uninstall\\gone", "VAL", "UninstallString");
        Add("Complete Registry Scan", "HKEY_CURRENT_USER\\Software\\Vendor", "VAL", "Path");
        Add("Registry Integrity", "HKEY_CURRENT_USER\\Software\\Vendor", "VAL", "(Default)");
    }
    std::string Dump()
    {
        return DumpBranch(registry, kLocalMachine, "SOFTWARE") + DumpBranch(registry, kLocalMachine, "SYSTEM") +
               DumpBranch(registry, kCurrentUser, "");
    }

    MemoryRegistry registry;
    ScratchMachine machine;
    ActivityLog log{machine.system};
    ScanEngine engine{registry, machine.system, log};
    CShortcut shortcuts{machine.system};
};

TEST_F(RepairProcedure, RemovesExactlyTheFindingsAndTheBackupUndoesIt)
{
    SeedEverySection();
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
    std::string before = Dump();
    RepairOutcome outcome = Repair(engine, shortcuts, kProgram);
    ASSERT_FALSE(outcome.backupFailed);
    EXPECT_EQ(kBackups + "\\2005-03-07_14-05-09.reg", outcome.backup.path);
    EXPECT_EQ(5, outcome.counts.keys);
    EXPECT_EQ(8, outcome.counts.values);
    EXPECT_EQ(0, outcome.counts.left);
    // The "(Default)" problem became the unnamed value in its record.
    EXPECT_EQ("", engine.problems().back()->value->name);
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe"));
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\here.exe"));
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, "SYSTEM\\CurrentControlSet\\Services"));
    Bytes data;
    EXPECT_TRUE(GetValue(registry, kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                         "c:\\here.dll", nullptr, &data));
    EXPECT_FALSE(GetValue(registry, kCurrentUser, "Software\\Vendor", "", nullptr, &data));
    // No journal is left behind: the only files are the backup and the record of the
    // repairs that undo reads.
    EXPECT_EQ((std::vector<std::string>{"2005-03-07_14-05-09.reg", "Repairs.txt"}), machine.dir.List(kBackups));

    RestoreOutcome restored = RestoreRepairBackup(registry, machine.system, outcome.backup.path, {});
    EXPECT_TRUE(restored.restored);
    EXPECT_EQ(before, Dump());
}

// The backup keeps the problems the user unticked too, marked as left in place: the backup
// manager starts them unticked and says so, so a restore never writes their old data over
// what the user kept (and may have changed since).
TEST_F(RepairProcedure, WhatTheRepairLeftIsMarkedAndNotRestoredByDefault)
{
    const std::string run = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    SetValue(registry, kLocalMachine, run, "Gone", kRegSz, Str("c:\\gone.exe"));
    SetValue(registry, kLocalMachine, run, "Kept", kRegSz, Str("c:\\kept.exe"));
    Add("Startup Programs", "HKEY_LOCAL_MACHINE\\" + run, "VAL", "Gone");
    Add("Startup Programs", "HKEY_LOCAL_MACHINE\\" + run, "VAL", "Kept", true);
    RepairOutcome outcome = Repair(engine, shortcuts, kProgram);
    ASSERT_EQ(RepairBackupResult::Status::Written, outcome.backup.status);
    Bytes data;
    EXPECT_FALSE(GetValue(registry, kLocalMachine, run, "Gone", nullptr, &data));
    // The user changes what was kept.
    SetValue(registry, kLocalMachine, run, "Kept", kRegSz, Str("c:\\moved\\kept.exe"));

    BackupManagerModel model(registry, machine.system, kProgram, 0);
    model.EnterRestorePage();
    ASSERT_EQ(2u, model.dateItems().size());
    model.SelectDateItem(1);
    model.Poll();
    ASSERT_EQ(4u, model.rows().size());  // each value item: its key, then the value
    EXPECT_TRUE(model.rows()[1].ticked);
    EXPECT_FALSE(model.rows()[3].ticked);
    EXPECT_TRUE(model.rows()[3].item.kept);
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\" + run + " [Kept]  (kept by the repair)", model.rows()[3].ShownPath());
    EXPECT_EQ(std::vector<std::string>{"Backup restored!"}, model.Restore().messages);
    ASSERT_TRUE(GetValue(registry, kLocalMachine, run, "Gone", nullptr, &data));
    EXPECT_EQ(Str("c:\\gone.exe"), data);
    ASSERT_TRUE(GetValue(registry, kLocalMachine, run, "Kept", nullptr, &data));
    EXPECT_EQ(Str("c:\\moved\\kept.exe"), data);
}

// Another program that tries to change the backup between its writing and the deletion that
// reads it back finds it held: it cannot open it for writing until the deletion is done.
class TriesToChangeTheBackup final : public ForwardingRegistry {
public:
    TriesToChangeTheBackup(Registry& inner, System& system) : ForwardingRegistry(inner), system_(system) {}
    long DeleteValue(HKey key, const char* name) override
    {
        for (const DirEntry& file : system_.FindFiles(kBackups + "\\*.reg")) {
            ++attempts;
            if (system_.OpenFile(kBackups + "\\" + file.name, FileMode::Append))
                ++opened;
        }
        return ForwardingRegistry::DeleteValue(key, name);
    }
    int attempts = 0, opened = 0;

private:
    System& system_;
};

TEST_F(RepairProcedure, NoOtherProgramCanChangeTheBackupWhileTheRepairDeletes)
{
    SeedEverySection();
    TriesToChangeTheBackup watched(registry, machine.system);
    ScanEngine watchedEngine{watched, machine.system, log};
    for (auto& p : engine.problems())
        watchedEngine.problems().push_back(std::move(p));
    RepairOutcome outcome = Repair(watchedEngine, shortcuts, kProgram);
    ASSERT_FALSE(outcome.backupFailed);
    EXPECT_EQ(8, outcome.counts.values);
    EXPECT_GT(watched.attempts, 0);
    EXPECT_EQ(0, watched.opened);
    EXPECT_NE(nullptr, machine.system.OpenFile(outcome.backup.path, FileMode::Append)) << "let go at the end";
}

TEST_F(RepairProcedure, AStopSignalledBeforehandLeavesEverythingAfterTheBackup)
{
    SeedEverySection();
    machine.dir.WriteFile("C:\\Users\\gone.lnk", "x");
    shortcuts.brokenList.push_back({"C:\\Users\\gone.lnk", 0});
    std::string before = Dump();
    bool existed = false;
    std::unique_ptr<Event> stop = machine.system.MakeEvent(StopEventName(machine.system), true, false, &existed);
    stop->Set();
    RepairOutcome outcome = Repair(engine, shortcuts, kProgram);
    EXPECT_TRUE(outcome.stoppedAfterBackup);
    EXPECT_EQ(RepairBackupResult::Status::Written, outcome.backup.status);
    EXPECT_TRUE(machine.dir.Exists(outcome.backup.path));
    EXPECT_EQ(before, Dump());
    EXPECT_TRUE(machine.dir.Exists("C:\\Users\\gone.lnk"));
}

// A broken shortcut the repair deletes is kept in its backup, bytes, path and attributes, and
// comes back from it item by item; an excluded one is neither saved nor deleted.
TEST_F(RepairProcedure, ShortcutsTickedAreSavedThenDeletedAndComeBackFromTheBackup)
{
    const std::string gone = "C:\\Users\\\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0\\gone.lnk";  // a folder named in Cyrillic
    const std::string link = LinkText("C:\\Gone\\a.exe");
    machine.dir.WriteFile(gone, link);
    machine.dir.WriteFile("C:\\Users\\kept.lnk", LinkText("C:\\Gone\\b.exe"));
    machine.system.ChangeFileAttributes(gone, kFileAttributeReadOnly);
    shortcuts.brokenList.push_back({gone, 0});
    shortcuts.brokenList.push_back({"C:\\Users\\kept.lnk", 1});
    RepairOutcome outcome = Repair(engine, shortcuts, kProgram);
    ASSERT_EQ(RepairBackupResult::Status::Written, outcome.backup.status);
    EXPECT_EQ(std::vector<bool>{true}, outcome.backup.filesSaved);
    EXPECT_EQ(1, outcome.counts.shortcuts);
    EXPECT_FALSE(machine.dir.Exists(gone));
    EXPECT_TRUE(machine.dir.Exists("C:\\Users\\kept.lnk"));

    BackupListing listing = ListRepairBackupItems(machine.system, outcome.backup.path);
    ASSERT_EQ(1u, listing.items.size());
    EXPECT_EQ(BackupItem::Kind::File, listing.items[0].kind);
    EXPECT_STREQ("File", BackupItemKindText(listing.items[0].kind));
    EXPECT_EQ(gone, listing.items[0].path);

    // Unticked, it stays away; ticked, it comes back byte for byte, read-only as it was.
    EXPECT_TRUE(RestoreRepairBackup(registry, machine.system, outcome.backup.path, {false}).restored);
    EXPECT_FALSE(machine.dir.Exists(gone));
    std::filesystem::remove_all(machine.dir.Host("C:\\Users\\\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0"));
    RestoreOutcome restored = RestoreRepairBackup(registry, machine.system, outcome.backup.path, {});
    EXPECT_TRUE(restored.restored);
    EXPECT_EQ(1u, restored.files);
    EXPECT_EQ(link, machine.dir.ReadFile(gone));
    EXPECT_NE(0u, machine.system.FileAttributes(gone) & kFileAttributeReadOnly);
    // Restoring again finds it there as saved.
    EXPECT_TRUE(RestoreRepairBackup(registry, machine.system, outcome.backup.path, {}).restored);
}

// A restore never writes over another file that stands where the shortcut was.
TEST_F(RepairProcedure, AnotherFileWhereTheShortcutWasIsNotWrittenOver)
{
    machine.dir.WriteFile("C:\\Users\\gone.lnk", LinkText("C:\\Gone\\a.exe"));
    shortcuts.brokenList.push_back({"C:\\Users\\gone.lnk", 0});
    RepairOutcome outcome = Repair(engine, shortcuts, kProgram);
    ASSERT_EQ(1, outcome.counts.shortcuts);
    machine.dir.WriteFile("C:\\Users\\gone.lnk", "a new file of the same name");
    RestoreOutcome restored = RestoreRepairBackup(registry, machine.system, outcome.backup.path, {});
    EXPECT_FALSE(restored.restored);
    EXPECT_EQ(std::vector<std::string>{"C:\\Users\\gone.lnk"}, restored.notWritten);
    EXPECT_EQ("a new file of the same name", machine.dir.ReadFile("C:\\Users\\gone.lnk"));
}

// What the backup does not hold stays, and so does a shortcut whose target came back since the
// scan, or one the system would not delete (its attributes put back).
class RefusingRemoval final : public ForwardingSystem {
public:
    using ForwardingSystem::ForwardingSystem;
    std::string refused;
    bool RemoveFile(std::string_view path) override
    {
        return path != refused && ForwardingSystem::RemoveFile(path);
    }
};

TEST_F(RepairProcedure, AShortcutIsDeletedOnlyWhenSavedAndStillBroken)
{
    machine.dir.WriteFile("C:\\Users\\back.lnk", LinkText("C:\\Gone\\back.exe"));
    machine.dir.WriteFile("C:\\Users\\stuck.lnk", LinkText("C:\\Gone\\stuck.exe"));
    machine.dir.WriteFile("C:\\Users\\unsaved.lnk", LinkText("C:\\Gone\\unsaved.exe"));
    machine.system.ChangeFileAttributes("C:\\Users\\stuck.lnk", kFileAttributeReadOnly);
    RefusingRemoval system(machine.system);
    system.refused = "C:\\Users\\stuck.lnk";
    ActivityLog log(system);
    log.Open();
    CShortcut list(system);
    list.SetLog(&log);
    for (const char* path : {"C:\\Users\\back.lnk", "C:\\Users\\stuck.lnk", "C:\\Users\\unsaved.lnk"})
        list.brokenList.push_back({path, 0});
    machine.dir.WriteFile("C:\\Gone\\back.exe", "here again");
    list.DeleteBrokenShortcuts({true, true, false});
    EXPECT_EQ(0, list.deletedCount);
    for (const char* path : {"C:\\Users\\back.lnk", "C:\\Users\\stuck.lnk", "C:\\Users\\unsaved.lnk"})
        EXPECT_TRUE(machine.dir.Exists(path)) << path;
    EXPECT_NE(0u, machine.system.FileAttributes("C:\\Users\\stuck.lnk") & kFileAttributeReadOnly);
    log.Close();
    const std::string text = machine.dir.ReadFile(log.path());
    for (const char* line : {"Shortcut left in place, as its target is no longer missing: C:\\Users\\back.lnk",
                             "Shortcut left in place, as it could not be deleted: C:\\Users\\stuck.lnk",
                             "Shortcut left in place, as the backup does not hold it: C:\\Users\\unsaved.lnk"})
        EXPECT_NE(std::string::npos, text.find(line)) << line;
}

TEST_F(RepairProcedure, ABackupThatCannotBeWrittenDeletesNothing)
{
    SeedEverySection();
    machine.dir.WriteFile(kBackups, "a file where the folder should be");
    std::string before = Dump();
    machine.dir.WriteFile("C:\\Users\\gone.lnk", "x");
    shortcuts.brokenList.push_back({"C:\\Users\\gone.lnk", 0});
    RepairOutcome outcome = Repair(engine, shortcuts, kProgram);
    EXPECT_TRUE(outcome.backupFailed);
    EXPECT_EQ(before, Dump());
    EXPECT_TRUE(machine.dir.Exists("C:\\Users\\gone.lnk"));
}

TEST_F(RepairProcedure, TwoRepairsInTheSameSecondKeepTheirOwnBackups)
{
    SetValue(registry, kCurrentUser, "Software\\First", "v", kRegSz, Str("window"));
    SetValue(registry, kCurrentUser, "Software\\Second", "w", kRegSz, Str("command line"));
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
    std::string before = Dump();
    Add("Complete Registry Scan", "HKEY_CURRENT_USER\\Software\\Second", "KEY");

    SameSecond windowSystem(machine.system, machine.system.GetLocalTime());
    ActivityLog windowLog(windowSystem);
    ScanEngine window(registry, windowSystem, windowLog);
    CShortcut windowShortcuts(windowSystem);
    auto record = std::make_unique<ProblemRecord>();
    record->keyPath = "HKEY_CURRENT_USER\\Software\\First";
    record->deleteType = "KEY";
    window.problems().push_back(std::move(record));
    RepairOutcome commandLine;
    // The command line's repair gets to its backup file first.
    windowSystem.before = [&] { commandLine = Repair(engine, shortcuts, kProgram); };
    RepairOutcome windowOutcome = Repair(window, windowShortcuts, kProgram);

    EXPECT_EQ(kBackups + "\\2005-03-07_14-05-09.reg", commandLine.backup.path);
    EXPECT_EQ(kBackups + "\\2005-03-07_14-05-09_2.reg", windowOutcome.backup.path);
    EXPECT_EQ(1, commandLine.counts.keys);
    EXPECT_EQ(1, windowOutcome.counts.keys);
    EXPECT_EQ((std::vector<std::string>{"2005-03-07_14-05-09.reg", "2005-03-07_14-05-09_2.reg", "Repairs.txt"}),
              machine.dir.List(kBackups));
    // Each file holds its own repair's key, and together they give back the registry.
    BackupListing second = ListRepairBackupItems(machine.system, commandLine.backup.path);
    BackupListing first = ListRepairBackupItems(machine.system, windowOutcome.backup.path);
    ASSERT_EQ(2u, second.items.size());
    ASSERT_EQ(2u, first.items.size());
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\Second", second.items[0].path);
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\First", first.items[0].path);
    EXPECT_TRUE(RestoreRepairBackup(registry, machine.system, commandLine.backup.path, {}).restored);
    EXPECT_TRUE(RestoreRepairBackup(registry, machine.system, windowOutcome.backup.path, {}).restored);
    EXPECT_EQ(before, Dump());
}

TEST_F(RepairProcedure, EmptySlotsAreDroppedAndAWrongContainerPathIsLeft)
{
    SetValue(registry, kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\a.exe", nullptr, kRegSz,
             Str("a"));
    engine.problems().push_back(nullptr);
    Add("Application Paths", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", "KEY");
    engine.problems().push_back(nullptr);
    RepairOutcome outcome = Repair(engine, shortcuts, kProgram);
    EXPECT_EQ(1u, engine.problems().size());
    EXPECT_EQ(0, outcome.counts.keys);
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\a.exe"));
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

// Reads the journal each time the repair deletes something: the last read holds every
// entry, each written just before its item went.
class JournalWatch final : public ForwardingRegistry {
public:
    JournalWatch(Registry& inner, TempDir& dir, std::string journal)
        : ForwardingRegistry(inner), dir_(dir), journal_(std::move(journal))
    {
    }
    long DeleteKey(HKey key, const char* subKey) override
    {
        Read();
        return ForwardingRegistry::DeleteKey(key, subKey);
    }
    long DeleteOpenKey(HKey key) override
    {
        Read();
        return ForwardingRegistry::DeleteOpenKey(key);
    }
    long DeleteValue(HKey key, const char* valueName) override
    {
        Read();
        return ForwardingRegistry::DeleteValue(key, valueName);
    }
    std::string lastSeen;

private:
    void Read()
    {
        if (dir_.Exists(journal_))
            lastSeen = dir_.ReadFile(journal_);
    }
    TempDir& dir_;
    std::string journal_;
};

void SeedJournalCase(Registry& registry)
{
    SetValue(registry, kCurrentUser, "Software\\App", nullptr, kRegSz, Str("a & <b> \"c\""));
    SetValue(registry, kCurrentUser, "Software\\App", "Zeta", kRegSz, Str("z"));
    SetValue(registry, kCurrentUser, "Software\\App", "alpha", kRegDword, B({5, 0, 0, 0}));
    SetValue(registry, kCurrentUser, "Software\\App", "Bin", kRegBinary, B({1, 2, 0xFF}));
    SetValue(registry, kCurrentUser, "Software\\App", "Multi", kRegMultiSz, B({'x', 0, 'y', 0, 0}));
    CreateKey(registry, kCurrentUser, "Software\\App\\Empty");
    SetValue(registry, kCurrentUser, "Software\\App\\Inner", "Path", kRegExpandSz, Str("%TEMP%\\x"));
    SetValue(registry, kCurrentUser, "Software\\App\\Inner\\Deep", "Q", kRegQword, B({1, 0, 0, 0, 0, 0, 0, 0}));
    SetValue(registry, kCurrentUser, "Software\\App\\Unset", nullptr, kRegSz, B({}));
    SetValue(registry, kCurrentUser, "Software\\Two", "V", kRegSz, Str("C:\\gone.exe"));
    SetValue(registry, kCurrentUser, "Software\\Two", "W", kRegSz, Str("stays"));
    SetValue(registry, kCurrentUser, "Software\\Two\\Sub", "S", kRegSz, Str("s"));
    SetValue(registry, kCurrentUser, "Software\\Three\\Child", "C", kRegSz, Str("c"));
    SetValue(registry, kCurrentUser, "Software\\Three", "T", kRegSz, Str("t"));
}

// The journal holds each item as the registry holds it just before it goes, whether it is
// written from the registry or from what the backup has just read: keys of every kind of
// value, an empty key, a value item, a key below one already gone, the same key twice, and a
// key whose child went first.
TEST(RepairJournal, HoldsEachItemAsTheRegistryHeldItJustBeforeItWent)
{
    ScratchMachine machine;
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
    const std::string journalPath = kBackups + "\\" + RepairJournalName(machine.system.GetLocalTime());
    struct Item {
        const char* path;
        const char* type;
        const char* value;
    };
    const std::vector<Item> list = {
        {"HKEY_CURRENT_USER\\Software\\App", "KEY", nullptr},
        {"HKEY_CURRENT_USER\\Software\\Two", "VAL", "V"},
        {"HKEY_CURRENT_USER\\Software\\App\\Inner", "KEY", nullptr},
        {"HKEY_CURRENT_USER\\Software\\App", "KEY", nullptr},
        {"HKEY_CURRENT_USER\\Software\\Three\\Child", "KEY", nullptr},
        {"HKEY_CURRENT_USER\\Software\\Three", "KEY", nullptr},
        {"HKEY_CURRENT_USER\\Software\\Two\\Sub", "KEY", nullptr},
    };

    // What the registry holds of each item just before it goes: the same registry, each
    // item written from it and then removed.
    MemoryRegistry model;
    SeedJournalCase(model);
    XmlWriter expectedWriter(machine.system);
    expectedWriter.SetFileName("C:\\expected.xml");
    XmlElement root("registry");
    root.WriteStartTag(expectedWriter, +1, true, true);
    KeyOperations keys(model, DeletionStyle::WindowsNT);
    for (const Item& item : list) {
        std::string subkey = item.path;
        std::string rootName = SplitRootFromPath(subkey);
        if (item.value) {
            ValueEntry single{item.value, "", kRegSz};
            WriteBranchSnapshot(expectedWriter, model, machine.system, item.path, &single);
            KeyHandle key(model);
            model.OpenKeyEx(kCurrentUser, subkey.c_str(), 0, kKeyAllAccess, key.Put());
            model.DeleteValue(key.get(), item.value);
        } else {
            WriteBranchSnapshot(expectedWriter, model, machine.system, item.path);
            keys.DeleteKeyTree(rootName, subkey);
        }
    }
    expectedWriter.Close();

    MemoryRegistry registry;
    SeedJournalCase(registry);
    JournalWatch watched(registry, machine.dir, journalPath);
    ActivityLog log(machine.system);
    ScanEngine engine(watched, machine.system, log);
    CShortcut shortcuts(machine.system);
    for (const Item& item : list) {
        auto record = std::make_unique<ProblemRecord>();
        record->keyPath = item.path;
        record->deleteType = item.type;
        if (item.value)
            record->value = std::make_unique<ValueEntry>(ValueEntry{item.value, "", kRegSz});
        engine.problems().push_back(std::move(record));
    }
    RepairOutcome outcome = Repair(engine, shortcuts, kProgram);
    ASSERT_EQ(RepairBackupResult::Status::Written, outcome.backup.status);
    EXPECT_EQ(4, outcome.counts.keys);  // the second App and App\Inner were gone already
    EXPECT_EQ(1, outcome.counts.values);
    EXPECT_EQ(machine.dir.ReadFile("C:\\expected.xml"), watched.lastSeen);
    EXPECT_NE(std::string::npos, watched.lastSeen.find("Deep"));
    EXPECT_EQ(DumpBranch(model, kCurrentUser, "Software"), DumpBranch(registry, kCurrentUser, "Software"));
}

}  // namespace
}  // namespace tw::test
