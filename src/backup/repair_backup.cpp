#include "backup/repair_backup.h"

#include "backup/backup_catalogue.h"
#include "backup/protected_keys.h"
#include "backup/repair_backup_file.h"
#include "platform/codepage.h"
#include "platform/key_handle.h"
#include "platform/program_info.h"
#include "registry/key_enumeration.h"
#include "registry/key_path.h"

#include <algorithm>
#include <memory>

namespace tw {

namespace {

// Scanners may name a key in another case than the registry spells it (App Paths entries in
// lower case, for one). Names compare without case, but a key that is deleted and restored
// takes the spelling of the backup, so the record keeps the name of the last component as
// the registry holds it.
std::string RegistrySpelling(Registry& registry, HKey root, const std::string& subkeyPath)
{
    std::size_t slash = subkeyPath.rfind('\\');
    std::string parentPath = slash == std::string::npos ? std::string() : subkeyPath.substr(0, slash);
    std::string last = slash == std::string::npos ? subkeyPath : subkeyPath.substr(slash + 1);
    KeyHandle parent(registry);
    if (last.empty() || registry.OpenKeyEx(root, parentPath.c_str(), 0, kKeyRead, parent.Put()) != kSuccess)
        return subkeyPath;
    SubkeyEnumerator names(registry, parent.get());
    if (!names.Init())
        return subkeyPath;
    for (std::string found; names.Next(&found);) {
        if (found == last)
            return subkeyPath;
        if (CompareNamesNoCase(found, last) == 0)
            return (slash == std::string::npos ? std::string() : parentPath + "\\") + std::string(found);
    }
    return subkeyPath;
}

// A file the repair may delete, whole: a shortcut is a few kilobytes, and anything far larger
// is not one.
constexpr std::int64_t kLargestSavedFile = 16 << 20;

bool ReadWholeFile(System& system, const std::string& path, std::uint32_t* attributes, std::string* bytes)
{
    *attributes = system.FileAttributes(path);
    if (*attributes == kInvalidFileAttributes || (*attributes & kFileAttributeDirectory))
        return false;
    std::unique_ptr<File> file = system.OpenFile(path, FileMode::Read);
    if (!file)
        return false;
    const std::int64_t size = file->Size();
    if (size < 0 || size > kLargestSavedFile)
        return false;
    bytes->assign(static_cast<std::size_t>(size), '\0');
    std::size_t got = 0;
    while (got < bytes->size()) {
        const std::size_t n = file->Read(bytes->data() + got, bytes->size() - got);
        if (n == 0)
            return false;
        got += n;
    }
    char more = 0;
    return file->Read(&more, 1) == 0;  // the file did not grow while it was read
}

}  // namespace

RepairBackupResult WriteRepairBackupItems(Registry& registry, System& system, ActivityLog& log,
                                          std::string_view programFolder, const std::vector<RepairBackupItem>& items,
                                          const std::vector<std::string>& files)
{
    RepairBackupResult result;
    result.saved.assign(items.size(), false);
    result.records.assign(items.size(), -1);
    LocalTime started = system.GetLocalTime();

    result.filesSaved.assign(files.size(), false);
    bool anything = !files.empty();
    for (const RepairBackupItem& item : items)
        anything = anything || !item.keyPath.empty();
    if (!anything)
        return result;

    result.status = RepairBackupResult::Status::Failed;
    result.started = system.GetSystemTimeAsFileTime();
    std::string folder = RegistryBackupsPath(programFolder);
    if (!PathExists(system, folder))
        system.MakeDirectory(folder);
    system.EnablePrivilege("SeBackupPrivilege");
    // The dated name is taken only if no file has it (another repair may have started in the
    // same second), and this file is the only one a failure may remove.
    std::unique_ptr<File> file = CreateFreeFile(system, folder, RepairBackupName(started), &result.path);
    if (!file) {
        log.Write("Registry backup failed: cannot create a file in " + folder);
        return result;
    }

    RepairBackupWriter writer(registry, system, *file);
    int records = 0;
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
        const long opened = registry.OpenKeyEx(PredefinedKey(*root), subkey.c_str(), 0, kKeyAllAccess, key.Put());
        if (opened == kErrorAccessDenied) {
            log.Write("Not saved, as access to it was denied: " + item.keyPath);
            result.denied.push_back(item.keyPath);
        }
        if (opened != kSuccess)
            continue;
        RepairBackupWriter::ItemResult r;
        if (item.kept)
            writer.MarkKept();
        if (item.deleteType == "KEY") {
            subkey = RegistrySpelling(registry, PredefinedKey(*root), subkey);
            r = writer.WriteKeyItem(*root, subkey, key.get());
            result.saved[i] = r.complete;
        } else {
            r = writer.WriteValueItem(*root, subkey, key.get(), item.valueName);
            result.saved[i] = r.complete && r.valueFound;
        }
        for (const std::string& left : r.notReadBack)
            log.Write("Left out of the backup, as it does not read back as it was read: " + left);
        result.records[i] = records++;
    }
    for (std::size_t i = 0; i < files.size() && !writer.failed(); ++i) {
        std::uint32_t attributes = 0;
        std::string bytes;
        if (!ReadWholeFile(system, files[i], &attributes, &bytes)) {
            log.Write("Not saved, as the file cannot be read: " + files[i]);
            continue;
        }
        writer.WriteFileItem(files[i], attributes, bytes);
        result.filesSaved[i] = true;
    }
    bool flushed = writer.Flush();
    bool closed = file->Close();
    file.reset();
    result.bytes = writer.bytesWritten();
    if (!flushed || !closed || writer.failed()) {
        log.Write("Registry backup failed: cannot write " + result.path);
        system.RemoveFile(result.path);
        result.saved.assign(items.size(), false);
        result.records.assign(items.size(), -1);
        result.filesSaved.assign(files.size(), false);
        return result;
    }
    result.status = RepairBackupResult::Status::Written;
    log.Write("Registry backup written: " + result.path);
    return result;
}

}  // namespace tw
