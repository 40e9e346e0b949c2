// The names of a key's subkeys and values by index, with one rule for their buffer. The
// registry counts a name's length in UTF-16 units (at most 255 for a key, 16,383 for a value)
// and RegQueryInfoKey reports the longest so; the ANSI calls answer in the process code page,
// where a unit can take three bytes (UTF-8). A buffer starts at what the longest reported name
// can take and grows, on "more data", to what any name can take: a name added since the query
// or counted short is read whole, and nothing is cut.
#pragma once

#include "platform/registry.h"
#include "registry/value_text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

inline constexpr std::uint32_t kLongestSubkeyName = 255;    // UTF-16 units
inline constexpr std::uint32_t kLongestValueName = 16383;   // UTF-16 units

// The bytes a name of `units` UTF-16 units can take in the process code page, with its
// terminator.
constexpr std::size_t NameCapacity(std::uint32_t units)
{
    return std::size_t(units) * 3 + 1;
}

enum class NameKind { Subkey, Value };

// RegEnumKeyExA (or RegEnumValueA, the name alone) at `index`, into `buffer`, which grows as
// the rule above says. On success `name` views the name in `buffer`. Other answers are the
// registry's (kErrorNoMoreItems at the end).
long EnumerateName(Registry& registry, HKey key, NameKind kind, std::uint32_t index, std::string& buffer,
                   std::string_view* name);

// A buffer for the names of one key: room for its longest reported name.
void SizeNameBuffer(std::string& buffer, NameKind kind, const KeyCounts& counts);

// Subkey names of an open key, one after another.
class SubkeyEnumerator {
public:
    SubkeyEnumerator(Registry& registry, HKey key) : registry_(registry), key_(key) {}
    // Queries the key; false when it cannot be queried.
    bool Init();
    // Takes the key's counts from a query just made; false when the key has no subkeys to
    // enumerate.
    bool Init(const KeyCounts& counts);
    // The next name (possibly empty); false when the enumeration ends or fails.
    bool Next(std::string* name);

private:
    Registry& registry_;
    HKey key_;
    std::string buffer_;
    std::uint32_t index_ = 0;
};

}  // namespace tw
