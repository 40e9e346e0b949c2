#include "platform/calendar.h"

#include <chrono>

namespace tw {

std::uint64_t FileTimeTicks(FileTime time)
{
    return (static_cast<std::uint64_t>(time.high) << 32) | time.low;
}

FileTime FileTimeFromTicks(std::uint64_t ticks)
{
    return FileTime{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

FileTime HostFileTimeNow()
{
    // 100-ns intervals between 1601-01-01 and 1970-01-01.
    constexpr std::uint64_t kUnixEpoch = 116444736000000000ull;
    auto since = std::chrono::system_clock::now().time_since_epoch();
    auto ticks = std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>>(since);
    return FileTimeFromTicks(kUnixEpoch + static_cast<std::uint64_t>(ticks.count()));
}

FileTime FileTimeFromCalendar(const LocalTime& t)
{
    // Days since 1970-01-01 in the proleptic Gregorian calendar, then shifted to 1601.
    int y = t.year, m = t.month, d = t.day;
    y -= m <= 2;
    int era = (y >= 0 ? y : y - 399) / 400;
    int yoe = y - era * 400;
    int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    long long days1970 = static_cast<long long>(era) * 146097 + doe - 719468;
    long long seconds = days1970 * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
    return FileTimeFromTicks(static_cast<std::uint64_t>(seconds + 11644473600ll) * 10000000ull +
                             static_cast<std::uint64_t>(t.milliseconds) * 10000ull);
}

LocalTime CalendarFromFileTime(FileTime time)
{
    std::uint64_t v = FileTimeTicks(time);
    long long seconds = static_cast<long long>(v / 10000000ull) - 11644473600ll;
    LocalTime t;
    t.milliseconds = static_cast<std::uint16_t>((v / 10000ull) % 1000);
    long long days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    long long rem = seconds - days * 86400;
    t.hour = static_cast<std::uint16_t>(rem / 3600);
    t.minute = static_cast<std::uint16_t>(rem % 3600 / 60);
    t.second = static_cast<std::uint16_t>(rem % 60);
    t.dayOfWeek = static_cast<std::uint16_t>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    long long z = days + 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    t.day = static_cast<std::uint16_t>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<std::uint16_t>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<std::uint16_t>(yoe + era * 400 + (t.month <= 2));
    return t;
}

std::int64_t CalendarSeconds(const LocalTime& time)
{
    std::uint64_t v = FileTimeTicks(FileTimeFromCalendar(time));
    return static_cast<std::int64_t>(v / 10000000ull) - 11644473600ll;
}

}  // namespace tw
