#include "app/ignored_entries_dialog.h"

#include "../../resources/resource.h"

namespace tw {

IgnoredEntriesDialog::IgnoredEntriesDialog(HWND parent, Registry& registry)
    : SkinDialog(IDD_IGNORED_ENTRIES, parent), model_(registry)
{
}

BOOL IgnoredEntriesDialog::OnInitDialog()
{
    SetDragAnywhere(false);  // a plain dialog: moved by its caption
    SetWindowTextA(hwnd(), kIgnoredEntriesTitle);
    SetDlgItemTextA(hwnd(), kIgnoredNote, kIgnoredEntriesNote);
    list_.Attach(Item(kIgnoredList));
    list_.AddExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    list_.AddColumn(kIgnoredKeyColumn, 480);
    list_.AddColumn(kIgnoredValueColumn, 180);
    model_.Open(*this);
    return TRUE;
}

bool IgnoredEntriesDialog::OnCommand(int id, int code, HWND control)
{
    if (id == IDCANCEL) {
        EndDialog(IDCANCEL);
        return true;
    }
    if (code != BN_CLICKED || !control)
        return false;
    return model_.OnCommand(id, list_.Selected());
}

void IgnoredEntriesDialog::ShowRows(const std::vector<IgnoredRow>& rows)
{
    list_.DeleteAll();
    for (const IgnoredRow& row : rows) {
        int index = list_.AddRow(row[0]);
        if (index >= 0)
            list_.SetText(index, 1, row[1]);
    }
    if (!rows.empty())
        list_.Select(0);
}

void IgnoredEntriesDialog::EnableRemove(bool enable)
{
    EnableWindow(Item(kIgnoredRemove), enable);
}

void IgnoredEntriesDialog::ShowMessage(const std::string& text)
{
    MessageBoxA(hwnd(), text.c_str(), kIgnoredEntriesTitle, MB_OK | MB_ICONINFORMATION);
}

void IgnoredEntriesDialog::Close()
{
    EndDialog(IDCANCEL);
}

}  // namespace tw
