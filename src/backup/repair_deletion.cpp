#include "backup/repair_deletion.h"

#include "backup/backup_catalogue.h"
#include "backup/protected_keys.h"
#include "platform/codepage.h"
#include "platform/key_handle.h"
#include "registry/key_path.h"

#include <algorithm>

namespace tw {

namespace {

// Growth of a name buffer stops here; no registry name comes near it.
constexpr std::size_t kLongestName = std::size_t(1) << 20;

enum class Deleted {
    Now,     // this repair deleted it
    Before,  // it was no longer there: nothing of it is lost
    No,      // it stays (changed, holds more than was saved, or the registry refused)
};

// Deletes what the backup holds of one item, and nothing more.
class SavedItemDeletion {
public:
    SavedItemDeletion(Registry& registry, ActivityLog& log) : registry_(registry), log_(log) {}

    // One value, while its type and data are still those saved.
    Deleted Value(HKey key, const SavedValue& value, const std::string& keyPath)
    {
        // Room for text in UTF-16 too, as Windows converts in the caller's buffer.
        buffer_.resize(std::max<std::size_t>(static_cast<std::size_t>(value.size) * 2 + 2, 1));
        std::uint32_t type = 0;
        auto size = static_cast<std::uint32_t>(buffer_.size());
        long status = registry_.QueryValueEx(key, value.name.c_str(), nullptr, &type,
                                             reinterpret_cast<std::uint8_t*>(buffer_.data()), &size);
        if (status == kErrorFileNotFound)
            return Deleted::Before;
        if (status != kSuccess && status != kErrorMoreData)
            return Deleted::No;
        if (status == kErrorMoreData || type != value.type || size != value.size ||
            DataDigest(std::string_view(buffer_.data(), size)) != value.digest) {
            log_.Write("Left in place, as it changed after the backup: " + keyPath + " [" + value.name + "]");
            return Deleted::No;
        }
        return registry_.DeleteValue(key, value.name.c_str()) == kSuccess ? Deleted::Now : Deleted::No;
    }

    // The saved values and subkeys of `parent`\`name`, subkeys bottom up, then the key itself
    // if nothing is left in it.
    Deleted Key(HKey parent, const std::string& name, const SavedKey& saved, const std::string& keyPath)
    {
        KeyHandle key(registry_);
        long status = registry_.OpenKeyEx(parent, name.c_str(), 0,
                                          kKeyQueryValue | kKeySetValue | kKeyEnumerateSubKeys | kDelete, key.Put());
        if (status == kErrorFileNotFound)
            return Deleted::Before;
        if (status != kSuccess)
            return Deleted::No;
        for (const SavedValue& value : saved.values)
            Value(key.get(), value, keyPath);
        for (const SavedKey& subkey : saved.subkeys)
            Key(key.get(), subkey.name, subkey, keyPath + "\\" + subkey.name);

        // Whatever is left keeps the key. What the backup never held is named here; what it
        // held and still stands was named where it stayed.
        std::vector<std::string> values, subkeys;
        if (!ListNames(key.get(), false, &values) || !ListNames(key.get(), true, &subkeys))
            return Deleted::No;
        for (const std::string& value : values)
            if (!HoldsName(saved.values, value))
                log_.Write("Left in place, as it was added after the backup: " + keyPath + " [" + value + "]");
        for (const std::string& subkey : subkeys)
            if (!HoldsName(saved.subkeys, subkey))
                log_.Write("Left in place, as it was added after the backup: " + keyPath + "\\" + subkey);
        if (!values.empty() || !subkeys.empty())
            return Deleted::No;
        key.Close();
        return registry_.DeleteKey(parent, name.c_str()) == kSuccess ? Deleted::Now : Deleted::No;
    }

private:
    template <class Saved>
    static bool HoldsName(const std::vector<Saved>& saved, const std::string& name)
    {
        return std::any_of(saved.begin(), saved.end(),
                           [&](const Saved& s) { return CompareNoCase1252(s.name, name) == 0; });
    }

    // The names of a key's values (or subkeys); false when they cannot all be read.
    bool ListNames(HKey key, bool subkeys, std::vector<std::string>* names)
    {
        std::uint32_t longestSubkey = 0, longestValue = 0;
        if (registry_.QueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, &longestSubkey, nullptr, nullptr,
                                   &longestValue, nullptr, nullptr, nullptr) != kSuccess)
            return false;
        std::string name(std::max<std::size_t>(std::size_t(subkeys ? longestSubkey : longestValue) + 1, 256), '\0');
        for (std::uint32_t index = 0;;) {
            auto length = static_cast<std::uint32_t>(name.size());
            long status =
                subkeys ? registry_.EnumKeyEx(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr)
                        : registry_.EnumValue(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
            if (status == kErrorNoMoreItems)
                return true;
            if (status == kErrorMoreData && name.size() < kLongestName) {
                name.resize(name.size() * 2);
                continue;
            }
            if (status != kSuccess)
                return false;
            names->emplace_back(name.data(), std::min<std::size_t>(length, name.size()));
            ++index;
        }
    }

    Registry& registry_;
    ActivityLog& log_;
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

RepairCounts DeleteSavedItems(Registry& registry, ActivityLog& log, const std::vector<RepairBackupItem>& items,
                              const std::vector<bool>& excluded, const RepairBackupResult& backup,
                              const std::function<void(const RepairBackupItem&)>& record)
{
    RepairCounts counts;
    SavedItemDeletion deletion(registry, log);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const RepairBackupItem& item = items[i];
        if (i < excluded.size() && excluded[i])
            continue;
        if (item.keyPath.empty())
            continue;
        if (i >= backup.saved.size() || !backup.saved[i] || i >= backup.contents.size()) {
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
        std::string subkey = item.keyPath;
        std::optional<HKey> root = RootKeyFromName(SplitRootFromPath(subkey));
        const SavedKey& content = backup.contents[i];
        if (!root || (item.deleteType == "KEY" ? subkey.empty() : content.values.size() != 1)) {
            ++counts.left;
            continue;
        }
        if (record)
            record(item);
        if (item.deleteType == "KEY") {
            if (deletion.Key(*root, subkey, content, item.keyPath) == Deleted::Now)
                ++counts.keys;
            else
                ++counts.left;
            continue;
        }
        KeyHandle key(registry);
        if (registry.OpenKeyEx(*root, subkey.c_str(), 0, kKeyQueryValue | kKeySetValue, key.Put()) == kSuccess &&
            deletion.Value(key.get(), content.values.front(), item.keyPath) == Deleted::Now)
            ++counts.values;
        else
            ++counts.left;
    }
    return counts;
}

}  // namespace tw
