#include "app/program_windows_win.h"

#include "backup/backup_catalogue.h"
#include "backup/backup_manager_dialog.h"
#include "log/process_log.h"
#include "managers/manager_dialog.h"
#include "platform/program_info.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "pages/process_list_dialog.h"
#include "ui/hyperlink.h"

#include <string>

namespace tw {
namespace {

class ProgramWindows final : public WindowEntryPoints {
public:
    explicit ProgramWindows(PageHost& host) : host_(host) {}

    int StartScan(const ScanRequest& request) override
    {
        Win32Registry registry;
        Win32System system;
        ProcessListDialog page(host_, registry, system, ProcessActivityLog(), request);
        page.DoModal();
        return page.pageRequest();
    }
    int OpenBackupManager(int mode) override
    {
        Win32Registry registry;
        Win32System system;
        ResBackup window(host_, registry, system, mode);
        window.DoModal();
        return window.pageRequest();
    }
    int OpenStartupManager() override
    {
        StartupManagerDialog dialog(host_, managerRegistry_, managerSystem_);
        dialog.DoModal();
        return dialog.pageRequest();
    }
    int OpenBhoManager() override
    {
        BhoDialog dialog(host_, managerRegistry_, managerSystem_);
        dialog.DoModal();
        return dialog.pageRequest();
    }
    int OpenAddRemoveManager() override
    {
        AddRemoveDialog dialog(host_, managerRegistry_, managerSystem_);
        dialog.DoModal();
        return dialog.pageRequest();
    }
    void OpenHelpPage() override
    {
        Win32System system;
        // Not checked: a missing browser is the shell's to report.
        CHyperLink::GoToAddress(JoinPath(ProgramFolder(system), kHelpFileName), SW_SHOWNORMAL);
    }
    void PruneOrphanFullBackups() override
    {
        Win32System system;
        tw::PruneOrphanFullBackups(system, ProgramFolder(system));
    }

private:
    PageHost& host_;
    // The managers' registry and file system.
    Win32Registry managerRegistry_;
    Win32System managerSystem_;
};

}  // namespace

std::unique_ptr<WindowEntryPoints> MakeProgramWindows(PageHost& host)
{
    return std::make_unique<ProgramWindows>(host);
}

}  // namespace tw
