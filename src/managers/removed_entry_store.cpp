#include "managers/removed_entry_store.h"

#include "platform/key_handle.h"
#include "registry/key_enumeration.h"
#include "registry/key_path.h"

#include <algorithm>

namespace tw {

const char* MoveResultText(MoveResult result, bool toStore)
{
    switch (result) {
    case MoveResult::Moved:
        return "";
    case MoveResult::NameTaken:
        return toStore ? "an entry of this name was removed before and is still stored; restore that one first"
                       : "an entry of this name is in its place again; the stored one is kept";
    case MoveResult::NotMoved:
        return "it could not be opened for moving, or not copied";
    case MoveResult::SourceStayed:
        return "it could not be deleted from where it was, so it stays there and nothing was moved";
    }
    return "";
}

std::size_t Utf16Length(TextCodec& codec, std::string_view text)
{
    return codec.AnsiToUtf16(text).size();
}

bool DataFitsListing(TextCodec& codec, std::uint32_t type, const std::uint8_t* data, std::size_t size)
{
    if (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) {
        if (size <= kListingBufferChars)
            return true;  // never more characters than bytes
        std::string_view bytes(reinterpret_cast<const char*>(data), size);
        // The terminator the registry keeps is one character, whatever the code page made of it.
        std::size_t units = Utf16Length(codec, bytes);
        return units <= kListingBufferChars;
    }
    return size <= kListingBufferChars;
}

std::string DataAsText(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    return text;
}

bool ReadValueBytes(Registry& registry, HKey key, const char* valueName, std::uint32_t* type,
                    std::vector<std::uint8_t>* data)
{
    std::uint32_t size = 0;
    std::uint32_t kind = 0;
    long status = registry.QueryValueEx(key, valueName, nullptr, &kind, nullptr, &size);
    std::vector<std::uint8_t> bytes;
    // The value may grow between two calls: ask again with the size it reported.
    for (int attempt = 0; attempt < 8 && (status == kSuccess || status == kErrorMoreData); ++attempt) {
        bytes.resize(size);
        std::uint32_t got = size;
        status = registry.QueryValueEx(key, valueName, nullptr, &kind, bytes.empty() ? nullptr : bytes.data(), &got);
        if (status == kSuccess && got <= bytes.size()) {
            bytes.resize(got);
            *type = kind;
            *data = std::move(bytes);
            return true;
        }
        if (status == kErrorMoreData || status == kSuccess)
            size = got > size ? got : size * 2 + 16;
    }
    return false;
}

std::vector<std::string> SubkeyNamesOf(Registry& registry, HKey key)
{
    std::vector<std::string> names;
    SubkeyEnumerator subkeys(registry, key);
    if (!subkeys.Init())
        return names;
    for (std::string name; subkeys.Next(&name);)
        names.push_back(name);
    return names;
}

MoveResult MoveRegistryKey(Registry& registry, HKey root, const std::string& destinationParent,
                           const std::string& sourceParent, const std::string& name)
{
    const std::string rootName = RootNameFromKey(root);
    if (name.empty() || rootName.empty())
        return MoveResult::NotMoved;
    KeyHandle source(registry);
    if (registry.OpenKeyEx(root, sourceParent.c_str(), 0, kKeyAllAccess, source.Put()) != kSuccess)
        return MoveResult::NotMoved;
    {
        // Nothing to move: do not leave an empty key in the destination.
        KeyHandle entry(registry);
        if (registry.OpenKeyEx(source.get(), name.c_str(), 0, kKeyRead, entry.Put()) != kSuccess)
            return MoveResult::NotMoved;
    }
    const std::string destinationPath = destinationParent + "\\" + name;
    KeyHandle destination(registry);
    std::uint32_t disposition = 0;
    if (registry.CreateKeyEx(root, destinationPath.c_str(), 0, nullptr, kRegOptionNonVolatile, kKeyAllAccess,
                             nullptr, destination.Put(), &disposition) != kSuccess)
        return MoveResult::NotMoved;
    if (disposition != kRegCreatedNewKey)
        return MoveResult::NameTaken;  // merging would replace what is there
    KeyOperations keys(registry, DeletionStyle::WindowsNT);
    if (registry.CopyKey(source.get(), name.c_str(), destination.get(), 0) != kSuccess) {
        destination.Close();
        keys.DeleteKeyTree(rootName, destinationPath);
        return MoveResult::NotMoved;
    }
    // The NT family refuses to delete a key that has subkeys; the entry must not stay in
    // both places, so its whole subtree goes.
    const std::string sourcePath = sourceParent + "\\" + name;
    keys.DeleteKeyTree(rootName, sourcePath);
    KeyHandle left(registry);
    if (registry.OpenKeyEx(source.get(), name.c_str(), 0, kKeyAllAccess, left.Put()) != kSuccess)
        return MoveResult::Moved;
    // Part of it, or all, is still there: what went comes back from the copy, and only when
    // that worked does the copy go, so that the entry is whole in one place at least.
    if (registry.CopyKey(destination.get(), "", left.get(), 0) == kSuccess) {
        destination.Close();
        keys.DeleteKeyTree(rootName, destinationPath);
    }
    return MoveResult::SourceStayed;
}

MoveResult MoveRegistryValue(Registry& registry, HKey root, const std::string& destinationKey,
                             const std::string& sourceKey, const std::string& valueName)
{
    KeyHandle source(registry);
    if (registry.OpenKeyEx(root, sourceKey.c_str(), 0, kKeyAllAccess, source.Put()) != kSuccess)
        return MoveResult::NotMoved;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (!ReadValueBytes(registry, source.get(), valueName.c_str(), &type, &data))
        return MoveResult::NotMoved;
    KeyHandle destination(registry);
    std::uint32_t disposition = 0;
    if (registry.CreateKeyEx(root, destinationKey.c_str(), 0, nullptr, kRegOptionNonVolatile, kKeyAllAccess,
                             nullptr, destination.Put(), &disposition) != kSuccess)
        return MoveResult::NotMoved;
    std::uint32_t size = 0;
    const long there = registry.QueryValueEx(destination.get(), valueName.c_str(), nullptr, nullptr, nullptr, &size);
    if (there == kSuccess || there == kErrorMoreData)
        return MoveResult::NameTaken;
    // RegSetValueExA adds a terminator to string data whose last byte is not NUL when the
    // byte after the buffer is one: the byte after these data never is, so that they are
    // written exactly as read.
    const std::size_t length = data.size();
    data.push_back(0xFF);
    if (registry.SetValueEx(destination.get(), valueName.c_str(), 0, type, data.data(),
                            static_cast<std::uint32_t>(length)) != kSuccess)
        return MoveResult::NotMoved;
    if (registry.DeleteValue(source.get(), valueName.c_str()) != kSuccess) {
        registry.DeleteValue(destination.get(), valueName.c_str());
        return MoveResult::SourceStayed;
    }
    return MoveResult::Moved;
}

}  // namespace tw
