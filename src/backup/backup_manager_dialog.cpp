#include "backup/backup_manager_dialog.h"

#include "backup/backup_messages.h"
#include "backup/backup_process_dialog.h"
#include "backup/full_backup.h"
#include "backup/select_backup_dialog.h"
#include "log/process_log.h"
#include "platform/program_info.h"

#include "../../resources/resource.h"

namespace tw {
namespace {

constexpr COLORREF kTransparent = RGB(1, 255, 1);
constexpr COLORREF kPanel = RGB(255, 255, 255);
constexpr COLORREF kPanelText = RGB(22, 40, 56);
const char* const kCloseTooltip = "Cancel Registry Backup and close the dialog";

const int kFullPageControls[] = {IDC_RADIO_CREATE, IDC_RADIO_RESTORE, IDC_FULL_PERFORM, IDC_FULL_CLOSE};
const int kRestorePageControls[] = {IDC_BACKUP_DATES, IDC_BACKUP_CONTENT, IDC_DESELECT_ALL, IDC_SELECT_ALL,
                                    IDC_REMOVE_BACKUP, IDC_RESTORE_RUN, IDC_RESTORE_CLOSE};

struct PageButton {
    int id, normal, pressed, hover, mask;
    const char* tooltip;
};

const PageButton kPageButtons[] = {
    {IDC_FULL_PERFORM, IDB_PERFORM, IDB_PERFORM, IDB_PERFORM_HOT, IDB_SMALL_BUTTON_MASK, "Perform specified action"},
    {IDC_FULL_CLOSE, IDB_CLOSE_SMALL, IDB_CLOSE_SMALL, IDB_CLOSE_SMALL_HOT, IDB_SMALL_BUTTON_MASK, kCloseTooltip},
    {IDC_DESELECT_ALL, IDB_DESELECT_ALL, IDB_DESELECT_ALL_HOT, IDB_DESELECT_ALL_HOT, 0, "Deselect all Registry Backups"},
    {IDC_SELECT_ALL, IDB_SELECT_ALL, IDB_SELECT_ALL_HOT, IDB_SELECT_ALL_HOT, 0, "Select all Registry Backups"},
    {IDC_REMOVE_BACKUP, IDB_REMOVE_BACKUP, IDB_REMOVE_BACKUP_HOT, IDB_REMOVE_BACKUP_HOT, IDB_REMOVE_BACKUP_MASK, nullptr},
    {IDC_RESTORE_RUN, IDB_RESTORE, IDB_RESTORE_HOT, IDB_RESTORE_HOT, IDB_WIDE_BUTTON_MASK,
     "Restore specified Registry Backup"},
    {IDC_RESTORE_CLOSE, IDB_CLOSE_WIDE, IDB_CLOSE_WIDE_HOT, IDB_CLOSE_WIDE_HOT, IDB_WIDE_BUTTON_MASK,
     "Cancel Registry Backup and show previous page"},
};

// The content list, in client pixels.
constexpr RECT kContentArea{43, 205, 574, 412};

}  // namespace

ResBackup::ResBackup(PageHost& host, Registry& registry, System& system, BackupManagerMode mode)
    : PageDialog(IDD_RES_BACKUP, host, mode == kBackupFullPage ? IDS_SKIN_BACKUP_FULL : IDS_SKIN_BACKUP_RESTORE, kTransparent,
                 IDC_BACKUP_EXIT),
      registry_(registry),
      system_(system),
      programFolder_(ProgramFolder(system)),
      model_(registry, system, programFolder_, mode)
{
    SetExitTooltip(kCloseTooltip);
}

BOOL ResBackup::OnInitDialog()
{
    panelBrush_.reset(CreateSolidBrush(kPanel));
    content_.Create(hwnd(), IDC_BACKUP_CONTENT, kContentArea, WS_BORDER | WS_TABSTOP | LVS_SHOWSELALWAYS);
    content_.AddExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    content_.AddColumn("Key Type", 57);
    content_.AddColumn("Item Path", 470);
    ShowPageControls();  // before SetUpPage shows the window in the main window's place
    SetUpPage("");
    for (const PageButton& entry : kPageButtons)
        if (auto button = AttachSkinButton(hwnd(), entry.id, entry.normal, entry.pressed, entry.hover, entry.mask,
                                           entry.tooltip))
            buttons_.push_back(std::move(button));
    FillDates();
    ShowPage();
    // The restore page lists its backups once the window is on screen, so that "No backups
    // present for restore." appears over it.
    if (model_.page() == BackupPage::Restore)
        PostMessageA(hwnd(), kEnterRestorePage, 0, 0);
    return TRUE;
}

void ResBackup::ShowPageControls()
{
    bool restore = model_.page() == BackupPage::Restore;
    for (int id : kFullPageControls)
        ShowWindow(Item(id), restore ? SW_HIDE : SW_SHOW);
    for (int id : kRestorePageControls)
        ShowWindow(Item(id), restore ? SW_SHOW : SW_HIDE);
}

void ResBackup::ShowPage()
{
    bool restore = model_.page() == BackupPage::Restore;
    ShowPageControls();
    LoadSkin(restore ? IDS_SKIN_BACKUP_RESTORE : IDS_SKIN_BACKUP_FULL);
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    if (restore && !polling_)
        polling_ = SetTimer(hwnd(), kPollTimer, kPollPeriod, nullptr) != 0;
    else if (!restore)
        StopTimers();
}

void ResBackup::StopTimers()
{
    if (polling_)
        KillTimer(hwnd(), kPollTimer);
    polling_ = false;
}

void ResBackup::FillDates()
{
    HWND dates = Item(IDC_BACKUP_DATES);
    SendMessageA(dates, CB_RESETCONTENT, 0, 0);
    for (const DateListItem& item : model_.dateItems()) {
        LRESULT index = SendMessageA(dates, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
        if (index >= 0)
            SendMessageA(dates, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(item.data));
    }
    SendMessageA(dates, CB_SETCURSEL, static_cast<WPARAM>(model_.selectedDateItem()), 0);
}

void ResBackup::FillRows()
{
    SendMessageA(content_.hwnd(), WM_SETREDRAW, FALSE, 0);
    content_.DeleteAll();
    const std::vector<ContentRow>& rows = model_.rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        int row = content_.AddRow(BackupItemKindText(rows[i].item.kind), static_cast<LPARAM>(i));
        if (row < 0)
            continue;
        content_.SetText(row, 1, rows[i].ShownPath());
        content_.SetChecked(row, rows[i].ticked);
    }
    SendMessageA(content_.hwnd(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(content_.hwnd(), nullptr, TRUE);
}

// The check boxes are the user's: the model learns them before it restores.
void ResBackup::TicksToModel()
{
    for (int row = 0, count = content_.Count(); row < count; ++row)
        model_.SetTicked(static_cast<std::size_t>(content_.Data(row)), content_.IsChecked(row));
}

void ResBackup::ShowMessage(const std::string& text)
{
    UINT icon = text == backup_text::kNoBackups ? MB_ICONINFORMATION : 0;
    MessageBoxA(hwnd(), text.c_str(), backup_text::kCaption, MB_OK | icon);
}

void ResBackup::Apply(const ManagerOutcome& outcome)
{
    if (outcome.datesChanged)
        FillDates();
    if (outcome.rowsChanged)
        FillRows();
    if (outcome.pageChanged)
        ShowPage();
    for (const std::string& text : outcome.messages)
        ShowMessage(text);
    if (!outcome.question.empty()) {
        int answer = MessageBoxA(hwnd(), outcome.question.c_str(), backup_text::kCaption, MB_YESNO | MB_ICONQUESTION);
        Apply(model_.ConfirmRemove(answer == IDYES));
        return;
    }
    if (!outcome.close)
        return;
    if (outcome.endProgram)
        PageDialog::OnCommand(IDC_BACKUP_EXIT, BN_CLICKED, nullptr);
    else
        ClosePage(outcome.pageRequest);
}

void ResBackup::OnTimer(UINT_PTR id)
{
    if (id != kPollTimer || model_.page() != BackupPage::Restore)
        return;
    LRESULT selected = SendMessageA(Item(IDC_BACKUP_DATES), CB_GETCURSEL, 0, 0);
    if (selected != CB_ERR)
        model_.SelectDateItem(static_cast<int>(selected));
    Apply(model_.Poll());
}

void ResBackup::RunFullBackup(FullBackupPlan plan)
{
    std::unique_ptr<FullBackupSteps> steps = MakeSnapshotSteps(system_, &ProcessActivityLog());
    BackupProcess window(hwnd(), registry_, system_, *steps, std::move(plan));
    window.DoModal();
}

void ResBackup::PerformAction()
{
    switch (model_.PerformAction()) {
    case FullBackupChoice::Create:
        RunFullBackup(PrepareFullBackup(system_, programFolder_, system_.GetLocalTime()));
        break;
    case FullBackupChoice::Restore: {
        SelectBackup picker(hwnd(), BackupManagerModel::MakeFullRestorePicker(), system_, programFolder_);
        std::string name;
        if (picker.Run(&name) && !name.empty())
            RunFullBackup(PlanFullRestore(programFolder_, name));
        break;
    }
    case FullBackupChoice::None:
        break;
    }
}

bool ResBackup::OnCommand(int id, int code, HWND control)
{
    if (id == IDCANCEL) {
        Apply(model_.OnWindowClose());  // Escape closes as any other way than the buttons
        return true;
    }
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_MAIN_PAGE:
    case IDC_ADVANCED_OPTIONS:
    case IDC_USER_SETTINGS:
    case IDC_BACKUP_MANAGER:
        Apply(model_.OnToolbar(id));
        return true;
    case IDC_FULL_CLOSE:
        Apply(model_.OnCancelClose());
        return true;
    case IDC_RESTORE_CLOSE:
        Apply(model_.OnCancelShowPrevious());
        return true;
    case IDC_RADIO_CREATE:
        model_.SetFullBackupChoice(FullBackupChoice::Create);
        return true;
    case IDC_RADIO_RESTORE:
        model_.SetFullBackupChoice(FullBackupChoice::Restore);
        return true;
    case IDC_FULL_PERFORM:
        PerformAction();
        return true;
    case IDC_SELECT_ALL:
        model_.SelectAll();
        content_.SetAllChecked(true);
        return true;
    case IDC_DESELECT_ALL:
        model_.DeselectAll();
        content_.SetAllChecked(false);
        return true;
    case IDC_RESTORE_RUN:
        TicksToModel();
        Apply(model_.Restore());
        return true;
    case IDC_REMOVE_BACKUP: {
        SelectBackup picker(hwnd(), model_.MakeRemovePicker(), system_, programFolder_);
        std::string name;
        bool ok = picker.Run(&name);
        Apply(model_.FinishRemove(ok, name));
        return true;
    }
    default:
        return PageDialog::OnCommand(id, code, control);  // help, minimise, exit
    }
}

INT_PTR ResBackup::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled)
{
    *handled = true;
    switch (message) {
    case kEnterRestorePage:
        Apply(model_.EnterRestorePage());
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (id == IDC_RADIO_CREATE || id == IDC_RADIO_RESTORE) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, kPanel);
            SetTextColor(dc, kPanelText);
            return reinterpret_cast<INT_PTR>(panelBrush_.get());
        }
        break;
    }
    default:
        break;
    }
    *handled = false;
    return FALSE;
}

}  // namespace tw
