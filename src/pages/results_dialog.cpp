#include "pages/results_dialog.h"

#include "../../resources/resource.h"
#include "ui/shared_texts.h"
#include "platform/win32/win32_handle.h"
#include "platform/win32/win32_system.h"
#include "ui/wide_text.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace tw {
namespace {

// A host that puts the viewer in the scan page's place instead of the main window's: the
// viewer hides its owner and shows it again, and everything else goes to the main window.
class OwnerHost final : public PageHost {
public:
    OwnerHost(PageHost& main, HWND owner) : main_(main), owner_(owner) {}
    HWND MainWindow() override { return owner_; }
    int OpenBackupManager(BackupManagerMode mode) override { return main_.OpenBackupManager(mode); }
    void OpenHelpPage() override { main_.OpenHelpPage(); }

private:
    PageHost& main_;
    HWND owner_;
};

constexpr RECT kListArea{17, 144, 600, 455};
constexpr DWORD kListStyle = 0x50010040;  // a visible child with a tab stop, rows with previews

}  // namespace

ResultsDialog::ResultsDialog(PageHost& host, HWND owner, ProblemList& problems,
                             std::vector<BrokenShortcut>& shortcuts, ScanPageCommands& page, ScanCoverage coverage)
    : PageDialog(IDD_RESULTS, host, kSkinId, RGB(1, 255, 1)),
      owner_(owner),
      model_(problems, shortcuts, page, std::move(coverage))
{
}

BOOL ResultsDialog::OnInitDialog()
{
    SetUpPage(model_.TitleLine());
    const struct {
        int id, normal, hot;
        const char* tip;
    } buttons[] = {
        {kResultsClose, IDB_RESULTS_CLOSE, IDB_RESULTS_CLOSE_HOT, shared_text::kCloseTheDialog},
        {kResultsRepair, IDB_REPAIR, IDB_REPAIR_HOT, shared_text::kRepairFoundProblems},
        {kResultsSaveReport, IDB_SAVE_REPORT, IDB_SAVE_REPORT_HOT, kSaveReportTip},
        {kResultsIgnore, IDB_NEVER_REPORT, IDB_NEVER_REPORT_HOT, "Never report the ticked problems again"},
    };
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        if (!buttons_[i].Attach(hwnd(), buttons[i].id))
            continue;
        buttons_[i].SetImages(buttons[i].normal, buttons[i].hot, buttons[i].hot);
        buttons_[i].SetTooltip(buttons[i].tip);
    }
    list_.Create(kListStyle, kListArea, hwnd(), kResultsList);
    list_.SetPaletteColour(kResultsBlack, RGB(0, 0, 0));
    list_.SetPaletteColour(kResultsRed, RGB(255, 0, 0));
    const int widths[kResultsColumns] = {30, 160, 165, 225};
    for (int c = 0; c < kResultsColumns; ++c) {
        ReportColumn column;
        column.format = c < 3 ? 0x44000 : 0x4000;
        column.width = widths[c];
        list_.DefineColumn(c, column);
        list_.ShowColumn(c, c);
    }
    list_.SetEmptyText(model_.EmptyText());
    list_.DeleteAllItems();
    model_.Open(*this);
    return TRUE;
}

void ResultsDialog::ShowRows(const std::vector<ResultsRow>& rows)
{
    SendMessageA(list_.hwnd(), WM_SETREDRAW, FALSE, 0);
    list_.DeleteAllItems();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const ResultsRow& row = rows[r];
        ReportItem item;
        item.mask = kItemState | kItemOwnerValue | kItemPreview;
        item.row = static_cast<int>(r);
        item.state = kResultsRowState;
        item.stateMask = kResultsRowState;
        item.ownerValue = static_cast<std::intptr_t>(r);
        item.previewHeight = row.previewHeight;
        int index = list_.InsertItem(item);
        if (index < 0)
            continue;
        for (int c = 1; c < kResultsColumns; ++c) {
            const ResultsCell& cell = row.cells[static_cast<std::size_t>(c)];
            if (!cell.text.empty() || cell.colour != kResultsNoColour)
                list_.SetItemText(index, c, cell.text, cell.colour);
        }
        list_.SetCheck(index, 0, row.ticked ? 1 : 0);
    }
    SendMessageA(list_.hwnd(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_.hwnd(), nullptr, TRUE);
}

void ResultsDialog::SetTicked(int row, bool ticked)
{
    list_.SetCheck(row, 0, ticked ? 1 : 0);
}

void ResultsDialog::ShowRepairButton(bool show)
{
    if (HWND repair = Item(kResultsRepair)) {
        EnableWindow(repair, show);
        ShowWindow(repair, show ? SW_SHOW : SW_HIDE);
    }
}

void ResultsDialog::ShowIgnoreButton(bool show)
{
    if (HWND button = Item(kResultsIgnore)) {
        EnableWindow(button, show);
        ShowWindow(button, show ? SW_SHOW : SW_HIDE);
    }
}

bool ResultsDialog::Confirm(const std::string& question)
{
    return MessageBoxA(hwnd(), question.c_str(), "Tarnwick", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void ResultsDialog::ShowMessage(const std::string& text)
{
    MessageBoxA(hwnd(), text.c_str(), "Tarnwick", MB_OK | MB_ICONINFORMATION);
}

void ResultsDialog::DrawPreview(const ReportNotification& n)
{
    const std::vector<ResultsRow>& rows = model_.rows();
    if (n.row < 0 || static_cast<std::size_t>(n.row) >= rows.size())
        return;
    RECT area = n.rect;
    area.left += 40;
    area.top += 2;
    area.bottom -= 2;
    bool highlighted = list_.IsSelected(n.row) && GetFocus() == list_.hwnd();
    COLORREF old = SetTextColor(n.dc, GetSysColor(highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_GRAYTEXT));
    int oldMode = SetBkMode(n.dc, TRANSPARENT);
    const std::string text = PreviewText(rows[static_cast<std::size_t>(n.row)]);
    ui::DrawTextIn(n.dc, text, &area,
              DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_END_ELLIPSIS);
    SetBkMode(n.dc, oldMode);
    SetTextColor(n.dc, old);
}

bool ResultsDialog::OnNotify(int id, NMHDR* header, LRESULT* result)
{
    if (id != kResultsList)
        return false;
    if (static_cast<int>(header->code) == kReportGetRowTip) {
        auto& request = *reinterpret_cast<ReportTipRequest*>(header);
        request.text = model_.RowTip(request.note.row);
        *result = 0;
        return true;
    }
    const auto& n = *reinterpret_cast<const ReportNotification*>(header);
    switch (static_cast<int>(header->code)) {
    case kReportDrawPreview:
        DrawPreview(n);
        break;
    case kReportLeftButtonDown:
        if ((n.hitFlags & kHitCheckBox) && n.row >= 0 && n.column == 0)
            model_.OnTickClicked(n.row);
        break;
    case kReportDoubleClick:
        if (n.row >= 0)
            model_.OnDoubleClick(n.row);
        break;
    default:
        return false;
    }
    *result = 0;  // never claimed: the list's own handling follows
    return true;
}

bool ResultsDialog::OnCommand(int id, int code, HWND control)
{
    if (id == IDCANCEL && !control) {
        // Escape ends the viewer without its close step; the destruction ends the program.
        EndDialog(IDCANCEL);
        return true;
    }
    if (code != BN_CLICKED)
        return false;
    return model_.OnCommand(id);
}

void ResultsDialog::OnDestroy()
{
    model_.OnDestroy();
    list_.Destroy();
    PageDialog::OnDestroy();
}

// ---- ResultsView

void ResultsDialog::EndViewer()
{
    ClosePage(model_.pageRequest());
}

void ResultsDialog::CloseAncestors()
{
    for (HWND window = GetParent(hwnd()); window; window = GetParent(window))
        PostMessageA(window, WM_CLOSE, 0, 0);
}

void ResultsDialog::Minimize()
{
    ShowWindow(hwnd(), SW_MINIMIZE);
}

void ResultsDialog::OpenHelpPage()
{
    host().OpenHelpPage();
}

int ResultsDialog::OpenBackupManager()
{
    return host().OpenBackupManager(kBackupRestorePage);
}

bool ResultsDialog::AskReportPath(std::string* path)
{
    // The name the dialog offers, with room for the longest path it may give back.
    std::vector<char> name(32768, '\0');
    const std::string offered = kReportDefaultName;
    std::copy(offered.begin(), offered.end(), name.begin());
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd();
    ofn.lpstrFilter = "CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.lpstrTitle = "Save report";
    ofn.lpstrDefExt = "csv";
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameA(&ofn))
        return false;  // cancelled (or the dialog could not open: nothing was chosen)
    *path = name.data();
    return !path->empty();
}

std::string ResultsDialog::WriteReportFile(const std::string& path, const std::string& bytes)
{
    HANDLE raw = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE)
        return SystemErrorText(GetLastError());
    UniqueWin32Handle file(raw);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 20));
        DWORD done = 0;
        if (!WriteFile(file.get(), bytes.data() + written, chunk, &done, nullptr) || done == 0)
            return SystemErrorText(GetLastError());
        written += done;
    }
    if (!CloseHandle(file.release()))
        return SystemErrorText(GetLastError());
    return {};
}

void ResultsDialog::ShowReportError(const std::string& text)
{
    MessageBoxA(hwnd(), text.c_str(), "Tarnwick", MB_OK | MB_ICONEXCLAMATION);
}

ResultsOutcome RunResultsDialog(PageHost& host, HWND owner, ProblemList& problems,
                                std::vector<BrokenShortcut>& shortcuts, ScanPageCommands& page, ScanCoverage coverage)
{
    OwnerHost ownerHost(host, owner);
    ResultsDialog viewer(ownerHost, owner, problems, shortcuts, page, std::move(coverage));
    viewer.DoModal();
    return viewer.outcome();
}

}  // namespace tw
