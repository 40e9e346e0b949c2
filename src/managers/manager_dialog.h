// The three manager windows: StartupManagerDialog, BhoDialog and AddRemoveDialog. They share
// one ManagerDialog that draws what its ManagerModel says (title, description and note lines,
// the list with its check boxes, the buttons of the current view, the details panel) and turns
// clicks and the 100 ms selection poll into model calls. Each window differs only in its
// template, model, list rectangle and the ids of its exit and help buttons.
#pragma once

#include "managers/manager_model.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "ui/list_view.h"
#include "ui/skin_dialog.h"

#include <memory>
#include <vector>

namespace tw {

class ManagerDialog : public PageDialog {
public:
    // `listArea`: the list's rectangle in client pixels.
    ManagerDialog(int templateId, PageHost& host, std::unique_ptr<ManagerModel> model, const RECT& listArea,
                  int exitId = kHeaderExit, int helpId = kHeaderHelp);

    ManagerModel& model() { return *model_; }

    static constexpr int kListId = 1044;
    static constexpr int kDetailsGroupId = 1045;
    static constexpr UINT_PTR kSelectionTimer = 1;
    static constexpr UINT kSelectionPeriodMs = 100;

private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;
    void StopTimers() override;

    void Press(ManagerButtonRole role);
    // Shows the model's view: texts, buttons and the rows.
    void ShowView();
    void ShowRows();
    void ShowDetails();
    void TakeTicks();

    std::unique_ptr<ManagerModel> model_;
    RECT listArea_;
    ListView list_;
    std::vector<ManagerButton> buttonTable_;
    std::vector<std::unique_ptr<SkinButton>> buttons_;
    UniqueGdiObject panelBrush_;
    bool timerRunning_ = false;
};

class StartupManagerDialog final : public ManagerDialog {
public:
    StartupManagerDialog(PageHost& host, Registry& registry, System& system);
};

class BhoDialog final : public ManagerDialog {
public:
    BhoDialog(PageHost& host, Registry& registry, System& system);
};

class AddRemoveDialog final : public ManagerDialog {
public:
    AddRemoveDialog(PageHost& host, Registry& registry, System& system);
};

}  // namespace tw
