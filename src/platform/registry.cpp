#include "platform/registry.h"

namespace tw {

bool IsPredefinedKey(HKey key)
{
    std::uint32_t v = KeyValue32(key);
    auto raw = reinterpret_cast<std::intptr_t>(key);
    return v >= 0x80000000u && v <= 0x80000006u && raw == static_cast<std::int32_t>(v);
}

}  // namespace tw
