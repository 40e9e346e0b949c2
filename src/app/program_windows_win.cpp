#include "app/program_windows_win.h"

#include "backup/backup_catalogue.h"
#include "backup/backup_manager_dialog.h"
#include "platform/program_info.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "ui/hyperlink.h"

#include <string>

namespace tw {
namespace {

class ProgramWindows final : public WindowEntryPoints {
public:
    explicit ProgramWindows(PageHost& host) : host_(host) {}

    int StartScan(const ScanRequest& request) override
    {
        int count = 0;
        for (std::int32_t flag : request.flags)
            count += flag != 0 ? 1 : 0;
        Announce("The scan progress page opens here and scans the " + std::to_string(count) +
                 " ticked sections.");
        return 0;
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
        Announce("The startup programs manager opens here.");
        return 0;
    }
    int OpenBhoManager() override
    {
        Announce("The browser helper object manager opens here.");
        return 0;
    }
    int OpenAddRemoveManager() override
    {
        Announce("The Add/Remove Programs manager opens here.");
        return 0;
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
    void Announce(const std::string& text)
    {
        MessageBoxA(host_.MainWindow(), text.c_str(), "Tarnwick", MB_OK | MB_ICONINFORMATION);
    }

    PageHost& host_;
};

}  // namespace

std::unique_ptr<WindowEntryPoints> MakeProgramWindows(PageHost& host)
{
    return std::make_unique<ProgramWindows>(host);
}

}  // namespace tw
