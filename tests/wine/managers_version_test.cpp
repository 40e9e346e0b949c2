// Version records under Wine: the fixture library read through the real GetFileVersionInfoA
// without its start-up code running, bare names resolved along the real system folders, and
// the portable PE reader and block parser checked against version.dll on Wine's own
// libraries.
#include "managers/file_version_record.h"
#include "managers/version_block.h"
#include "platform/codepage.h"
#include "platform/memory/memory_system.h"
#include "platform/win32/win32_system.h"
#include "unit/managers/version_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace tw::test {
namespace {

std::string TracePath()
{
    char folder[MAX_PATH + 1] = {};
    DWORD length = GetTempPathA(MAX_PATH, folder);
    EXPECT_GT(length, 0u);
    return std::string(folder, length) + "tarnwick_fixture_loaded.txt";
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(WineVersionRecord, ReadingALibraryNeverRunsItsStartUpCode)
{
    const std::string library = FixtureFolder() + "\\version_fixture.dll";
    const std::string trace = TracePath();
    DeleteFileA(trace.c_str());

    Win32System system;
    FileVersionRecord record(system);
    record.setPath(library);
    ASSERT_TRUE(record.isAvailable()) << library;
    EXPECT_EQ("Tarnwick Fixture Works", record.companyName());
    EXPECT_EQ("Tarnwick Caf\xC3\xA9 Fixture", record.productName());
    EXPECT_EQ("5.1.2600.1", record.formattedFileVersion());
    EXPECT_EQ("Dynamic link library", record.fileType());
    EXPECT_FALSE(Exists(trace)) << "the library's start-up code ran";

    // The trace is real: loading the library as a library does leave it.
    HMODULE module = LoadLibraryA(library.c_str());
    ASSERT_NE(nullptr, module);
    FreeLibrary(module);
    EXPECT_TRUE(Exists(trace));
    DeleteFileA(trace.c_str());
}

TEST(WineVersionRecord, BareNamesResolveToTheSystemFolder)
{
    Win32System system;
    FileVersionRecord record(system);
    record.setPath("kernel32.dll");
    ASSERT_TRUE(record.isAvailable());
    EXPECT_EQ(CompareTextNoCase(system.SystemDirectory() + "\\kernel32.dll", record.resolvedPath()), 0)
        << record.resolvedPath();
    record.setPath("comctl32");  // without an extension, as the loader takes it
    EXPECT_TRUE(record.isAvailable());
    EXPECT_EQ(CompareTextNoCase(system.SystemDirectory() + "\\comctl32.dll", record.resolvedPath()), 0);
}

// VerQueryValueA over the real block, for comparison.
std::string QueryReal(std::vector<std::uint8_t>& block, const std::string& subBlock)
{
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), subBlock.c_str(), &value, &length) || !value)
        return "(none)";
    return std::string(static_cast<const char*>(value));
}

TEST(WineVersionRecord, ThePortableReaderAgreesWithVersionDll)
{
    Win32System win32;
    MemorySystem memory;  // reads the same files through its own PE reader
    const std::string windows = win32.WindowsDirectory();
    memory.MapDrive(windows[0], std::string(1, windows[0]) + ":\\");
    const std::string system32 = win32.SystemDirectory();
    int compared = 0;
    for (const char* name : {"kernel32.dll", "user32.dll", "shell32.dll", "comctl32.dll", "version.dll",
                             "advapi32.dll", "ole32.dll", "notepad.exe", "regedit.exe"}) {
        std::string path = system32 + "\\" + name;
        std::vector<std::uint8_t> block;
        if (!win32.GetFileVersionBlock(path, &block))
            continue;
        ++compared;
        FileVersionRecord real(win32), portable(memory);
        real.setPath(path);
        portable.setPath(path);
        ASSERT_TRUE(real.isAvailable()) << path;
        ASSERT_TRUE(portable.isAvailable()) << path;
        EXPECT_EQ(real.companyName(), portable.companyName()) << path;
        EXPECT_EQ(real.fileDescription(), portable.fileDescription()) << path;
        EXPECT_EQ(real.fileVersion(), portable.fileVersion()) << path;
        EXPECT_EQ(real.productName(), portable.productName()) << path;
        EXPECT_EQ(real.productVersion(), portable.productVersion()) << path;
        EXPECT_EQ(real.formattedFileVersion(), portable.formattedFileVersion()) << path;
        EXPECT_EQ(real.fileType(), portable.fileType()) << path;

        // And the block parser agrees with VerQueryValueA on the real block.
        char table[64];
        std::snprintf(table, sizeof table, "\\StringFileInfo\\%04x%04x\\", real.language(), real.codePage());
        for (auto [field, text] : {std::pair<const char*, std::string>{"CompanyName", real.companyName()},
                                   {"FileDescription", real.fileDescription()},
                                   {"ProductName", real.productName()},
                                   {"ProductVersion", real.productVersion()}})
            EXPECT_EQ(QueryReal(block, std::string(table) + field), text) << path << " " << field;
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(fixed->dwFileVersionMS, real.fixedInfo().fileVersionHigh) << path;
        EXPECT_EQ(fixed->dwFileVersionLS, real.fixedInfo().fileVersionLow) << path;
        EXPECT_EQ(fixed->dwFileOS, real.fixedInfo().targetSystem) << path;
    }
    EXPECT_GE(compared, 5) << "Wine's libraries carry version resources";
}

}  // namespace
}  // namespace tw::test
