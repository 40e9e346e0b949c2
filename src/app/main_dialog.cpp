#include "app/main_dialog.h"

#include "../../resources/resource.h"
#include "ui/window_barrier.h"
#include "ui/shared_texts.h"

#include <commctrl.h>
#include <shellapi.h>

namespace tw {
namespace {

constexpr UINT kStartPendingScan = WM_APP + 1;
const COLORREF kPanelColour = RGB(255, 255, 255);  // the skin's page panel
const COLORREF kStripColour = RGB(19, 98, 122);    // the skin's title strip
const COLORREF kLabelText = RGB(27, 39, 55);
const RECT kPageArea = {18, 108, 604, 521};        // client pixels redrawn on a page change

struct ButtonImages {
    int id, normal, pressed, hover, mask;
    const char* tooltip;
    bool hand;
};

// clang-format off
const ButtonImages kButtons[] = {
    {IDC_EXIT,              IDB_EXIT,              IDB_EXIT_HOT,              IDB_EXIT_HOT,              0, "Exit the program", true},
    {IDC_MINIMIZE,          IDB_MINIMIZE,          IDB_MINIMIZE_HOT,          IDB_MINIMIZE_HOT,          0, "Minimize program", true},
    {IDC_LOGO,              IDB_LOGO,              IDB_LOGO,                  0,                         0, nullptr, true},
    {IDC_MAIN_PAGE,         IDB_HOME,              IDB_HOME_HOT,              IDB_HOME_HOT,              0, "Show main page", true},
    {IDC_ADVANCED_OPTIONS,  IDB_OPTIONS,           IDB_OPTIONS_HOT,           IDB_OPTIONS_HOT,           0, "User options", true},
    {IDC_BACKUP_MANAGER,    IDB_BACKUPS,           IDB_BACKUPS_HOT,           IDB_BACKUPS_HOT,           0, shared_text::kManageRegistryBackups, true},
    {IDC_USER_SETTINGS,     IDB_USER_SETTINGS,     IDB_USER_SETTINGS_HOT,     IDB_USER_SETTINGS_HOT,     0, "User settings", true},
    {IDC_HELP_PAGE,              IDB_HELP,              IDB_HELP_HOT,              IDB_HELP_HOT,              0, "User help", true},
    {IDC_SCAN_TILE,         IDB_SCAN_TILE,         IDB_SCAN_TILE_HOT,         IDB_SCAN_TILE_HOT,         0, "Scan computer now", true},
    {IDC_BACKUP_TILE,       IDB_BACKUP_TILE,       IDB_BACKUP_TILE_HOT,       IDB_BACKUP_TILE_HOT,       0, shared_text::kManageRegistryBackups, true},
    {IDC_SETTINGS_TILE,     IDB_SETTINGS_TILE,     IDB_SETTINGS_TILE_HOT,     IDB_SETTINGS_TILE_HOT,     0, "Show advanced settings page", true},
    {IDC_TIP_CARD,          IDB_TIP_CARD,          IDB_TIP_CARD,              IDB_TIP_CARD,              0, nullptr, false},
    {IDC_AREAS_HEADING,     IDB_AREAS_HEADING,     IDB_AREAS_HEADING,         IDB_AREAS_HEADING,         0, nullptr, false},
    {IDC_SCAN_NOW,          IDB_SCAN_NOW,          IDB_SCAN_NOW_HOT,          IDB_SCAN_NOW_HOT,          IDB_SCAN_NOW_MASK, "Scan computer now", true},
    {IDC_BHO_MANAGER,       IDB_BHO_TILE,          IDB_BHO_TILE_HOT,          IDB_BHO_TILE_HOT,          0, "Show Browser Helper Object Manager", true},
    {IDC_STARTUP_MANAGER,   IDB_STARTUP_TILE,      IDB_STARTUP_TILE_HOT,      IDB_STARTUP_TILE_HOT,      0, nullptr, true},
    {IDC_ADDREMOVE_MANAGER, IDB_ADDREMOVE_TILE,    IDB_ADDREMOVE_TILE_HOT,    IDB_ADDREMOVE_TILE_HOT,    0, nullptr, true},
    {IDC_FULL_BACKUP,       IDB_FULL_BACKUP_TILE,  IDB_FULL_BACKUP_TILE_HOT,  IDB_FULL_BACKUP_TILE_HOT,  0, nullptr, true},
    {IDC_UNDO_REPAIR,       IDB_UNDO_REPAIR,       IDB_UNDO_REPAIR_HOT,       IDB_UNDO_REPAIR_HOT,       0, "Undo last repair", true},
    {IDC_IGNORED_ENTRIES,   IDB_IGNORED_TILE,      IDB_IGNORED_TILE_HOT,      IDB_IGNORED_TILE_HOT,      0, nullptr, true},
};
// clang-format on

bool IsRichLabel(int id)
{
    if (id == IDC_LBL_SCAN_ON_LOAD || id == IDC_LBL_RESTORE_LATEST)
        return true;
    for (ScanSection section : SectionsInPageOrder())
        if (SectionInfoOf(section).labelId == id)
            return true;
    return false;
}

bool IsCheckBox(int id)
{
    if (id == IDC_CHK_SCAN_ON_LOAD || id == IDC_CHK_RESTORE_LATEST)
        return true;
    for (ScanSection section : SectionsInPageOrder())
        if (SectionInfoOf(section).checkBoxId == id)
            return true;
    return false;
}

// The check box a label belongs to, or 0.
int CheckBoxOfLabel(int labelId)
{
    if (labelId == IDC_LBL_SCAN_ON_LOAD)
        return IDC_CHK_SCAN_ON_LOAD;
    if (labelId == IDC_LBL_RESTORE_LATEST)
        return IDC_CHK_RESTORE_LATEST;
    for (ScanSection section : SectionsInPageOrder())
        if (SectionInfoOf(section).labelId == labelId)
            return SectionInfoOf(section).checkBoxId;
    return 0;
}

// Rich-edit labels are text, not fields: a click ticks the label's box (as a check box's
// own text would) instead of placing a caret, and the pointer stays an arrow.
LRESULT CALLBACK LabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR)
{
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(label, LabelProc, id);
        return DefSubclassProc(label, message, wParam, lParam);
    }
    return GuardedWindowCall(
        label, "option label",
        [&]() -> LRESULT {
            switch (message) {
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                if (int box = CheckBoxOfLabel(GetDlgCtrlID(label)))
                    SendMessageA(GetDlgItem(GetParent(label), box), BM_CLICK, 0, 0);
                return 0;
            case WM_LBUTTONUP:
            case WM_RBUTTONDOWN:
            case WM_RBUTTONUP:
            case WM_MOUSEMOVE:
                return 0;
            case WM_SETCURSOR:
                SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW
                return TRUE;
            default:
                return DefSubclassProc(label, message, wParam, lParam);
            }
        },
        LRESULT(0));
}

constexpr UINT_PTR kLabelSubclass = 0x4C41424C;  // "LABL"

}  // namespace

MainDialog::MainDialog(System& system, SettingsModel& settings,
                       std::unique_ptr<WindowEntryPoints> (*makeWindows)(PageHost& host))
    : SkinDialog(IDD_MAIN_DIALOG, nullptr), system_(system), settings_(settings), makeWindows_(makeWindows)
{
}

BOOL MainDialog::OnInitDialog()
{
    model_ = std::make_unique<MainWindowModel>(system_, settings_, makeWindows_(*this));
    panelBrush_.reset(CreateSolidBrush(kPanelColour));

    HINSTANCE instance = GetModuleHandleA(nullptr);
    icon_.reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    AddTrayIcon();

    SetWindowTextA(hwnd(), MainWindowModel::kTitle);
    SetUpButtons();
    SetDragAnywhere(true);
    LoadSkin(IDS_SKIN_MAIN);
    SetDrawMode(kSkinSizeWindow);
    SetTransparentColour(RGB(0, 255, 0), true);

    for (int id = 1000; id < 1100; ++id) {
        if (IsRichLabel(id) || id == IDC_PAGE_TITLE) {
            if (HWND label = Item(id))
                SetWindowSubclass(label, LabelProc, kLabelSubclass, 0);
        }
        if (IsRichLabel(id))
            SetRichLabel(Item(id), "", false, kLabelText, kPanelColour);
    }
    model_->Initialise(*this);
    return TRUE;
}

void MainDialog::SetUpButtons()
{
    for (const ButtonImages& entry : kButtons) {
        auto button =
            AttachSkinButton(hwnd(), entry.id, entry.normal, entry.pressed, entry.hover, entry.mask, entry.tooltip);
        if (!button)
            continue;
        button->SetHandCursor(entry.hand);
        buttons_.push_back(std::move(button));
    }
}

bool MainDialog::OnCommand(int id, int code, HWND control)
{
    if (id == IDOK || id == IDCANCEL) {
        EndProgram();  // Enter and Escape leave, as the close button does
        return true;
    }
    if (id == ID_TRAY_OPEN && !control) {
        BringToFront();
        return true;
    }
    if (code != BN_CLICKED || !control)
        return false;
    if (IsCheckBox(id)) {
        if (model_ && (id == IDC_CHK_SCAN_ON_LOAD || id == IDC_CHK_RESTORE_LATEST))
            model_->OnOptionClicked();
        return false;
    }
    return model_ && model_->OnCommand(id);
}

void MainDialog::OnDestroy()
{
    if (model_)
        model_->OnDestroy();
    RemoveTrayIcon();
    buttons_.clear();
    // The window still holds the icons until it is gone: take them back first.
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, 0);
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, 0);
    icon_.reset();
    smallIcon_.reset();
}

INT_PTR MainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled)
{
    *handled = true;
    switch (message) {
    case WM_CLOSE:
        EndProgram();
        return TRUE;
    case WM_SHOWWINDOW:
        // The start-up scan waits until the window is on screen.
        if (wParam)
            PostMessageA(hwnd(), kStartPendingScan, 0, 0);
        *handled = false;
        return FALSE;
    case kStartPendingScan:
        if (model_ && IsWindowVisible(hwnd()))
            model_->OnShown();
        return TRUE;
    case kTrayMessage:
        OnTrayNotify(wParam, lParam);
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        HWND control = reinterpret_cast<HWND>(lParam);
        if (IsCheckBox(GetDlgCtrlID(control))) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, kPanelColour);
            SetTextColor(dc, kLabelText);
            return reinterpret_cast<INT_PTR>(panelBrush_.get());
        }
        *handled = false;
        return FALSE;
    }
    case WM_PAINT:
        if (IsIconic(hwnd()) && icon_) {
            // Minimised: the application icon, centred.
            PaintDc paint(hwnd());
            HDC dc = paint.get();
            SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
            RECT client;
            GetClientRect(hwnd(), &client);
            int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
            DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, icon_.get());
            return TRUE;
        }
        *handled = false;
        return FALSE;
    case WM_QUERYDRAGICON:
        SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(icon_.get()));
        return reinterpret_cast<INT_PTR>(icon_.get());
    default:
        *handled = false;
        return FALSE;
    }
}

// ---- notification-area icon

void MainDialog::AddTrayIcon()
{
    trayIcon_.reset(static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TRAY_ICON),
                                                  IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                  GetSystemMetrics(SM_CYSMICON), 0)));
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = hwnd();
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = trayIcon_.get();
    lstrcpynA(data.szTip, kTrayTip, sizeof data.szTip);
    // Without a notification area the window works without its icon.
    trayAdded_ = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
}

void MainDialog::RemoveTrayIcon()
{
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = hwnd();
    data.uID = kTrayIconId;
    Shell_NotifyIconA(NIM_DELETE, &data);
    trayAdded_ = false;
    trayIcon_.reset();
}

void MainDialog::BringToFront()
{
    if (IsIconic(hwnd()))
        ShowWindow(hwnd(), SW_RESTORE);
    SetForegroundWindow(hwnd());
    SetFocus(hwnd());
}

void MainDialog::OnTrayNotify(WPARAM id, LPARAM event)
{
    if (id != kTrayIconId)
        return;
    if (event == WM_LBUTTONDBLCLK) {
        BringToFront();
    } else if (event == WM_RBUTTONUP) {
        UniqueMenu menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU)));
        if (!menu)
            return;
        POINT p;
        GetCursorPos(&p);
        // The window must be in front for the menu to close when the user clicks elsewhere.
        SetForegroundWindow(hwnd());
        TrackPopupMenu(GetSubMenu(menu.get(), 0), TPM_LEFTBUTTON, p.x, p.y, 0, hwnd(), nullptr);
        PostMessageA(hwnd(), WM_NULL, 0, 0);
    }
}

// ---- PageHost

int MainDialog::OpenBackupManager(BackupManagerMode mode)
{
    return model_ ? model_->windows().OpenBackupManager(mode) : 0;
}

void MainDialog::OpenHelpPage()
{
    if (model_)
        model_->windows().OpenHelpPage();
}

// ---- MainWindowView

void MainDialog::SetRedraw(bool on)
{
    SendMessageA(hwnd(), WM_SETREDRAW, on ? TRUE : FALSE, 0);
}

void MainDialog::ShowControl(int id, bool show)
{
    if (HWND control = Item(id))
        ShowWindow(control, show ? SW_SHOW : SW_HIDE);
}

void MainDialog::SetPageTitle(const std::string& title)
{
    pageTitle_ = title;
    SetRichLabel(Item(IDC_PAGE_TITLE), title, true, RGB(255, 255, 255), kStripColour);
}

std::string MainDialog::PageTitle()
{
    HWND label = Item(IDC_PAGE_TITLE);
    if (!label)
        return pageTitle_;
    int length = GetWindowTextLengthA(label);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(label, text.data(), length + 1)));
    return text;
}

void MainDialog::RedrawPageArea()
{
    ::RedrawWindow(hwnd(), &kPageArea, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void MainDialog::RedrawWindow()
{
    ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
}

void MainDialog::SetLabelText(int id, const std::string& text)
{
    SetRichLabel(Item(id), text, false, kLabelText, kPanelColour);
}

void MainDialog::SetChecked(int id, bool checked)
{
    CheckDlgButton(hwnd(), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool MainDialog::IsChecked(int id)
{
    return IsDlgButtonChecked(hwnd(), id) == BST_CHECKED;
}

void MainDialog::Minimize()
{
    ShowWindow(hwnd(), SW_MINIMIZE);
}

void MainDialog::EndProgram()
{
    EndDialog(0);
}

void MainDialog::ShowMessage(const std::string& text)
{
    MessageBoxA(hwnd(), text.c_str(), "Tarnwick", MB_OK | MB_ICONEXCLAMATION);
}

bool MainDialog::Ask(const std::string& text)
{
    return MessageBoxA(hwnd(), text.c_str(), "Tarnwick", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace tw
