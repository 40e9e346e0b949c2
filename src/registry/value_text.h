// Registry values as text: the names of the value types, the text form of a value of each
// type (shown to the user, compared by the scanners, stored in snapshots), the way that text
// becomes value data again, and the listing of one key's values.
#pragma once

#include "platform/registry.h"
#include "platform/system.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct ValueEntry {
    std::string name;  // "(Default)" for the unnamed value
    std::string text;  // "(value not set)" for an unnamed value without data
    std::uint32_t type = kRegSz;
    // Set by the snapshot writer's stream for a value its text would not give back: `text`
    // is then the value's exact form ("hex(N):...").
    bool exact = false;
};

using ValueListing = std::vector<ValueEntry>;

inline constexpr std::string_view kDefaultValueName = "(Default)";
inline constexpr std::string_view kValueNotSet = "(value not set)";

std::string_view TypeNameFromCode(std::uint32_t type);
std::uint32_t TypeCodeFromName(std::string_view name);

// REG_LINK data is UTF-16 and goes through the code page; everything else is bytes.
std::string FormatValueText(std::uint32_t type, const std::uint8_t* data, std::size_t size, TextCodec& codec);
// The same, appended to `text`.
void AppendValueText(std::string& text, std::uint32_t type, const std::uint8_t* data, std::size_t size,
                     TextCodec& codec);

// The types whose text is hex digits, blanks and numbers only (binary data, resource lists,
// DWORDs and QWORDs): AppendValueText's text of them, written straight to a buffer. At `out`
// there must be room for HexTextBound(size) bytes; PutHexText gives the end of the text.
bool IsHexTextType(std::uint32_t type);
std::size_t HexTextBound(std::size_t size);
char* PutHexText(char* out, std::uint32_t type, const std::uint8_t* data, std::size_t size);

// The data a text stands for, or nothing for a type without a text form of its own.
std::optional<std::vector<std::uint8_t>> ParseValueText(std::string_view text, std::uint32_t type);
// False when a place ParseValueText reads a hex digit from holds something else (it would
// read it as 0): binary data's pairs, a number's digits after its "0x". Other types are true.
bool HexDigitsAreHex(std::string_view text, std::uint32_t type);

// A value as its text form in a snapshot gives it: the name to write (empty for the unnamed
// value, which the file calls "(Default)"), the type and the data; nothing when the text
// gives no data for the type.
struct TextValue {
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};
std::optional<TextValue> ParseTextValue(const std::string& valueName, std::string_view text,
                                        std::string_view typeName);

// The exact form of a value in a snapshot, for a value whose text form would not give it back
// as the registry keeps it: "hex(N):" and the bytes (string data in UTF-16), written as binary
// data's text ("xx xx ..."), N the type's number in lower-case hex digits ("hex(9):01 00").
// PutExactTypePrefix writes "hex(N):" at `out` (room for kExactTypePrefixBound bytes) and
// gives its length; ParseExactValue reads the form back, and gives nothing for a text that
// is not one (a prefix or a byte that does not read, a blank out of place).
inline constexpr std::size_t kExactTypePrefixBound = 16;
std::size_t PutExactTypePrefix(char* out, std::uint32_t type);
std::optional<TextValue> ParseExactValue(const std::string& valueName, std::string_view text);

// The values of an open key in enumeration order, with the "(Default)" entry first when the
// key has no unnamed value.
ValueListing ListKeyValues(Registry& registry, HKey key, TextCodec& codec);

// What RegQueryInfoKeyA tells of a key that its listings need. A walk asks each key once
// and hands the answer on: under Wine every question is a round trip to the registry server.
struct KeyCounts {
    std::uint32_t subkeys = 0;
    std::uint32_t longestSubkey = 0;
    std::uint32_t values = 0;
    std::uint32_t longestValueName = 0;
    std::uint32_t longestValueData = 0;
    FileTime lastWrite;  // when the key or one of its values last changed
};
// False when the key cannot be queried.
bool QueryKeyCounts(Registry& registry, HKey key, KeyCounts* counts);

// Each value as the enumeration gives it: the name without a terminator and the data bytes.
using RawValueVisit =
    std::function<void(std::string_view name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size)>;
// The entry of one enumerated value: "(Default)" for the unnamed one, "(value not set)" for
// an unnamed one without data.
ValueEntry ValueEntryOf(std::string_view name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size,
                        TextCodec& codec);
// Puts the entries of one key, in enumeration order, in the order of ListKeyValuesSorted.
void OrderForSnapshot(ValueListing& listing);

// ListKeyValues of a key whose counts were just asked; `seen`, when given, also receives each
// value's raw data as it is enumerated.
ValueListing ListKeyValues(Registry& registry, HKey key, TextCodec& codec, const KeyCounts& counts,
                           const RawValueVisit& seen = {});
// The same entries ordered for snapshots: the unnamed value first, then by name without
// regard to case (names sorting below "(Default)" that come before it stay there).
ValueListing ListKeyValuesSorted(Registry& registry, HKey key, TextCodec& codec);

// The text of a value of a type whose text is its own bytes (REG_SZ, REG_EXPAND_SZ, REG_NONE
// and the types without a text form of their own): the data up to its first NUL, or all of
// it when it lacks one. Nothing for the other types.
std::optional<std::string_view> StoredText(std::uint32_t type, const std::uint8_t* data, std::size_t size);

// One enumerated value as a ValueLister holds it: the name as a listing shows it ("(Default)"
// for the unnamed value), the data as the ANSI calls give it, and the data as the registry
// keeps it (string data in UTF-16, with any bytes after its terminator or an odd last byte,
// or widened from the code page where the registry has no wide calls; the same as `data`
// for other types).
struct RawValue {
    std::string_view name;
    bool unnamed = false;
    std::uint32_t type = 0;
    std::span<const std::uint8_t> data;
    std::span<const std::uint8_t> stored;
};
// The text a listing gives the value (ValueEntryOf's), appended to `text`.
void AppendRawValueText(std::string& text, const RawValue& value, TextCodec& codec);

// ListKeyValuesSorted key after key with its storage reused, for walks through many keys:
// the same values in the same order, but for the "(Default)" entry added for a key without
// an unnamed value, and as read rather than as text, so that a caller writing each value
// out makes its text once, where it goes. The values stay valid until the next call.
// Values are listed through RegEnumValueW, one call a value as with the ANSI call, so that
// each comes with its data as the registry keeps it; names and string data are then
// narrowed through `codec` as the ANSI calls would. A registry without the wide calls is
// listed through the ANSI ones.
class ValueLister {
public:
    std::span<const RawValue> Sorted(Registry& registry, HKey key, const KeyCounts& counts, TextCodec& codec);

private:
    std::vector<RawValue> values_;
    std::vector<std::uint8_t> store_;      // the names and data of the key at hand, one after another
    std::vector<std::size_t> offsets_;     // where each name, data and stored data begins in the store
    std::vector<bool> ownStored_;          // the value has a stored form apart from its data
    std::vector<char> name_;
    std::vector<std::uint8_t> data_;
    std::vector<char16_t> wideName_;
    std::u16string wide_;                  // string data the ANSI calls gave, widened
    std::vector<std::uint8_t> widened_;    // the same as bytes
    bool noWideCalls_ = false;             // the registry answered 120 to RegEnumValueW
};

// A string value (REG_SZ or REG_EXPAND_SZ) of any length, as stored, up to its first NUL;
// nothing when it is missing, of another type or cannot be read.
std::optional<std::string> ReadStringValue(Registry& registry, HKey key, const char* valueName);
// The unnamed value of key\subKey as text (RegQueryValueA), of any length; nothing when the
// key cannot be opened or read.
std::optional<std::string> ReadDefaultText(Registry& registry, HKey key, const char* subKey);

}  // namespace tw
