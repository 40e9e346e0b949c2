#include "app/application.h"

namespace tw {

bool Application::Start(ApplicationShell& shell)
{
    bool alreadyExisted = false;
    instanceGuard_ = system_.MakeEvent(kInstanceEventName, true, true, &alreadyExisted);
    // Only "it already existed" refuses; an event that could not be made for another
    // reason lets the program run.
    if (alreadyExisted) {
        refused_ = true;
        shell.ShowMessage(kAlreadyRunning, kAlreadyRunningCaption);
        return false;
    }
    shell.InitialiseControls();
    shell.ShowSplash();
    shell.RunMainWindow();
    return false;
}

}  // namespace tw
