// The pre-repair backup: every listed registry item saved, in list order, into a new dated
// file in "Registry Backups" before anything is deleted. The caller learns for each item
// whether it went into the file complete (everything read back as it was read) and which
// record of the file holds it; only complete items may be deleted, and of them only what
// their record holds. A file that could not be written in full is removed again and
// reported, and then nothing may be deleted at all.
#pragma once

#include "log/activity_log.h"
#include "platform/registry.h"
#include "platform/system.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// One item to save: a full key path, "KEY" or "VAL", and for "VAL" the value's name as the
// registry holds it (empty for the unnamed value).
struct RepairBackupItem {
    std::string keyPath;
    std::string deleteType;
    std::string valueName;
    // Saved though the repair leaves it in place (the user unticked it): marked so in the file,
    // and not ticked for restore.
    bool kept = false;
};

struct RepairBackupResult {
    enum class Status {
        NothingToSave,  // no item with a key path: no file was made
        Written,        // the file is complete at `path`
        Failed,         // the file could not be made or written: nothing may be deleted
    };
    Status status = Status::NothingToSave;
    std::string path;
    // Per item: saved complete (a "VAL" item also needs its value to have been there).
    std::vector<bool> saved;
    // Per item: the number of its record in the file, from 0 in file order; -1 for none.
    std::vector<int> records;
    std::uint64_t bytes = 0;
    // The system clock (UTC) before the backup read anything; zero when it read nothing.
    FileTime started;
    // Items whose key the registry refused to open with "access denied": not saved, so not
    // repaired.
    std::vector<std::string> denied;
    // Per file to save: its path, attributes and every byte are in the file.
    std::vector<bool> filesSaved;
};

// Saves the items, then the files (broken shortcuts the repair will delete), into a new
// dated file in the program's "Registry Backups" folder.
RepairBackupResult WriteRepairBackupItems(Registry& registry, System& system, ActivityLog& log,
                                          std::string_view programFolder, const std::vector<RepairBackupItem>& items,
                                          const std::vector<std::string>& files = {});

}  // namespace tw
