// MainDialog: the skinned main window that lives for the whole run, with its toolbar, the
// three pages sharing the window, and the notification-area icon. What it shows and does
// is MainWindowModel's; this class turns window messages into calls on the model and
// carries out what the model asks of the window (MainWindowView). It is also the PageHost
// of every page dialog that takes its place.
#pragma once

#include "app/main_window_model.h"
#include "ui/skin_dialog.h"

#include <vector>

namespace tw {

class MainDialog final : public SkinDialog, private MainWindowView, public PageHost {
public:
    static constexpr UINT kTrayMessage = WM_USER + 2;
    static constexpr UINT kTrayIconId = 132;
    static constexpr const char* kTrayTip = "Tarnwick";

    // The model's window entry points are made once the window exists (they need it as
    // owner): `makeWindows` is called with the main window's PageHost.
    MainDialog(System& system, SettingsModel& settings,
               std::unique_ptr<WindowEntryPoints> (*makeWindows)(PageHost& host));

    // PageHost
    HWND MainWindow() override { return hwnd(); }
    int OpenBackupManager(BackupManagerMode mode) override;
    void OpenHelpPage() override;

private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnDestroy() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;

    // MainWindowView
    void SetRedraw(bool on) override;
    void ShowControl(int id, bool show) override;
    void SetPageTitle(const std::string& title) override;
    std::string PageTitle() override;
    void RedrawPageArea() override;
    void RedrawWindow() override;
    void SetLabelText(int id, const std::string& text) override;
    void SetChecked(int id, bool checked) override;
    bool IsChecked(int id) override;
    void Minimize() override;
    void EndProgram() override;
    void ShowMessage(const std::string& text) override;
    bool Ask(const std::string& text) override;

    void SetUpButtons();
    void AddTrayIcon();
    void RemoveTrayIcon();
    void OnTrayNotify(WPARAM id, LPARAM event);
    void BringToFront();

    System& system_;
    SettingsModel& settings_;
    std::unique_ptr<WindowEntryPoints> (*makeWindows_)(PageHost&);
    std::unique_ptr<MainWindowModel> model_;
    std::vector<std::unique_ptr<SkinButton>> buttons_;
    std::string pageTitle_;
    UniqueIcon icon_;
    UniqueIcon smallIcon_;
    UniqueIcon trayIcon_;
    bool trayAdded_ = false;
    UniqueGdiObject panelBrush_;
};

}  // namespace tw
