// The removed-entry store: what the three managers take away from Windows is moved, never
// destroyed, into keys of the program's own under "SOFTWARE\Tarnwick", and moved back from
// there on restore. A stored subkey keeps its name and everything below it; a stored startup
// value keeps its name and command text and stays under the root it came from.
//
// Both moves copy first and delete the source only after the copy succeeded, so a failure
// never loses the entry. Neither writes over an entry of the same name at the destination: a
// stored copy is never replaced, and a restore never overwrites an entry Windows has again.
// A source that could not be deleted is put back whole and the copy taken away, so an entry
// is never reported moved while it is still where it was.
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

// How a move between the place Windows reads and the store ended.
enum class MoveResult {
    Moved,
    NameTaken,     // the destination already holds an entry of that name: nothing changed
    NotMoved,      // the source could not be opened with full access, or the copy failed
    SourceStayed,  // the source could not be deleted: it was put back and the copy removed
};
// Why a move did not happen, as the windows and the command line say it: toStore for a
// removal, false for a restore. Empty for Moved.
const char* MoveResultText(MoveResult result, bool toStore);

// Moves HKEY_LOCAL_MACHINE\sourceParent\name, with all its values and subkeys, to
// HKEY_LOCAL_MACHINE\destinationParent\name, which must not exist yet. The source is removed
// with its whole subtree once the copy succeeded.
MoveResult MoveRegistryKey(Registry& registry, const std::string& destinationParent, const std::string& sourceParent,
                           const std::string& name);

// Writes `text` as the string value `valueName` of root\destinationKey, which must not hold a
// value of that name yet, and then deletes the value from root\sourceKey.
MoveResult MoveRegistryValue(Registry& registry, HKey root, const std::string& destinationKey,
                             const std::string& sourceKey, const std::string& valueName, const std::string& text);

}  // namespace tw
