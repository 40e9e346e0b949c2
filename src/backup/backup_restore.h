// Reading a pre-repair backup back: the rows the backup manager shows (one per stored key,
// value and subkey, numbered in file order) and the restore of the ticked rows. Restoring
// never deletes: keys are created or opened, values are created or overwritten. An unticked
// key row leaves its whole subtree alone, whatever the ticks below it.
#pragma once

#include "log/activity_log.h"
#include "platform/registry.h"
#include "platform/system.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct BackupItem {
    enum class Kind { Key, Value, File };
    Kind kind = Kind::Key;
    // "HKEY_CLASSES_ROOT\CLSID\{...}" for a key, "<key path> [<name>]" for a value.
    std::string path;
    // For values: the name (empty for the unnamed value), type and raw data. For a file (a
    // shortcut the repair deleted): its path, its attributes in `type` and its bytes in `data`.
    std::string name;
    std::uint32_t type = 0;
    std::string data;
    // Saved from a problem the repair left in place (unticked): not ticked for restore.
    bool kept = false;
};

// "Key", "Value" or "File", the manager's "Key Type" column.
const char* BackupItemKindText(BackupItem::Kind kind);

struct BackupListing {
    bool opened = false;
    // False when the file is damaged (the rows before the damage are listed) or rows were
    // left out of the listing.
    bool complete = false;
    // The file ends or breaks off inside a record.
    bool damaged = false;
    // Rows past the listing's budget: counted, not listed (the file may be whole).
    std::size_t rowsLeftOut = 0;
    std::vector<BackupItem> items;
    // What to show the user ("Backup file not found: <path>."), in order.
    std::vector<std::string> messages;
};

// The rows' text is bounded by a budget of kListingBaseBytes and kListingBytesPerFileByte for
// each byte of the file; rows past it are left out of the listing (and it is not complete).
inline constexpr std::size_t kListingBaseBytes = 16u << 20;
inline constexpr std::size_t kListingBytesPerFileByte = 16;
BackupListing ListRepairBackupItems(System& system, std::string_view filePath);
// The same over a file already open (from its start).
BackupListing ListRepairBackupItems(File& file);

struct RestoreOutcome {
    bool restored = false;
    // Every message, in the order shown; the last is "Backup restored!" or "Backup was not
    // restored!".
    std::vector<std::string> messages;
    std::size_t keys = 0;    // keys created or opened
    std::size_t values = 0;  // values written
    std::size_t files = 0;   // files written back (or found there with the same bytes)
    // Values that held other data before the restore wrote over them, and the backup that
    // saved them first (empty when there were none).
    std::size_t overwritten = 0;
    std::string undoBackupPath;
    // Subkeys ("path") and values ("path [name]") the registry refused to write, and files
    // that could not be written back or that another file now stands in the place of: they
    // are skipped so that the other rows still get their turn, and the restore is not whole.
    std::vector<std::string> notWritten;
};

// Restores the rows of `filePath` whose tick is set; rows beyond the end of `ticks` count as
// ticked. A damaged file restores what comes before the damage and is reported as not
// restored.
RestoreOutcome RestoreRepairBackup(Registry& registry, System& system, std::string_view filePath,
                                   const std::vector<bool>& ticks);

// The same, first saving every value the restore would write over with other data into a new
// dated backup in the program folder's "Registry Backups" (listed like any other, so the
// restore can be undone). When that backup cannot be written, nothing is restored.
RestoreOutcome RestoreRepairBackupKeepingWhatItOverwrites(Registry& registry, System& system, ActivityLog& log,
                                                          std::string_view programFolder, std::string_view filePath,
                                                          const std::vector<bool>& ticks);

// What a restore writes over, saved before it writes: the values that held other data, the
// backup that holds them now (a dated one in "Registry Backups", listed like the others, so
// that the restore can be undone too) and the message that says so. When they cannot all be
// saved, `saved` is false, no backup is left, and nothing may be restored.
struct OverwriteUndo {
    bool saved = true;
    std::size_t values = 0;
    std::string backupPath;  // empty when there was nothing to save
    std::string message;     // empty when there was nothing to save
};
struct RepairBackupItem;
OverwriteUndo SaveWhatARestoreOverwrites(Registry& registry, System& system, ActivityLog& log,
                                         std::string_view programFolder, const std::vector<RepairBackupItem>& values);
// The same for the values that restoring the snapshot files, in turn, would write over.
OverwriteUndo SaveWhatSnapshotsOverwrite(Registry& registry, System& system, ActivityLog& log,
                                         std::string_view programFolder, const std::vector<std::string>& files);

// Writes a file back where it was saved from, with its attributes and every byte; true when
// it is there so (already, or now). Another file in its place is never written over.
bool RestoreFile(System& system, const std::string& path, std::uint32_t attributes, const std::string& bytes);

// The same over a file already open; no message for a missing file.
RestoreOutcome RestoreRepairBackup(Registry& registry, System& system, File& file, const std::vector<bool>& ticks);

// printf-style formatting of one message with a text argument, of any length.
std::string FormatText(const char* format, std::string_view text);

}  // namespace tw
