#include "backup/repair_backup.h"

#include "app/program_info.h"
#include "backup/backup_catalogue.h"
#include "backup/protected_keys.h"
#include "backup/repair_backup_file.h"
#include "platform/key_handle.h"
#include "registry/key_path.h"

#include <memory>

namespace tw {

std::string FreeBackupPath(System& system, std::string_view folder, const LocalTime& time)
{
    std::string name = RepairBackupName(time);
    std::string stem = name.substr(0, name.size() - 4);
    for (int n = 1; n <= 5000; ++n) {
        std::string candidate = JoinPath(folder, n == 1 ? name : stem + "_" + std::to_string(n) + ".reg");
        if (!PathExists(system, candidate))
            return candidate;
    }
    return {};
}

RepairBackupResult WriteRepairBackupItems(Registry& registry, System& system, ActivityLog& log,
                                          std::string_view programFolder, const std::vector<RepairBackupItem>& items)
{
    RepairBackupResult result;
    result.saved.assign(items.size(), false);
    LocalTime started = system.GetLocalTime();

    bool anything = false;
    for (const RepairBackupItem& item : items)
        anything = anything || !item.keyPath.empty();
    if (!anything)
        return result;

    result.status = RepairBackupResult::Status::Failed;
    std::string folder = RegistryBackupsPath(programFolder);
    if (!PathExists(system, folder))
        system.MakeDirectory(folder);
    result.path = FreeBackupPath(system, folder, started);
    if (result.path.empty()) {
        log.Write("Registry backup failed: no free file name in " + folder);
        return result;
    }
    system.EnablePrivilege("SeBackupPrivilege");
    std::unique_ptr<File> file = system.OpenFile(result.path, FileMode::Write);
    if (!file) {
        log.Write("Registry backup failed: cannot create " + result.path);
        return result;
    }

    RepairBackupWriter writer(registry, *file);
    for (std::size_t i = 0; i < items.size() && !writer.failed(); ++i) {
        const RepairBackupItem& item = items[i];
        if (item.keyPath.empty())
            continue;
        std::string subkey = item.keyPath;
        std::string rootName = SplitRootFromPath(subkey);
        std::optional<std::uint32_t> root = BackupRootCode(rootName);
        if (!root || (item.deleteType != "KEY" && item.deleteType != "VAL"))
            continue;
        if (item.deleteType == "KEY" && IsProtectedKeyPath(item.keyPath)) {
            log.Write("Repair refused to remove a protected key: " + item.keyPath);
            continue;
        }
        KeyHandle key(registry);
        if (registry.OpenKeyEx(PredefinedKey(*root), subkey.c_str(), 0, kKeyAllAccess, key.Put()) != kSuccess)
            continue;
        if (item.deleteType == "KEY") {
            result.saved[i] = writer.WriteKeyItem(*root, subkey, key.get()).complete;
        } else {
            RepairBackupWriter::ItemResult r = writer.WriteValueItem(*root, subkey, key.get(), item.valueName);
            result.saved[i] = r.complete && r.valueFound;
        }
    }
    bool flushed = writer.Flush();
    bool closed = file->Close();
    file.reset();
    result.bytes = writer.bytesWritten();
    if (!flushed || !closed || writer.failed()) {
        log.Write("Registry backup failed: cannot write " + result.path);
        system.RemoveFile(result.path);
        result.saved.assign(items.size(), false);
        return result;
    }
    result.status = RepairBackupResult::Status::Written;
    log.Write("Registry backup written: " + result.path);
    return result;
}

}  // namespace tw
