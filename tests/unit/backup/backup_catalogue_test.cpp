#include "backup/backup_catalogue.h"
#include "backup/backup_manager_model.h"
#include "backup/select_backup_model.h"
#include "backup/repair_backup_file.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

const std::string kProgram = "C:\\Program Files\\Tarnwick";
const std::string kBackups = kProgram + "\\Registry Backups";
const std::string kFull = kProgram + "\\Full Backups";

TEST(BackupNames, DatedNamesAndDateTexts)
{
    LocalTime t{2005, 3, 0, 7, 14, 5, 9, 0};
    EXPECT_EQ("2005-03-07_14-05-09.reg", RepairBackupName(t));
    EXPECT_EQ("FULL 2005-03-07_14-05-09.reg", FullBackupName(t));
    struct Case {
        LocalTime time;
        const char* text;
    };
    const Case cases[] = {
        {{2005, 3, 0, 7, 14, 5, 9, 0}, "Monday, March 07, 2005, 14:05:09"},
        {{2000, 2, 0, 29, 0, 0, 0, 0}, "Tuesday, February 29, 2000, 00:00:00"},
        {{2026, 12, 0, 31, 23, 59, 59, 999}, "Thursday, December 31, 2026, 23:59:59"},
        {{1999, 1, 0, 3, 9, 8, 7, 0}, "Sunday, January 03, 1999, 09:08:07"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, FormatBackupDate(c.time));
}

class Catalogue : public ::testing::Test {
protected:
    void Put(const std::string& name, std::int64_t seconds, const std::string& bytes = "")
    {
        machine.dir.WriteFile(kBackups + "\\" + name, bytes);
        machine.dir.SetFileTime(kBackups + "\\" + name, seconds);
    }
    void MakeFullFolder(const std::string& name)
    {
        for (const char* f : {"SOFTWARE", "HARDWARE", "CUSOFTWARE"})
            machine.dir.WriteFile(kFull + "\\" + name + "\\" + f, "<x/>");
    }
    std::vector<std::string> Names(CatalogueKind kind)
    {
        std::vector<std::string> names;
        for (const CatalogueEntry& e : ListCatalogue(machine.system, kProgram, kind))
            names.push_back(e.name + " | " + e.dateText);
        return names;
    }
    ScratchMachine machine;
    MemoryRegistry registry;
};

TEST_F(Catalogue, FullEntriesAndRepairBackupsAreToldApartByFull)
{
    Put("2005-03-07_14-05-09.reg", 1110204309);   // 2005-03-07 14:05:09
    Put("FULL 2005-03-08_10-00-00.reg", 1110276000);  // 2005-03-08 10:00:00
    Put("full lower.reg", 1110276000);
    Put("notes.txt", 1110276000);
    EXPECT_EQ((std::vector<std::string>{"FULL 2005-03-08_10-00-00.reg | Tuesday, March 08, 2005, 10:00:00"}),
              Names(CatalogueKind::FullBackups));
    std::vector<std::string> repair = Names(CatalogueKind::RepairBackups);
    std::sort(repair.begin(), repair.end());
    EXPECT_EQ((std::vector<std::string>{"2005-03-07_14-05-09.reg | Monday, March 07, 2005, 14:05:09",
                                        "full lower.reg | Tuesday, March 08, 2005, 10:00:00"}),
              repair);
}

TEST_F(Catalogue, TheDateComesFromTheFileNotItsName)
{
    Put("2001-01-01_00-00-00.reg", 1110204309);
    EXPECT_EQ((std::vector<std::string>{"2001-01-01_00-00-00.reg | Monday, March 07, 2005, 14:05:09"}),
              Names(CatalogueKind::RepairBackups));
}

TEST_F(Catalogue, PickerOffersOneKindAndKeepsTheLastRealChoice)
{
    Put("2005-03-07_14-05-09.reg", 1110204309);
    Put("FULL 2005-03-08_10-00-00.reg", 1110276000);
    Put("FULL 2005-03-09_10-00-00.reg", 1110362400);
    SelectBackupModel picker("Full Registry Backup", "text", true);
    ASSERT_TRUE(picker.Open(machine.system, kProgram));
    ASSERT_EQ(3u, picker.items().size());
    EXPECT_EQ("< Select the date >", picker.items()[0].text);
    EXPECT_EQ(-1, picker.items()[0].data);
    EXPECT_EQ("", picker.chosenName());
    picker.Poll(-1);
    EXPECT_EQ("", picker.chosenName());
    int second = picker.items()[2].data;
    picker.Poll(second);
    std::string chosen = picker.chosenName();
    EXPECT_EQ("FULL ", chosen.substr(0, 5));
    picker.Poll(-1);  // back on the placeholder: the choice stays
    EXPECT_EQ(chosen, picker.chosenName());

    SelectBackupModel repairPicker("Remove Backup", "text", false);
    ASSERT_TRUE(repairPicker.Open(machine.system, kProgram));
    EXPECT_EQ(2u, repairPicker.items().size());
}

TEST_F(Catalogue, PickerWithNothingToOfferEndsCancelled)
{
    Put("2005-03-07_14-05-09.reg", 1110204309);
    SelectBackupModel picker("Full Registry Backup", "text", true);
    EXPECT_FALSE(picker.Open(machine.system, kProgram));
    EXPECT_EQ(1u, picker.items().size());
}

TEST_F(Catalogue, PruneRemovesOnlyFoldersThatLostTheirCatalogueFile)
{
    Put("FULL 2005-03-08_10-00-00.reg", 1110276000);
    MakeFullFolder("FULL 2005-03-08_10-00-00.reg");
    MakeFullFolder("FULL 2005-03-09_10-00-00.reg");  // its creation was cancelled
    MakeFullFolder("Other");                          // not a full backup's folder
    machine.dir.WriteFile(kFull + "\\FULL odd.reg\\SOFTWARE", "x");
    machine.dir.WriteFile(kFull + "\\FULL odd.reg\\mine.txt", "x");  // not ours: the folder stays
    EXPECT_EQ(1, PruneOrphanFullBackups(machine.system, kProgram));
    EXPECT_TRUE(machine.dir.Exists(kFull + "\\FULL 2005-03-08_10-00-00.reg\\SOFTWARE"));
    EXPECT_FALSE(machine.dir.Exists(kFull + "\\FULL 2005-03-09_10-00-00.reg"));
    EXPECT_TRUE(machine.dir.Exists(kFull + "\\Other\\SOFTWARE"));
    EXPECT_TRUE(machine.dir.Exists(kFull + "\\FULL odd.reg\\mine.txt"));
    EXPECT_FALSE(machine.dir.Exists(kFull + "\\FULL odd.reg\\SOFTWARE"));
}

TEST_F(Catalogue, RemoveTakesPlainNamesOnly)
{
    Put("2005-03-07_14-05-09.reg", 1110204309);
    machine.dir.WriteFile(kProgram + "\\keep.reg", "");
    EXPECT_FALSE(RemoveBackup(machine.system, kProgram, "..\\keep.reg"));
    EXPECT_FALSE(RemoveBackup(machine.system, kProgram, ""));
    EXPECT_TRUE(machine.dir.Exists(kProgram + "\\keep.reg"));
    EXPECT_TRUE(RemoveBackup(machine.system, kProgram, "2005-03-07_14-05-09.reg"));
    EXPECT_FALSE(machine.dir.Exists(kBackups + "\\2005-03-07_14-05-09.reg"));
    Put("FULL 2005-03-08_10-00-00.reg", 1110276000);
    MakeFullFolder("FULL 2005-03-08_10-00-00.reg");
    EXPECT_TRUE(RemoveBackup(machine.system, kProgram, "FULL 2005-03-08_10-00-00.reg"));
    EXPECT_FALSE(machine.dir.Exists(kFull + "\\FULL 2005-03-08_10-00-00.reg"));
}

std::string OneKeyBackup()
{
    std::string bytes;
    AppendU32(bytes, 0x80000001u);
    AppendText(bytes, "Software\\M");
    AppendU32(bytes, 1);
    AppendText(bytes, "v");
    AppendU32(bytes, kRegSz);
    AppendText(bytes, std::string("x\0", 2));
    AppendU32(bytes, 0);
    return bytes;
}

TEST_F(Catalogue, ManagerWithOnlyFullBackupsHasNothingToRestore)
{
    Put("FULL 2005-03-08_10-00-00.reg", 1110276000);
    BackupManagerModel manager(registry, machine.system, kProgram, 0);
    ManagerOutcome listed = manager.EnterRestorePage();
    EXPECT_EQ(std::vector<std::string>{"No backups present for restore."}, listed.messages);
    ASSERT_EQ(1u, manager.dateItems().size());
    EXPECT_EQ(std::vector<std::string>{"Please select Backup Date"}, manager.Restore().messages);
}

TEST_F(Catalogue, ManagerShowsRowsOfTheChosenDateAndRestoresTheTickedOnes)
{
    Put("2005-03-07_14-05-09.reg", 1110204309, OneKeyBackup());
    BackupManagerModel manager(registry, machine.system, kProgram, 0);
    EXPECT_TRUE(manager.EnterRestorePage().messages.empty());
    ASSERT_EQ(2u, manager.dateItems().size());
    EXPECT_EQ("Monday, March 07, 2005, 14:05:09", manager.dateItems()[1].text);
    manager.Poll();
    EXPECT_TRUE(manager.rows().empty());
    manager.SelectDateItem(1);
    EXPECT_TRUE(manager.Poll().rowsChanged);
    EXPECT_FALSE(manager.Poll().rowsChanged);  // only a new selection reloads the rows
    ASSERT_EQ(2u, manager.rows().size());
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\M [v]", manager.rows()[1].item.path);
    EXPECT_TRUE(manager.rows()[1].ticked);
    manager.DeselectAll();
    manager.SetTicked(0, true);
    EXPECT_EQ(std::vector<std::string>{"Backup restored!"}, manager.Restore().messages);
    EXPECT_TRUE(KeyExists(registry, kCurrentUser, "Software\\M"));
    Bytes data;
    EXPECT_FALSE(GetValue(registry, kCurrentUser, "Software\\M", "v", nullptr, &data));
    manager.SelectAll();
    manager.Restore();
    EXPECT_TRUE(GetValue(registry, kCurrentUser, "Software\\M", "v", nullptr, &data));

    // Removing the last backup lists again, and says there is nothing left.
    SelectBackupModel picker = manager.MakeRemovePicker();
    EXPECT_EQ("Remove Backup", picker.title());
    ASSERT_TRUE(picker.Open(machine.system, kProgram));
    picker.Poll(0);
    ManagerOutcome asked = manager.FinishRemove(true, picker.chosenName());
    const std::string date = manager.dateItems()[1].text;
    EXPECT_EQ("Remove the backup of " + date + "? It cannot be undone.", asked.question);
    EXPECT_TRUE(asked.messages.empty());
    EXPECT_TRUE(machine.dir.Exists(kBackups + "\\2005-03-07_14-05-09.reg"));  // not before the answer
    ManagerOutcome removed = manager.ConfirmRemove(true);
    EXPECT_EQ((std::vector<std::string>{"The backup of " + date + " is removed.", "No backups present for restore."}),
              removed.messages);
    EXPECT_FALSE(machine.dir.Exists(kBackups + "\\2005-03-07_14-05-09.reg"));
    EXPECT_TRUE(manager.rows().empty());
}

TEST_F(Catalogue, RemovingABackupAsksFirstAndAFinishWithoutADateSaysSo)
{
    Put("2005-03-07_14-05-09.reg", 1110204309, OneKeyBackup());
    Put("2006-01-02_03-04-05.reg", 1136171045, OneKeyBackup());
    BackupManagerModel manager(registry, machine.system, kProgram, 0);
    manager.EnterRestorePage();
    EXPECT_EQ(std::vector<std::string>{"No date was chosen, so no backup was removed."},
              manager.FinishRemove(true, "").messages);
    EXPECT_TRUE(manager.FinishRemove(false, "").messages.empty());

    ManagerOutcome asked = manager.FinishRemove(true, "2006-01-02_03-04-05.reg");
    EXPECT_EQ("Remove the backup of Monday, January 02, 2006, 03:04:05? It cannot be undone.", asked.question);
    EXPECT_TRUE(manager.ConfirmRemove(false).messages.empty());  // No keeps it
    EXPECT_TRUE(machine.dir.Exists(kBackups + "\\2006-01-02_03-04-05.reg"));
    EXPECT_TRUE(manager.ConfirmRemove(true).messages.empty());  // nothing is pending any more
    EXPECT_TRUE(machine.dir.Exists(kBackups + "\\2006-01-02_03-04-05.reg"));

    manager.FinishRemove(true, "2006-01-02_03-04-05.reg");
    ManagerOutcome removed = manager.ConfirmRemove(true);
    EXPECT_EQ(std::vector<std::string>{"The backup of Monday, January 02, 2006, 03:04:05 is removed."},
              removed.messages);
    EXPECT_FALSE(machine.dir.Exists(kBackups + "\\2006-01-02_03-04-05.reg"));
    EXPECT_TRUE(machine.dir.Exists(kBackups + "\\2005-03-07_14-05-09.reg"));
    EXPECT_EQ(2u, manager.dateItems().size());
}

TEST_F(Catalogue, ManagerPagesAndButtons)
{
    BackupManagerModel fromSettings(registry, machine.system, kProgram, 1);
    EXPECT_EQ(BackupPage::FullBackup, fromSettings.page());
    EXPECT_EQ(FullBackupChoice::None, fromSettings.PerformAction());
    fromSettings.SetFullBackupChoice(FullBackupChoice::Restore);
    EXPECT_EQ(FullBackupChoice::Restore, fromSettings.PerformAction());
    ManagerOutcome toRestore = fromSettings.OnToolbar(kHeaderBackupManager);
    EXPECT_TRUE(toRestore.pageChanged && toRestore.datesChanged);
    EXPECT_FALSE(toRestore.close);
    EXPECT_EQ(BackupPage::Restore, fromSettings.page());
    ManagerOutcome back = fromSettings.OnCancelShowPrevious();
    EXPECT_FALSE(back.close);
    EXPECT_TRUE(back.pageChanged);
    EXPECT_EQ(BackupPage::FullBackup, fromSettings.page());
    SelectBackupModel fullPicker = BackupManagerModel::MakeFullRestorePicker();
    EXPECT_EQ("Full Registry Backup", fullPicker.title());
    EXPECT_TRUE(fullPicker.fullBackups());
    EXPECT_EQ(0u, fullPicker.text().find("To restore a previously created registry backup, please select a date below."));

    BackupManagerModel fromMain(registry, machine.system, kProgram, 0);
    EXPECT_EQ(BackupPage::Restore, fromMain.page());
    EXPECT_FALSE(fromMain.OnToolbar(kHeaderBackupManager).close);
    ManagerOutcome closed = fromMain.OnCancelShowPrevious();
    EXPECT_TRUE(closed.close);
    EXPECT_EQ(0, closed.pageRequest);
    // The header buttons by their ids: "User settings" (1017) asks for the "Settings" page (1047).
    const std::pair<int, int> buttons[] = {{1049, 1049}, {1056, 1056}, {1017, 1047}};
    for (auto [button, request] : buttons) {
        ManagerOutcome o = fromMain.OnToolbar(button);
        EXPECT_TRUE(o.close);
        EXPECT_EQ(request, o.pageRequest);
    }
    EXPECT_TRUE(fromMain.OnWindowClose().endProgram);
    EXPECT_FALSE(fromMain.OnCancelClose().endProgram);
}

}  // namespace
}  // namespace tw::test
