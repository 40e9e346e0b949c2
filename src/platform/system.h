// Everything besides the registry that the core asks of the operating system: files and
// directories, environment, system folders, drives, time, named events, shell links,
// version resources, privileges and code-page conversion. win32/ forwards to the real
// calls; memory/ maps drive letters onto host directories and keeps Windows path rules.
#pragma once

#include "platform/registry.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// SYSTEMTIME
struct LocalTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;  // 0 = Sunday
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

enum : std::uint32_t {
    kFileAttributeReadOnly = 0x01,
    kFileAttributeHidden = 0x02,
    kFileAttributeSystem = 0x04,
    kFileAttributeDirectory = 0x10,
    kFileAttributeArchive = 0x20,
    kFileAttributeNormal = 0x80,
    kInvalidFileAttributes = 0xFFFFFFFFu,
};

// GetDriveTypeA
enum : std::uint32_t {
    kDriveUnknown = 0,
    kDriveNoRootDir = 1,
    kDriveRemovable = 2,
    kDriveFixed = 3,
    kDriveRemote = 4,
    kDriveCdRom = 5,
    kDriveRamDisk = 6,
};

// One entry of a directory listing (FindFirstFileA / FindNextFileA).
struct DirEntry {
    std::string name;
    std::uint32_t attributes = 0;
    FileTime creationTime;
    FileTime lastWriteTime;
    std::uint64_t size = 0;
    bool IsDirectory() const { return (attributes & kFileAttributeDirectory) != 0; }
};

// An open file. Flush hands what was written to the operating system (the activity log
// does it after every line); Close of a written file also puts it on disk, and reports
// whether everything written reached the file.
class File {
public:
    virtual ~File() = default;
    // Reads up to `size` bytes; returns the count read (0 at the end or on failure).
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
    virtual bool Write(const void* data, std::size_t size) = 0;
    virtual bool Flush() = 0;
    virtual bool Close() = 0;
    // Total size in bytes, or -1 when unknown.
    virtual std::int64_t Size() = 0;
};

enum class FileMode {
    Read,       // existing file, from the start
    Write,      // created or truncated
    Append,     // created if missing, writes go to the end
    CreateNew,  // created only when no file of that name exists (CREATE_NEW); fails otherwise
    ReadDenyWrite,  // existing file, read; while open no one may write it (FILE_SHARE_READ only)
};

// A kernel event, by name or unnamed. Signalled / reset as CreateEvent's events are.
class Event {
public:
    virtual ~Event() = default;
    virtual void Set() = 0;
    virtual void Reset() = 0;
    virtual bool IsSignalled() = 0;
    // Waits up to `milliseconds` (0xFFFFFFFF: forever); true when signalled.
    virtual bool Wait(std::uint32_t milliseconds) = 0;
};

// Conversion between the active ANSI code page and UTF-16.
enum class PathPresence { Present, Absent, Unknown };

class TextCodec {
public:
    virtual ~TextCodec() = default;
    virtual std::u16string AnsiToUtf16(std::string_view text) = 0;
    virtual std::string Utf16ToAnsi(std::u16string_view text) = 0;
};

class System : public TextCodec {
public:

    // GetVersion: bit 31 set on Windows 95/98/Me.
    virtual std::uint32_t GetVersion() = 0;

    // ---- environment and folders
    // ExpandEnvironmentStringsA, in full: unknown variables stay as written.
    virtual std::string ExpandEnvironment(std::string_view text) = 0;
    // GetEnvironmentVariableA; false when the variable is not defined.
    virtual bool FindEnvironmentVariable(std::string_view name, std::string* value) = 0;
    virtual std::string SystemDirectory() = 0;
    // GetSystemWow64DirectoryA: the system folder that 64-bit Windows gives 32-bit programs
    // (SysWOW64); empty where there is none (32-bit Windows).
    virtual std::string Wow64SystemDirectory() = 0;
    virtual std::string WindowsDirectory() = 0;
    virtual std::string CurrentDirectory() = 0;
    // GetModuleFileNameA of the executable.
    virtual std::string ModuleFileName() = 0;
    virtual std::string UserName() = 0;
    // The current user's security identifier as text ("S-1-5-21-..."); empty when unknown.
    virtual std::string UserSid() = 0;
    // IsWow64Process for this process: true only for a 32-bit program on 64-bit Windows.
    virtual bool RunningUnderWow64() = 0;

    // ---- drives
    // GetLogicalDriveStringsA: "C:\", "D:\", ... in drive order.
    virtual std::vector<std::string> LogicalDriveRoots() = 0;
    virtual std::uint32_t DriveType(std::string_view rootPath) = 0;

    // ---- files and directories (Windows paths; relative paths from the current directory)
    virtual std::uint32_t FileAttributes(std::string_view path) = 0;
    // Whether anything is at `path`. Absent only when the system says that the file or a
    // folder on its way does not exist; any other failure (access denied, a drive not
    // ready, a name the system refuses) is Unknown.
    virtual PathPresence PathPresenceOf(std::string_view path) = 0;
    virtual bool ChangeFileAttributes(std::string_view path, std::uint32_t attributes) = 0;
    // CreateDirectoryA: false when it could not be made (an existing one included).
    virtual bool MakeDirectory(std::string_view path) = 0;
    virtual bool RemoveEmptyDirectory(std::string_view path) = 0;
    virtual bool RemoveFile(std::string_view path) = 0;
    // FindFirstFileA / FindNextFileA over a pattern such as "C:\dir\*.lnk"; "*" and "?"
    // wildcards in the last component; "." and ".." are listed for directories as Windows
    // lists them.
    virtual std::vector<DirEntry> FindFiles(std::string_view pattern) = 0;
    virtual std::unique_ptr<File> OpenFile(std::string_view path, FileMode mode) = 0;
    // GetFileAttributesExA's creation time; false when the file is not there.
    virtual bool GetFileCreationTime(std::string_view path, FileTime* time) = 0;

    // ---- time
    virtual LocalTime GetLocalTime() = 0;
    // GetSystemTimeAsFileTime: now in UTC, on the clock the registry stamps its keys with.
    virtual FileTime GetSystemTimeAsFileTime() = 0;
    // FileTimeToLocalFileTime + FileTimeToSystemTime.
    virtual bool FileTimeToLocalTime(FileTime time, LocalTime* local) = 0;

    // ---- events and timing
    // CreateEventA. `alreadyExisted` tells whether a named event was there before.
    virtual std::unique_ptr<Event> MakeEvent(std::string_view name, bool manualReset, bool initialState,
                                               bool* alreadyExisted) = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // GetCurrentProcessId: names of objects that belong to this process alone.
    virtual std::uint32_t ProcessId() = 0;

    // ---- shell and version resources
    // Loads a shortcut file read-only and gives the file-system path of its target
    // (IShellLinkW::GetPath with a 260-character buffer, in the process code page). False when the file cannot be
    // loaded or the call fails.
    virtual bool GetShortcutTarget(std::string_view linkPath, std::string* target) = 0;
    // The whole version-information block of a file (GetFileVersionInfoA), without
    // loading the file as a library. False when the file has none.
    virtual bool GetFileVersionBlock(std::string_view path, std::vector<std::uint8_t>* block) = 0;
    // Starts the program at `programPath`, without arguments (CreateProcess with the path
    // quoted, so that blanks in it split nothing; a bare name is looked for on the search
    // path; shown normally); true when it started. Otherwise `errorText`, when given,
    // receives the system's text for why.
    virtual bool RunProgram(std::string_view programPath, std::string* errorText = nullptr) = 0;
    // Enables a privilege (such as "SeBackupPrivilege") in the process token.
    virtual bool EnablePrivilege(std::string_view privilegeName) = 0;

    // The code-page conversions of TextCodec use the process code page (platform/codepage.h).
};

// Convenience: true when a file or directory exists at `path` (PathFileExistsA).
inline bool PathExists(System& system, std::string_view path)
{
    return system.FileAttributes(path) != kInvalidFileAttributes;
}

}  // namespace tw
