// Registry snapshots: registry branches written as XML, one element "k" per key (attribute
// "name") and one empty element "v" per value (attributes "name", "value" and, for types
// other than REG_SZ and REG_NONE, "type"), indented one blank a level, lines ended by CR LF.
// A value whose text and type name would not give it back as the registry keeps it (REG_NONE,
// REG_DWORD_BIG_ENDIAN, REG_LINK, REG_FULL_RESOURCE_DESCRIPTOR and types without a name,
// empty binary data, numbers of another size, strings with bytes after their terminator,
// without one, of an odd size, with characters the code page cannot write or a line feed
// without its CR) is written by its bytes instead: attributes "name" and "data", the latter
// "hex(N):" and the bytes as binary data's text (string data in UTF-16), N the type's number
// in hex digits (ParseExactValue). Everything else is written as it always was, so a file
// written before reads as it did.
// The full backup writes one branch per file; the repair journal writes one branch per
// repaired item into one file (its key items from the pre-repair backup, as text).
//
// The writer streams: each line goes out as soon as it is built, the values of a key are
// listed, written and released before its subkeys are visited, and each level of the walk
// keeps only its subkey-name buffer, so memory grows with the depth of the branch, not with
// its size.
//
// A caller writes a file as: SetFileName; XmlElement("registry").WriteStartTag(w, +1, true,
// true); WriteBranchSnapshot for each branch; WriteEndTag(w, -1, true, true); Close.
#pragma once

#include "platform/registry.h"
#include "platform/system.h"
#include "registry/value_text.h"
#include "snapshot/xml_writer.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Told the full path of each key left out of a snapshot because it cannot be opened or
// queried (its subtree goes with it).
using SkippedKeyReport = std::function<void(const std::string& fullKeyPath)>;

// Writes the branch at a full key path ("HKEY_CURRENT_USER\Software\Demo"): one start tag
// per path component, the key's contents, the end tags. With `singleValue`, only that value
// of the named key is written (its subkeys are written in full). False, with nothing written,
// when the path is empty or the key cannot be opened; false when the file could not be
// written. Subkeys that cannot be opened or queried are left out with their subtrees, and
// `onSkipped`, when given, is told each one (the branch's own key too, when it cannot be
// read). True when the branch reached the file.
bool WriteBranchSnapshot(XmlWriter& writer, Registry& registry, TextCodec& codec, std::string_view fullKeyPath,
                         const ValueEntry* singleValue = nullptr, const SkippedKeyReport* onSkipped = nullptr);

// Writes one open key: its element named `keyName` (none when the name is empty) holding its
// values and subkeys. False when the key cannot be queried (nothing written) or on a write
// failure; subkeys that cannot be opened or queried are left out with their subtrees.
bool WriteKeySnapshot(XmlWriter& writer, Registry& registry, TextCodec& codec, std::string_view keyName, HKey key,
                      const ValueEntry* singleValue = nullptr);

// Writes a key read elsewhere (the repair journal writes what the pre-repair backup has just
// read) as WriteKeySnapshot writes it from the registry: BeginKey, the key's values in
// enumeration order, its subkeys (each BeginKey ... EndKey), EndKey. The first key, with an
// empty name, is the branch's own key, which has no element. One key's values are held at a
// time for each level.
class KeySnapshotStream {
public:
    KeySnapshotStream(XmlWriter& writer, TextCodec& codec) : writer_(writer), codec_(codec) {}
    void BeginKey(std::string_view name);
    void Value(std::string_view name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size);
    void EndKey();

private:
    struct Level {
        std::string name;
        ValueListing values;
        bool open = false;  // its start tag and values are written
    };
    void Open(Level& level);

    XmlWriter& writer_;
    TextCodec& codec_;
    std::vector<Level> levels_;
};

// WriteBranchSnapshot of a key read elsewhere: the path's elements around what `writeKey`
// hands the stream for the branch's own key (BeginKey with an empty name ... EndKey), then
// flushed. False when the path is empty, `writeKey` fails or the file could not be written.
bool WriteBranchFrom(XmlWriter& writer, TextCodec& codec, std::string_view fullKeyPath,
                     const std::function<bool(KeySnapshotStream&)>& writeKey);

}  // namespace tw
