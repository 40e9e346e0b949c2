// The operating system for native tests and benchmarks. Drive letters map onto host
// directories, so real files (and real shortcut files) can be used; paths keep Windows rules
// (backslashes, names found without regard to case). Environment, folders, version, clock
// and drive types are settable; local time equals UTC. Named events live in this object: two MemorySystem objects
// are two machines.
#pragma once

#include "platform/system.h"

#include <map>
#include <memory>
#include <set>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tw {

class MemorySystem final : public System {
public:
    MemorySystem();
    ~MemorySystem() override;

    // ---- set-up for tests
    // Maps "C:" (any case) onto a host directory, with a drive type.
    void MapDrive(char letter, std::string hostDirectory, std::uint32_t driveType = kDriveFixed);
    void SetEnvironment(std::string name, std::string value);
    void UnsetEnvironment(const std::string& name);
    void SetVersion(std::uint32_t version) { version_ = version; }
    void SetSystemDir(std::string path) { systemDirectory_ = std::move(path); }
    // Empty (the default) for a 32-bit system.
    void SetWow64SystemDir(std::string path) { wow64SystemDirectory_ = std::move(path); }
    void SetWindowsDir(std::string path) { windowsDirectory_ = std::move(path); }
    void SetCurrentDir(std::string path) { currentDirectory_ = std::move(path); }
    void SetModulePath(std::string path) { moduleFileName_ = std::move(path); }
    void SetUser(std::string name) { userName_ = std::move(name); }
    void SetUserSid(std::string sid) { userSid_ = std::move(sid); }
    // A 32-bit program on 64-bit Windows.
    void SetWow64(bool underWow64) { underWow64_ = underWow64; }
    // Named events are shared by everything that uses this system, as by the processes of
    // one Windows session; a test plays a second process by changing the id in between.
    void SetProcessId(std::uint32_t id) { processId_ = id; }
    // A fixed clock; without one, the host's local time. The memory host has no time zone:
    // the same fields are its UTC time.
    void SetLocalTime(const LocalTime& now) { fixedNow_ = now; }
    // Programs started through RunProgram, in order.
    const std::vector<std::string>& StartedPrograms() const { return started_; }
    // The host path a Windows path maps to (existing components matched without regard to
    // case), or nothing when its drive is not mapped.
    std::optional<std::string> HostPath(std::string_view windowsPath) const;

    // ---- System
    std::uint32_t GetVersion() override { return version_; }
    std::string ExpandEnvironment(std::string_view text) override;
    bool FindEnvironmentVariable(std::string_view name, std::string* value) override;
    std::string SystemDirectory() override { return systemDirectory_; }
    std::string Wow64SystemDirectory() override { return wow64SystemDirectory_; }
    std::string WindowsDirectory() override { return windowsDirectory_; }
    std::string CurrentDirectory() override { return currentDirectory_; }
    std::string ModuleFileName() override { return moduleFileName_; }
    std::string UserName() override { return userName_; }
    std::string UserSid() override { return userSid_; }
    bool RunningUnderWow64() override { return underWow64_; }
    std::vector<std::string> LogicalDriveRoots() override;
    std::uint32_t DriveType(std::string_view rootPath) override;
    std::uint32_t FileAttributes(std::string_view path) override;
    // Unknown under a folder given to RefuseAccess, and where the host cannot tell.
    PathPresence PathPresenceOf(std::string_view path) override;
    // Everything under `path` answers as a folder the user may not read does: neither there
    // nor absent (PathPresenceOf), no attributes.
    void RefuseAccess(std::string path) { refused_.push_back(std::move(path)); }
    bool ChangeFileAttributes(std::string_view path, std::uint32_t attributes) override;
    bool MakeDirectory(std::string_view path) override;
    bool RemoveEmptyDirectory(std::string_view path) override;
    bool RemoveFile(std::string_view path) override;
    std::vector<DirEntry> FindFiles(std::string_view pattern) override;
    std::unique_ptr<File> OpenFile(std::string_view path, FileMode mode) override;
    bool GetFileCreationTime(std::string_view path, FileTime* time) override;
    LocalTime GetLocalTime() override;
    FileTime GetSystemTimeAsFileTime() override;
    bool FileTimeToLocalTime(FileTime time, LocalTime* local) override;
    std::unique_ptr<Event> MakeEvent(std::string_view name, bool manualReset, bool initialState,
                                       bool* alreadyExisted) override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint32_t ProcessId() override { return processId_; }
    bool GetShortcutTarget(std::string_view linkPath, std::string* target) override;
    bool GetFileVersionBlock(std::string_view path, std::vector<std::uint8_t>* block) override;
    // Records the command line; with a failure set, answers it instead.
    bool RunProgram(std::string_view programPath, std::string* errorText = nullptr) override;
    void SetRunFailure(std::string systemText) { runFailure_ = std::move(systemText); }
    bool EnablePrivilege(std::string_view privilegeName) override;
    std::u16string AnsiToUtf16(std::string_view text) override;
    std::string Utf16ToAnsi(std::u16string_view text) override;

    struct EventState;

private:
    struct Drive {
        std::string host;
        std::uint32_t type = kDriveFixed;
    };
    std::string Absolute(std::string_view path) const;
    bool Refused(std::string_view path) const;

    std::map<char, Drive> drives_;
    std::vector<std::string> refused_;  // folders whose contents cannot be read
    std::string runFailure_;
    std::map<std::string, std::string> environment_;  // upper-case name -> value
    std::uint32_t version_ = 0x23F00206;                // an NT-family version
    std::string systemDirectory_ = "C:\\WINDOWS\\system32";
    std::string wow64SystemDirectory_;
    std::string windowsDirectory_ = "C:\\WINDOWS";
    std::string currentDirectory_ = "C:\\";
    std::string moduleFileName_ = "C:\\Program Files\\Tarnwick\\Tarnwick.exe";
    std::string userName_ = "User";
    std::string userSid_ = "S-1-5-21-1000-2000-3000-1001";
    bool underWow64_ = false;
    std::uint32_t processId_ = 1000;
    std::optional<LocalTime> fixedNow_;
    std::vector<std::string> started_;
    std::mutex eventsMutex_;
    // Host paths open for writing, or held against writers (ReadDenyWrite). Either shares its
    // file for reading only, as the Windows system's handles do, so a writer of the same file
    // is refused while one is open.
    struct Writers {
        std::mutex mutex;
        std::set<std::string> paths;
    };
    std::shared_ptr<Writers> writers_ = std::make_shared<Writers>();
    std::map<std::string, std::shared_ptr<EventState>> events_;  // upper-case name
};

}  // namespace tw
