#include "bench/support/bench_summary.h"

#include <cstdio>
#include <string>

namespace tw::bench {

void SummaryRow(std::string_view target, std::string_view work, double ratio, std::string_view reference,
                double limit, bool strictlyBelow)
{
#ifdef _WIN32
    const char* where = "wine";
#else
    const char* where = "native";
#endif
    bool met = ratio >= 0 && (strictlyBelow ? ratio < limit : ratio <= limit);
    std::printf("summary|%s|%s|%s|%.3g|%s|%s %.3g|%s\n", std::string(target).c_str(), where,
                std::string(work).c_str(), ratio, std::string(reference).c_str(), strictlyBelow ? "<" : "<=", limit,
                ratio < 0 ? "not measured" : met ? "met" : "NOT met");
    std::fflush(stdout);
}

}  // namespace tw::bench
