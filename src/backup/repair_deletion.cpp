#include "backup/repair_deletion.h"

#include "backup/backup_catalogue.h"
#include "backup/protected_keys.h"
#include "backup/repair_backup_file.h"
#include "platform/calendar.h"
#include "platform/codepage.h"
#include "platform/key_handle.h"
#include "registry/key_enumeration.h"
#include "registry/key_path.h"
#include "registry/value_text.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace tw {

namespace {

constexpr std::uint32_t kKeyAccess = kKeyQueryValue | kKeySetValue | kKeyEnumerateSubKeys | kDelete;
constexpr std::uint32_t kValueAccess = kKeyQueryValue | kKeySetValue;

// How far a key's last-write time must lie before the backup began for the key to count as
// untouched since it was read: more than the clock's resolution, on Windows and on Wine.
constexpr std::uint64_t kUntouchedMargin = 2 * 10000000ull;  // 2 s in FILETIME ticks

bool HoldsName(const std::vector<std::string>& names, const std::string& name)
{
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return CompareNamesNoCase(n, name) == 0; });
}

// Walks the backup file record by record and deletes, of each item to repair, what its
// record holds.
class SavedItemDeletion final : public RepairBackupVisitor {
public:
    SavedItemDeletion(Registry& registry, ActivityLog& log, RepairCounts& counts)
        : registry_(registry), log_(log), counts_(counts)
    {
    }

    // The item each record belongs to, when that item is to be deleted now (else null), and
    // what is called just before it is.
    std::vector<const RepairBackupItem*> itemOfRecord;
    std::function<void(const RepairBackupItem&)> record;
    // Per record: read to its end (a damaged file ends early, perhaps within a record).
    std::vector<bool> finished;
    // A key last written before this time (FILETIME ticks) has not changed since the backup
    // read it, so its values are as saved without reading each again; zero trusts no key.
    std::uint64_t untouchedBefore = 0;

    void OnRecord(int, std::uint32_t rootCode, const std::string& subkeyPath) override
    {
        ++record_;
        levels_.clear();
        item_ = std::size_t(record_) < itemOfRecord.size() ? itemOfRecord[std::size_t(record_)] : nullptr;
        if (!item_)
            return;
        valueDeleted_ = false;
        if (record)
            record(*item_);
        auto& top = levels_.emplace_back(registry_);
        top.parent = PredefinedKey(rootCode);
        top.name = subkeyPath;
        top.path = item_->keyPath;
        Open(top, IsKeyItem() ? kKeyAccess : kValueAccess);
    }

    void OnValue(int, const std::string& name, std::uint32_t type, const std::string& data) override
    {
        if (!item_ || levels_.empty())
            return;
        Level& level = levels_.back();
        level.values.push_back(name);
        if (!level.key)
            return;
        if (!IsKeyItem())
            valueDeleted_ = DeleteValue(level.key.get(), level.path, name, type, data) == Outcome::Deleted;
        else if (level.untouched || Check(level.key.get(), level.path, name, type, data) == Outcome::AsSaved)
            // It goes with its key, or on its own once the key turns out to hold more.
            level.pending.push_back(name);
        level.pendingUnread = level.untouched;
    }

    // After a damaged file: the values found as saved go, as the record was read so far.
    void DeletePendingValues()
    {
        for (Level& level : levels_)
            DeletePending(level);
    }

    void OnSubkeyBegin(int, const std::string& name) override
    {
        if (!item_ || levels_.empty())
            return;
        DeletePending(levels_.back());
        levels_.back().subkeys.push_back(name);
        HKey parent = levels_.back().key.get();
        std::string path = levels_.back().path + "\\" + name;
        auto& level = levels_.emplace_back(registry_);
        level.parent = parent;
        level.name = name;
        level.path = std::move(path);
        level.gone = levels_[levels_.size() - 2].gone;
        if (parent)
            Open(level, kKeyAccess);
    }

    void OnSubkeyEnd() override
    {
        if (!item_ || levels_.size() < 2)
            return;
        Finish(levels_.back());
        levels_.pop_back();
    }

    void OnRecordEnd() override
    {
        if (!item_ || levels_.empty())
            return;
        finished[std::size_t(record_)] = true;
        if (IsKeyItem()) {
            if (Finish(levels_.back()) == Outcome::Deleted)
                ++counts_.keys;
            else
                ++counts_.left;
        } else if (valueDeleted_) {
            ++counts_.values;
        } else {
            ++counts_.left;
        }
        levels_.clear();
        item_ = nullptr;
    }

private:
    // One key of the record being deleted: where it hangs, and the names its block holds.
    struct Level {
        explicit Level(Registry& registry) : key(registry) {}
        HKey parent = nullptr;
        std::string name;  // below the parent (the subkey path for an item's own key)
        std::string path;  // for the log
        KeyHandle key;     // open for deleting; empty when it is not there or does not open
        bool gone = false;  // it was not there (any more): nothing of it is lost
        // Not written since before the backup began: its values are those saved, and
        // `counts` (from just after it was opened) still tell what it holds.
        bool untouched = false;
        KeyCounts counts;
        std::vector<std::string> values, subkeys;
        // Values still as saved and not yet deleted: those of a key without subkeys go with
        // the key itself, the others before its first subkey is visited.
        std::vector<std::string> pending;
        bool pendingUnread = false;  // taken as saved from the time, not read again
    };
    enum class Outcome { Deleted, Gone, Stays, AsSaved };

    bool IsKeyItem() const { return item_->deleteType == "KEY"; }

    void Open(Level& level, std::uint32_t access)
    {
        long status = registry_.OpenKeyEx(level.parent, level.name.c_str(), 0, access, level.key.Put());
        level.gone = status == kErrorFileNotFound;
        NoteDenied(status, level.path);
        // A key of a "KEY" item is asked at once when it last changed. A registry that keeps
        // no such time (zero) proves nothing: its values are then read again one by one.
        level.untouched = false;
        if (status == kSuccess && untouchedBefore != 0 && IsKeyItem() &&
            QueryKeyCounts(registry_, level.key.get(), &level.counts)) {
            const std::uint64_t written = FileTimeTicks(level.counts.lastWrite);
            level.untouched = written != 0 && written < untouchedBefore;
        }
    }

    void NoteDenied(long status, const std::string& what)
    {
        // A key refused on the quick path is asked again on the slow one: named once.
        if (status != kErrorAccessDenied ||
            std::find(counts_.denied.begin(), counts_.denied.end(), what) != counts_.denied.end())
            return;
        log_.Write("Left in place, as access to it was denied: " + what);
        counts_.denied.push_back(what);
    }

    // Deletes one value while its type and data are those in the file.
    Outcome DeleteValue(HKey key, const std::string& keyPath, const std::string& name, std::uint32_t type,
                        const std::string& data)
    {
        Outcome outcome = Check(key, keyPath, name, type, data);
        if (outcome != Outcome::AsSaved)
            return outcome;
        const long status = registry_.DeleteValue(key, name.c_str());
        NoteDenied(status, keyPath + " [" + name + "]");
        return status == kSuccess ? Outcome::Deleted : Outcome::Stays;
    }

    void DeletePending(Level& level)
    {
        // Values vouched for by a time that has since moved on are not known to be as
        // saved any more: they stay, and so does their key.
        if (level.key && level.pendingUnread && !level.untouched && !level.pending.empty()) {
            log_.Write("Left in place, as it changed after the backup: " + level.path);
            level.pending.clear();
        }
        for (const std::string& name : level.pending)
            if (level.key)
                NoteDenied(registry_.DeleteValue(level.key.get(), name.c_str()), level.path + " [" + name + "]");
        level.pending.clear();
    }

    // Whether one value is still as the file holds it (AsSaved: it may go); a value that
    // changed is named in the log.
    Outcome Check(HKey key, const std::string& keyPath, const std::string& name, std::uint32_t type,
                  const std::string& data)
    {
        // Room for text in UTF-16 too, as Windows converts in the caller's buffer.
        buffer_.resize(std::max<std::size_t>(data.size() * 2 + 2, 1));
        std::uint32_t found = 0;
        auto size = static_cast<std::uint32_t>(buffer_.size());
        long status = registry_.QueryValueEx(key, name.c_str(), nullptr, &found,
                                             reinterpret_cast<std::uint8_t*>(buffer_.data()), &size);
        if (status == kErrorFileNotFound)
            return Outcome::Gone;
        if (status != kSuccess && status != kErrorMoreData)
            return Outcome::Stays;
        if (status == kErrorMoreData || found != type || size != data.size() ||
            std::memcmp(buffer_.data(), data.data(), data.size()) != 0) {
            log_.Write("Left in place, as it changed after the backup: " + keyPath + " [" + name + "]");
            return Outcome::Stays;
        }
        return Outcome::AsSaved;
    }

    // After its values and subkeys: the key itself, if nothing is left in it. What the
    // backup never held is named here; what it held and still stands was named where it
    // stayed. A key that stays is still among its parent's subkeys, so the parent stays too.
    Outcome Finish(Level& level)
    {
        if (level.gone)
            return Outcome::Gone;
        KeyCounts counts;
        if (!level.pending.empty()) {
            // A key that holds nothing but the values still as saved goes with them at once.
            // Counts taken at the open still hold when nothing of the key was deleted since.
            const bool counted = level.untouched && level.subkeys.empty();
            if (counted)
                counts = level.counts;
            if ((counted || QueryKeyCounts(registry_, level.key.get(), &counts)) && counts.subkeys == 0 &&
                counts.values == level.pending.size()) {
                if (DeleteKey(level) == kSuccess) {
                    level.pending.clear();
                    return Outcome::Deleted;
                }
                Open(level, kKeyAccess);
            }
            DeletePending(level);
        }
        // One query tells whether anything is left; only then are the names listed.
        std::vector<std::string> values, subkeys;
        if (!level.key || !QueryKeyCounts(registry_, level.key.get(), &counts) ||
            (counts.values != 0 && !ListNames(level.key.get(), false, counts, &values)) ||
            (counts.subkeys != 0 && !ListNames(level.key.get(), true, counts, &subkeys)))
            return Outcome::Stays;
        for (const std::string& value : values)
            if (!HoldsName(level.values, value))
                log_.Write("Left in place, as it was added after the backup: " + level.path + " [" + value + "]");
        for (const std::string& subkey : subkeys)
            if (!HoldsName(level.subkeys, subkey))
                log_.Write("Left in place, as it was added after the backup: " + level.path + "\\" + subkey);
        if (!values.empty() || !subkeys.empty())
            return Outcome::Stays;
        long status = DeleteKey(level);
        NoteDenied(status, level.path);
        return status == kSuccess ? Outcome::Deleted : Outcome::Stays;
    }

    // Deletes a level's key through its handle (then closed), or by name where the system
    // cannot delete through a handle.
    long DeleteKey(Level& level)
    {
        long status = registry_.DeleteOpenKey(level.key.get());
        level.key.Close();
        if (status == kErrorCallNotImplemented)
            status = registry_.DeleteKey(level.parent, level.name.c_str());
        return status;
    }

    // The names of a key's values (or subkeys); false when they cannot all be read.
    bool ListNames(HKey key, bool subkeys, const KeyCounts& counts, std::vector<std::string>* names)
    {
        const NameKind kind = subkeys ? NameKind::Subkey : NameKind::Value;
        std::string buffer;
        SizeNameBuffer(buffer, kind, counts);
        for (std::uint32_t index = 0;; ++index) {
            std::string_view name;
            const long status = EnumerateName(registry_, key, kind, index, buffer, &name);
            if (status == kErrorNoMoreItems)
                return true;
            if (status != kSuccess)
                return false;
            names->emplace_back(name);
        }
    }

    Registry& registry_;
    ActivityLog& log_;
    RepairCounts& counts_;
    int record_ = -1;
    const RepairBackupItem* item_ = nullptr;
    bool valueDeleted_ = false;
    std::vector<Level> levels_;
    std::string buffer_;
};

}  // namespace

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

RepairCounts DeleteSavedItems(Registry& registry, System& system, ActivityLog& log,
                              const std::vector<RepairBackupItem>& items, const std::vector<bool>& excluded,
                              const RepairBackupResult& backup,
                              const std::function<void(const RepairBackupItem&)>& record)
{
    RepairCounts counts;
    SavedItemDeletion deletion(registry, log, counts);
    deletion.record = record;
    // Keys last written well before the backup began are as it read them, unless the clock
    // has since gone back (then no time proves anything).
    const std::uint64_t started = FileTimeTicks(backup.started);
    if (started > kUntouchedMargin && FileTimeTicks(system.GetSystemTimeAsFileTime()) >= started)
        deletion.untouchedBefore = started - kUntouchedMargin;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const RepairBackupItem& item = items[i];
        if ((i < excluded.size() && excluded[i]) || item.keyPath.empty())
            continue;
        const int number = i < backup.records.size() ? backup.records[i] : -1;
        if (i >= backup.saved.size() || !backup.saved[i] || number < 0) {
            log.Write("Not repaired, as the backup does not hold it complete: " + item.keyPath);
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
        if (deletion.itemOfRecord.size() <= std::size_t(number))
            deletion.itemOfRecord.resize(std::size_t(number) + 1, nullptr);
        deletion.itemOfRecord[std::size_t(number)] = &item;
    }
    if (deletion.itemOfRecord.empty())
        return counts;

    // The file as it lies on disk is what a restore gives back: that is what may go.
    deletion.finished.assign(deletion.itemOfRecord.size(), false);
    if (std::unique_ptr<File> file = system.OpenFile(backup.path, FileMode::Read)) {
        if (ParseRepairBackup(*file, deletion) == BackupParse::Damaged)
            deletion.DeletePendingValues();
        file->Close();
    }
    for (std::size_t number = 0; number < deletion.itemOfRecord.size(); ++number) {
        if (!deletion.itemOfRecord[number] || deletion.finished[number])
            continue;
        log.Write("Not repaired, as the backup does not hold it complete: " + deletion.itemOfRecord[number]->keyPath);
        ++counts.left;
    }
    return counts;
}

}  // namespace tw
