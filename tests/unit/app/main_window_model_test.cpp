#include "app/main_window_model.h"

#include "backup/repair.h"
#include "platform/program_info.h"

#include "support/registry_fixture.h"
#include "support/temp_dir.h"
#include "ui/page_request.h"

#include "../../../resources/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <set>

namespace tw::test {
namespace {

// The window as the model sees it: what is shown, checked and redrawn.
struct FakeView : MainWindowView {
    std::map<int, bool> shown;
    std::map<int, bool> checked;
    std::map<int, std::string> labels;
    std::string title = "";
    int pageRedraws = 0, windowRedraws = 0, redrawOff = 0, minimised = 0, ended = 0;
    bool drawing = true;

    void SetRedraw(bool on) override
    {
        drawing = on;
        if (!on)
            ++redrawOff;
    }
    void ShowControl(int id, bool show) override { shown[id] = show; }
    void SetPageTitle(const std::string& t) override { title = t; }
    std::string PageTitle() override { return title; }
    void RedrawPageArea() override { ++pageRedraws; }
    void RedrawWindow() override { ++windowRedraws; }
    void SetLabelText(int id, const std::string& text) override { labels[id] = text; }
    void SetChecked(int id, bool on) override { checked[id] = on; }
    bool IsChecked(int id) override { return checked[id]; }
    void Minimize() override { ++minimised; }
    void EndProgram() override { ++ended; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    bool answer = false;
    bool Ask(const std::string& text) override
    {
        questions.push_back(text);
        return answer;
    }

    bool Shown(int id) { return shown.count(id) && shown[id]; }
};

// Records every window opened and answers with queued page requests.
struct Windows : WindowEntryPoints {
    std::vector<std::string> calls;
    std::vector<ScanRequest> scans;
    std::deque<int> answers;
    int Answer()
    {
        if (answers.empty())
            return 0;
        int a = answers.front();
        answers.pop_front();
        return a;
    }
    int StartScan(const ScanRequest& s) override
    {
        calls.push_back("scan");
        scans.push_back(s);
        return Answer();
    }
    int OpenBackupManager(BackupManagerMode mode) override
    {
        calls.push_back("backup " + std::to_string(mode));
        return Answer();
    }
    int OpenStartupManager() override
    {
        calls.push_back("startup");
        return Answer();
    }
    int OpenBhoManager() override
    {
        calls.push_back("bho");
        return Answer();
    }
    int OpenAddRemoveManager() override
    {
        calls.push_back("addremove");
        return Answer();
    }
    int OpenIgnoredEntries() override
    {
        calls.push_back("ignored entries");
        return Answer();
    }
    void OpenHelpPage() override { calls.push_back("help"); }
    void PruneOrphanFullBackups() override { calls.push_back("prune full backups"); }
    // The undo as the program runs it, over the test's registry and machine.
    Registry* registry = nullptr;
    System* system = nullptr;
    UndoOutcome UndoLastRepair() override
    {
        calls.push_back("undo");
        ActivityLog log(*system);
        return tw::UndoLastRepair(*registry, *system, log, ProgramFolder(*system));
    }
};

struct MainWindowTest : ::testing::Test {
    ScratchMachine machine;
    MemoryRegistry registry;
    SettingsModel settings{registry, "Tarnwick", "Tarnwick"};
    Windows* windows = nullptr;
    std::unique_ptr<MainWindowModel> model;
    FakeView view;

    void Open()
    {
        auto w = std::make_unique<Windows>();
        windows = w.get();
        windows->registry = &registry;
        windows->system = &machine.system;
        model = std::make_unique<MainWindowModel>(machine.system, settings, std::move(w));
        model->Initialise(view);
    }
    void ExpectPage(MainPage page)
    {
        EXPECT_EQ(page, model->page());
        for (int id : MainWindowModel::MainPageControls())
            EXPECT_EQ(page == MainPage::Main, view.Shown(id)) << id;
        for (int id : MainWindowModel::SettingsPageControls())
            EXPECT_EQ(page == MainPage::Settings, view.Shown(id)) << id;
        for (int id : MainWindowModel::OptionsPageControls())
            EXPECT_EQ(page == MainPage::AdvancedOptions, view.Shown(id)) << id;
        EXPECT_EQ(page != MainPage::Main, view.Shown(IDC_PAGE_TITLE));
        EXPECT_EQ(page == MainPage::Settings ? "Settings" : page == MainPage::AdvancedOptions ? "Advanced Options" : "",
                  view.title);
        EXPECT_TRUE(view.drawing);
    }
};

TEST_F(MainWindowTest, OpensOnTheMainPageWithLabelsChecksAndWithoutRedrawing)
{
    SetValue(registry, kCurrentUser, "Software\\Tarnwick\\Tarnwick\\SectionToScan", "chk_sounds_", kRegDword,
             B({0, 0, 0, 0}));
    Open();
    ExpectPage(MainPage::Main);
    EXPECT_EQ(0, view.redrawOff);
    EXPECT_EQ(0, view.pageRedraws);
    EXPECT_FALSE(view.checked[IDC_CHK_SOUNDS]);
    EXPECT_TRUE(view.checked[IDC_CHK_COMPLETE_REGISTRY]);
    EXPECT_EQ("Sound Section", view.labels[IDC_LBL_SOUNDS]);
    EXPECT_EQ("Add Remove Programs", view.labels[IDC_LBL_ADD_REMOVE]);
    EXPECT_EQ("Perform Scan on Application Load", view.labels[IDC_LBL_SCAN_ON_LOAD]);
    EXPECT_EQ("Restore From Latest Backup", view.labels[IDC_LBL_RESTORE_LATEST]);
    EXPECT_FALSE(view.checked[IDC_CHK_SCAN_ON_LOAD]);
    EXPECT_EQ(std::vector<std::string>{"prune full backups"}, windows->calls);
}

TEST_F(MainWindowTest, OpeningRemovesLogsOlderThanTenHours)
{
    machine.dir.WriteFile("C:\\Program Files\\Tarnwick\\Log\\log_old.twlog", "x");
    machine.dir.SetFileTime("C:\\Program Files\\Tarnwick\\Log\\log_old.twlog", 0);
    Open();
    EXPECT_FALSE(machine.dir.Exists("C:\\Program Files\\Tarnwick\\Log\\log_old.twlog"));
}

TEST_F(MainWindowTest, PagesShowTheirControlsAndRedrawOnlyWhenTheyChange)
{
    Open();
    model->OnCommand(IDC_MAIN_PAGE);  // already shown: nothing happens
    EXPECT_EQ(0, view.pageRedraws);

    model->OnCommand(IDC_USER_SETTINGS);
    ExpectPage(MainPage::Settings);
    EXPECT_EQ(1, view.pageRedraws);
    model->OnCommand(IDC_USER_SETTINGS);  // twice: redrawn only the first time
    EXPECT_EQ(1, view.pageRedraws);
    ExpectPage(MainPage::Settings);

    model->OnCommand(IDC_ADVANCED_OPTIONS);
    ExpectPage(MainPage::AdvancedOptions);
    EXPECT_EQ(2, view.pageRedraws);

    model->OnCommand(IDC_SETTINGS_TILE);
    ExpectPage(MainPage::Settings);
    model->OnCommand(IDC_LOGO);
    ExpectPage(MainPage::Main);
    EXPECT_EQ(4, view.pageRedraws);
    EXPECT_EQ(4, view.redrawOff);
}

TEST_F(MainWindowTest, ButtonsOpenTheirWindows)
{
    Open();
    windows->calls.clear();
    const std::pair<int, const char*> cases[] = {
        {IDC_BACKUP_MANAGER, "backup 0"}, {IDC_BACKUP_TILE, "backup 0"}, {IDC_FULL_BACKUP, "backup 1"},
        {IDC_BHO_MANAGER, "bho"},         {IDC_STARTUP_MANAGER, "startup"}, {IDC_ADDREMOVE_MANAGER, "addremove"},
        {IDC_HELP_PAGE, "help"},               {IDC_SCAN_NOW, "scan"},           {IDC_SCAN_TILE, "scan"},
        {IDC_IGNORED_ENTRIES, "ignored entries"},
    };
    for (const auto& [id, call] : cases) {
        windows->calls.clear();
        EXPECT_TRUE(model->OnCommand(id));
        EXPECT_EQ(std::vector<std::string>{call}, windows->calls) << id;
    }
    EXPECT_FALSE(model->OnCommand(9999));
    model->OnCommand(IDC_MINIMIZE);
    EXPECT_EQ(1, view.minimised);
    model->OnCommand(IDC_EXIT);
    EXPECT_EQ(1, view.ended);
}

TEST_F(MainWindowTest, TheSettingsPageShowsTheIgnoredEntriesButton)
{
    Open();
    EXPECT_FALSE(view.Shown(IDC_IGNORED_ENTRIES));
    model->OnCommand(IDC_USER_SETTINGS);
    EXPECT_TRUE(view.Shown(IDC_IGNORED_ENTRIES));
    model->OnCommand(IDC_ADVANCED_OPTIONS);
    EXPECT_FALSE(view.Shown(IDC_IGNORED_ENTRIES));
}

TEST_F(MainWindowTest, AScanTakesTheTickedBoxesNotTheStoredValues)
{
    Open();
    view.checked[IDC_CHK_VXD] = false;
    view.checked[IDC_CHK_COMPLETE_REGISTRY] = false;
    model->OnCommand(IDC_SCAN_NOW);
    ASSERT_EQ(1u, windows->scans.size());
    ScanRequest expected = ScanRequest::All();
    expected[ScanSection::CompleteRegistryScan] = 0;
    expected[ScanSection::VxdDrivers] = 0;
    EXPECT_EQ(expected.flags, windows->scans[0].flags);
}

TEST_F(MainWindowTest, PageRequestsFromOtherWindowsAreActedOnAndTheWindowRedrawn)
{
    Open();
    windows->answers = {kRequestSettingsPage};
    model->OnCommand(IDC_STARTUP_MANAGER);
    ExpectPage(MainPage::Settings);
    EXPECT_EQ(1, view.windowRedraws);

    // The scan page asks for the backup manager, which ends on "Show main page".
    windows->calls.clear();
    windows->answers = {kRequestBackupManager, kRequestMainPage};
    model->OnCommand(IDC_SCAN_NOW);
    EXPECT_EQ((std::vector<std::string>{"scan", "backup 0"}), windows->calls);
    ExpectPage(MainPage::Main);

    windows->calls.clear();
    windows->answers = {kRequestHelpPage};
    model->OnCommand(IDC_BHO_MANAGER);
    EXPECT_EQ((std::vector<std::string>{"bho", "help"}), windows->calls);

    windows->answers = {kRequestAdvancedOptions};
    model->OnCommand(IDC_FULL_BACKUP);
    ExpectPage(MainPage::AdvancedOptions);

    int redraws = view.windowRedraws;
    windows->answers = {0};
    model->OnCommand(IDC_ADDREMOVE_MANAGER);  // no request: nothing changes
    ExpectPage(MainPage::AdvancedOptions);
    EXPECT_EQ(redraws, view.windowRedraws);
}

TEST_F(MainWindowTest, TheStartUpScanRunsOnceOnTheFirstShow)
{
    SetValue(registry, kLocalMachine, "SOFTWARE\\Tarnwick", "scanonstartup", kRegSz, Str("1"));
    Open();
    EXPECT_TRUE(view.checked[IDC_CHK_SCAN_ON_LOAD]);
    EXPECT_TRUE(model->scanPending());
    model->OnShown();
    model->OnShown();  // the scan's own pages hide and show the window again
    EXPECT_EQ(std::vector<std::string>({"prune full backups", "scan"}), windows->calls);
}

TEST_F(MainWindowTest, WithoutTheOptionNoScanStartsOnShow)
{
    SetValue(registry, kLocalMachine, "SOFTWARE\\Tarnwick", "scanonstartup", kRegSz, Str("0"));
    Open();
    model->OnShown();
    EXPECT_TRUE(windows->scans.empty());
}

TEST_F(MainWindowTest, ClosingSavesTheCheckBoxes)
{
    CreateKey(registry, kLocalMachine, "SOFTWARE\\Tarnwick");
    Open();
    view.checked[IDC_CHK_HELP_FILES] = false;
    view.checked[IDC_CHK_RESTORE_LATEST] = true;
    model->OnDestroy();
    std::uint32_t type = 0;
    Bytes data;
    ASSERT_TRUE(GetValue(registry, kCurrentUser, "Software\\Tarnwick\\Tarnwick\\SectionToScan", "chk_helpfiles_",
                         &type, &data));
    EXPECT_EQ(B({0, 0, 0, 0}), data);
    ASSERT_TRUE(GetValue(registry, kLocalMachine, "SOFTWARE\\Tarnwick", "restorebackopt", &type, &data));
    EXPECT_EQ(Str("1"), data);
    ASSERT_TRUE(GetValue(registry, kLocalMachine, "SOFTWARE\\Tarnwick", "scanonstartup", &type, &data));
    EXPECT_EQ(Str("0"), data);
}


TEST_F(MainWindowTest, AnOptionTickedOnANewCopyIsKeptAtOnce)
{
    Open();
    view.checked[IDC_CHK_SCAN_ON_LOAD] = true;
    model->OnOptionClicked();
    EXPECT_TRUE(view.messages.empty());
    SettingsModel next(registry, "Tarnwick", "Tarnwick");
    next.Load();
    EXPECT_TRUE(next.settings().scanOnStartup);
    EXPECT_FALSE(next.settings().restoreFromLatestBackup);
}

TEST_F(MainWindowTest, OptionsThatCannotBeWrittenAreToldOnceARun)
{
    CreateKey(registry, kLocalMachine, "SOFTWARE\\Tarnwick");
    RefuseWriteAccess(registry, kLocalMachine, "SOFTWARE\\Tarnwick");
    Open();
    view.checked[IDC_CHK_SCAN_ON_LOAD] = true;
    model->OnOptionClicked();
    view.checked[IDC_CHK_RESTORE_LATEST] = true;
    model->OnOptionClicked();
    model->OnDestroy();
    ASSERT_EQ(1u, view.messages.size());
    EXPECT_EQ(OptionsNotSavedText(kErrorAccessDenied), view.messages[0]);
}

TEST(HelpPage, AFailureNamesTheSystemsReasonAndThePagesPath)
{
    EXPECT_EQ("The help page could not be opened: The system cannot find the file specified.\n\n"
              "It is C:\\Program Files\\Tarnwick\\Tarnwick Help.html",
              HelpPageNotOpenedText("The system cannot find the file specified.\r\n",
                                    "C:\\Program Files\\Tarnwick\\Tarnwick Help.html"));
    EXPECT_EQ("The help page could not be opened: No program opens it.\n\nIt is C:\\x.html",
              HelpPageNotOpenedText("", "C:\\x.html"));
}

// "Undo last repair" on the main page: nothing to undo is told; otherwise it asks once, and
// only a Yes writes back what the last repair removed; a second press says it is undone.
TEST_F(MainWindowTest, UndoLastRepairAsksOnceWritesBackAndIsNotDoneTwice)
{
    const std::string run = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    Open();
    ExpectPage(MainPage::Main);
    model->OnCommand(IDC_UNDO_REPAIR);
    EXPECT_EQ(std::vector<std::string>{"There is no repair to undo."}, view.messages);
    EXPECT_TRUE(view.questions.empty());

    SetValue(registry, kLocalMachine, run, "Gone", kRegSz, Str("c:\\gone.exe"));
    const std::string before = DumpBranch(registry, kLocalMachine, "SOFTWARE");
    ActivityLog log(machine.system);
    ScanEngine engine(registry, machine.system, log);
    auto record = std::make_unique<ProblemRecord>();
    record->section = "Startup Programs";
    record->keyPath = "HKEY_LOCAL_MACHINE\\" + run;
    record->deleteType = "VAL";
    record->value = std::make_unique<ValueEntry>(ValueEntry{"Gone", "", kRegSz});
    engine.problems().push_back(std::move(record));
    CShortcut shortcuts(machine.system);
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
    ASSERT_EQ(1, Repair(engine, shortcuts, ProgramFolder(machine.system)).counts.values);

    view.messages.clear();
    view.answer = false;  // No: nothing is written
    model->OnCommand(IDC_UNDO_REPAIR);
    EXPECT_EQ(std::vector<std::string>{"Undo the last repair? Everything it removed is written back from its backup "
                                       "2005-03-07_14-05-09.reg."},
              view.questions);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_NE(before, DumpBranch(registry, kLocalMachine, "SOFTWARE"));

    view.answer = true;
    model->OnCommand(IDC_UNDO_REPAIR);
    EXPECT_EQ(2u, view.questions.size());
    EXPECT_EQ(before, DumpBranch(registry, kLocalMachine, "SOFTWARE"));
    ASSERT_EQ(1u, view.messages.size());
    EXPECT_EQ(0u, view.messages[0].find("The repair is undone: "));

    model->OnCommand(IDC_UNDO_REPAIR);
    EXPECT_EQ(2u, view.questions.size());
    EXPECT_EQ("The last repair (backup 2005-03-07_14-05-09.reg) is already undone.", view.messages.back());
    EXPECT_EQ(1, std::count(windows->calls.begin(), windows->calls.end(), "undo"));
}

}  // namespace
}  // namespace tw::test
