#include "managers/removed_entry_store.h"

#include "platform/key_handle.h"
#include "registry/key_path.h"

namespace tw {

bool MoveRegistryKey(Registry& registry, const std::string& destinationParent, const std::string& sourceParent,
                     const std::string& name)
{
    if (name.empty())
        return false;
    KeyHandle source(registry);
    if (registry.OpenKeyEx(kLocalMachine, sourceParent.c_str(), 0, kKeyAllAccess, source.Put()) != kSuccess)
        return false;
    {
        // Nothing to move: do not leave an empty key in the destination.
        KeyHandle entry(registry);
        if (registry.OpenKeyEx(source.get(), name.c_str(), 0, kKeyRead, entry.Put()) != kSuccess)
            return false;
    }
    KeyHandle destination(registry);
    std::uint32_t disposition = 0;
    std::string destinationPath = destinationParent + "\\" + name;
    if (registry.CreateKeyEx(kLocalMachine, destinationPath.c_str(), 0, nullptr, kRegOptionNonVolatile,
                             kKeyAllAccess, nullptr, destination.Put(), &disposition) != kSuccess)
        return false;
    if (registry.CopyKey(source.get(), name.c_str(), destination.get(), 0) != kSuccess)
        return false;
    // The NT family refuses to delete a key that has subkeys; the entry must not stay in
    // both places, so its whole subtree goes.
    KeyOperations keys(registry, DeletionStyle::WindowsNT);
    keys.DeleteKeyTree("HKEY_LOCAL_MACHINE", sourceParent + "\\" + name);
    return true;
}

bool MoveRegistryValue(Registry& registry, HKey root, const std::string& destinationKey,
                       const std::string& sourceKey, const std::string& valueName, const std::string& text)
{
    KeyHandle destination(registry);
    std::uint32_t disposition = 0;
    if (registry.CreateKeyEx(root, destinationKey.c_str(), 0, nullptr, kRegOptionNonVolatile, kKeyAllAccess,
                             nullptr, destination.Put(), &disposition) != kSuccess)
        return false;
    KeyHandle source(registry);
    if (registry.OpenKeyEx(root, sourceKey.c_str(), 0, kKeyAllAccess, source.Put()) != kSuccess)
        return false;
    if (registry.SetValueEx(destination.get(), valueName.c_str(), 0, kRegSz,
                            reinterpret_cast<const std::uint8_t*>(text.c_str()),
                            static_cast<std::uint32_t>(text.size() + 1)) != kSuccess)
        return false;
    registry.DeleteValue(source.get(), valueName.c_str());
    return true;
}

}  // namespace tw
