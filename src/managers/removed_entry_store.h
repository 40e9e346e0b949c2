// The removed-entry store: what the three managers take away from Windows is moved, never
// destroyed, into keys of the program's own under "SOFTWARE\Tarnwick", and moved back from
// there on restore. A stored subkey keeps its name and everything below it; a stored startup
// value keeps its name, its type and its data byte for byte, and stays under the root it came
// from.
//
// Each place a manager reads (`ManagerPlace`: the machine's key, its 32-bit view below
// Wow6432Node, the user's key, and for the startup programs "Run" and "RunOnce" of each) has
// a store key of its own under the same root, so that two entries of one name in two places
// never meet in the store, and each goes back to exactly the place it came from.
//
// Both moves copy first and delete the source only after the copy succeeded, so a failure
// never loses the entry. Neither writes over an entry of the same name at the destination: a
// stored copy is never replaced, and a restore never overwrites an entry Windows has again.
// A source that could not be deleted is put back whole and the copy taken away, so an entry
// is never reported moved while it is still where it was.
#pragma once

#include "platform/registry.h"
#include "registry/registry_places.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The places Windows reads.
inline constexpr const char* kRunKeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunOnceKeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr const char* kBrowserHelperObjectsKeyPath =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
inline constexpr const char* kUninstallKeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The store, one key per manager and place, under the root of the place. The startup
// store holds values, so the stores of its other places are subkeys of it; the Add/Remove
// Programs store holds subkeys, so the store of the 32-bit view is a key beside it.
inline constexpr const char* kStartupStoreKeyPath = "SOFTWARE\\Tarnwick\\StartupManager";
inline constexpr const char* kStartupRunOnceStoreKeyPath = "SOFTWARE\\Tarnwick\\StartupManager\\RunOnce";
inline constexpr const char* kStartupRun32StoreKeyPath = "SOFTWARE\\Tarnwick\\StartupManager\\Run32";
inline constexpr const char* kStartupRunOnce32StoreKeyPath = "SOFTWARE\\Tarnwick\\StartupManager\\RunOnce32";
inline constexpr const char* kBhoStoreKeyPath = "SOFTWARE\\Tarnwick\\BhoManager";
inline constexpr const char* kAddRemoveStoreKeyPath = "SOFTWARE\\Tarnwick\\AddRemoveProgram";
inline constexpr const char* kAddRemove32StoreKeyPath = "SOFTWARE\\Tarnwick\\AddRemoveProgram32";

// One place a manager reads entries from, the store key its removed entries wait in (under
// the same root) and the name the window's "Location" column gives it.
struct ManagerPlace {
    RegistryPlace source;
    std::string store;
    std::string location;
};

// The listing rule of the managers' windows: a name or text that does not fit a buffer of
// this many characters (terminator included) is not listed. Counted in UTF-16 code units, as
// the registry keeps text, so that the limit is the same whatever the code page.
inline constexpr std::size_t kListingBufferChars = 260;
// The length of `text` (in the process code page) in UTF-16 code units.
std::size_t Utf16Length(TextCodec& codec, std::string_view text);
// Whether a value's data fits the listing buffer: string types in UTF-16 code units (as
// stored), the other types in bytes.
bool DataFitsListing(TextCodec& codec, std::uint32_t type, const std::uint8_t* data, std::size_t size);
// The data of a value as the listings show it: the bytes up to the first NUL.
std::string DataAsText(const std::uint8_t* data, std::size_t size);

// A value's type and data as stored, of any length (the buffer grows on "more data"). False
// when it is missing or cannot be read; the outputs are then unchanged.
bool ReadValueBytes(Registry& registry, HKey key, const char* valueName, std::uint32_t* type,
                    std::vector<std::uint8_t>* data);
// The subkey names of an open key by index, until the first failing call; the buffer is
// sized from the key's longest name (in UTF-16 units, up to three bytes each in UTF-8) and
// grown on "more data".
std::vector<std::string> SubkeyNamesOf(Registry& registry, HKey key);

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

// Moves root\sourceParent\name, with all its values and subkeys, to
// root\destinationParent\name, which must not exist yet. The source is removed with its whole
// subtree once the copy succeeded.
MoveResult MoveRegistryKey(Registry& registry, HKey root, const std::string& destinationParent,
                           const std::string& sourceParent, const std::string& name);
// The same under HKEY_LOCAL_MACHINE.
inline MoveResult MoveRegistryKey(Registry& registry, const std::string& destinationParent,
                                  const std::string& sourceParent, const std::string& name)
{
    return MoveRegistryKey(registry, kLocalMachine, destinationParent, sourceParent, name);
}

// Writes the value `valueName` of root\sourceKey, with its own type and bytes, into
// root\destinationKey, which must not hold a value of that name yet, and then deletes it from
// the source. What is moved is what the registry holds at the time, never a listing's text.
MoveResult MoveRegistryValue(Registry& registry, HKey root, const std::string& destinationKey,
                             const std::string& sourceKey, const std::string& valueName);

}  // namespace tw
