// Reading one key for the repair backup: what of it reads back as it was read.
//
// A value is kept when its name and text, as the registry keeps them in UTF-16, go through
// the code page and back unchanged (the values are listed through the wide call, and what is
// saved is their ANSI form). A registry without the wide calls (Windows 95/98/Me) keeps ANSI
// text: its values are listed through the ANSI call and each is queried again by the name
// saved. A subkey is kept when it opens again by the name saved. Two names of one key that
// are the same but for case are substitutes for characters outside the code page: neither
// is kept. What is not kept is named in the content's `notReadBack`.
//
// A reader keeps its buffers from key to key and is used by one thread at a time.
#pragma once

#include "platform/codepage.h"
#include "platform/key_handle.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "registry/value_text.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw {

struct BackupValue {
    std::string name;
    std::uint32_t type = 0;
    std::string data;
    // Known from the wide listing: whether name and text survive the code page.
    std::optional<bool> readsBack;
};

// One key as its block in the backup holds it.
struct KeyContent {
    HKey key = nullptr;  // the key read; owned by `handle` when the reader opened it
    KeyHandle handle;
    bool opened = false;    // false: the subkey no longer opens by its name, and its block is empty
    bool complete = false;  // every value and subkey was read and reads back
    std::vector<BackupValue> values;   // the values kept, in the registry's order
    std::vector<std::string> subkeys;  // the subkeys kept, in the registry's order
    // The handle that proved each subkey name opens, kept while the handles held over the
    // whole walk stay few; empty past that (the subkey is opened again when its turn comes).
    std::vector<KeyHandle> subkeyHandles;
    // Values ("<key path> [<name>]") and subkeys ("<key path>\<name>") left out.
    std::vector<std::string> notReadBack;

    // Roughly what the content holds in memory.
    std::size_t Bytes() const;
};

// Clears `keep` for every entry whose name equals another's without regard to case: the
// registry holds no two such names, so they are substitutes read through the code page.
template <class Item, class Name>
void MarkSameNames(const std::vector<Item>& items, Name name, std::vector<bool>* keep)
{
    std::vector<std::size_t> order(items.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return CompareNamesNoCase(name(items[a]), name(items[b])) < 0;
    });
    for (std::size_t i = 1; i < order.size(); ++i)
        if (CompareNamesNoCase(name(items[order[i - 1]]), name(items[order[i]])) == 0)
            (*keep)[order[i - 1]] = (*keep)[order[i]] = false;
}

class BackupKeyReader {
public:
    // `heldHandles` counts the subkey handles kept open between the check that a name opens
    // and the reading of that subkey, over every reader of one backup.
    BackupKeyReader(Registry& registry, TextCodec& codec, std::atomic<std::size_t>& heldHandles);
    BackupKeyReader(const BackupKeyReader&) = delete;
    BackupKeyReader& operator=(const BackupKeyReader&) = delete;

    // The most subkey handles held at once.
    static constexpr std::size_t kMaxHeldHandles = 2048;

    // Reads an open key (not owned); `path` names it in `notReadBack`.
    void Read(HKey key, const std::string& path, KeyContent* content);
    // Reads subkey `name` of `parent` through `held` (the handle that proved the name opens),
    // or opens it again when there is none.
    void ReadSubkey(HKey parent, const std::string& name, KeyHandle held, const std::string& path,
                    KeyContent* content);
    // Gives back a held handle that will not be read through, or all those of a content.
    void Release(KeyHandle& handle);
    void Release(KeyContent& content);

    // Every value of the key; false when one could not be read.
    bool ReadValues(HKey key, std::vector<BackupValue>* values);
    // True when the value, queried again by its name, is the one read.
    bool ReadsBack(HKey key, const BackupValue& value);

private:
    bool ReadValues(HKey key, const KeyCounts& counts, std::vector<BackupValue>* values);
    // One value at an index, through the wide call (converted, and proved on the spot) or
    // the ANSI one.
    long ReadValueWide(HKey key, std::uint32_t index, BackupValue* value);
    long ReadValueAnsi(HKey key, std::uint32_t index, BackupValue* value);
    bool ReadsBackAnsi(HKey key, const BackupValue& value);
    // The subkeys that open by their names, with the handles that proved it.
    bool ReadSubkeys(HKey key, const KeyCounts& counts, const std::string& path, KeyContent* content);

    Registry& registry_;
    TextCodec& codec_;
    std::atomic<std::size_t>& heldHandles_;
    bool wideListing_ = true;  // until the registry answers that it has no wide calls
    std::string nameBuffer_;
    std::u16string wideNameBuffer_;
    std::string dataBuffer_;
    std::string checkBuffer_;
    std::string subkeyBuffer_;
};

}  // namespace tw
