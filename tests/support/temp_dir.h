// A scratch directory on the host, removed with everything in it when the test ends, and a
// memory platform whose C: drive is that directory.
#pragma once

#include "platform/memory/memory_system.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tw::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // Host path of a Windows path below C:\ ("C:\a\b" -> <dir>/a/b).
    std::string Host(const std::string& windowsPath) const;
    void WriteFile(const std::string& windowsPath, const std::string& bytes) const;
    std::string ReadFile(const std::string& windowsPath) const;
    bool Exists(const std::string& windowsPath) const;
    // Sets a file's change time, which the memory platform reports as its creation time.
    void SetFileTime(const std::string& windowsPath, std::int64_t secondsSince1970) const;
    std::vector<std::string> List(const std::string& windowsFolder) const;

private:
    std::string path_;
};

// A memory system with C: mapped onto a fresh scratch directory, the program installed in
// C:\Program Files\Tarnwick, Windows in C:\WINDOWS (both folders made).
struct ScratchMachine {
    TempDir dir;
    MemorySystem system;
    ScratchMachine();
};

}  // namespace tw::test
