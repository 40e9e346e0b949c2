// The ignore list: findings the user never wants reported again. It is kept per user below
// HKCU\Software\Tarnwick\Ignored, one subkey per entry (named by a number, which means
// nothing) holding the REG_SZ values "Key", the full key path as the scan reports it, and,
// for a finding of one value, "Value", the value's name as the scan reports it (it may be
// empty). An entry without "Value" stands for a finding of the key itself (delete type
// "KEY"). The names live in value data, never in key names, so every path and value name is
// kept exactly: backslashes, empty names, any script.
//
// Key paths and value names compare as the registry compares names (CompareNamesNoCase);
// an empty value name and "(Default)" both name the unnamed value, as the scan lists it.
// Broken shortcuts are files, not registry entries, and are not kept on this list.
#pragma once

#include "platform/registry.h"
#include "scan/problem_record.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tw {

inline constexpr const char* kIgnoredKeyPath = "Software\\Tarnwick\\Ignored";
inline constexpr const char* kIgnoredKeyValue = "Key";
inline constexpr const char* kIgnoredValueValue = "Value";

struct IgnoredEntry {
    std::string keyPath;
    std::optional<std::string> valueName;  // none: the key itself
};

// The entry that stands for one finding: a "KEY" finding by its key alone, any other by its
// key and value name.
IgnoredEntry EntryOfProblem(const ProblemRecord& problem);
IgnoredEntry EntryOfFinding(std::string_view keyPath, std::string_view deleteType, std::string_view valueName);

// What the scan page and the results viewer say of the findings left out.
std::string IgnoredCountText(std::size_t count);

enum class IgnoreResult { Added, AlreadyListed, Removed, NotListed, Failed };

class IgnoreList {
public:
    explicit IgnoreList(Registry& registry);

    // Reads every entry (a missing key is an empty list); 0, or the registry's status when
    // the key exists but cannot be read (the list is then empty). A subkey without a "Key"
    // string is no entry and is passed over.
    long Load();

    const std::vector<IgnoredEntry>& entries() const { return entries_; }
    bool empty() const { return entries_.empty(); }
    bool Contains(const IgnoredEntry& entry) const;

    // Adds one entry to the registry and the list. An entry already listed is not added
    // twice (AlreadyListed). Failed leaves the registry and the list as they were; `status`
    // then holds the registry's answer.
    IgnoreResult Add(const IgnoredEntry& entry, long* status = nullptr);
    // Takes one entry off the list: NotListed when it is not on it.
    IgnoreResult Remove(const IgnoredEntry& entry, long* status = nullptr);

private:
    static std::string Folded(const IgnoredEntry& entry);
    long WriteEntry(const std::string& subkey, const IgnoredEntry& entry);

    Registry& registry_;
    std::vector<IgnoredEntry> entries_;
    std::vector<std::string> subkeys_;  // the subkey of each entry
    // Further subkeys that hold an entry already listed (written twice by hand): taken off
    // with it.
    std::vector<std::pair<std::string, std::string>> duplicates_;  // folded entry, subkey
    std::unordered_set<std::string> folded_;
};

}  // namespace tw
