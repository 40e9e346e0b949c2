// What the main window shows and what its buttons do, without the window: the three pages
// sharing one window (which controls each shows, when the page area is redrawn), the page
// title, the start-up order, the pending start-up scan, page requests coming back from the
// other windows, and the settings read from and written to the check boxes.
#pragma once

#include "app/settings_model.h"
#include "app/window_entry_points.h"
#include "platform/program_version.h"
#include "platform/system.h"

#include <memory>
#include <string>
#include <vector>

namespace tw {

enum class MainPage { None, Main, Settings, AdvancedOptions };

// The window side: the dialog implements it over its controls.
class MainWindowView {
public:
    virtual ~MainWindowView() = default;
    virtual void SetRedraw(bool on) = 0;
    virtual void ShowControl(int id, bool show) = 0;
    virtual void SetPageTitle(const std::string& title) = 0;
    virtual std::string PageTitle() = 0;
    // Erases and repaints the page area at once.
    virtual void RedrawPageArea() = 0;
    // Repaints the whole window with its children.
    virtual void RedrawWindow() = 0;
    virtual void SetLabelText(int id, const std::string& text) = 0;
    virtual void SetChecked(int id, bool checked) = 0;
    virtual bool IsChecked(int id) = 0;
    virtual void Minimize() = 0;
    // Ends the main window's modal loop, which ends the program.
    virtual void EndProgram() = 0;
    // A message box with an OK button, owned by the window.
    virtual void ShowMessage(const std::string& text) = 0;
    // A message box with Yes and No buttons, owned by the window; true for Yes.
    virtual bool Ask(const std::string& text) = 0;
};

class MainWindowModel {
public:
    // Window title and the labels of the "Advanced Options" page.
    // The main window spells "Version" with a capital, the other windows do not.
    static constexpr const char* kTitle = "Tarnwick Version " TW_VERSION_SHORT;
    static constexpr const char* kSettingsTitle = "Settings";
    static constexpr const char* kAdvancedTitle = "Advanced Options";
    static constexpr const char* kScanOnLoadLabel = "Perform Scan on Application Load";
    static constexpr const char* kRestoreLatestLabel = "Restore From Latest Backup";

    MainWindowModel(System& system, SettingsModel& settings, std::unique_ptr<WindowEntryPoints> windows);

    // Dialog initialisation after the title, the buttons and the skin are set: shows the
    // main page, loads the check boxes, sets the labels, prunes orphaned full backups and
    // old logs, loads the options and marks the start-up scan.
    void Initialise(MainWindowView& view);
    // A button of the window was pressed; false when the id is not one of its commands.
    bool OnCommand(int id);
    // One of the two option boxes was clicked: the options are kept at once, so that a key
    // that cannot be written is told while the user looks at them (once a run).
    void OnOptionClicked();
    // The window is shown; the first time, a pending start-up scan starts.
    void OnShown();
    // The window is being destroyed: the check boxes are saved.
    void OnDestroy();
    // Acts on a page request left by another window, then redraws the whole window.
    void ActOnPageRequest(int request);

    // "Undo last repair": says when there is nothing to undo or the last repair is undone
    // already; otherwise asks once, restores the last repair's backup whole and says what it
    // wrote back.
    void UndoLastRepair();

    void ShowMainPage();
    void ShowSettingsPage();
    void ShowAdvancedOptionsPage();

    MainPage page() const { return page_; }
    bool scanPending() const { return scanPending_; }
    // The fourteen check boxes as a selection indexed by scan position.
    SectionSelection SelectionFromCheckBoxes() const;
    WindowEntryPoints& windows() { return *windows_; }

    // Control groups of each page.
    static const std::vector<int>& MainPageControls();     // includes the 14 boxes and labels
    static const std::vector<int>& SettingsPageControls();
    static const std::vector<int>& OptionsPageControls();

private:
    void ShowOptionPage(MainPage page, const char* title);
    void StartScan();
    void Run(int request);

    System& system_;
    SettingsModel& settings_;
    std::unique_ptr<WindowEntryPoints> windows_;
    MainWindowView* view_ = nullptr;
    MainPage page_ = MainPage::None;
    bool scanPending_ = false;
    bool optionsFailureTold_ = false;
};

}  // namespace tw
