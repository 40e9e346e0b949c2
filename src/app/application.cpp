#include "app/application.h"

#include "app/wow64_refusal.h"

namespace tw {

bool Application::Start(ApplicationShell& shell)
{
    if (RefusesToRunHere(system_)) {
        refused_ = true;
        shell.ShowMessage(kWow64RefusalText, kWow64RefusalCaption, MessageIcon::Information);
        return false;
    }
    bool alreadyExisted = false;
    instanceGuard_ = system_.MakeEvent(kInstanceEventName, true, true, &alreadyExisted);
    // Only "it already existed" refuses; an event that could not be made for another
    // reason lets the program run.
    if (alreadyExisted) {
        refused_ = true;
        shell.ShowMessage(kAlreadyRunning, kAlreadyRunningCaption, MessageIcon::None);
        return false;
    }
    shell.InitialiseControls();
    shell.ShowSplash();
    shell.RunMainWindow();
    return false;
}

}  // namespace tw
