// The page-dialog protocol shared by every window that takes the main window's place: the
// codes a page dialog leaves for the main window when it closes, what each header button
// does, and the closing rules. Plain logic, no window calls, so tests reach it directly.
#pragma once

#include "../../resources/resource.h"

namespace tw {

// What a page dialog asks the main window to do next; 0 means nothing. A request is the id
// of the main window's control that does the same.
enum PageRequest : int {
    kNoPageRequest = 0,
    kRequestBackupManager = IDC_BACKUP_MANAGER,     // open the backup manager on its restore page
    kRequestHelpPage = IDC_HELP_PAGE,               // open the help page
    kRequestSettingsPage = IDC_SETTINGS_TILE,       // show the "Settings" page
    kRequestMainPage = IDC_MAIN_PAGE,               // show the main page
    kRequestAdvancedOptions = IDC_ADVANCED_OPTIONS,  // show the "Advanced Options" page
};

// The page the backup manager opens on.
enum BackupManagerMode : int { kBackupRestorePage = 0, kBackupFullPage = 1 };

// Ids of the header and caption buttons every page dialog carries.
enum PageHeaderButton : int {
    kHeaderBackupManager = IDC_BACKUP_MANAGER,
    kHeaderUserSettings = IDC_USER_SETTINGS,
    kHeaderExit = IDC_EXIT,
    kHeaderHelp = IDC_HELP_PAGE,
    kHeaderMainPage = IDC_MAIN_PAGE,
    kHeaderMinimize = IDC_MINIMIZE,
    kHeaderAdvancedOptions = IDC_ADVANCED_OPTIONS,
};

// The page a header button asks the main window for (the "User settings" button, 1017,
// asks for the "Settings" page, 1047); 0 for any other button.
constexpr int PageRequestOfButton(int id)
{
    switch (id) {
    case kHeaderMainPage:
        return kRequestMainPage;
    case kHeaderAdvancedOptions:
        return kRequestAdvancedOptions;
    case kHeaderUserSettings:
        return kRequestSettingsPage;
    default:
        return kNoPageRequest;
    }
}

// The state of one modal run of a page dialog.
class PageDialogProtocol {
public:
    enum class Step {
        None,               // not a header button
        Close,              // end the dialog with pageRequest() set
        Exit,               // end the dialog and close the main window
        Minimize,           // show the dialog minimised
        OpenHelpPage,       // ask the main window to open the help page
        OpenBackupManager,  // open the backup manager, then FinishBackupManager()
    };

    // exitId and helpId vary by window (1028/1030, 1046/1047); the rest are shared.
    PageDialogProtocol(int exitId = kHeaderExit, int helpId = kHeaderHelp) : exitId_(exitId), helpId_(helpId) {}

    Step OnButton(int id)
    {
        if (id == exitId_) {
            closedByOwnButtons_ = true;
            return Step::Exit;
        }
        if (id == helpId_)
            return Step::OpenHelpPage;
        if (int request = PageRequestOfButton(id))
            return CloseWith(request);
        switch (id) {
        case kHeaderMinimize:
            return Step::Minimize;
        case kHeaderBackupManager:
            return Step::OpenBackupManager;
        default:
            return Step::None;
        }
    }

    // The backup manager opened from the header ended with `request`: a request is taken
    // over and this dialog closes too; without one this dialog stays.
    Step FinishBackupManager(int request)
    {
        if (request == kNoPageRequest)
            return Step::None;
        return CloseWith(request);
    }

    // The dialog's own Close button: ends it with the request already pending, if any.
    Step CloseByOwnButton() { return CloseWith(pageRequest_); }
    // Ended through its own buttons with `request` for the main window (0 for none).
    Step CloseByOwnButton(int request) { return CloseWith(request); }

    // On destruction: a dialog ended any other way (the system menu, Alt+F4, a parent going
    // away) ends the application exactly as its exit button does.
    bool DestructionEndsApplication() const { return !closedByOwnButtons_; }
    bool closedByOwnButtons() const { return closedByOwnButtons_; }
    int pageRequest() const { return pageRequest_; }

private:
    Step CloseWith(int request)
    {
        pageRequest_ = request;
        closedByOwnButtons_ = true;
        return Step::Close;
    }

    int exitId_;
    int helpId_;
    int pageRequest_ = kNoPageRequest;
    bool closedByOwnButtons_ = false;
};

}  // namespace tw
