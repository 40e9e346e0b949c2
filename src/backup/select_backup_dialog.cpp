#include "backup/select_backup_dialog.h"

#include "backup/backup_messages.h"

#include "../../resources/resource.h"

namespace tw {

SelectBackup::SelectBackup(HWND parent, SelectBackupModel model, System& system, std::string programFolder)
    : SkinDialog(IDD_SELECT_BACKUP, parent),
      model_(std::move(model)),
      system_(system),
      programFolder_(std::move(programFolder))
{
}

bool SelectBackup::Run(std::string* chosenName)
{
    if (DoModal() != IDOK)
        return false;
    *chosenName = model_.chosenName();
    return true;
}

BOOL SelectBackup::OnInitDialog()
{
    SetDragAnywhere(false);  // a plain dialog: moved by its caption
    SetWindowTextA(hwnd(), model_.title().c_str());
    SetDlgItemTextA(hwnd(), IDC_PICKER_TEXT, model_.text().c_str());
    SetDlgItemTextA(hwnd(), IDC_PICKER_GROUP, backup_text::kPickerGroupLabel);
    bool anything = model_.Open(system_, programFolder_);
    HWND dates = Item(IDC_PICKER_DATES);
    for (const DateListItem& item : model_.items()) {
        LRESULT index = SendMessageA(dates, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
        if (index >= 0)
            SendMessageA(dates, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(item.data));
    }
    SendMessageA(dates, CB_SETCURSEL, 0, 0);
    if (!anything) {
        MessageBoxA(parent(), backup_text::kNoBackups, backup_text::kCaption, MB_OK | MB_ICONINFORMATION);
        EndDialog(IDCANCEL);
        return TRUE;
    }
    SetTimer(hwnd(), kPollTimer, kPollPeriod, nullptr);
    return TRUE;
}

void SelectBackup::Poll()
{
    HWND dates = Item(IDC_PICKER_DATES);
    LRESULT selected = SendMessageA(dates, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR)
        return;
    model_.Poll(static_cast<int>(SendMessageA(dates, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0)));
}

bool SelectBackup::OnCommand(int id, int code, HWND control)
{
    (void)control;
    if (code != BN_CLICKED)
        return false;
    if (id == IDOK) {
        Poll();  // a choice made since the last tick counts
        EndDialog(IDOK);
        return true;
    }
    if (id == IDCANCEL) {
        EndDialog(IDCANCEL);
        return true;
    }
    return false;
}

void SelectBackup::OnTimer(UINT_PTR id)
{
    if (id == kPollTimer)
        Poll();
}

void SelectBackup::OnDestroy()
{
    KillTimer(hwnd(), kPollTimer);
}

}  // namespace tw
