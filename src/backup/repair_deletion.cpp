#include "backup/repair_deletion.h"

#include "backup/backup_catalogue.h"
#include "backup/protected_keys.h"

#include <cstdio>

namespace tw {

std::string RepairJournalName(const LocalTime& time)
{
    // FormatBackupDate gives "Monday, March 07, 2005, 14:05:09"; the journal runs the same
    // fields together.
    std::string date = FormatBackupDate(time);
    std::string name = "FixedOn";
    for (char c : date)
        if (c != ',' && c != ' ' && c != ':')
            name += c;
    return name + ".xml";
}

RepairCounts DeleteSavedItems(const KeyOperations& keys, ActivityLog& log, const std::vector<RepairBackupItem>& items,
                              const std::vector<bool>& excluded, const std::vector<bool>& saved,
                              const std::function<void(const RepairBackupItem&)>& record)
{
    RepairCounts counts;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const RepairBackupItem& item = items[i];
        if (i < excluded.size() && excluded[i])
            continue;
        if (item.keyPath.empty())
            continue;
        if (i >= saved.size() || !saved[i]) {
            log.Write("Not repaired, as it is not in the backup: " + item.keyPath);
            ++counts.left;
            continue;
        }
        // The backup already refuses these; the check stays here so that no caller can
        // delete a container through a wrong path.
        if (item.deleteType == "KEY" && IsProtectedKeyPath(item.keyPath)) {
            log.Write("Repair refused to remove a protected key: " + item.keyPath);
            ++counts.left;
            continue;
        }
        if (record)
            record(item);
        std::string subkey = item.keyPath;
        std::string root = SplitRootFromPath(subkey);
        if (item.deleteType == "KEY") {
            if (keys.DeleteKeyTree(root, subkey) == kSuccess)
                ++counts.keys;
            else
                ++counts.left;
        } else {
            if (keys.DeleteKeyValue(root, subkey, item.valueName) == kSuccess)
                ++counts.values;
            else
                ++counts.left;
        }
    }
    return counts;
}

}  // namespace tw
