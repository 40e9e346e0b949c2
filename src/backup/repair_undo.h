// Undo in one step: the repair's backup restored whole, and the record that says which
// backup the last repair wrote and whether it was undone already.
//
// The record is a small text file beside the backups ("Registry Backups\Repairs.txt", not
// a ".reg" file, so the catalogue does not list it): each repair that wrote a backup adds
// "repair<TAB><backup name>", each undo "undone<TAB><backup name><TAB><backup of what it
// wrote over>". The last repair is the backup of the last "repair" line; it is undone once
// an "undone" line names it after it. Undo never steps back to an earlier repair: after an
// undo, the next undo says the last repair is undone already until another repair runs.
// The record lives in the program's folder, not in the registry, so that a repair and its
// undo leave the registry exactly as it was.
//
// An undo restores every row the repair removed (the rows the repair kept, unticked by the
// user, are left alone, as the backup manager starts them), through the restore that first
// saves what it writes over into a backup of its own: an undo can itself be undone from the
// backup manager.
#pragma once

#include "backup/backup_restore.h"
#include "log/activity_log.h"
#include "platform/registry.h"
#include "platform/system.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

inline constexpr std::string_view kRepairRecordName = "Repairs.txt";

// "<program folder>\Registry Backups\Repairs.txt"
std::string RepairRecordPath(std::string_view programFolder);

// Adds the backup a repair wrote to the record; false when the record could not be written.
bool RecordRepair(System& system, std::string_view programFolder, std::string_view backupPath);
// Before a repair deletes anything: it began, with this backup ("begun"). A repair cut short
// (the program ended, the power went) is still the one an undo takes back.
bool RecordRepairBegun(System& system, std::string_view programFolder, std::string_view backupPath);
// After it: it removed nothing ("nothing"), so the repair before it stays the last.
bool RecordRepairRemovedNothing(System& system, std::string_view programFolder, std::string_view backupPath);

struct LastRepair {
    std::string backupName;  // empty: no repair recorded
    bool undone = false;
};
LastRepair ReadLastRepair(System& system, std::string_view programFolder);

struct UndoOutcome {
    enum class Status {
        Undone,         // the backup was restored whole
        NoRepair,       // no repair is recorded
        AlreadyUndone,  // the last repair is undone already; nothing was written
        NotRestored,    // the restore failed, or did not write everything back
    };
    Status status = Status::NoRepair;
    std::string backupName;
    RestoreOutcome restore;
    // keys, values and files written back
    std::size_t items = 0;
    // What to show, in order; the last says whether the repair is undone.
    std::vector<std::string> messages;
};

// Undoes the repair that wrote `backupPath`, whatever the record says of the last one.
UndoOutcome UndoRepair(Registry& registry, System& system, ActivityLog& log, std::string_view programFolder,
                       std::string_view backupPath);
// Undoes the last recorded repair, unless it was undone already.
UndoOutcome UndoLastRepair(Registry& registry, System& system, ActivityLog& log, std::string_view programFolder);

}  // namespace tw
