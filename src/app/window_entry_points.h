// The windows the main window opens besides its own pages. Each call runs its window
// modally and returns the page request it ended with (0 for none), which the main window
// then acts on. The main window's model owns one implementation; the program's is in
// program_windows_win.cpp, tests use a recording one.
#pragma once

#include "app/settings_model.h"
#include "backup/repair_undo.h"
#include "ui/page_request.h"

#include <string>

namespace tw {

class WindowEntryPoints {
public:
    virtual ~WindowEntryPoints() = default;

    // The scan progress page, scanning the requested sections.
    virtual int StartScan(const ScanRequest& request) = 0;
    // The backup manager, open on the page named.
    virtual int OpenBackupManager(BackupManagerMode mode) = 0;
    virtual int OpenStartupManager() = 0;
    virtual int OpenBhoManager() = 0;
    virtual int OpenAddRemoveManager() = 0;
    // "Ignored entries": the user's ignore list, with "Take off the list".
    virtual int OpenIgnoredEntries() { return 0; }
    // The help page shipped beside the program, in the browser.
    virtual void OpenHelpPage() = 0;
    // Restores the last repair's backup whole (asked and told by the main window's model).
    virtual UndoOutcome UndoLastRepair() = 0;
    // Removes full-backup folders that no catalogue entry names any more (start-up).
    virtual void PruneOrphanFullBackups() = 0;
};

// What the user is told when the help page does not open: the system's reason and the
// page's path, so that it can be opened by hand.
std::string HelpPageNotOpenedText(const std::string& systemText, const std::string& path);


}  // namespace tw
