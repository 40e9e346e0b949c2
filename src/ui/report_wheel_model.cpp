#include "ui/report_wheel_model.h"

#include "platform/key_handle.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

namespace tw {

ReportWheelScroll ReportWheelModel::Wheel(int delta, int rowCount)
{
    ReportWheelScroll scroll;
    remainder_ += delta;
    int notches = remainder_ / kWheelDelta;
    remainder_ -= notches * kWheelDelta;
    if (notches == 0 || rowCount <= 0)
        return scroll;
    scroll.up = notches > 0;
    std::int64_t count = notches < 0 ? -static_cast<std::int64_t>(notches) : notches;
    if (lines_ == -1) {
        scroll.pages = true;
    } else if (lines_ > 0) {
        count *= lines_;
    } else {
        return scroll;
    }
    // Requests beyond the number of rows could scroll no further; a huge setting would only
    // flood the message queue.
    scroll.count = static_cast<int>(std::min<std::int64_t>(count, rowCount));
    return scroll;
}

int ReadWheelScrollLines(Registry& registry)
{
    KeyHandle key(registry);
    if (registry.OpenKeyEx(kCurrentUser, "Control Panel\\Desktop", 0, kKeyRead, key.Put()) != kSuccess)
        return ReportWheelModel::kDefaultWheelLines;
    std::uint8_t data[128] = {};
    std::uint32_t size = sizeof data;
    std::uint32_t type = kRegNone;
    if (registry.QueryValueEx(key.get(), "WheelScrollLines", nullptr, &type, data, &size) != kSuccess)
        return ReportWheelModel::kDefaultWheelLines;
    long long value = 0;
    if (type == kRegDword && size == 4) {
        value = static_cast<long long>(static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
                                       (static_cast<std::uint32_t>(data[2]) << 16) |
                                       (static_cast<std::uint32_t>(data[3]) << 24));
    } else if (type == kRegSz || type == kRegExpandSz) {
        std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
        std::size_t i = text.find_first_not_of(" \t");
        if (i == std::string::npos)
            return ReportWheelModel::kDefaultWheelLines;
        bool negative = text[i] == '-';
        if (negative || text[i] == '+')
            ++i;
        std::size_t digits = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value <= 0xFFFFFFFFLL)
            value = value * 10 + (text[i++] - '0');
        if (i == digits)  // not a number: as if there were no setting
            return ReportWheelModel::kDefaultWheelLines;
        if (negative)
            value = -value;
    } else {
        return ReportWheelModel::kDefaultWheelLines;
    }
    // -1, or the same bits read unsigned, asks for a page per notch.
    if (value == -1 || value == 0xFFFFFFFFLL)
        return -1;
    return static_cast<int>(std::clamp<long long>(value, 0, INT_MAX));
}

}  // namespace tw
