#include "managers/removed_entry_store.h"

#include "platform/key_handle.h"
#include "registry/key_path.h"

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

MoveResult MoveRegistryKey(Registry& registry, const std::string& destinationParent, const std::string& sourceParent,
                           const std::string& name)
{
    if (name.empty())
        return MoveResult::NotMoved;
    KeyHandle source(registry);
    if (registry.OpenKeyEx(kLocalMachine, sourceParent.c_str(), 0, kKeyAllAccess, source.Put()) != kSuccess)
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
    if (registry.CreateKeyEx(kLocalMachine, destinationPath.c_str(), 0, nullptr, kRegOptionNonVolatile,
                             kKeyAllAccess, nullptr, destination.Put(), &disposition) != kSuccess)
        return MoveResult::NotMoved;
    if (disposition != kRegCreatedNewKey)
        return MoveResult::NameTaken;  // merging would replace what is there
    KeyOperations keys(registry, DeletionStyle::WindowsNT);
    if (registry.CopyKey(source.get(), name.c_str(), destination.get(), 0) != kSuccess) {
        destination.Close();
        keys.DeleteKeyTree("HKEY_LOCAL_MACHINE", destinationPath);
        return MoveResult::NotMoved;
    }
    // The NT family refuses to delete a key that has subkeys; the entry must not stay in
    // both places, so its whole subtree goes.
    const std::string sourcePath = sourceParent + "\\" + name;
    keys.DeleteKeyTree("HKEY_LOCAL_MACHINE", sourcePath);
    KeyHandle left(registry);
    if (registry.OpenKeyEx(source.get(), name.c_str(), 0, kKeyAllAccess, left.Put()) != kSuccess)
        return MoveResult::Moved;
    // Part of it, or all, is still there: what went comes back from the copy, and only when
    // that worked does the copy go, so that the entry is whole in one place at least.
    if (registry.CopyKey(destination.get(), "", left.get(), 0) == kSuccess) {
        destination.Close();
        keys.DeleteKeyTree("HKEY_LOCAL_MACHINE", destinationPath);
    }
    return MoveResult::SourceStayed;
}

MoveResult MoveRegistryValue(Registry& registry, HKey root, const std::string& destinationKey,
                             const std::string& sourceKey, const std::string& valueName, const std::string& text)
{
    KeyHandle destination(registry);
    std::uint32_t disposition = 0;
    if (registry.CreateKeyEx(root, destinationKey.c_str(), 0, nullptr, kRegOptionNonVolatile, kKeyAllAccess,
                             nullptr, destination.Put(), &disposition) != kSuccess)
        return MoveResult::NotMoved;
    KeyHandle source(registry);
    if (registry.OpenKeyEx(root, sourceKey.c_str(), 0, kKeyAllAccess, source.Put()) != kSuccess)
        return MoveResult::NotMoved;
    std::uint32_t size = 0;
    const long there = registry.QueryValueEx(destination.get(), valueName.c_str(), nullptr, nullptr, nullptr, &size);
    if (there == kSuccess || there == kErrorMoreData)
        return MoveResult::NameTaken;
    if (registry.SetValueEx(destination.get(), valueName.c_str(), 0, kRegSz,
                            reinterpret_cast<const std::uint8_t*>(text.c_str()),
                            static_cast<std::uint32_t>(text.size() + 1)) != kSuccess)
        return MoveResult::NotMoved;
    if (registry.DeleteValue(source.get(), valueName.c_str()) != kSuccess) {
        registry.DeleteValue(destination.get(), valueName.c_str());
        return MoveResult::SourceStayed;
    }
    return MoveResult::Moved;
}

}  // namespace tw
