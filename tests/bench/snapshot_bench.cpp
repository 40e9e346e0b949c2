// Snapshot benchmark: a generated branch of 10^5 keys (and 10^6 natively) is walked, written
// as a snapshot, restored into an empty branch and parsed, and the figures are printed in
// one run: bytes per second of writing, restoring and parsing, the plain registry walk as the
// floor of writing, peak memory during each phase (flat as the branch grows), and for
// comparison libxml2's parsers natively and Wine's reg export / reg import under Wine.
//
//   snapshot_bench [--keys N]...      natively: memory registry, files in the temp folder
//   snapshot_bench.exe [--keys N]...  under Wine: the real registry, HKCU\Software\TarnwickBench
#include "bench/support/bench_summary.h"
#include "platform/key_handle.h"
#include "registry/key_path.h"
#include "snapshot/snapshot_reader.h"
#include "snapshot/snapshot_writer.h"
#include "snapshot/xml_reader.h"
#include "snapshot/xml_writer.h"
#include "support/bench_memory.h"

#ifdef _WIN32
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"

#include <windows.h>
#else
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_system.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

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

double Mb(double bytes)
{
    return bytes / 1e6;
}

// CPU time of this process (natively, where the machine may be shared with other work and
// wall time then says little), or 0.
double CpuSeconds()
{
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    auto ticks = [](const FILETIME& t) { return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
#else
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
#endif
}

// ---- the generated branch

const char kBranchPath[] = "Software\\TarnwickBench";
constexpr int kRounds = 3;
const char kBranchFull[] = "HKEY_CURRENT_USER\\Software\\TarnwickBench";

// Fan-out per level below the branch key for about `keys` keys in three levels.
std::vector<int> Shape(std::size_t keys)
{
    if (keys >= 1000000)
        return {100, 100, 100};
    if (keys >= 100000)
        return {10, 100, 100};
    if (keys >= 10000)
        return {10, 10, 100};
    return {10, 10, 10};
}

std::size_t KeyCount(const std::vector<int>& shape)
{
    std::size_t total = 1, level = 1;
    for (int n : shape) {
        level *= static_cast<std::size_t>(n);
        total += level;
    }
    return total;
}

// Values like those of a real software branch: a description, a path, flags, binary
// settings, now and then a list.
void SetValues(Registry& registry, HKey key, std::size_t serial)
{
    char text[160];
    std::snprintf(text, sizeof text, "Component %zu of the benchmark branch", serial);
    registry.SetValueEx(key, nullptr, 0, kRegSz, reinterpret_cast<const std::uint8_t*>(text),
                        static_cast<std::uint32_t>(std::strlen(text) + 1));
    std::snprintf(text, sizeof text, "C:\\Program Files\\Vendor & Sons\\Product %zu\\bin\\tool.exe", serial % 977);
    registry.SetValueEx(key, "InstallPath", 0, kRegSz, reinterpret_cast<const std::uint8_t*>(text),
                        static_cast<std::uint32_t>(std::strlen(text) + 1));
    std::uint32_t flags = static_cast<std::uint32_t>(serial * 2654435761u);
    registry.SetValueEx(key, "Flags", 0, kRegDword, reinterpret_cast<const std::uint8_t*>(&flags), 4);
    std::uint8_t binary[24];
    for (std::size_t i = 0; i < sizeof binary; ++i)
        binary[i] = static_cast<std::uint8_t>(serial * 31 + i * 7);
    registry.SetValueEx(key, "Settings", 0, kRegBinary, binary, sizeof binary);
    if (serial % 7 == 0) {
        static const char list[] = "first entry\0second \"quoted\" entry\0";
        registry.SetValueEx(key, "Names", 0, kRegMultiSz, reinterpret_cast<const std::uint8_t*>(list), sizeof list);
    }
}

void Generate(Registry& registry, HKey parent, const std::vector<int>& shape, std::size_t level, std::size_t* serial)
{
    if (level >= shape.size())
        return;
    for (int i = 0; i < shape[level]; ++i) {
        char name[64];
        std::size_t s = ++*serial;
        if (s % 3 == 0)
            std::snprintf(name, sizeof name, "{%08zX-4B1D-11D0-A0C1-%012zX}", s * 2654435761u % 0xFFFFFFFFu, s);
        else
            std::snprintf(name, sizeof name, "Key %zu", s);
        KeyHandle key(registry);
        if (registry.CreateKey(parent, name, key.Put()) != kSuccess)
            continue;
        SetValues(registry, key.get(), s);
        Generate(registry, key.get(), shape, level + 1, serial);
    }
}

void GenerateBranch(Registry& registry, const std::vector<int>& shape)
{
    KeyHandle branch(registry);
    if (registry.CreateKey(kCurrentUser, kBranchPath, branch.Put()) != kSuccess) {
        std::printf("cannot create the branch\n");
        std::exit(1);
    }
    SetValues(registry, branch.get(), 0);
    std::size_t serial = 0;
    Generate(registry, branch.get(), shape, 0, &serial);
}

// ---- the plain walk: what any export must at least ask of the registry

struct WalkCount {
    std::size_t keys = 0;
    std::size_t values = 0;
    std::size_t bytes = 0;
};

void Walk(Registry& registry, HKey key, WalkCount* count)
{
    ++count->keys;
    std::uint32_t subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
    if (registry.QueryInfoKey(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values, &maxName,
                              &maxData, nullptr, nullptr) != kSuccess)
        return;
    std::vector<char> name(std::max(maxName, maxSubkey) + 1u);
    std::vector<std::uint8_t> data(maxData + 1u);
    for (std::uint32_t i = 0; i < values; ++i) {
        std::uint32_t nameLength = static_cast<std::uint32_t>(name.size());
        std::uint32_t size = static_cast<std::uint32_t>(data.size()), type = 0;
        if (registry.EnumValue(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) == kSuccess) {
            ++count->values;
            count->bytes += nameLength + size;
        }
    }
    for (std::uint32_t i = 0;; ++i) {
        std::uint32_t length = static_cast<std::uint32_t>(name.size());
        if (registry.EnumKeyEx(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != kSuccess)
            break;
        KeyHandle sub(registry);
        if (registry.OpenKey(key, std::string(name.data(), length).c_str(), sub.Put()) == kSuccess)
            Walk(registry, sub.get(), count);
    }
}

// ---- phases

struct Phase {
    double seconds = 0;
    double cpu = 0;
    std::uint64_t peak = 0;      // process high-water mark after the phase
    std::uint64_t growth = 0;    // how far the phase raised it above the memory it began with
};

template <typename F>
Phase Measure(F&& work)
{
    ResetPeakMemory();
    std::uint64_t before = CurrentMemoryBytes();
    auto start = Clock::now();
    double cpuStart = CpuSeconds();
    work();
    Phase p;
    p.seconds = Seconds(start);
    p.cpu = CpuSeconds() - cpuStart;
    p.peak = PeakMemoryBytes();
    p.growth = p.peak > before ? p.peak - before : 0;
    return p;
}

void PrintPhase(const char* what, const Phase& p, double bytes)
{
    std::printf("  %-22s %8.3f s %7.1f MB/s | cpu %7.3f s %7.1f MB/s | peak %6.1f MB (+%.1f MB)\n", what,
                p.seconds, bytes > 0 && p.seconds > 0 ? Mb(bytes) / p.seconds : 0.0, p.cpu,
                bytes > 0 && p.cpu > 0 ? Mb(bytes) / p.cpu : 0.0, Mb(static_cast<double>(p.peak)),
                Mb(static_cast<double>(p.growth)));
}

bool WriteSnapshotFile(System& system, Registry& registry, const std::string& file)
{
    XmlWriter writer(system);
    writer.SetFileName(file);
    XmlElement root("registry");
    root.WriteStartTag(writer, +1, true, true);
    bool ok = WriteBranchSnapshot(writer, registry, system, kBranchFull);
    root.WriteEndTag(writer, -1, true, true);
    return writer.Close() && ok;
}

// One round of the plain walk of the branch, counting what it sees.
Phase MeasureWalk(Registry& registry, WalkCount* count)
{
    return Measure([&] {
        *count = WalkCount{};
        KeyHandle branch(registry);
        registry.OpenKey(kCurrentUser, kBranchPath, branch.Put());
        Walk(registry, branch.get(), count);
    });
}

// One round of writing the branch's snapshot; `written` turns false when it fails.
Phase MeasureWrite(System& system, Registry& registry, const std::string& file, bool* written)
{
    // A full backup writes a file of its own, never over an older one: the last round's file
    // goes before the clock starts (truncating it would time the file system freeing it).
    system.RemoveFile(file);
    bool ok = false;
    Phase phase = Measure([&] { ok = WriteSnapshotFile(system, registry, file); });
    *written = *written && ok;
    return phase;
}

std::size_t ParseFile(System& system, const std::string& file, std::string* error)
{
    XmlReader reader(system);
    reader.SetFileName(file);
    std::size_t tokens = 0;
    while (reader.ReadNext())
        tokens += reader.Token() != XmlToken::None;
    *error = reader.Error();
    return tokens;
}

std::size_t FileSize(System& system, const std::string& file)
{
    auto f = system.OpenFile(file, FileMode::Read);
    std::int64_t size = f ? f->Size() : -1;
    return size > 0 ? static_cast<std::size_t>(size) : 0;
}

#ifdef _WIN32

// Runs a command line inside Wine (reg.exe), waits, gives its time or -1.
double RunTimed(const std::string& commandLine)
{
    std::string line = commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    auto start = Clock::now();
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    double seconds = Seconds(start);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0 ? seconds : -1;
}

Phase Best(const Phase& a, const Phase& b)
{
    return a.seconds <= b.seconds ? a : b;
}

double Best(double a, double b)
{
    if (a < 0 || b < 0)
        return a < 0 ? b : a;
    return a < b ? a : b;
}

int RunOne(std::size_t keys)
{
    Win32Registry registry;
    Win32System system;
    std::vector<int> shape = Shape(keys);
    KeyOperations operations(registry, DeletionStyle::WindowsNT);
    const std::string file = "bench_snapshot.xml";
    const std::string regFile = "bench_snapshot.reg";
    const std::string exportCommand = "reg.exe export HKCU\\Software\\TarnwickBench " + regFile + " /y";
    const std::string importCommand = "reg.exe import " + regFile;

    std::printf("snapshot benchmark under Wine, real registry: %zu keys (best of %d rounds)\n", KeyCount(shape),
                kRounds);
    operations.DeleteKeyTree("HKEY_CURRENT_USER", kBranchPath);
    auto start = Clock::now();
    GenerateBranch(registry, shape);
    std::printf("  generated in %.1f s\n", Seconds(start));

    // Each phase runs in every round, the others in between, so that a slow moment of the
    // registry server (it saves the registry now and then) does not decide a ratio.
    WalkCount count;
    Phase walk, write, restore, parse;
    double regExport = -1, regImport = -1;
    bool written = true, restored = true;
    RestoreReport report;
    std::string error;
    std::size_t tokens = 0;
    for (int round = 0; round < kRounds; ++round) {
        Phase w = MeasureWalk(registry, &count);
        Phase s = MeasureWrite(system, registry, file, &written);
        double e = RunTimed(exportCommand);
        walk = round ? Best(walk, w) : w;
        write = round ? Best(write, s) : s;
        regExport = round ? Best(regExport, e) : e;
    }
    std::size_t bytes = FileSize(system, file);
    for (int round = 0; round < kRounds; ++round) {
        operations.DeleteKeyTree("HKEY_CURRENT_USER", kBranchPath);
        bool ok = false;
        Phase r = Measure([&] {
            XmlReader reader(system);
            ok = RestoreSnapshotFile(reader, file, RestoreTarget{registry, system, {}}, &report);
        });
        restored = restored && ok;
        operations.DeleteKeyTree("HKEY_CURRENT_USER", kBranchPath);
        double i = RunTimed(importCommand);
        Phase p = Measure([&] { tokens = ParseFile(system, file, &error); });
        restore = round ? Best(restore, r) : r;
        regImport = round ? Best(regImport, i) : i;
        parse = round ? Best(parse, p) : p;
    }
    operations.DeleteKeyTree("HKEY_CURRENT_USER", kBranchPath);

    std::printf("  branch: %zu keys, %zu values; snapshot %.1f MB%s%s\n", count.keys, count.values,
                Mb(static_cast<double>(bytes)), written ? "" : " (WRITE FAILED)", restored ? "" : " (RESTORE FAILED)");
    PrintPhase("plain walk (floor)", walk, static_cast<double>(bytes));
    PrintPhase("snapshot write", write, static_cast<double>(bytes));
    PrintPhase("snapshot restore", restore, static_cast<double>(bytes));
    PrintPhase("reader parse", parse, static_cast<double>(bytes));
    std::printf("  restored %zu keys, %zu values; %zu tokens parsed%s%s\n", report.keys, report.values, tokens,
                error.empty() ? "" : ", error: ", error.c_str());
    std::printf("  write / plain walk:        %.2f\n", write.seconds / walk.seconds);
    if (regExport > 0)
        std::printf("  write / reg export:        %.2f   (reg export %.3f s, %.1f MB/s of snapshot)\n",
                    write.seconds / regExport, regExport, Mb(static_cast<double>(bytes)) / regExport);
    else
        std::printf("  reg export failed\n");
    if (regImport > 0)
        std::printf("  restore / reg import:      %.2f   (reg import %.3f s)\n", restore.seconds / regImport, regImport);
    else
        std::printf("  reg import failed\n");
    SummaryRow("4 full backup", "snapshot write", regExport > 0 ? write.seconds / regExport : -1,
               "reg export of the branch", 1.0, true);
    SummaryRow("4 full backup", "snapshot restore", regImport > 0 ? restore.seconds / regImport : -1,
               "reg import of the branch", 1.0, true);
    system.RemoveFile(file);
    system.RemoveFile(regFile);
    return written && restored ? 0 : 1;
}

#else

// Writing `bytes` bytes of the snapshot to a new file, 64 KB a call as the writer hands them
// on, and nothing else: the file system's part of a snapshot write.
Phase MeasureFileWrite(System& system, const std::string& snapshot, std::size_t bytes)
{
    std::vector<char> piece(64 * 1024);
    {
        auto in = system.OpenFile(snapshot, FileMode::Read);
        piece.resize(in ? in->Read(piece.data(), piece.size()) : 0);
    }
    const std::string copy = snapshot + ".copy";
    system.RemoveFile(copy);
    Phase phase = Measure([&] {
        auto out = system.OpenFile(copy, FileMode::Write);
        for (std::size_t done = 0; out && !piece.empty() && done < bytes; done += piece.size())
            out->Write(piece.data(), std::min(piece.size(), bytes - done));
        if (out)
            out->Close();
    });
    system.RemoveFile(copy);
    return phase;
}

double ChildrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return s(usage.ru_utime) + s(usage.ru_stime);
}

// Runs a shell command; gives its wall and CPU time, or -1 when it failed.
double RunTimed(const std::string& command, double* cpu)
{
    auto start = Clock::now();
    double cpuStart = ChildrenCpuSeconds();
    int status = std::system(command.c_str());
    double seconds = Seconds(start);
    *cpu = ChildrenCpuSeconds() - cpuStart;
    return status == 0 ? seconds : -1;
}

int RunOne(std::size_t keys)
{
    std::vector<int> shape = Shape(keys);
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "tarnwick-snapshot-bench";
    std::filesystem::create_directories(folder);
    MemorySystem system;
    system.MapDrive('C', folder.string());
    const std::string file = "C:\\bench_snapshot.xml";
    const std::string hostFile = (folder / "bench_snapshot.xml").string();

    std::printf("snapshot benchmark, native, memory registry: %zu keys (walk and write: best of %d rounds)\n",
                KeyCount(shape), kRounds);
    WalkCount count;
    Phase walk, write;
    bool written = false;
    std::size_t bytes = 0;
    {
        MemoryRegistry registry;
        auto start = Clock::now();
        GenerateBranch(registry, shape);
        std::printf("  generated in %.1f s\n", Seconds(start));
        // Best of a few rounds, the walk and the write taking turns, so that a busy moment of
        // the machine does not decide the ratio.
        written = true;
        for (int round = 0; round < kRounds; ++round) {
            Phase w = MeasureWalk(registry, &count);
            Phase s = MeasureWrite(system, registry, file, &written);
            walk = round == 0 || w.cpu < walk.cpu ? w : walk;
            write = round == 0 || s.cpu < write.cpu ? s : write;
        }
        bytes = FileSize(system, file);
    }
    Phase fileWrite = MeasureFileWrite(system, file, bytes);
    for (int round = 1; round < kRounds; ++round) {
        Phase f = MeasureFileWrite(system, file, bytes);
        fileWrite = f.cpu < fileWrite.cpu ? f : fileWrite;
    }
    RestoreReport report;
    bool restored = false;
    Phase restore;
    {
        MemoryRegistry registry;
        restore = Measure([&] {
            XmlReader reader(system);
            restored = RestoreSnapshotFile(reader, file, RestoreTarget{registry, system, {}}, &report);
        });
    }
    std::string error;
    std::size_t tokens = 0;
    Phase parse = Measure([&] { tokens = ParseFile(system, file, &error); });
    double streamCpu = 0, saxCpu = 0;
    double xmlStream = RunTimed("xmllint --stream --noout '" + hostFile + "'", &streamCpu);
    double xmlSax = RunTimed("xmllint --sax --noout '" + hostFile + "'", &saxCpu);

    std::printf("  branch: %zu keys, %zu values; snapshot %.1f MB%s%s\n", count.keys, count.values,
                Mb(static_cast<double>(bytes)), written ? "" : " (WRITE FAILED)", restored ? "" : " (RESTORE FAILED)");
    PrintPhase("plain walk (floor)", walk, static_cast<double>(bytes));
    PrintPhase("snapshot write", write, static_cast<double>(bytes));
    PrintPhase("snapshot restore", restore, static_cast<double>(bytes));
    PrintPhase("reader parse", parse, static_cast<double>(bytes));
    std::printf("  restored %zu keys, %zu values; %zu tokens parsed%s%s\n", report.keys, report.values, tokens,
                error.empty() ? "" : ", error: ", error.c_str());
    std::printf("  write / plain walk:        %.2f\n", write.seconds / walk.seconds);
    std::printf("  write / plain walk (cpu):  %.2f\n", write.cpu / walk.cpu);
    PrintPhase("file write alone", fileWrite, static_cast<double>(bytes));
    std::printf("  of which the file system:  %.2f (the same bytes written to a new file, and nothing else)\n",
                fileWrite.cpu / walk.cpu);
    std::printf("  restore / write (cpu):     %.2f\n", restore.cpu / write.cpu);
    if (xmlStream > 0)
        std::printf("  xmllint --stream --noout: %8.3f s, cpu %.3f s, %.1f MB/s (reader parse / xmllint cpu %.2f)\n",
                    xmlStream, streamCpu, Mb(static_cast<double>(bytes)) / streamCpu, parse.cpu / streamCpu);
    else
        std::printf("  xmllint --stream failed (is libxml2-utils installed?)\n");
    if (xmlSax > 0)
        std::printf("  xmllint --sax --noout:    %8.3f s, cpu %.3f s, %.1f MB/s (reader parse / xmllint cpu %.2f)\n",
                    xmlSax, saxCpu, Mb(static_cast<double>(bytes)) / saxCpu, parse.cpu / saxCpu);
    std::string size = keys >= 1000000 ? "10^6 keys" : std::to_string(keys) + " keys";
    SummaryRow("4 full backup", "snapshot write (cpu), " + size, write.cpu / walk.cpu, "plain walk (cpu)", 1.5);
    SummaryRow("4 full backup", "reader parse (cpu), " + size, saxCpu > 0 ? parse.cpu / saxCpu : -1,
               "xmllint --sax (cpu)", 1.0, true);
    SummaryRow("5 memory", "snapshot write, restore: peak growth (MB), " + size,
               Mb(double(std::max(write.growth, restore.growth))), "MB above what the process held", 8.0);
    std::filesystem::remove(hostFile);
    return written && restored ? 0 : 1;
}

#endif

}  // namespace
}  // namespace tw::bench

int main(int argc, char** argv)
{
    std::vector<std::size_t> sizes;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--keys") == 0)
            sizes.push_back(static_cast<std::size_t>(std::strtoull(argv[++i], nullptr, 10)));
    if (sizes.empty()) {
#ifdef _WIN32
        sizes = {100000};
#else
        sizes = {100000, 1000000};
#endif
    }
    int status = 0;
    for (std::size_t keys : sizes) {
        status |= tw::bench::RunOne(keys);
        std::fflush(stdout);
    }
    return status;
}
