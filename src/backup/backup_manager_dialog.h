// ResBackup (the window keeps the name its resources and texts know it by; the file is named
// for what it is): the backup manager window, a page dialog over BackupManagerModel with two pages
// on one template: the full-backup page (skin 201: the two radio buttons, "Perform specified
// action" and its close button) and the restore page (skin 202: the date list, the content
// list with check boxes, select and deselect all, restore, remove, close). The window shows
// one page's controls at a time, polls the date list every 100 ms while the restore page is
// shown, and carries out what the model's outcomes say: messages, redraws, closing with a
// page request or ending the program. The full-backup action runs BackupProcess (after the
// SelectBackup picker for a restore).
#pragma once

#include "backup/backup_manager_model.h"
#include "backup/full_backup.h"
#include "ui/list_view.h"
#include "ui/skin_dialog.h"

#include <memory>
#include <string>
#include <vector>

namespace tw {

class ResBackup final : public PageDialog {
public:
    ResBackup(PageHost& host, Registry& registry, System& system, BackupManagerMode mode);

private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;
    void StopTimers() override;

    void Apply(const ManagerOutcome& outcome);
    void ShowPage();
    void ShowPageControls();
    void FillDates();
    void FillRows();
    void TicksToModel();
    void PerformAction();
    void RunFullBackup(FullBackupPlan plan);
    void ShowMessage(const std::string& text);

    static constexpr UINT_PTR kPollTimer = 1;
    static constexpr UINT kPollPeriod = 100;
    static constexpr UINT kEnterRestorePage = WM_APP + 12;

    Registry& registry_;
    System& system_;
    std::string programFolder_;
    BackupManagerModel model_;
    ListView content_;
    std::vector<std::unique_ptr<SkinButton>> buttons_;
    UniqueGdiObject panelBrush_;
    bool polling_ = false;
};

}  // namespace tw
