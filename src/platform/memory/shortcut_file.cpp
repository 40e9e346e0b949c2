#include "platform/memory/shortcut_file.h"

#include <cstring>

namespace tw {
namespace {

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::uint32_t kHasLinkTargetIdList = 0x01;
constexpr std::uint32_t kHasLinkInfo = 0x02;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x01;

bool U16(const std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t* v)
{
    if (at > b.size() || b.size() - at < 2)
        return false;
    *v = b[at] | (b[at + 1] << 8);
    return true;
}

bool U32(const std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t* v)
{
    if (at > b.size() || b.size() - at < 4)
        return false;
    *v = b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
    return true;
}

// A NUL-terminated string that starts at `at` and ends before `limit`.
bool CString(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t limit, std::string* out)
{
    if (at >= limit)
        return false;
    for (std::size_t i = at; i < limit; ++i)
        if (b[i] == 0) {
            out->assign(reinterpret_cast<const char*>(&b[at]), i - at);
            return true;
        }
    return false;
}

}  // namespace

bool ReadShortcutTargetPath(const std::vector<std::uint8_t>& b, std::string* target)
{
    std::uint32_t headerSize = 0, flags = 0;
    if (!U32(b, 0, &headerSize) || headerSize != kHeaderSize || b.size() < kHeaderSize)
        return false;
    if (std::memcmp(&b[4], kLinkClsid, sizeof kLinkClsid) != 0)
        return false;
    U32(b, 0x14, &flags);
    std::size_t at = kHeaderSize;
    if (flags & kHasLinkTargetIdList) {
        std::uint32_t idListSize = 0;
        if (!U16(b, at, &idListSize))
            return false;
        at += 2 + idListSize;
    }
    if (!(flags & kHasLinkInfo))
        return false;
    std::uint32_t infoSize = 0, infoHeaderSize = 0, infoFlags = 0, localBase = 0, suffix = 0;
    // Offsets are checked against the sizes before they are added, so that nothing wraps
    // where size_t is 32 bits wide.
    if (!U32(b, at, &infoSize) || infoSize < 0x1C || at > b.size() || infoSize > b.size() - at)
        return false;
    std::size_t limit = at + infoSize;
    U32(b, at + 4, &infoHeaderSize);
    U32(b, at + 8, &infoFlags);
    U32(b, at + 16, &localBase);
    U32(b, at + 24, &suffix);
    if (!(infoFlags & kVolumeIdAndLocalBasePath))
        return false;
    std::string base, tail;
    if (localBase >= infoSize || !CString(b, at + localBase, limit, &base))
        return false;
    if (suffix && suffix < infoSize)
        CString(b, at + suffix, limit, &tail);
    if (base.empty())
        return false;
    *target = base + tail;
    return true;
}

}  // namespace tw
