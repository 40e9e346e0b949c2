// Restoring registry snapshots: walks a snapshot file with the XmlReader and merges what it
// describes into the registry. Keys that do not exist are created, values named in the file
// are created or overwritten, and nothing that is in the registry but not in the file is
// touched. A parse error ends the file, keeping what was restored before it; a key that can
// be neither opened nor created ends it too, and that alone makes the restore fail. Values
// may be written on a second thread while the keys after them are opened
// (RegistryWriteBehind); all are written when the restore of a file returns.
#pragma once

#include "platform/key_handle.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "snapshot/xml_reader.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// What a restore writes into.
struct RestoreTarget {
    Registry& registry;
    TextCodec& codec;
    // The program puts the standard arrow pointer back when a key or value cannot be
    // written (it may have shown the hourglass); empty where there is no pointer.
    std::function<void()> showArrowCursor;
};

// What happened, for callers that tell the user.
struct RestoreReport {
    bool fileOpened = false;
    std::size_t keys = 0;          // key elements opened or created
    std::size_t values = 0;        // values written
    std::size_t valuesFailed = 0;  // values the registry refused (skipped)
    // The key that could be neither opened nor created, its status and the file's line.
    std::string failedKeyPath;
    long failedStatus = kSuccess;
    int failedLine = 0;
    // Set, with failedLine, when the file holds something no snapshot writes and that would
    // put what follows it in the wrong place (a key element without a name): the restore
    // stops there, so nothing lands outside the keys the file names.
    std::string malformed;
};

// One open key of the file's nesting: its name as found in the file and its handle.
struct KeyStackEntry {
    std::string name;
    KeyHandle key;
    bool created = false;  // the key did not exist: it was made by this restore
    // The handle is the parent's own: an empty key name opens the parent itself, and
    // RegOpenKeyA then hands back the parent's handle. The parent's entry closes it.
    bool parentsHandle = false;
    // The key's values and its closing are handed to a second thread (RegistryWriteBehind).
    bool behind = false;
};
using KeyStack = std::vector<KeyStackEntry>;

// Reads one snapshot file into the registry. The reader is the caller's and is closed at the
// end, so one reader serves a list of files; a parse error's text stays in it. True when the
// file was read to its end or to a parse error (a missing file included); false when a key
// could be neither opened nor created.
bool RestoreSnapshotFile(XmlReader& reader, std::string_view filePath, const RestoreTarget& target,
                         RestoreReport* report = nullptr);

// A value of a snapshot file that the registry holds now with another type or other bytes:
// what restoring the file would write over. The key path is the file's (root name first).
struct OverwrittenValue {
    std::string keyPath;
    std::string name;
};

// Reads the file as RestoreSnapshotFile does but writes nothing: appends to `values` each
// value the restore would write over. The report counts the keys and values read; a missing
// key (and all below it) holds nothing to write over. True as RestoreSnapshotFile would be,
// but a key that cannot be opened is not a failure here.
bool ListValuesASnapshotWritesOver(XmlReader& reader, std::string_view filePath, const RestoreTarget& target,
                                   std::vector<OverwrittenValue>& values, RestoreReport* report = nullptr);

// Opens, or creates with every missing component, the key at the path of the stack (the first
// name is the root name, the others the subkey path); the stack of one gives the root itself.
// Returns null when it can do neither (an unknown root name, access denied), with the status
// in `status`; `created` tells whether the key had to be made.
HKey OpenOrCreateKeyPath(Registry& registry, const KeyStack& stack, long* status = nullptr, bool* created = nullptr);

// The path of the stack as text, for messages.
std::string KeyStackPath(const KeyStack& stack);

}  // namespace tw
