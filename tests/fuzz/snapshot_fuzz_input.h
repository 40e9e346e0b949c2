// The fuzzers read their input the way the program reads a snapshot: from a file, through
// the memory system. Each input is written to a scratch file of this process first.
#pragma once

#include "platform/memory/memory_system.h"

#include <unistd.h>

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tw::fuzz {

class InputFile {
public:
    InputFile()
    {
        // The folder the caller names (TMPDIR: the run script gives each run one and removes
        // it afterwards, as libFuzzer may end the process without running exit handlers),
        // else a memory-backed one where there is one: a file is written for every input.
        std::error_code ec;
        const char* named = std::getenv("TMPDIR");
        std::filesystem::path scratch = (named && *named) || !std::filesystem::is_directory("/dev/shm", ec)
                                            ? std::filesystem::temp_directory_path()
                                            : std::filesystem::path("/dev/shm");
        host_ = scratch / ("tarnwick-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(host_);
        system_.MapDrive('C', host_.string());
        std::atexit([] { Cleanup(); });
        Instance() = this;
    }

    // Writes the input; false when it could not be stored (the run then skips it).
    bool Put(const std::uint8_t* data, std::size_t size)
    {
        std::FILE* f = std::fopen((host_ / "input.xml").c_str(), "wb");
        if (!f)
            return false;
        bool ok = std::fwrite(data, 1, size, f) == size;
        return std::fclose(f) == 0 && ok;
    }
    const char* Path() const { return "C:\\input.xml"; }
    MemorySystem& system() { return system_; }

private:
    static InputFile*& Instance()
    {
        static InputFile* instance = nullptr;
        return instance;
    }
    static void Cleanup()
    {
        if (Instance()) {
            std::error_code ec;
            std::filesystem::remove_all(Instance()->host_, ec);
        }
    }

    std::filesystem::path host_;
    MemorySystem system_;
};

}  // namespace tw::fuzz
