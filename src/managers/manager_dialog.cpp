#include "managers/manager_dialog.h"

#include "managers/add_remove_manager.h"
#include "managers/bho_manager.h"
#include "managers/startup_manager.h"

#include "../../resources/resource.h"

#include <commctrl.h>

namespace tw {
namespace {

const COLORREF kPanelColour = RGB(255, 255, 255);  // the skin's page panel
const COLORREF kStripColour = RGB(19, 98, 122);    // the skin's title strip
const COLORREF kLabelText = RGB(27, 39, 55);

const COLORREF kTransparentGreen = RGB(0, 255, 0);

// The lists' rectangles in client pixels.
constexpr RECT kStartupListArea = {35, 235, 584, 396};
constexpr RECT kBhoListArea = {35, 265, 584, 416};
constexpr RECT kAddRemoveListArea = {35, 266, 583, 476};

}  // namespace

ManagerDialog::ManagerDialog(int templateId, PageHost& host, std::unique_ptr<ManagerModel> model,
                             const RECT& listArea, int exitId, int helpId)
    : PageDialog(templateId, host, IDS_SKIN_MANAGER, kTransparentGreen, exitId, helpId),
      model_(std::move(model)),
      listArea_(listArea),
      buttonTable_(model_->buttons())
{
}

BOOL ManagerDialog::OnInitDialog()
{
    panelBrush_.reset(CreateSolidBrush(kPanelColour));
    model_->Open();
    SetUpPage(model_->title());

    for (const ManagerButton& b : buttonTable_) {
        auto button = std::make_unique<SkinButton>();
        if (button->Attach(hwnd(), b.id)) {
            button->SetImages(b.normalBitmap, b.hotBitmap, b.hotBitmap);
            button->SetTooltip(b.tooltip);
        }
        buttons_.push_back(std::move(button));
    }

    if (model_->HasDetailsPanel()) {
        SetDlgItemTextA(hwnd(), kDetailsGroupId, kDetailsCaption);
        for (int i = 0; i < 4; ++i)
            SetDlgItemTextA(hwnd(), kFirstDetailLabelId + i, kDetailLabels[i]);
    }

    list_.Create(hwnd(), kListId, listArea_, WS_BORDER | WS_TABSTOP | LVS_SINGLESEL | LVS_SHOWSELALWAYS);
    list_.AddExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    for (const ManagerColumn& column : model_->columns())
        list_.AddColumn(column.title, column.width);

    ShowView();
    if (model_->HasDetailsPanel())
        timerRunning_ = SetTimer(hwnd(), kSelectionTimer, kSelectionPeriodMs, nullptr) != 0;
    return TRUE;
}

void ManagerDialog::StopTimers()
{
    if (timerRunning_ && hwnd())
        KillTimer(hwnd(), kSelectionTimer);
    timerRunning_ = false;
}

void ManagerDialog::ShowView()
{
    SetRichLabel(Item(kTitleLineId), model_->title(), true, RGB(255, 255, 255), kStripColour);
    SetRichLabel(Item(IDC_MGR_DESCRIPTION), model_->description(), false, kLabelText, kPanelColour);
    SetRichLabel(Item(IDC_MGR_NOTE), model_->note(), false, kLabelText, kPanelColour);
    for (const ManagerButton& b : buttonTable_)
        if (HWND button = Item(b.id))
            ShowWindow(button, model_->ButtonShown(b.role) ? SW_SHOW : SW_HIDE);
    ShowRows();
    ShowDetails();
}

void ManagerDialog::ShowRows()
{
    SendMessageA(list_.hwnd(), WM_SETREDRAW, FALSE, 0);
    list_.DeleteAll();
    const std::vector<ManagerRow>& rows = model_->rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ManagerRow& row = rows[i];
        int index = list_.AddRow(row.texts.empty() ? std::string() : row.texts[0], static_cast<LPARAM>(row.entry));
        if (index < 0)
            continue;
        for (std::size_t column = 1; column < row.texts.size(); ++column)
            list_.SetText(index, static_cast<int>(column), row.texts[column]);
        list_.SetChecked(index, row.ticked);
    }
    SendMessageA(list_.hwnd(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_.hwnd(), nullptr, TRUE);
}

void ManagerDialog::ShowDetails()
{
    if (!model_->TakeDetailsRepaint())
        return;
    std::vector<std::string> values = DetailValues(model_->details());
    for (int i = 0; i < 4; ++i)
        SetDlgItemTextA(hwnd(), kFirstDetailValueId + i, values[static_cast<std::size_t>(i)].c_str());
    // The panel's background is the skin: erase and draw it again with the new texts at once.
    HWND group = Item(kDetailsGroupId);
    if (!group)
        return;
    RECT area;
    GetWindowRect(group, &area);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&area), 2);
    RedrawWindow(hwnd(), &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// The check boxes are the list's own: the model learns them just before a button uses them.
void ManagerDialog::TakeTicks()
{
    int count = list_.Count();
    for (int i = 0; i < count; ++i)
        model_->SetTicked(static_cast<std::size_t>(i), list_.IsChecked(i));
}

void ManagerDialog::Press(ManagerButtonRole role)
{
    if (role == ManagerButtonRole::Run) {
        const std::string failed = model_->RunSelected(list_.SelectionMark());
        if (!failed.empty())
            MessageBoxA(hwnd(), failed.c_str(), kManagerMessageCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    TakeTicks();
    ManagerAction action = ManagerAction::None;
    switch (role) {
    case ManagerButtonRole::Remove:
        action = model_->PressRemove();
        break;
    case ManagerButtonRole::Restore:
        action = model_->PressRestore();
        break;
    default:
        action = model_->PressClose();
        break;
    }
    if (action == ManagerAction::EndDialog) {
        ClosePage();
        return;
    }
    ShowView();
    if (action == ManagerAction::ShowNoBackupsMessage)
        MessageBoxA(hwnd(), kNoBackupsMessage, kManagerMessageCaption, MB_OK | MB_ICONINFORMATION);
    else if (action == ManagerAction::ShowMoveFailedMessage)
        MessageBoxA(hwnd(), model_->moveFailedText().c_str(), kManagerMessageCaption, MB_OK | MB_ICONWARNING);
}

bool ManagerDialog::OnCommand(int id, int code, HWND control)
{
    if (code == BN_CLICKED) {
        for (const ManagerButton& b : buttonTable_) {
            if (b.id == id) {
                Press(b.role);
                return true;
            }
        }
    }
    return PageDialog::OnCommand(id, code, control);
}

void ManagerDialog::OnTimer(UINT_PTR id)
{
    if (id != kSelectionTimer)
        return;
    model_->FollowSelection(list_.SelectionMark());
    ShowDetails();
}

INT_PTR ManagerDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled)
{
    if (message == WM_CTLCOLORSTATIC) {
        // Labels, values and the group box sit on the white page panel.
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, kPanelColour);
        SetTextColor(dc, kLabelText);
        (void)lParam;
        *handled = true;
        return reinterpret_cast<INT_PTR>(panelBrush_.get());
    }
    *handled = false;
    return FALSE;
}

StartupManagerDialog::StartupManagerDialog(PageHost& host, Registry& registry, System& system)
    : ManagerDialog(IDD_STARTUP_MANAGER, host, std::make_unique<StartupManagerModel>(registry, system),
                    kStartupListArea)
{
}

BhoDialog::BhoDialog(PageHost& host, Registry& registry, System& system)
    : ManagerDialog(IDD_BHO_MANAGER, host, std::make_unique<BhoManagerModel>(registry, system), kBhoListArea)
{
}

AddRemoveDialog::AddRemoveDialog(PageHost& host, Registry& registry, System& system)
    : ManagerDialog(IDD_ADDREMOVE_MANAGER, host, std::make_unique<AddRemoveManagerModel>(registry, system),
                    kAddRemoveListArea, IDC_ADDREMOVE_EXIT, IDC_ADDREMOVE_HELP)
{
}

}  // namespace tw
