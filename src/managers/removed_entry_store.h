// The removed-entry store: what the three managers take away from Windows is moved, never
// destroyed, into keys of the program's own under "SOFTWARE\Tarnwick", and moved back from
// there on restore. A stored subkey keeps its name and everything below it; a stored startup
// value keeps its name and command text and stays under the root it came from.
//
// Both moves copy first and delete the source only after the copy succeeded, so a failure
// never loses the entry.
#pragma once

#include "platform/registry.h"

#include <string>

namespace tw {

// The places Windows reads.
inline constexpr const char* kRunKeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kBrowserHelperObjectsKeyPath =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
inline constexpr const char* kUninstallKeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The store, one key per manager (the startup store exists under each root).
inline constexpr const char* kStartupStoreKeyPath = "SOFTWARE\\Tarnwick\\StartupManager";
inline constexpr const char* kBhoStoreKeyPath = "SOFTWARE\\Tarnwick\\BhoManager";
inline constexpr const char* kAddRemoveStoreKeyPath = "SOFTWARE\\Tarnwick\\AddRemoveProgram";

// Moves HKEY_LOCAL_MACHINE\sourceParent\name, with all its values and subkeys, to
// HKEY_LOCAL_MACHINE\destinationParent\name (merging into a key of that name that is already
// there). The source is removed with its whole subtree once the copy succeeded. False, with
// the source untouched, when the source cannot be opened with full access or the copy fails.
bool MoveRegistryKey(Registry& registry, const std::string& destinationParent, const std::string& sourceParent,
                     const std::string& name);

// Writes `text` as the string value `valueName` of root\destinationKey and then deletes the
// value from root\sourceKey. False, with the source untouched, when the source key cannot be
// opened with full access or the write fails.
bool MoveRegistryValue(Registry& registry, HKey root, const std::string& destinationKey,
                       const std::string& sourceKey, const std::string& valueName, const std::string& text);

}  // namespace tw
