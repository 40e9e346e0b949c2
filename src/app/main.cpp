// Tarnwick.exe: the process-wide activity log, then the application object, which refuses
// a second copy or shows the splash and runs the main window until the user leaves.
#include "app/application.h"
#include "app/main_dialog.h"
#include "log/process_log.h"
#include "app/program_windows_win.h"
#include "app/settings_model.h"
#include "app/splash_dialog.h"
#include "platform/program_info.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "ui/window_barrier.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

namespace tw {
namespace {

// Made during static initialisation, before WinMain, and destroyed after it returns, so a
// refused second copy still leaves a log holding its closing line.
struct ProcessLog {
    Win32System system;
    ActivityLog log{system};
    ProcessLog() { log.Open(); }
};
ProcessLog processLog;

class Win32Shell final : public ApplicationShell {
public:
    Win32Shell(System& system, Registry& registry) : system_(system), registry_(registry) {}

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        MessageBoxA(nullptr, text.c_str(), caption.c_str(),
                    MB_OK | (icon == MessageIcon::Information ? MB_ICONINFORMATION : 0u));
    }

    void InitialiseControls() override
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        richEdit_.reset(LoadLibraryA("RICHED20.DLL"));
        // Hosting of controls and the OLE picture loader of the skins.
        oleReady_ = SUCCEEDED(OleInitialize(nullptr));
    }

    void ShowSplash() override
    {
        SplashDialog splash;
        splash.DoModal();
    }

    void RunMainWindow() override
    {
        SettingsModel settings(registry_, kSettingsKeyName, ProgramName(system_));
        MainDialog main(system_, settings, MakeProgramWindows);
        main.DoModal();
    }

    ~Win32Shell() override
    {
        if (oleReady_)
            OleUninitialize();
    }

private:
    System& system_;
    Registry& registry_;
    UniqueModule richEdit_;
    bool oleReady_ = false;
};

}  // namespace

ActivityLog& ProcessActivityLog()
{
    return processLog.log;
}

}  // namespace tw

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    tw::Win32System system;
    tw::Win32Registry registry;
    // An exception stopped at a window procedure is written to the log.
    tw::SetWindowExceptionLog(&tw::ProcessActivityLog());
    tw::Application application(system);
    tw::Win32Shell shell(system, registry);
    application.Start(shell);
    return 0;
}
