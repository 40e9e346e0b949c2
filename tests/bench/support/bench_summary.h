// The summary `make bench` ends with: each benchmark prints one line per target it measures
// ("summary|..."), and tools/run-benchmarks.sh gathers them into one table of ratios, each
// beside the reference it is measured against and the most it may be.
#pragma once

#include <string_view>

namespace tw::bench {

// `ratio` is what was measured over `reference` in the same run; `limit` the most it may be
// (met when the ratio is at most that, or below it when `strictlyBelow`).
void SummaryRow(std::string_view target, std::string_view work, double ratio, std::string_view reference,
                double limit, bool strictlyBelow = false);

}  // namespace tw::bench
