// ProcessListDialog: the scan progress page. It takes the main window's place, starts the
// scan worker as it opens, shows one row per requested section, the examined entry and a
// progress bar, and once the scan is over offers the results viewer and the repair. What
// it does is ScanPageModel's; this class carries it out on the controls.
#pragma once

#include "pages/scan_page_model.h"
#include "ui/list_view.h"
#include "ui/skin_dialog.h"
#include "../../resources/resource.h"

#include <array>
#include <memory>

namespace tw {

class ProcessListDialog final : public PageDialog, private ScanPageView {
public:
    ProcessListDialog(PageHost& host, Registry& registry, System& system, ActivityLog& log,
                      const ScanRequest& request);
    ~ProcessListDialog() override;

    static constexpr int kSkinId = IDS_SKIN_SCAN;
    static constexpr UINT_PTR kProgressTimer = 1;
    static constexpr UINT kProgressPeriod = 1700;
    // The rows and the status line follow the worker's progress table on this timer.
    static constexpr UINT_PTR kRowsTimer = 2;
    static constexpr UINT kRowsPeriod = 100;

private:
    // The worker's progress, kept for the window to draw; the completion is sent to the
    // window and waited for, as the page's completion handler shows its message and results.
    class WindowProgress : public ProgressTable {
    public:
        void ScanCompleted() override;
        HWND window = nullptr;
    };
    // Waits for the worker while messages sent to this thread keep being handled.
    class PumpingWait : public WorkerWait {
    public:
        void Until(const std::function<bool()>& finished) override;
    };

    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;
    void StopTimers() override;
    void ShowRows();

    // ScanPageView
    void ShowControl(int id, bool show) override;
    void SetProgressBar(int position) override;
    void StopProgressTimer() override;
    void ShowMessage(const std::string& text) override;
    bool Ask(const std::string& text) override;
    // The window a message box or a nested viewer belongs to.
    HWND Foremost() const;
    ResultsOutcome OpenResults() override;
    void EndPage(int pageRequest) override;
    void CloseMainWindow() override { PageDialog::CloseMainWindow(); }
    void Minimize() override;
    void OpenHelpPage() override;
    void SetWaitCursor(bool on) override;

    Registry& registry_;
    System& system_;
    PumpingWait wait_;  // before the model: the model's driver waits through it to its end
    WindowProgress progress_;
    std::unique_ptr<ScanPageModel> model_;
    ListView rows_;
    std::size_t rowsShown_ = 0;
    std::vector<ProgressTable::Row> lastRows_;
    std::string lastStatus_;
    std::array<SkinButton, 3> buttons_;  // 1029, 1084, 1092 (the header is the page's)
    bool progressTimer_ = false;
};

}  // namespace tw
