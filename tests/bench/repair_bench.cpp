// Repair benchmark: one "KEY" problem holding a generated key of many subkeys (10^4 and
// 10^5 under Wine, 10^5 and 10^6 natively, or as asked) is backed up into a pre-repair
// backup file on its own, then repaired as the repair command does it (backup, journal and
// deletion), and restored from the file;
// each step prints its time and bytes per second, and peak memory during the step, which
// stays flat as the key grows (the writer keeps one key's values and subkey names at a time,
// the reader one level's handles). Under Wine the same key is also exported and imported
// with reg.exe for comparison. Each step also prints its registry calls per key.
//
//   repair_bench [--keys N]...      natively: memory registry, files in a scratch folder
//   repair_bench.exe [--keys N]...  under Wine: the real registry, HKCU\Software\TarnwickRepairBench
#include "backup/backup_restore.h"
#include "backup/repair.h"
#include "backup/repair_backup.h"
#include "backup/repair_deletion.h"
#include "bench/support/bench_summary.h"
#include "log/activity_log.h"
#include "platform/key_handle.h"
#include "registry/key_path.h"
#include "scan/scan_engine.h"
#include "scan/shortcut_scanner.h"
#include "support/bench_memory.h"
#include "support/counting_registry.h"

#ifdef _WIN32
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"

#include <windows.h>
#else
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_system.h"

#include <filesystem>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace tw::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

const char kBase[] = "Software\\TarnwickRepairBench";
const char kItem[] = "Software\\TarnwickRepairBench\\Item";
const char kItemFull[] = "HKEY_CURRENT_USER\\Software\\TarnwickRepairBench\\Item";

// Two levels below the item: `outer` keys of `inner` subkeys each, every key with a few
// values of the usual kinds.
void Generate(Registry& registry, std::size_t keys)
{
    std::size_t inner = 1000;
    std::size_t outer = (keys + inner - 1) / inner;
    KeyHandle item(registry);
    registry.CreateKey(kCurrentUser, kItem, item.Put());
    char name[64], text[160];
    std::size_t serial = 0;
    for (std::size_t o = 0; o < outer; ++o) {
        std::snprintf(name, sizeof name, "Group %04zu", o);
        KeyHandle group(registry);
        registry.CreateKey(item.get(), name, group.Put());
        for (std::size_t i = 0; i < inner; ++i, ++serial) {
            std::snprintf(name, sizeof name, "{%08zX-0000-0000-0000-%012zu}", serial, i);
            KeyHandle key(registry);
            if (registry.CreateKey(group.get(), name, key.Put()) != kSuccess)
                continue;
            std::snprintf(text, sizeof text, "C:\\Program Files\\Vendor\\Product %zu\\tool.exe", serial % 977);
            registry.SetValueEx(key.get(), nullptr, 0, kRegSz, reinterpret_cast<const std::uint8_t*>(text),
                                static_cast<std::uint32_t>(std::strlen(text) + 1));
            std::uint32_t flags = static_cast<std::uint32_t>(serial * 2654435761u);
            registry.SetValueEx(key.get(), "Flags", 0, kRegDword, reinterpret_cast<const std::uint8_t*>(&flags), 4);
        }
    }
}

// A step's time, and how far the process's peak rose above what it held when the step
// began (natively the memory registry itself lives in the process; that is not the step's).
struct Step {
    double seconds = 0;
    std::uint64_t peak = 0;
    std::uint64_t before = 0;
    void Begin()
    {
        ResetPeakMemory();
        before = CurrentMemoryBytes();
    }
    std::uint64_t Growth() const { return peak > before ? peak - before : 0; }
};

void Print(const char* what, const Step& step, std::uint64_t bytes)
{
    std::printf("  %-28s %8.2f s  %8.2f MB/s  peak %7.1f MB (+%.1f MB during the step)\n", what, step.seconds,
                step.seconds > 0 ? double(bytes) / 1e6 / step.seconds : 0.0, double(step.peak) / 1e6,
                double(step.Growth()) / 1e6);
}

#ifdef _WIN32
double RunReg(const std::string& commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    Clock::time_point start = Clock::now();
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    double seconds = Seconds(start);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return seconds;
}
#endif

void PrintCalls(const CountingRegistry& counting, std::size_t keys)
{
    std::printf("  %-28s %8.2f registry calls per key (%s)\n", "", double(counting.total()) / double(keys),
                counting.Summary().c_str());
}

int Run(Registry& plainRegistry, System& system, const std::string& programFolder, std::size_t keys)
{
    CountingRegistry registry(plainRegistry);
    KeyOperations ops(registry, DeletionStyle::WindowsNT);
    ops.DeleteKeyTree("HKEY_CURRENT_USER", kBase);
    Clock::time_point start = Clock::now();
    Generate(registry, keys);
    std::printf("key of %zu subkeys under HKEY_CURRENT_USER\\%s (made in %.1f s)\n", keys, kItem, Seconds(start));

    ActivityLog log(system);
    std::vector<RepairBackupItem> items = {{kItemFull, "KEY", ""}};
    Step backupStep;
    backupStep.Begin();
    registry.Reset();
    start = Clock::now();
    RepairBackupResult backup = WriteRepairBackupItems(registry, system, log, programFolder, items);
    backupStep.seconds = Seconds(start);
    backupStep.peak = PeakMemoryBytes();
    if (backup.status != RepairBackupResult::Status::Written || !backup.saved[0]) {
        std::printf("  backup failed\n");
        return 1;
    }
    Print("backup (write file)", backupStep, backup.bytes);
    PrintCalls(registry, keys);
    system.RemoveFile(backup.path);

    // The whole repair of the one problem, as the repair command runs it.
    ScanEngine engine(registry, system, log);
    CShortcut shortcuts(system);
    auto problem = std::make_unique<ProblemRecord>();
    problem->section = "Application Paths";
    problem->keyPath = kItemFull;
    problem->deleteType = "KEY";
    engine.problems().push_back(std::move(problem));
    Step repairStep;
    repairStep.Begin();
    registry.Reset();
    start = Clock::now();
    RepairOutcome outcome = Repair(engine, shortcuts, programFolder);
    repairStep.seconds = Seconds(start);
    repairStep.peak = PeakMemoryBytes();
    if (outcome.backup.status != RepairBackupResult::Status::Written || outcome.counts.keys != 1) {
        std::printf("  repair failed\n");
        return 1;
    }
    backup = outcome.backup;
    Print("repair (backup, journal, del)", repairStep, backup.bytes);
    PrintCalls(registry, keys);

    Step restoreStep;
    restoreStep.Begin();
    registry.Reset();
    start = Clock::now();
    RestoreOutcome restored = RestoreRepairBackup(registry, system, backup.path, {});
    restoreStep.seconds = Seconds(start);
    restoreStep.peak = PeakMemoryBytes();
    Print("restore (read file)", restoreStep, backup.bytes);
    PrintCalls(registry, keys);
    std::printf("  backup file %.1f MB; %d key deleted; restore: %s, %zu keys, %zu values\n",
                double(backup.bytes) / 1e6, outcome.counts.keys, restored.messages.back().c_str(), restored.keys,
                restored.values);
    system.RemoveFile(backup.path);
#ifndef _WIN32
    std::string size = keys >= 1000000 ? "10^6 keys" : std::to_string(keys) + " keys";
    SummaryRow("5 memory", "backup, repair, restore: peak growth (MB), " + size,
               double(std::max({backupStep.Growth(), repairStep.Growth(), restoreStep.Growth()})) / 1e6,
               "MB above what the process held", 8.0);
#endif

#ifdef _WIN32
    std::string exported = programFolder + "\\repair_bench_export.reg";
    double exportSeconds = RunReg("reg export \"HKCU\\" + std::string(kItem) + "\" \"" + exported + "\" /y");
    std::uint64_t exportBytes = 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(exported.c_str(), GetFileExInfoStandard, &data))
        exportBytes = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    ops.DeleteKeyTree("HKEY_CURRENT_USER", kItem);
    double importSeconds = RunReg("reg import \"" + exported + "\"");
    std::printf("  %-28s %8.2f s  %8.2f MB/s\n", "reg export (same key)", exportSeconds,
                exportSeconds > 0 ? double(exportBytes) / 1e6 / exportSeconds : 0.0);
    std::printf("  %-28s %8.2f s  %8.2f MB/s\n", "reg import (same key)", importSeconds,
                importSeconds > 0 ? double(exportBytes) / 1e6 / importSeconds : 0.0);
    DeleteFileA(exported.c_str());
    if (keys >= 100000) {
        SummaryRow("2 repair", "backup of the key", exportSeconds > 0 ? backupStep.seconds / exportSeconds : -1,
                   "reg export of the key", 0.8);
        SummaryRow("2 repair", "repair: backup, journal, deletion",
                   exportSeconds > 0 ? repairStep.seconds / exportSeconds : -1, "reg export of the key", 1.6);
        SummaryRow("2 repair", "restore of the backup", importSeconds > 0 ? restoreStep.seconds / importSeconds : -1,
                   "reg import of the key", 1.0, true);
    }
#endif
    ops.DeleteKeyTree("HKEY_CURRENT_USER", kBase);
    return restored.restored ? 0 : 1;
}

}  // namespace
}  // namespace tw::bench

int main(int argc, char** argv)
{
    std::vector<std::size_t> sizes;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--keys") == 0)
            sizes.push_back(std::size_t(std::strtoull(argv[++i], nullptr, 10)));
    if (sizes.empty()) {
#ifdef _WIN32
        sizes = {10000, 100000};
#else
        sizes = {100000, 1000000};
#endif
    }
    int status = 0;
#ifdef _WIN32
    tw::Win32Registry registry;
    tw::Win32System system;
    std::string folder = system.ModuleFileName();
    folder = folder.substr(0, folder.rfind('\\'));
    for (std::size_t keys : sizes)
        status |= tw::bench::Run(registry, system, folder, keys);
#else
    namespace fs = std::filesystem;
    fs::path scratch = fs::temp_directory_path() / "tarnwick-repair-bench";
    fs::create_directories(scratch / "Tarnwick");
    for (std::size_t keys : sizes) {
        // A fresh registry per size, so the memory of the last one is gone.
        tw::MemoryRegistry registry;
        tw::MemorySystem system;
        system.MapDrive('C', scratch.string());
        status |= tw::bench::Run(registry, system, "C:\\Tarnwick", keys);
    }
    fs::remove_all(scratch);
#endif
    return status;
}
