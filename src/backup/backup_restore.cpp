#include "backup/backup_restore.h"

#include "backup/backup_messages.h"
#include "backup/repair_backup.h"
#include "backup/repair_backup_file.h"
#include "platform/key_handle.h"
#include "registry/write_behind.h"
#include "snapshot/snapshot_reader.h"
#include "snapshot/xml_reader.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <utility>

namespace tw {

namespace {

std::string FormatCreateFailure(long status, std::uint32_t root, const std::string& path)
{
    int size = std::snprintf(nullptr, 0, backup_text::kCantCreateKey, int(status), unsigned(root), path.c_str());
    std::string text(size > 0 ? std::size_t(size) : 0, '\0');
    std::snprintf(text.data(), text.size() + 1, backup_text::kCantCreateKey, int(status), unsigned(root),
                  path.c_str());
    return text;
}

// Every row holds its key's full path, which the file stores once per key: a crafted file
// of deep keys with many values asks for far more memory than its size. The rows are listed
// up to a budget of bytes in proportion to the file; the rest are counted, not kept.
class ListingVisitor final : public RepairBackupVisitor {
public:
    ListingVisitor(std::vector<BackupItem>& items, std::size_t budget) : items_(items), budget_(budget) {}

    void OnKept() override { keptNext_ = true; }
    void OnRecord(int, std::uint32_t rootCode, const std::string& subkeyPath) override
    {
        kept_ = std::exchange(keptNext_, false);
        path_ = BackupRootName(rootCode).value_or("");
        if (!subkeyPath.empty())
            path_ += "\\" + subkeyPath;
        levels_.clear();
        AddKey();
    }
    void OnValue(int, const std::string& name, std::uint32_t type, const std::string& data) override
    {
        if (!Afford(path_.size() + name.size() * 2 + data.size() + 3))
            return;
        BackupItem item;
        item.kind = BackupItem::Kind::Value;
        item.path = path_ + " [" + name + "]";
        item.name = name;
        item.type = type;
        item.data = data;
        item.kept = kept_;
        items_.push_back(std::move(item));
    }
    void OnSubkeyBegin(int, const std::string& name) override
    {
        levels_.push_back(path_.size());
        path_ += "\\" + name;
        AddKey();
    }
    void OnSubkeyEnd() override
    {
        if (!levels_.empty()) {
            path_.resize(levels_.back());
            levels_.pop_back();
        }
    }
    void OnRecordEnd() override
    {
        path_.clear();
        levels_.clear();
    }
    void OnFile(int, const std::string& path, std::uint32_t attributes, const std::string& bytes) override
    {
        if (!Afford(path.size() + bytes.size()))
            return;
        BackupItem item;
        item.kind = BackupItem::Kind::File;
        item.path = path;
        item.type = attributes;
        item.data = bytes;
        items_.push_back(std::move(item));
    }
    std::size_t rowsLeftOut() const { return rowsLeftOut_; }

private:
    void AddKey()
    {
        if (!Afford(path_.size()))
            return;
        BackupItem item;
        item.kind = BackupItem::Kind::Key;
        item.path = path_;
        item.kept = kept_;
        items_.push_back(std::move(item));
    }
    bool Afford(std::size_t bytes)
    {
        bytes += sizeof(BackupItem);
        if (rowsLeftOut_ || bytes > budget_ - used_) {
            ++rowsLeftOut_;
            return false;
        }
        used_ += bytes;
        return true;
    }

    std::vector<BackupItem>& items_;
    std::string path_;                 // the key being read
    std::vector<std::size_t> levels_;  // path_'s length at each open subkey
    const std::size_t budget_;
    std::size_t used_ = 0;
    std::size_t rowsLeftOut_ = 0;
    bool kept_ = false;      // the record being read is of an item the repair left in place
    bool keptNext_ = false;  // a mark said so of the next record
};

// Creates the keys itself and hands their values and their closing to a RegistryWriteBehind.
class RestoreVisitor final : public RepairBackupVisitor {
public:
    RestoreVisitor(Registry& registry, System& system, RegistryWriteBehind& writes, const std::vector<bool>& ticks,
                   RestoreOutcome& outcome)
        : registry_(registry), system_(system), writes_(writes), ticks_(ticks), outcome_(outcome)
    {
    }
    // No handle is closed while a value handed over may still be written through it.
    ~RestoreVisitor() override { HandOverTargets(); }

    bool allCreated() const { return allCreated_; }

    // Waits for the values, and fills in what they came to: what was not written, in the
    // order of the file's rows.
    void Finish()
    {
        HandOverTargets();
        writes_.Finish();
        outcome_.values = writes_.written();
        std::vector<RegistryWriteBehind::Failure> all;
        const std::vector<RegistryWriteBehind::Failure>& values = writes_.failures();
        all.reserve(notCreated_.size() + values.size());
        std::merge(notCreated_.begin(), notCreated_.end(), values.begin(), values.end(), std::back_inserter(all),
                   [](const auto& a, const auto& b) { return a.order < b.order; });
        for (RegistryWriteBehind::Failure& failure : all)
            outcome_.notWritten.push_back(std::move(failure.text));
        notCreated_.clear();
    }

    void OnRecord(int row, std::uint32_t rootCode, const std::string& subkeyPath) override
    {
        HandOverTargets();
        paths_.clear();
        std::string path = BackupRootName(rootCode).value_or("");
        if (!subkeyPath.empty())
            path += "\\" + subkeyPath;
        paths_.push_back(std::move(path));
        auto target = std::make_unique<KeyHandle>(registry_);
        if (Ticked(row)) {
            long status = registry_.CreateKey(PredefinedKey(rootCode), subkeyPath.c_str(), target->Put());
            if (status != kSuccess) {
                outcome_.messages.push_back(FormatCreateFailure(status, rootCode, subkeyPath));
                allCreated_ = false;
                target->Release();
            } else {
                ++outcome_.keys;
            }
        }
        behind_.push_back(*target && writes_.HandNextKey());
        targets_.push_back(std::move(target));
    }
    void OnValue(int row, const std::string& name, std::uint32_t type, const std::string& data) override
    {
        HKey target = targets_.back()->get();
        if (!target || !Ticked(row))
            return;
        // A value the registry refuses is skipped, as the other rows still deserve their turn.
        // It is named, and the restore is not reported as whole.
        writes_.SetValue(target, behind_.back(), name, type, data, row, paths_.back() + " [" + name + "]");
    }
    void OnSubkeyBegin(int row, const std::string& name) override
    {
        HKey parent = targets_.back()->get();
        auto target = std::make_unique<KeyHandle>(registry_);
        paths_.push_back(paths_.back() + "\\" + name);
        // An empty name would hand back the parent's own handle; a file never holds one.
        if (parent && Ticked(row) && !name.empty()) {
            if (registry_.CreateKey(parent, name.c_str(), target->Put()) == kSuccess) {
                ++outcome_.keys;
            } else {
                target->Release();
                notCreated_.push_back({row, paths_.back()});
            }
        }
        behind_.push_back(*target && writes_.HandNextKey());
        targets_.push_back(std::move(target));
    }
    void OnSubkeyEnd() override
    {
        writes_.Close(std::move(*targets_.back()), behind_.back());
        targets_.pop_back();
        behind_.pop_back();
        paths_.pop_back();
    }
    void OnRecordEnd() override
    {
        HandOverTargets();
        paths_.clear();
    }
    // A file comes back where it was, with its attributes; one that is there again with the
    // same bytes needs nothing, and another file in its place is never written over.
    void OnFile(int row, const std::string& path, std::uint32_t attributes, const std::string& bytes) override
    {
        if (!Ticked(row))
            return;
        if (RestoreFile(system_, path, attributes, bytes))
            ++outcome_.files;
        else
            notCreated_.push_back({row, path});
    }

private:
    void HandOverTargets()
    {
        while (!targets_.empty()) {
            writes_.Close(std::move(*targets_.back()), behind_.back());
            targets_.pop_back();
            behind_.pop_back();
        }
    }
    bool Ticked(int row) const { return row < 0 || std::size_t(row) >= ticks_.size() || ticks_[std::size_t(row)]; }

    Registry& registry_;
    System& system_;
    RegistryWriteBehind& writes_;
    const std::vector<bool>& ticks_;
    RestoreOutcome& outcome_;
    std::vector<RegistryWriteBehind::Failure> notCreated_;  // subkeys, by row
    std::vector<std::unique_ptr<KeyHandle>> targets_;
    std::vector<bool> behind_;  // whether each target's values go to the second thread
    std::vector<std::string> paths_;  // of each target, for naming what could not be written
    bool allCreated_ = true;
};

// The ticked values of a file that the registry holds now with other data (another type or
// other bytes): what a restore of it would write over.
class OverwriteVisitor final : public RepairBackupVisitor {
public:
    OverwriteVisitor(Registry& registry, const std::vector<bool>& ticks, std::vector<RepairBackupItem>& items)
        : registry_(registry), ticks_(ticks), items_(items), key_(registry)
    {
    }

    void OnRecord(int row, std::uint32_t rootCode, const std::string& subkeyPath) override
    {
        root_ = PredefinedKey(rootCode);
        rootName_ = BackupRootName(rootCode).value_or("");
        subkey_ = subkeyPath;
        levels_.clear();
        ticked_.assign(1, Ticked(row));
        Reopen();
    }
    void OnValue(int row, const std::string& name, std::uint32_t type, const std::string& data) override
    {
        if (!ticked_.back() || !Ticked(row) || !key_)
            return;
        std::uint32_t heldType = 0;
        std::uint32_t size = 0;
        const long status = registry_.QueryValueEx(key_.get(), name.c_str(), nullptr, &heldType, nullptr, &size);
        if (status == kErrorFileNotFound)
            return;  // nothing to write over
        std::string held(size, '\0');
        bool same = status == kSuccess && heldType == type &&
                    registry_.QueryValueEx(key_.get(), name.c_str(), nullptr, &heldType,
                                           reinterpret_cast<std::uint8_t*>(held.data()), &size) == kSuccess &&
                    std::string_view(held.data(), size) == data;
        if (!same)
            items_.push_back({rootName_ + (subkey_.empty() ? "" : "\\" + subkey_), "VAL", name});
    }
    void OnSubkeyBegin(int row, const std::string& name) override
    {
        levels_.push_back(subkey_.size());
        subkey_ += (subkey_.empty() ? "" : "\\") + name;
        ticked_.push_back(ticked_.back() && Ticked(row));
        Reopen();
    }
    void OnSubkeyEnd() override
    {
        if (levels_.empty())
            return;
        subkey_.resize(levels_.back());
        levels_.pop_back();
        ticked_.pop_back();
        Reopen();
    }
    void OnRecordEnd() override { key_.Close(); }

private:
    bool Ticked(int row) const { return row < 0 || std::size_t(row) >= ticks_.size() || ticks_[std::size_t(row)]; }
    void Reopen()
    {
        key_.Close();
        registry_.OpenKeyEx(root_, subkey_.c_str(), 0, kKeyQueryValue, key_.Put());
    }

    Registry& registry_;
    const std::vector<bool>& ticks_;
    std::vector<RepairBackupItem>& items_;
    KeyHandle key_;
    HKey root_ = nullptr;
    std::string rootName_;
    std::string subkey_;
    std::vector<std::size_t> levels_;
    std::vector<bool> ticked_;  // whether each open level's key is restored at all
};

std::string FileNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool RestoreFile(System& system, const std::string& path, std::uint32_t attributes, const std::string& bytes)
{
    switch (system.PathPresenceOf(path)) {
    case PathPresence::Unknown: return false;
    case PathPresence::Present: {
        std::unique_ptr<File> there = system.OpenFile(path, FileMode::Read);
        if (!there || there->Size() != static_cast<std::int64_t>(bytes.size()))
            return false;
        std::string held(bytes.size(), '\0');
        std::size_t got = 0;
        while (got < held.size()) {
            const std::size_t n = there->Read(held.data() + got, held.size() - got);
            if (n == 0)
                return false;
            got += n;
        }
        return held == bytes;
    }
    case PathPresence::Absent: break;
    }
    // The folders on the way, as they were when the file was saved.
    for (std::size_t slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
        if (system.PathPresenceOf(path.substr(0, slash)) == PathPresence::Absent)
            system.MakeDirectory(path.substr(0, slash));
    std::unique_ptr<File> file = system.OpenFile(path, FileMode::CreateNew);
    if (!file)
        return false;
    const bool written = file->Write(bytes.data(), bytes.size()) && file->Close();
    file.reset();
    if (!written) {
        system.RemoveFile(path);
        return false;
    }
    if (attributes != kInvalidFileAttributes && attributes != kFileAttributeNormal)
        system.ChangeFileAttributes(path, attributes & ~kFileAttributeDirectory);
    return true;
}

const char* BackupItemKindText(BackupItem::Kind kind)
{
    switch (kind) {
    case BackupItem::Kind::Key: return "Key";
    case BackupItem::Kind::Value: return "Value";
    case BackupItem::Kind::File: return "File";
    }
    return "";
}

std::string FormatText(const char* format, std::string_view text)
{
    std::string argument(text);
    int size = std::snprintf(nullptr, 0, format, argument.c_str());
    std::string result(size > 0 ? std::size_t(size) : 0, '\0');
    std::snprintf(result.data(), result.size() + 1, format, argument.c_str());
    return result;
}

BackupListing ListRepairBackupItems(System& system, std::string_view filePath)
{
    BackupListing listing;
    std::unique_ptr<File> file = system.OpenFile(filePath, FileMode::Read);
    if (!file) {
        listing.messages.push_back(FormatText(backup_text::kFileNotFound, filePath));
        return listing;
    }
    listing = ListRepairBackupItems(*file);
    file->Close();
    return listing;
}

BackupListing ListRepairBackupItems(File& file)
{
    BackupListing listing;
    listing.opened = true;
    const std::int64_t size = file.Size();
    const std::size_t budget = kListingBaseBytes + kListingBytesPerFileByte * static_cast<std::size_t>(size > 0 ? size : 0);
    ListingVisitor visitor(listing.items, budget);
    const bool whole = ParseRepairBackup(file, visitor) == BackupParse::Complete;
    listing.rowsLeftOut = visitor.rowsLeftOut();
    listing.complete = whole && listing.rowsLeftOut == 0;
    listing.damaged = !whole;
    if (visitor.rowsLeftOut())
        listing.messages.push_back(FormatText(backup_text::kRowsLeftOut, std::to_string(visitor.rowsLeftOut())));
    return listing;
}

RestoreOutcome RestoreRepairBackup(Registry& registry, System& system, std::string_view filePath,
                                   const std::vector<bool>& ticks)
{
    RestoreOutcome outcome;
    std::unique_ptr<File> file = system.OpenFile(filePath, FileMode::Read);
    if (!file) {
        outcome.messages.push_back(FormatText(backup_text::kFileNotFound, filePath));
        outcome.messages.push_back(backup_text::kNotRestored);
        return outcome;
    }
    outcome = RestoreRepairBackup(registry, system, *file, ticks);
    file->Close();
    return outcome;
}

RestoreOutcome RestoreRepairBackup(Registry& registry, System& system, File& file, const std::vector<bool>& ticks)
{
    RestoreOutcome outcome;
    {
        RegistryWriteBehind writes(registry);
        RestoreVisitor visitor(registry, system, writes, ticks, outcome);
        bool complete = ParseRepairBackup(file, visitor) == BackupParse::Complete;
        visitor.Finish();
        outcome.restored = complete && visitor.allCreated() && outcome.notWritten.empty();
    }
    outcome.messages.push_back(outcome.restored ? backup_text::kRestored : backup_text::kNotRestored);
    return outcome;
}

OverwriteUndo SaveWhatARestoreOverwrites(Registry& registry, System& system, ActivityLog& log,
                                         std::string_view programFolder, const std::vector<RepairBackupItem>& values)
{
    OverwriteUndo undo;
    undo.values = values.size();
    if (values.empty())
        return undo;
    RepairBackupResult written = WriteRepairBackupItems(registry, system, log, programFolder, values);
    undo.saved = written.status == RepairBackupResult::Status::Written &&
                 std::find(written.saved.begin(), written.saved.end(), false) == written.saved.end();
    if (!undo.saved) {
        if (written.status == RepairBackupResult::Status::Written)
            system.RemoveFile(written.path);
        undo.message = backup_text::kOverwriteNotSaved;
        return undo;
    }
    log.Write("Values a restore writes over are saved first: " + written.path);
    undo.backupPath = written.path;
    const std::string count = std::to_string(values.size());
    const std::string name = FileNameOf(written.path);
    int size = std::snprintf(nullptr, 0, backup_text::kOverwrittenSaved, count.c_str(), name.c_str());
    undo.message.assign(size > 0 ? std::size_t(size) : 0, '\0');
    std::snprintf(undo.message.data(), undo.message.size() + 1, backup_text::kOverwrittenSaved, count.c_str(),
                  name.c_str());
    return undo;
}

OverwriteUndo SaveWhatSnapshotsOverwrite(Registry& registry, System& system, ActivityLog& log,
                                         std::string_view programFolder, const std::vector<std::string>& files)
{
    std::vector<OverwrittenValue> values;
    XmlReader reader(system);
    RestoreTarget target{registry, system, {}};
    for (const std::string& file : files)
        ListValuesASnapshotWritesOver(reader, file, target, values);
    std::vector<RepairBackupItem> items;
    items.reserve(values.size());
    for (OverwrittenValue& value : values)
        items.push_back({std::move(value.keyPath), "VAL", std::move(value.name)});
    return SaveWhatARestoreOverwrites(registry, system, log, programFolder, items);
}

RestoreOutcome RestoreRepairBackupKeepingWhatItOverwrites(Registry& registry, System& system, ActivityLog& log,
                                                          std::string_view programFolder, std::string_view filePath,
                                                          const std::vector<bool>& ticks)
{
    std::vector<RepairBackupItem> overwritten;
    {
        std::unique_ptr<File> file = system.OpenFile(filePath, FileMode::Read);
        if (!file)
            return RestoreRepairBackup(registry, system, filePath, ticks);
        OverwriteVisitor visitor(registry, ticks, overwritten);
        ParseRepairBackup(*file, visitor);
    }
    OverwriteUndo undo = SaveWhatARestoreOverwrites(registry, system, log, programFolder, overwritten);
    if (!undo.saved) {
        RestoreOutcome refused;
        refused.messages = {undo.message, backup_text::kNotRestored};
        return refused;
    }
    RestoreOutcome outcome = RestoreRepairBackup(registry, system, filePath, ticks);
    outcome.overwritten = undo.values;
    outcome.undoBackupPath = undo.backupPath;
    if (!undo.message.empty())
        outcome.messages.insert(outcome.messages.begin(), std::move(undo.message));
    return outcome;
}

}  // namespace tw
