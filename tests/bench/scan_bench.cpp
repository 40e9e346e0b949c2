// The complete registry scan on generated registries. Natively, on the memory registry at
// 10^5 and 10^6 keys: time, keys per second, and the memory the scan itself takes (its peak
// above what the registry already holds). Under Wine, at 10^5 keys in the real registry:
// the scan's walk of the branch next to a plain walk of the same branch (open every key,
// enumerate every subkey and value, nothing else) and next to reg export of it, as ratios.
// Both also count the registry calls per key of the scan and of the plain walk (the measure
// that does not move with the load of a shared machine), and time the activity log's lines
// on their own: the log may cost at most a twentieth of the scan.
#include "bench/support/bench_summary.h"
#include "bench/support/scan_registry_generator.h"
#include "log/activity_log.h"
#include "platform/key_handle.h"
#include "registry/key_path.h"
#include "scan/scan_engine.h"
#include "scan/scanners.h"
#include "support/counting_registry.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#ifdef _WIN32
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include <windows.h>
#else
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_system.h"
#include <filesystem>
#endif

namespace tw::bench {
namespace {

double Seconds(const std::function<void()>& run)
{
    auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double MiB(std::size_t bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

void PrintBranch(const GeneratedBranch& g, double seconds)
{
    std::printf("  generated %zu keys, %zu values (%zu naming existing files or folders, %zu naming missing files), "
                "depth %zu, in %.1f s\n",
                g.keys, g.values, g.existingPaths, g.missingPaths, g.maxDepth, seconds);
}

// Registry calls per key of the plain walk and of the scan's walk of the same branch.
void CountCalls(Registry& registry, System& system, HKey root, const std::string& subkey, const std::string& fullPath,
                std::size_t keys)
{
    CountingRegistry counting(registry);
    PlainWalk(counting, root, subkey);
    double plain = double(counting.total()) / double(keys);
    std::printf("  plain walk: %.2f registry calls per key (%s)\n", plain, counting.Summary().c_str());
    counting.Reset();
    ActivityLog closedLog(system);
    ScanEngine engine(counting, system, closedLog);
    WalkRegistryBranch(engine, ScanSection::CompleteRegistryScan, root, subkey.c_str(), fullPath);
    double scan = double(counting.total()) / double(keys);
    std::printf("  scan walk: %.2f registry calls per key (%s)\n", scan, counting.Summary().c_str());
    std::string size = keys >= 1000000 ? "10^6 keys" : std::to_string(keys / 1000) + "k keys";
    SummaryRow("1 scan", "scan walk, registry calls per key, " + size, scan / plain, "plain walk, calls per key",
               1.2);
}

// The cost of one activity log line of a problem found, written as the scan writes them.
double SecondsPerLogLine(ActivityLog& log)
{
    const int lines = 20000;
    double seconds = Seconds([&] {
        for (int i = 0; i < lines; ++i)
            log.Write("Error Key Value Name: InstallLocation, Error Value: C:\\Program Files\\Gone\\tool.exe");
    });
    return seconds / lines;
}

// Each problem found writes this many lines (record setters and their fields).
constexpr int kLinesPerProblem = 5;

#ifndef _WIN32

void NativeRun(std::size_t keyCount, double* perKey)
{
    namespace fs = std::filesystem;
    fs::path host = fs::temp_directory_path() / ("tarnwick-scan-bench-" + std::to_string(keyCount));
    fs::remove_all(host);
    fs::create_directories(host / "Program Files" / "Tarnwick");
    MemorySystem system;
    system.MapDrive('C', host.string());
    MemoryRegistry registry;
    MakeBenchFiles(system, "C:\\tarnwick-bench");
    GeneratedBranch branch;
    double made = Seconds([&] { branch = GenerateScanBranch(registry, kLocalMachine, "SOFTWARE\\Bench", keyCount, "C:\\tarnwick-bench"); });
    std::printf("memory registry, %zu keys\n", keyCount);
    PrintBranch(branch, made);

    ActivityLog log(system);
    log.Open();
    ScanEngine engine(registry, system, log);
    ResetPeakMemory();
    std::size_t before = CurrentMemoryBytes();
    CompletedSectionList completed;
    double seconds = Seconds([&] { engine.RunSection(ScanSection::CompleteRegistryScan, completed); });
    std::size_t peak = PeakMemoryBytes();
    std::printf("  complete registry scan: %.2f s, %.0f keys/s, %zu problems\n", seconds, branch.keys / seconds,
                engine.problems().size());
    std::printf("  memory: %.1f MiB before the scan (the registry), peak %.1f MiB during it: the scan took %.1f MiB "
                "(%.0f bytes per problem found)\n",
                MiB(before), MiB(peak), MiB(peak > before ? peak - before : 0),
                engine.problems().empty() ? 0.0 : static_cast<double>(peak > before ? peak - before : 0) / engine.problems().size());
    *perKey = seconds / static_cast<double>(branch.keys);
    CountCalls(registry, system, kLocalMachine, "SOFTWARE\\Bench", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench", branch.keys);
    double perLine = SecondsPerLogLine(log);
    double logShare = perLine * kLinesPerProblem * double(engine.problems().size()) / seconds;
    std::printf("  activity log: %.1f us a line; the scan's %zu lines would take %.3f of its time\n", perLine * 1e6,
                engine.problems().size() * kLinesPerProblem, logShare);
    log.Close();
    fs::remove_all(host);
}

int Main(int, char**)
{
    double small = 0, large = 0;
    NativeRun(100000, &small);
    NativeRun(1000000, &large);
    std::printf("time per key at 10^6 / at 10^5: %.2f (1.00 is linear)\n", large / small);
    SummaryRow("1 scan", "scan time per key at 10^6 keys", large / small, "the same at 10^5 keys", 1.5);
    return 0;
}

#else

double RegExport(const std::string& key, const std::string& file)
{
    std::string command = "reg.exe export \"" + key + "\" \"" + file + "\" /y";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    double seconds = -1;
    auto start = std::chrono::steady_clock::now();
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    DeleteFileA(file.c_str());
    return seconds;
}

const std::string kWineSubkey = "SOFTWARE\\TarnwickScanBench";
const std::string kWineFolder = "C:\\tarnwick-bench";

// The branch of 10^5 keys and the files its values name, made anew.
GeneratedBranch SeedWineBranch(Registry& registry, System& system)
{
    KeyOperations keys(registry, DeletionStyle::WindowsNT);
    keys.DeleteKeyTree("HKEY_CURRENT_USER", kWineSubkey);
    MakeBenchFiles(system, kWineFolder);
    GeneratedBranch branch;
    double made = Seconds([&] { branch = GenerateScanBranch(registry, kCurrentUser, kWineSubkey, 100000, kWineFolder); });
    std::printf("Wine registry, HKEY_CURRENT_USER\\%s\n", kWineSubkey.c_str());
    PrintBranch(branch, made);
    return branch;
}

int Main(int argc, char** argv)
{
    Win32Registry registry;
    Win32System system;
    if (argc > 1 && std::string(argv[1]) == "--seed") {
        // Only the branch, left in place for cli_bench.sh to time the programs themselves on.
        SeedWineBranch(registry, system);
        return 0;
    }
    const std::string& subkey = kWineSubkey;
    const std::string& folder = kWineFolder;
    KeyOperations keys(registry, DeletionStyle::WindowsNT);
    GeneratedBranch branch = SeedWineBranch(registry, system);

    double plain = 1e9, scan = 1e9, scanLogged = 1e9, unqueried = 1e9;
    std::size_t walked = 0, problems = 0, peakScan = 0;
    ActivityLog closedLog(system);  // never opened: writes nothing
    ActivityLog log(system);
    log.Open();
    // Measured three times each, interleaved, the best time kept: the machine is shared and
    // the first pass also warms Wine's caches.
    for (int pass = 0; pass < 3; ++pass) {
        plain = std::min(plain, Seconds([&] { walked = PlainWalk(registry, kCurrentUser, subkey); }));
        unqueried = std::min(unqueried, Seconds([&] { PlainWalkWithoutQueries(registry, kCurrentUser, subkey); }));
        ScanEngine engine(registry, system, closedLog);
        scan = std::min(scan, Seconds([&] {
                            WalkRegistryBranch(engine, ScanSection::CompleteRegistryScan, kCurrentUser, subkey.c_str(),
                                               "HKEY_CURRENT_USER\\" + subkey);
                        }));
        problems = engine.problems().size();
        peakScan = PeakMemoryBytes();
        ScanEngine logged(registry, system, log);
        scanLogged = std::min(scanLogged, Seconds([&] {
                                  WalkRegistryBranch(logged, ScanSection::CompleteRegistryScan, kCurrentUser,
                                                     subkey.c_str(), "HKEY_CURRENT_USER\\" + subkey);
                              }));
    }
    // What the existence tests would cost if each were made: as many as the values naming
    // files, on the same files.
    std::size_t tests = branch.existingPaths + branch.missingPaths;
    double pathTests = Seconds([&] {
        for (std::size_t i = 0; i < tests; ++i)
            PathExists(system, BenchFilePath(folder, static_cast<int>(i % 2000)));
    });
    double exported = RegExport("HKEY_CURRENT_USER\\" + subkey, folder + "\\export.reg");
    std::printf("  plain walk: %zu keys in %.2f s (%.0f keys/s)\n", walked, plain, walked / plain);
    std::printf("  plain walk without size queries: %.2f s\n", unqueried);
    std::printf("  scan walk: %.2f s (%.0f keys/s), %zu problems; %.2f x the plain walk\n", scan, branch.keys / scan,
                problems, scan / plain);
    std::printf("  %zu file existence tests, each made afresh, would take %.2f s\n", tests, pathTests);
    std::printf("  scan walk writing the activity log: %.2f s; %.2f x the plain walk\n", scanLogged, scanLogged / plain);
    if (exported > 0)
        std::printf("  reg export: %.2f s; the scan walk takes %.2f x its time\n", exported, scan / exported);
    else
        std::printf("  reg export: could not be run\n");
    std::printf("  peak working set: %.1f MiB\n", MiB(peakScan));
    CountCalls(registry, system, kCurrentUser, subkey, "HKEY_CURRENT_USER\\" + subkey, branch.keys);
    double perLine = SecondsPerLogLine(log);
    double logShare = perLine * kLinesPerProblem * double(problems) / scan;
    std::printf("  activity log: %.1f us a line; the scan's %zu lines take %.3f of its time\n", perLine * 1e6,
                problems * kLinesPerProblem, logShare);
    SummaryRow("1 scan", "scan walk with the activity log", scanLogged / plain, "plain walk", 1.2);
    SummaryRow("1 scan", "scan walk with the activity log", exported > 0 ? scanLogged / exported : -1,
               "reg export of the branch", 1.0, true);
    SummaryRow("1 scan", "activity log lines of the scan", logShare, "scan walk", 0.05);

    CompletedSectionList completed;
    ScanEngine whole(registry, system, closedLog);
    double section = Seconds([&] { whole.RunSection(ScanSection::CompleteRegistryScan, completed); });
    std::printf("  the whole complete registry scan (HKLM\\SOFTWARE and HKCU\\SOFTWARE): %.2f s, %zu problems\n", section,
                whole.problems().size());
    keys.DeleteKeyTree("HKEY_CURRENT_USER", subkey);
    return 0;
}

#endif

}  // namespace
}  // namespace tw::bench

int main(int argc, char** argv)
{
    return tw::bench::Main(argc, argv);
}
