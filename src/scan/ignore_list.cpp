#include "scan/ignore_list.h"

#include "platform/codepage.h"
#include "platform/key_handle.h"
#include "registry/key_enumeration.h"
#include "registry/value_text.h"

#include <algorithm>

namespace tw {

IgnoredEntry EntryOfFinding(std::string_view keyPath, std::string_view deleteType, std::string_view valueName)
{
    IgnoredEntry entry;
    entry.keyPath = std::string(keyPath);
    if (deleteType != "KEY")
        entry.valueName = std::string(valueName);
    return entry;
}

IgnoredEntry EntryOfProblem(const ProblemRecord& problem)
{
    return EntryOfFinding(problem.keyPath, problem.deleteType, problem.value ? problem.value->name : std::string());
}

std::string IgnoredCountText(std::size_t count)
{
    if (count == 1)
        return "1 ignored problem was left out.";
    return std::to_string(count) + " ignored problems were left out.";
}

IgnoreList::IgnoreList(Registry& registry) : registry_(registry) {}

std::string IgnoreList::Folded(const IgnoredEntry& entry)
{
    // The key path and the value name cannot meet: a NUL stands between them.
    std::string folded = LowerText(entry.keyPath);
    if (!entry.valueName) {
        folded += '\0';
        folded += 'K';
        return folded;
    }
    folded += '\0';
    folded += 'V';
    folded += entry.valueName->empty() ? LowerText(kDefaultValueName) : LowerText(*entry.valueName);
    return folded;
}

long IgnoreList::Load()
{
    entries_.clear();
    subkeys_.clear();
    folded_.clear();
    duplicates_.clear();
    KeyHandle list(registry_);
    long status = registry_.OpenKeyEx(kCurrentUser, kIgnoredKeyPath, 0, kKeyRead, list.Put());
    if (status != kSuccess) {
        list.Release();
        return status == kErrorFileNotFound ? kSuccess : status;
    }
    SubkeyEnumerator subkeys(registry_, list.get());
    if (!subkeys.Init())
        return kSuccess;
    std::string name;
    while (subkeys.Next(&name)) {
        KeyHandle entryKey(registry_);
        if (registry_.OpenKeyEx(list.get(), name.c_str(), 0, kKeyRead, entryKey.Put()) != kSuccess) {
            entryKey.Release();
            continue;
        }
        std::optional<std::string> keyPath = ReadStringValue(registry_, entryKey.get(), kIgnoredKeyValue);
        if (!keyPath)
            continue;
        IgnoredEntry entry{*keyPath, ReadStringValue(registry_, entryKey.get(), kIgnoredValueValue)};
        std::string folded = Folded(entry);
        if (!folded_.insert(folded).second) {
            duplicates_.emplace_back(std::move(folded), name);  // written twice by hand: one entry
            continue;
        }
        entries_.push_back(std::move(entry));
        subkeys_.push_back(name);
    }
    return kSuccess;
}

bool IgnoreList::Contains(const IgnoredEntry& entry) const
{
    return folded_.count(Folded(entry)) != 0;
}

long IgnoreList::WriteEntry(const std::string& subkey, const IgnoredEntry& entry)
{
    KeyHandle key(registry_);
    const std::string path = std::string(kIgnoredKeyPath) + "\\" + subkey;
    // Made here, or not used: another process adding an entry at the same moment may have
    // taken the number since it was found free, and its entry is not written over.
    std::uint32_t disposition = 0;
    long status = registry_.CreateKeyEx(kCurrentUser, path.c_str(), 0, nullptr, kRegOptionNonVolatile,
                                        kKeyAllAccess, nullptr, key.Put(), &disposition);
    if (status != kSuccess) {
        key.Release();
        return status;
    }
    if (disposition == kRegOpenedExistingKey)
        return kErrorAlreadyExists;
    auto write = [&](const char* valueName, const std::string& text) {
        return registry_.SetValueEx(key.get(), valueName, 0, kRegSz, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                    static_cast<std::uint32_t>(text.size() + 1));
    };
    status = write(kIgnoredKeyValue, entry.keyPath);
    if (status == kSuccess && entry.valueName)
        status = write(kIgnoredValueValue, *entry.valueName);
    if (status != kSuccess) {
        key.Close();
        registry_.DeleteKey(kCurrentUser, path.c_str());  // no half-made entry is left
    }
    return status;
}

IgnoreResult IgnoreList::Add(const IgnoredEntry& entry, long* status)
{
    if (status)
        *status = kSuccess;
    std::string folded = Folded(entry);
    if (folded_.count(folded))
        return IgnoreResult::AlreadyListed;
    // The first number no entry's subkey has, and none that exists without being an entry.
    std::string subkey;
    for (std::size_t n = subkeys_.size() + 1;; ++n) {
        subkey = std::to_string(n);
        bool taken = std::any_of(subkeys_.begin(), subkeys_.end(),
                                 [&](const std::string& s) { return CompareNamesNoCase(s, subkey) == 0; });
        if (taken)
            continue;
        KeyHandle existing(registry_);
        const std::string path = std::string(kIgnoredKeyPath) + "\\" + subkey;
        if (registry_.OpenKeyEx(kCurrentUser, path.c_str(), 0, kKeyRead, existing.Put()) == kSuccess)
            continue;
        existing.Release();
        break;
    }
    long written = kErrorAlreadyExists;
    for (std::size_t n = std::stoul(subkey); written == kErrorAlreadyExists && n < subkeys_.size() + 1000; ++n) {
        subkey = std::to_string(n);
        if (std::none_of(subkeys_.begin(), subkeys_.end(), [&](const std::string& s) { return s == subkey; }))
            written = WriteEntry(subkey, entry);
    }
    if (written != kSuccess) {
        if (status)
            *status = written;
        return IgnoreResult::Failed;
    }
    entries_.push_back(entry);
    subkeys_.push_back(subkey);
    folded_.insert(std::move(folded));
    return IgnoreResult::Added;
}

IgnoreResult IgnoreList::Remove(const IgnoredEntry& entry, long* status)
{
    if (status)
        *status = kSuccess;
    std::string folded = Folded(entry);
    if (!folded_.count(folded))
        return IgnoreResult::NotListed;
    std::size_t i = 0;
    while (i < entries_.size() && Folded(entries_[i]) != folded)
        ++i;
    const std::string path = std::string(kIgnoredKeyPath) + "\\" + subkeys_[i];
    long deleted = registry_.DeleteKey(kCurrentUser, path.c_str());
    if (deleted != kSuccess && deleted != kErrorFileNotFound) {
        if (status)
            *status = deleted;
        return IgnoreResult::Failed;
    }
    for (auto d = duplicates_.begin(); d != duplicates_.end();) {
        if (d->first != folded) {
            ++d;
            continue;
        }
        registry_.DeleteKey(kCurrentUser, (std::string(kIgnoredKeyPath) + "\\" + d->second).c_str());
        d = duplicates_.erase(d);
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    subkeys_.erase(subkeys_.begin() + static_cast<std::ptrdiff_t>(i));
    folded_.erase(folded);
    return IgnoreResult::Removed;
}

}  // namespace tw
