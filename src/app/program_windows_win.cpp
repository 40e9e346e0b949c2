#include "app/program_windows_win.h"

#include "app/ignored_entries_dialog.h"

#include "backup/backup_catalogue.h"
#include "backup/backup_manager_dialog.h"
#include "log/process_log.h"
#include "managers/manager_dialog.h"
#include "platform/program_info.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "pages/process_list_dialog.h"
#include "ui/hyperlink.h"

#include <shellapi.h>

#include <string>

namespace tw {
namespace {

// ShellExecute's answers at or below 32 as system error codes.
DWORD ShellErrorCode(INT_PTR result)
{
    switch (result) {
    case 0:
    case SE_ERR_OOM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case SE_ERR_FNF:
        return ERROR_FILE_NOT_FOUND;
    case SE_ERR_PNF:
        return ERROR_PATH_NOT_FOUND;
    case SE_ERR_ACCESSDENIED:
        return ERROR_ACCESS_DENIED;
    case SE_ERR_SHARE:
        return ERROR_SHARING_VIOLATION;
    case SE_ERR_DLLNOTFOUND:
        return ERROR_DLL_NOT_FOUND;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY:
        return ERROR_DDE_FAIL;
    default:  // SE_ERR_NOASSOC, SE_ERR_ASSOCINCOMPLETE and the rest
        return ERROR_NO_ASSOCIATION;
    }
}

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
    UndoOutcome UndoLastRepair() override
    {
        Win32Registry registry;
        Win32System system;
        return tw::UndoLastRepair(registry, system, ProcessActivityLog(), ProgramFolder(system));
    }
    int OpenBackupManager(BackupManagerMode mode) override
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
    int OpenIgnoredEntries() override
    {
        Win32Registry registry;
        IgnoredEntriesDialog dialog(host_.MainWindow(), registry);
        dialog.DoModal();
        return 0;
    }
    void OpenHelpPage() override
    {
        Win32System system;
        std::string path = JoinPath(ProgramFolder(system), kHelpFileName);
        // A page that is missing would be handed to the browser fallback, which shows nothing.
        INT_PTR result = GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES
                             ? SE_ERR_FNF
                             : CHyperLink::GoToAddress(path, SW_SHOWNORMAL);
        if (result > 32)
            return;
        // The window in front (the main window or a page) owns the message.
        MessageBoxA(GetActiveWindow(), HelpPageNotOpenedText(SystemErrorText(ShellErrorCode(result)), path).c_str(),
                    "Tarnwick", MB_OK | MB_ICONEXCLAMATION);
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
