#include "backup/backup_restore.h"

#include "backup/backup_messages.h"
#include "backup/repair_backup_file.h"
#include "platform/key_handle.h"

#include <cstdio>
#include <memory>

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

class ListingVisitor final : public RepairBackupVisitor {
public:
    explicit ListingVisitor(std::vector<BackupItem>& items) : items_(items) {}

    void OnRecord(int, std::uint32_t rootCode, const std::string& subkeyPath) override
    {
        std::string path = BackupRootName(rootCode).value_or("");
        if (!subkeyPath.empty())
            path += "\\" + subkeyPath;
        paths_.assign(1, path);
        AddKey(path);
    }
    void OnValue(int, const std::string& name, std::uint32_t type, const std::string& data) override
    {
        BackupItem item;
        item.kind = BackupItem::Kind::Value;
        item.path = paths_.back() + " [" + name + "]";
        item.name = name;
        item.type = type;
        item.data = data;
        items_.push_back(std::move(item));
    }
    void OnSubkeyBegin(int, const std::string& name) override
    {
        paths_.push_back(paths_.back() + "\\" + name);
        AddKey(paths_.back());
    }
    void OnSubkeyEnd() override { paths_.pop_back(); }
    void OnRecordEnd() override { paths_.clear(); }

private:
    void AddKey(const std::string& path)
    {
        BackupItem item;
        item.kind = BackupItem::Kind::Key;
        item.path = path;
        items_.push_back(std::move(item));
    }

    std::vector<BackupItem>& items_;
    std::vector<std::string> paths_;
};

class RestoreVisitor final : public RepairBackupVisitor {
public:
    RestoreVisitor(Registry& registry, const std::vector<bool>& ticks, RestoreOutcome& outcome)
        : registry_(registry), ticks_(ticks), outcome_(outcome)
    {
    }

    bool allCreated() const { return allCreated_; }

    void OnRecord(int row, std::uint32_t rootCode, const std::string& subkeyPath) override
    {
        targets_.clear();
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
        targets_.push_back(std::move(target));
    }
    void OnValue(int row, const std::string& name, std::uint32_t type, const std::string& data) override
    {
        HKey target = targets_.back()->get();
        if (!target || !Ticked(row))
            return;
        // A value the registry refuses is skipped, as the other rows still deserve their turn.
        // It is named, and the restore is not reported as whole.
        if (registry_.SetValueEx(target, name.c_str(), 0, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                                 static_cast<std::uint32_t>(data.size())) == kSuccess)
            ++outcome_.values;
        else
            outcome_.notWritten.push_back(paths_.back() + " [" + name + "]");
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
                outcome_.notWritten.push_back(paths_.back());
            }
        }
        targets_.push_back(std::move(target));
    }
    void OnSubkeyEnd() override
    {
        targets_.pop_back();
        paths_.pop_back();
    }
    void OnRecordEnd() override
    {
        targets_.clear();
        paths_.clear();
    }

private:
    bool Ticked(int row) const { return row < 0 || std::size_t(row) >= ticks_.size() || ticks_[std::size_t(row)]; }

    Registry& registry_;
    const std::vector<bool>& ticks_;
    RestoreOutcome& outcome_;
    std::vector<std::unique_ptr<KeyHandle>> targets_;
    std::vector<std::string> paths_;  // of each target, for naming what could not be written
    bool allCreated_ = true;
};

}  // namespace

const char* BackupItemKindText(BackupItem::Kind kind)
{
    return kind == BackupItem::Kind::Key ? "Key" : "Value";
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
    ListingVisitor visitor(listing.items);
    listing.complete = ParseRepairBackup(file, visitor) == BackupParse::Complete;
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
    outcome = RestoreRepairBackup(registry, *file, ticks);
    file->Close();
    return outcome;
}

RestoreOutcome RestoreRepairBackup(Registry& registry, File& file, const std::vector<bool>& ticks)
{
    RestoreOutcome outcome;
    {
        RestoreVisitor visitor(registry, ticks, outcome);
        bool complete = ParseRepairBackup(file, visitor) == BackupParse::Complete;
        outcome.restored = complete && visitor.allCreated() && outcome.notWritten.empty();
    }
    outcome.messages.push_back(outcome.restored ? backup_text::kRestored : backup_text::kNotRestored);
    return outcome;
}

}  // namespace tw
