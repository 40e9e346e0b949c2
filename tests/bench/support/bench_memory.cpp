#include "bench_memory.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <fstream>
#include <string>
#endif

namespace tw::bench {

#ifdef _WIN32

namespace {
PROCESS_MEMORY_COUNTERS Counters()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        counters = PROCESS_MEMORY_COUNTERS{};
    return counters;
}
}  // namespace

std::uint64_t PeakMemoryBytes()
{
    return Counters().PeakWorkingSetSize;
}

std::uint64_t CurrentMemoryBytes()
{
    return Counters().WorkingSetSize;
}

bool ResetPeakMemory()
{
    return false;
}

#else

namespace {
// A "VmXXX:   1234 kB" line of /proc/self/status.
std::uint64_t StatusKilobytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, field.size(), field) == 0)
            return std::stoull(line.substr(field.size())) * 1024;
    return 0;
}
}  // namespace

std::uint64_t PeakMemoryBytes()
{
    return StatusKilobytes("VmHWM:");
}

std::uint64_t CurrentMemoryBytes()
{
    return StatusKilobytes("VmRSS:");
}

bool ResetPeakMemory()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

#endif

}  // namespace tw::bench
