#include "app/main_window_model.h"

#include "backup/backup_messages.h"
#include "log/activity_log.h"
#include "platform/program_info.h"
#include "ui/page_request.h"

#include "../../resources/resource.h"

namespace tw {
namespace {

std::vector<int> MakeMainPageControls()
{
    std::vector<int> ids = {IDC_SCAN_NOW, IDC_AREAS_HEADING, IDC_SCAN_TILE, IDC_BACKUP_TILE, IDC_SETTINGS_TILE,
                            IDC_TIP_CARD, IDC_UNDO_REPAIR};
    for (ScanSection section : SectionsInPageOrder()) {
        ids.push_back(SectionInfoOf(section).checkBoxId);
        ids.push_back(SectionInfoOf(section).labelId);
    }
    return ids;
}

}  // namespace

const std::vector<int>& MainWindowModel::MainPageControls()
{
    static const std::vector<int> ids = MakeMainPageControls();
    return ids;
}

const std::vector<int>& MainWindowModel::SettingsPageControls()
{
    static const std::vector<int> ids = {IDC_BHO_MANAGER, IDC_STARTUP_MANAGER, IDC_ADDREMOVE_MANAGER,
                                         IDC_FULL_BACKUP, IDC_IGNORED_ENTRIES};
    return ids;
}

const std::vector<int>& MainWindowModel::OptionsPageControls()
{
    static const std::vector<int> ids = {IDC_CHK_SCAN_ON_LOAD, IDC_LBL_SCAN_ON_LOAD, IDC_CHK_RESTORE_LATEST,
                                         IDC_LBL_RESTORE_LATEST};
    return ids;
}

MainWindowModel::MainWindowModel(System& system, SettingsModel& settings, std::unique_ptr<WindowEntryPoints> windows)
    : system_(system), settings_(settings), windows_(std::move(windows))
{
}

void MainWindowModel::Initialise(MainWindowView& view)
{
    view_ = &view;
    // The main page, without switching drawing off and on: nothing is shown yet.
    page_ = MainPage::Main;
    view.SetPageTitle("");
    for (int id : SettingsPageControls())
        view.ShowControl(id, false);
    for (int id : OptionsPageControls())
        view.ShowControl(id, false);
    for (int id : MainPageControls())
        view.ShowControl(id, true);
    view.ShowControl(IDC_PAGE_TITLE, false);

    settings_.Load();
    const Settings& s = settings_.settings();
    for (ScanSection section : SectionsInPageOrder())
        view.SetChecked(SectionInfoOf(section).checkBoxId, s.sections[static_cast<std::size_t>(section)]);
    for (ScanSection section : SectionsInPageOrder())
        view.SetLabelText(SectionInfoOf(section).labelId, std::string(SectionInfoOf(section).checkBoxLabel));
    view.SetLabelText(IDC_LBL_SCAN_ON_LOAD, kScanOnLoadLabel);
    view.SetLabelText(IDC_LBL_RESTORE_LATEST, kRestoreLatestLabel);

    windows_->PruneOrphanFullBackups();
    PruneOldLogs(system_, ProgramFolder(system_));

    view.SetChecked(IDC_CHK_RESTORE_LATEST, s.restoreFromLatestBackup);
    view.SetChecked(IDC_CHK_SCAN_ON_LOAD, s.scanOnStartup);
    scanPending_ = s.scanOnStartup;
}

void MainWindowModel::ShowMainPage()
{
    if (page_ == MainPage::Main)
        return;
    page_ = MainPage::Main;
    view_->SetPageTitle("");
    view_->SetRedraw(false);
    for (int id : SettingsPageControls())
        view_->ShowControl(id, false);
    for (int id : OptionsPageControls())
        view_->ShowControl(id, false);
    for (int id : MainPageControls())
        view_->ShowControl(id, true);
    view_->ShowControl(IDC_PAGE_TITLE, false);
    view_->SetRedraw(true);
    view_->RedrawPageArea();
}

void MainWindowModel::ShowOptionPage(MainPage page, const char* title)
{
    page_ = page;
    // Showing the page that is already shown changes nothing on screen: no redraw.
    bool redraw = view_->PageTitle() != title;
    if (redraw)
        view_->SetRedraw(false);
    const std::vector<int>& shown = page == MainPage::Settings ? SettingsPageControls() : OptionsPageControls();
    const std::vector<int>& hidden = page == MainPage::Settings ? OptionsPageControls() : SettingsPageControls();
    for (int id : hidden)
        view_->ShowControl(id, false);
    for (int id : shown)
        view_->ShowControl(id, true);
    for (int id : MainPageControls())
        view_->ShowControl(id, false);
    view_->ShowControl(IDC_PAGE_TITLE, true);
    if (redraw) {
        view_->SetPageTitle(title);
        view_->SetRedraw(true);
        view_->RedrawPageArea();
    }
}

void MainWindowModel::ShowSettingsPage()
{
    ShowOptionPage(MainPage::Settings, kSettingsTitle);
}

void MainWindowModel::ShowAdvancedOptionsPage()
{
    ShowOptionPage(MainPage::AdvancedOptions, kAdvancedTitle);
}

SectionSelection MainWindowModel::SelectionFromCheckBoxes() const
{
    SectionSelection selection{};
    for (ScanSection section : SectionsInPageOrder())
        selection[static_cast<std::size_t>(section)] = view_->IsChecked(SectionInfoOf(section).checkBoxId);
    return selection;
}

void MainWindowModel::StartScan()
{
    Run(windows_->StartScan(ScanRequest::Of(SelectionFromCheckBoxes())));
}

// Follows page requests until a window ends without one. A request to open the backup
// manager opens it, and its own request is followed in turn.
void MainWindowModel::Run(int request)
{
    if (request != kNoPageRequest)
        ActOnPageRequest(request);
}

void MainWindowModel::ActOnPageRequest(int request)
{
    while (request != kNoPageRequest) {
        int next = kNoPageRequest;
        switch (request) {
        case kRequestBackupManager:
            next = windows_->OpenBackupManager(kBackupRestorePage);
            break;
        case kRequestHelpPage:
            windows_->OpenHelpPage();
            break;
        case kRequestSettingsPage:
            ShowSettingsPage();
            break;
        case kRequestMainPage:
            ShowMainPage();
            break;
        case kRequestAdvancedOptions:
            ShowAdvancedOptionsPage();
            break;
        default:
            break;  // unknown codes are ignored
        }
        view_->RedrawWindow();
        request = next;
    }
}

bool MainWindowModel::OnCommand(int id)
{
    switch (id) {
    case IDC_EXIT:
        view_->EndProgram();
        return true;
    case IDC_MINIMIZE:
        view_->Minimize();
        return true;
    case IDC_LOGO:
    case IDC_MAIN_PAGE:
        ShowMainPage();
        return true;
    case IDC_ADVANCED_OPTIONS:
        ShowAdvancedOptionsPage();
        return true;
    case IDC_USER_SETTINGS:
    case IDC_SETTINGS_TILE:
        ShowSettingsPage();
        return true;
    case IDC_BACKUP_MANAGER:
    case IDC_BACKUP_TILE:
        Run(windows_->OpenBackupManager(kBackupRestorePage));
        return true;
    case IDC_HELP_PAGE:
        windows_->OpenHelpPage();
        return true;
    case IDC_SCAN_TILE:
    case IDC_SCAN_NOW:
        StartScan();
        return true;
    case IDC_BHO_MANAGER:
        Run(windows_->OpenBhoManager());
        return true;
    case IDC_STARTUP_MANAGER:
        Run(windows_->OpenStartupManager());
        return true;
    case IDC_ADDREMOVE_MANAGER:
        Run(windows_->OpenAddRemoveManager());
        return true;
    case IDC_IGNORED_ENTRIES:
        Run(windows_->OpenIgnoredEntries());
        return true;
    case IDC_FULL_BACKUP:
        Run(windows_->OpenBackupManager(kBackupFullPage));
        return true;
    case IDC_UNDO_REPAIR:
        UndoLastRepair();
        return true;
    default:
        return false;
    }
}

void MainWindowModel::OnShown()
{
    if (!scanPending_)
        return;
    scanPending_ = false;  // cleared first: the scan's own windows hide and show this one
    StartScan();
}

void MainWindowModel::OnOptionClicked()
{
    if (!view_)
        return;
    Settings& s = settings_.settings();
    s.scanOnStartup = view_->IsChecked(IDC_CHK_SCAN_ON_LOAD);
    s.restoreFromLatestBackup = view_->IsChecked(IDC_CHK_RESTORE_LATEST);
    long status = settings_.SaveOptions();
    if (status != kSuccess && !optionsFailureTold_) {
        optionsFailureTold_ = true;
        view_->ShowMessage(OptionsNotSavedText(status));
    }
}

void MainWindowModel::OnDestroy()
{
    if (!view_)
        return;
    Settings& s = settings_.settings();
    s.scanOnStartup = view_->IsChecked(IDC_CHK_SCAN_ON_LOAD);
    s.restoreFromLatestBackup = view_->IsChecked(IDC_CHK_RESTORE_LATEST);
    s.sections = SelectionFromCheckBoxes();
    settings_.Save();
}

std::string HelpPageNotOpenedText(const std::string& systemText, const std::string& path)
{
    std::string reason = systemText;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    if (reason.empty())
        reason = "No program opens it.";
    return "The help page could not be opened: " + reason + "\n\nIt is " + path;
}

void MainWindowModel::UndoLastRepair()
{
    const LastRepair last = ReadLastRepair(system_, ProgramFolder(system_));
    if (last.backupName.empty()) {
        view_->ShowMessage(backup_text::kNoRepairToUndo);
        return;
    }
    if (last.undone) {
        view_->ShowMessage(backup_text::AlreadyUndoneText(last.backupName));
        return;
    }
    if (!view_->Ask(backup_text::UndoLastRepairQuestion(last.backupName)))
        return;
    const UndoOutcome outcome = windows_->UndoLastRepair();
    std::string text;
    for (const std::string& m : outcome.messages)
        text += (text.empty() ? "" : "\n") + m;
    view_->ShowMessage(text);
}

}  // namespace tw
