// Full registry paths ("HKEY_LOCAL_MACHINE\SOFTWARE\Classes") and the key operations shared
// by the scanners, the repair and the snapshots: splitting a path, opening a key by root
// name and subkey path, deleting a key with its subtree, deleting one value.
#pragma once

#include "platform/registry.h"

#include <optional>
#include <string>
#include <string_view>

namespace tw {

// Status codes of this layer besides the registry's own.
constexpr long kUnknownRoot = 1;     // root name not in the table, or no place for the handle
constexpr long kNoSubkeyPath = 1010;  // a root key is never deleted

// Returns the root name of `path` and leaves the subkey path in `path` (split at the first
// backslash; the rest is not normalised).
std::string SplitRootFromPath(std::string& path);

// The predefined handle of a root name, matched without regard to case.
std::optional<HKey> RootKeyFromName(std::string_view name);

// The root name of HKEY_CLASSES_ROOT, _CURRENT_USER, _LOCAL_MACHINE or _USERS; an empty
// name for any other handle (HKEY_CURRENT_CONFIG included).
std::string RootNameFromKey(HKey key);

// Bit 31 of GetVersion's result marks Windows 95/98/Me.
DeletionStyle DeletionStyleFromVersion(std::uint32_t version);

class KeyOperations {
public:
    KeyOperations(Registry& registry, DeletionStyle style) : registry_(registry), style_(style) {}

    Registry& registry() const { return registry_; }
    DeletionStyle style() const { return style_; }

    // RegOpenKeyA(root, subkey); with no place for the handle, or an unknown root, 1 and the
    // handle stays empty. The caller closes the handle.
    long OpenKeyByName(std::string_view rootName, const std::string& subkeyPath, HKey* key) const;
    // Deletes the key and everything below it.
    long DeleteKeyTree(std::string_view rootName, const std::string& subkeyPath) const;
    // Deletes one value (the name goes to the registry as it is).
    long DeleteKeyValue(std::string_view rootName, const std::string& subkeyPath,
                        const std::string& valueName) const;

private:
    long DeleteRecursively(HKey parent, const std::string& name) const;

    Registry& registry_;
    DeletionStyle style_;
};

}  // namespace tw
