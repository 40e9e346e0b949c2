// Repair of many "VAL" problems in one key: k problems among the n values of a key (10^4 of
// 10^5 by default) repaired as the program repairs them (backup, journal and deletion), once
// with k/10 problems and once with k. Prints the time and the registry calls of each run per
// value and per problem: the calls must grow with n + k, not with n x k, so the calls per
// (n + k) of the two runs stay alike.
//
//   repair_values_bench [--values N] [--problems K]      natively: memory registry
//   repair_values_bench.exe [--values N] [--problems K]  under Wine: HKCU\Software\TarnwickValueBench
#include "backup/repair.h"
#include "bench/support/bench_summary.h"
#include "log/activity_log.h"
#include "platform/key_handle.h"
#include "registry/key_path.h"
#include "scan/scan_engine.h"
#include "scan/shortcut_scanner.h"
#include "support/counting_registry.h"

#ifdef _WIN32
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#else
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_system.h"

#include <filesystem>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tw::bench {
namespace {

using Clock = std::chrono::steady_clock;

const char kBase[] = "Software\\TarnwickValueBench";
const char kKeyFull[] = "HKEY_CURRENT_USER\\Software\\TarnwickValueBench";

std::string ValueName(std::size_t i)
{
    char name[32];
    std::snprintf(name, sizeof name, "Value %06zu", i);
    return name;
}

bool Generate(Registry& registry, std::size_t values)
{
    KeyHandle key(registry);
    if (registry.CreateKey(kCurrentUser, kBase, key.Put()) != kSuccess)
        return false;
    char text[96];
    for (std::size_t i = 0; i < values; ++i) {
        std::snprintf(text, sizeof text, "C:\\Program Files\\Gone %zu\\tool.exe", i);
        if (registry.SetValueEx(key.get(), ValueName(i).c_str(), 0, kRegSz, reinterpret_cast<const std::uint8_t*>(text),
                                static_cast<std::uint32_t>(std::strlen(text) + 1)) != kSuccess)
            return false;
    }
    return true;
}

struct RunResult {
    double seconds = 0;
    std::size_t calls = 0;
    int removed = 0;
};

// Repairs `problems` values of the key, spread over it, as the repair command does.
RunResult RepairValues(Registry& registry, System& system, const std::string& programFolder, std::size_t values,
                       std::size_t problems)
{
    RunResult result;
    KeyOperations(registry, DeletionStyle::WindowsNT).DeleteKeyTree("HKEY_CURRENT_USER", kBase);
    if (!Generate(registry, values)) {
        std::printf("  cannot make the key\n");
        return result;
    }
    CountingRegistry counting(registry);
    ActivityLog log(system);
    ScanEngine engine(counting, system, log);
    CShortcut shortcuts(system);
    std::size_t step = values / problems;
    for (std::size_t p = 0; p < problems; ++p) {
        auto record = std::make_unique<ProblemRecord>();
        record->section = "Complete Registry Scan";
        record->keyPath = kKeyFull;
        record->deleteType = "VAL";
        record->value = std::make_unique<ValueEntry>(ValueEntry{ValueName(p * step), "", kRegSz});
        engine.problems().push_back(std::move(record));
    }
    Clock::time_point start = Clock::now();
    RepairOutcome outcome = Repair(engine, shortcuts, programFolder);
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.calls = counting.total();
    result.removed = outcome.counts.values;
    std::printf("  %zu problems in a key of %zu values: %.2f s, %d values removed, %zu registry calls "
                "(%.2f per value and problem; %s)\n",
                problems, values, result.seconds, result.removed, result.calls,
                double(result.calls) / double(values + problems), counting.Summary().c_str());
    if (!outcome.backup.path.empty())
        system.RemoveFile(outcome.backup.path);
    KeyOperations(registry, DeletionStyle::WindowsNT).DeleteKeyTree("HKEY_CURRENT_USER", kBase);
    return result;
}

int Run(Registry& registry, System& system, const std::string& programFolder, std::size_t values,
        std::size_t problems)
{
    std::printf("repair of value problems, one key of %zu values\n", values);
    RunResult few = RepairValues(registry, system, programFolder, values, problems / 10);
    RunResult many = RepairValues(registry, system, programFolder, values, problems);
    if (few.calls == 0 || many.calls == 0)
        return 1;
    double perProblem = (double(many.calls) - double(few.calls)) / double(problems - problems / 10);
    std::printf("  each problem more: %.1f registry calls\n", perProblem);
    SummaryRow("3 VAL repair", "registry calls of each problem more", perProblem / double(values),
               "n, the values in the key", 0.01);
    return many.removed == int(problems) ? 0 : 1;
}

}  // namespace
}  // namespace tw::bench

int main(int argc, char** argv)
{
    std::size_t values = 100000, problems = 10000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--values") == 0)
            values = std::size_t(std::strtoull(argv[++i], nullptr, 10));
        else if (std::strcmp(argv[i], "--problems") == 0)
            problems = std::size_t(std::strtoull(argv[++i], nullptr, 10));
    }
    if (problems < 10 || problems > values)
        return 2;
#ifdef _WIN32
    tw::Win32Registry registry;
    tw::Win32System system;
    std::string folder = system.ModuleFileName();
    folder = folder.substr(0, folder.rfind('\\'));
    return tw::bench::Run(registry, system, folder, values, problems);
#else
    namespace fs = std::filesystem;
    fs::path scratch = fs::temp_directory_path() / "tarnwick-repair-values-bench";
    fs::create_directories(scratch / "Tarnwick");
    tw::MemoryRegistry registry;
    tw::MemorySystem system;
    system.MapDrive('C', scratch.string());
    int status = tw::bench::Run(registry, system, "C:\\Tarnwick", values, problems);
    fs::remove_all(scratch);
    return status;
#endif
}
