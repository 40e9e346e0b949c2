// ResultsDialog: the results viewer, opened by the scan progress page when a scan is over.
// It takes the page's place and shows the findings in a report list, by section and in
// detail; what it shows and does is ResultsModel's.
#pragma once

#include "pages/results_model.h"
#include "ui/report_ctrl.h"
#include "ui/skin_dialog.h"
#include "../../resources/resource.h"

#include <array>

namespace tw {

class ResultsDialog final : public PageDialog, private ResultsView {
public:
    // `owner` is the scan progress page: the viewer takes its place and gives it back.
    ResultsDialog(PageHost& host, HWND owner, ProblemList& problems, std::vector<BrokenShortcut>& shortcuts,
                  ScanPageCommands& page, ScanCoverage coverage = {});

    ResultsOutcome outcome() const { return model_.outcome(); }

    static constexpr int kSkinId = IDS_SKIN_SCAN;

private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(int id, NMHDR* header, LRESULT* result) override;
    void OnDestroy() override;
    void DrawPreview(const ReportNotification& n);

    // ResultsView
    void ShowRows(const std::vector<ResultsRow>& rows) override;
    void SetTicked(int row, bool ticked) override;
    void ShowRepairButton(bool show) override;
    void EndViewer() override;
    void CloseAncestors() override;
    void Minimize() override;
    void OpenHelpPage() override;
    int OpenBackupManager() override;
    bool Confirm(const std::string& question) override;
    void ShowMessage(const std::string& text) override;
    void ShowIgnoreButton(bool show) override;
    bool AskReportPath(std::string* path) override;
    std::string WriteReportFile(const std::string& path, const std::string& bytes) override;
    void ShowReportError(const std::string& text) override;

    HWND owner_;
    ResultsModel model_;
    CReportCtrl list_;
    std::array<SkinButton, 4> buttons_;  // 1029, 1084, 1100 and 1110; the header is the page's
    bool ending_ = false;
};

// Runs the viewer modally over the scan page `owner` and tells how it ended.
ResultsOutcome RunResultsDialog(PageHost& host, HWND owner, ProblemList& problems,
                                std::vector<BrokenShortcut>& shortcuts, ScanPageCommands& page,
                                ScanCoverage coverage = {});

}  // namespace tw
