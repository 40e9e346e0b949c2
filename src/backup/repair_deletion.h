// The deletion step of a repair, on items already saved into the pre-repair backup: each
// item that is ticked and went into the backup complete is first recorded (the journal)
// and then deleted, and of it exactly what its record in the backup file holds. The file is
// read again for that, record by record, so what goes is what a restore gives back, and
// only one key's names are held at a time: its values go, each only while its type and
// data are still those in the file; its subkeys go bottom up; a key goes last, and only once
// nothing is left in it (a key without subkeys that holds nothing but values still as saved
// goes with them in one deletion). A value or subkey that appeared after the backup, or a value that
// changed, stays with the keys above it, and the log says so. Anything else stays in the
// registry. The journal name is formed here too, so the repair and its tests agree on it.
#pragma once

#include "backup/repair_backup.h"
#include "log/activity_log.h"
#include "platform/registry.h"
#include "platform/system.h"

#include <functional>
#include <string>
#include <vector>

namespace tw {

struct RepairCounts {
    int keys = 0;       // keys deleted with their subtrees
    int values = 0;     // values deleted
    int shortcuts = 0;  // shortcut files deleted
    int left = 0;       // ticked items left in place, whole or in part (not saved, changed, or the deletion failed)
    // Keys and values ("path [name]") the registry refused to open or delete with "access
    // denied": what a caller without the rights it needs must name.
    std::vector<std::string> denied;
};

// "FixedOn" + full weekday + full month + day (2) + year (4) + hour, minute, second (2
// each) + ".xml", English names: FixedOnMondayMarch072005140509.xml.
std::string RepairJournalName(const LocalTime& time);

// Deletes the items whose `excluded` flag is clear and that `backup` saved complete, in
// order, each as far as its record in the backup file holds it. `record` is called with
// each item just before it is deleted (the journal).
RepairCounts DeleteSavedItems(Registry& registry, System& system, ActivityLog& log,
                              const std::vector<RepairBackupItem>& items, const std::vector<bool>& excluded,
                              const RepairBackupResult& backup,
                              const std::function<void(const RepairBackupItem&)>& record);

}  // namespace tw
