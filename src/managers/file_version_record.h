// The version details of one executable or library file, as the startup and browser helper
// object managers show them: the strings of the version resource in its first translation,
// the file version formatted from the fixed information, and the names of the file type and
// the target operating system.
//
// The file is never loaded as a library: a path taken from the registry must not run a
// program's start-up code because a row was selected. A bare file name is looked up the way
// the loader would find it (system folder, Windows folder, the PATH folders), and the block
// is read from the file found through System::GetFileVersionBlock.
//
// The record caches by path: callers poll the selection, and a file is read again only when
// the path handed in changes.
#pragma once

#include "platform/system.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// VS_FIXEDFILEINFO, the 52 bytes at the root of a version block.
struct FixedFileInfo {
    std::uint32_t signature = 0;
    std::uint32_t structureVersion = 0;
    std::uint32_t fileVersionHigh = 0;
    std::uint32_t fileVersionLow = 0;
    std::uint32_t productVersionHigh = 0;
    std::uint32_t productVersionLow = 0;
    std::uint32_t flagsMask = 0;
    std::uint32_t flags = 0;
    std::uint32_t targetSystem = 0;
    std::uint32_t fileType = 0;
    std::uint32_t fileSubtype = 0;
    std::uint32_t fileDateHigh = 0;
    std::uint32_t fileDateLow = 0;
};
inline constexpr std::size_t kFixedFileInfoSize = 52;

// "Dynamic link library", "Printer driver", ...; empty for a type or subtype outside the table.
std::string FileTypeName(std::uint32_t fileType, std::uint32_t fileSubtype);
// "Windows NT", "Win32 API on Windows NT", ...; empty for a value outside the table.
std::string OperatingSystemName(std::uint32_t targetSystem);
// "%d.%d.%d.%d" from the high and low halves of the two version words.
std::string FormatFileVersion(std::uint32_t high, std::uint32_t low);

// Finds the file a path names: a path with a folder (or drive) is taken as it is; a bare name
// is looked for in the system folder, the Windows folder and each PATH folder in turn, with
// ".dll" added when it has no extension, as the loader does. False when nothing is found.
bool ResolveVersionFilePath(System& system, std::string_view path, std::string* fullPath);

class FileVersionRecord {
public:
    explicit FileVersionRecord(System& system) : system_(system) {}

    // Records the path; a different path (compared byte for byte) must be read again.
    void setPath(std::string_view path);
    // True when the current path's version details are there, reading the file if needed.
    // A path whose reading failed is not read again until the path changes.
    bool isAvailable();

    // Reads the fields from a version block that is already in memory (the second half of
    // a load; also what the fuzzer drives). Every field is cleared first.
    bool LoadFromBlock(std::vector<std::uint8_t> block);

    const std::string& filePath() const { return filePath_; }
    // The file the path resolved to (empty before a successful resolution).
    const std::string& resolvedPath() const { return resolvedPath_; }
    const std::string& companyName() const { return companyName_; }
    const std::string& fileDescription() const { return fileDescription_; }
    const std::string& fileVersion() const { return fileVersion_; }
    const std::string& internalName() const { return internalName_; }
    const std::string& originalFileName() const { return originalFileName_; }
    const std::string& productName() const { return productName_; }
    const std::string& productVersion() const { return productVersion_; }
    const std::string& formattedFileVersion() const { return formattedFileVersion_; }
    const std::string& operatingSystem() const { return operatingSystem_; }
    const std::string& fileType() const { return fileType_; }
    std::uint16_t language() const { return language_; }
    std::uint16_t codePage() const { return codePage_; }
    const FixedFileInfo& fixedInfo() const { return fixed_; }
    const std::vector<std::uint8_t>& versionBlock() const { return block_; }
    bool loaded() const { return loaded_; }

private:
    bool Load();
    void Clear();

    System& system_;
    std::string filePath_;
    std::string resolvedPath_;
    std::string companyName_;
    std::string fileDescription_;
    std::string fileVersion_;
    std::string internalName_;
    std::string originalFileName_;
    std::string productName_;
    std::string productVersion_;
    std::string formattedFileVersion_;
    std::string operatingSystem_;
    std::string fileType_;
    std::uint16_t language_ = 0;
    std::uint16_t codePage_ = 0;
    FixedFileInfo fixed_;
    std::vector<std::uint8_t> block_;
    bool loaded_ = false;
    bool attempted_ = false;  // the current path has been read (successfully or not)
};

}  // namespace tw
