// Calendar arithmetic on Windows times: FILETIME (100-ns intervals since 1601) and
// SYSTEMTIME-style calendar fields, with no time zone of its own.
#pragma once

#include "platform/registry.h"
#include "platform/system.h"

#include <cstdint>

namespace tw {

// A FILETIME as one number of 100-ns intervals, and back.
std::uint64_t FileTimeTicks(FileTime time);
FileTime FileTimeFromTicks(std::uint64_t ticks);
// The host's clock now, in UTC.
FileTime HostFileTimeNow();

FileTime FileTimeFromCalendar(const LocalTime& time);
LocalTime CalendarFromFileTime(FileTime time);
// Seconds since 1970-01-01 of the calendar fields (milliseconds dropped).
std::int64_t CalendarSeconds(const LocalTime& time);

}  // namespace tw
