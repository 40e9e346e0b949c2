// Peak memory of the benchmark process, for benchmarks that show memory staying flat: the
// high-water mark of the resident set (VmHWM natively, the peak working set under Windows).
#pragma once

#include <cstdint>

namespace tw::bench {

// Bytes; 0 when the platform does not say.
std::uint64_t PeakMemoryBytes();
std::uint64_t CurrentMemoryBytes();
// Starts a new high-water mark from the current resident set where the platform can
// (Linux); elsewhere the peak stays the process's peak.
bool ResetPeakMemory();

}  // namespace tw::bench
