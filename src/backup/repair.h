// The repair of a finished scan, in three steps: every listed registry item is saved into a
// dated pre-repair backup; each ticked item that went into the backup complete is recorded
// in a scratch journal (a registry snapshot) and deleted; each ticked broken shortcut file is
// deleted. The scan's stop event is tested between the steps: a stop still signalled makes
// the repair end after the backup. If the backup cannot be written in full, nothing at all
// is deleted and the caller tells the user.
#pragma once

#include "backup/repair_backup.h"
#include "backup/repair_deletion.h"
#include "scan/problem_record.h"
#include "scan/scan_engine.h"
#include "scan/shortcut_scanner.h"

#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Saves every listed registry item, then the files (the shortcuts the repair will delete); a
// "VAL" problem for "(Default)" is turned into the unnamed value in the record itself, as the
// deletion then addresses that value.
RepairBackupResult WriteRepairBackup(Registry& registry, System& system, ActivityLog& log,
                                     std::string_view programFolder, ProblemList& problems,
                                     const std::vector<std::string>& files = {});

struct RepairOutcome {
    RepairBackupResult backup;
    bool backupFailed = false;  // nothing was deleted; show backup_text::kBackupNotWritten
    bool stoppedAfterBackup = false;
    bool stoppedAfterDeletion = false;
    RepairCounts counts;
    std::string journalPath;  // removed again at the end of the deletion step
};

// The repair command of the scan window (and of the command line).
RepairOutcome Repair(ScanEngine& engine, CShortcut& shortcuts, std::string_view programFolder);

}  // namespace tw
