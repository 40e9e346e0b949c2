#include "registry/key_enumeration.h"

namespace tw {

void SizeNameBuffer(std::string& buffer, NameKind kind, const KeyCounts& counts)
{
    const std::uint32_t longest = kind == NameKind::Subkey ? counts.longestSubkey : counts.longestValueName;
    const std::uint32_t limit = kind == NameKind::Subkey ? kLongestSubkeyName : kLongestValueName;
    const std::size_t wanted = NameCapacity(longest < limit ? longest : limit);
    if (buffer.size() < wanted)
        buffer.resize(wanted);
}

long EnumerateName(Registry& registry, HKey key, NameKind kind, std::uint32_t index, std::string& buffer,
                   std::string_view* name)
{
    const std::size_t largest = NameCapacity(kind == NameKind::Subkey ? kLongestSubkeyName : kLongestValueName);
    if (buffer.empty())
        buffer.resize(NameCapacity(0));
    for (;;) {
        auto length = static_cast<std::uint32_t>(buffer.size());
        const long status =
            kind == NameKind::Subkey
                ? registry.EnumKeyEx(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr)
                : registry.EnumValue(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == kErrorMoreData && buffer.size() < largest) {
            buffer.resize(largest);
            continue;
        }
        if (status == kSuccess)
            *name = std::string_view(buffer.data(), length < buffer.size() ? length : buffer.size());
        return status;
    }
}

bool SubkeyEnumerator::Init()
{
    KeyCounts counts;
    if (!QueryKeyCounts(registry_, key_, &counts))
        return false;
    Init(counts);
    return true;
}

bool SubkeyEnumerator::Init(const KeyCounts& counts)
{
    SizeNameBuffer(buffer_, NameKind::Subkey, counts);
    return counts.subkeys != 0;
}

bool SubkeyEnumerator::Next(std::string* name)
{
    std::string_view found;
    if (EnumerateName(registry_, key_, NameKind::Subkey, index_, buffer_, &found) != kSuccess)
        return false;
    ++index_;
    name->assign(found);
    return true;
}

}  // namespace tw
