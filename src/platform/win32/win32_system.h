// The operating system through kernel32, advapi32, shell32, ole32 and version.dll.
#pragma once

#include "platform/system.h"

namespace tw {

class Win32System final : public System {
public:
    std::uint32_t GetVersion() override;
    std::string ExpandEnvironment(std::string_view text) override;
    bool FindEnvironmentVariable(std::string_view name, std::string* value) override;
    std::string SystemDirectory() override;
    std::string Wow64SystemDirectory() override;
    std::string WindowsDirectory() override;
    std::string CurrentDirectory() override;
    std::string ModuleFileName() override;
    std::string UserName() override;
    std::string UserSid() override;
    bool RunningUnderWow64() override;
    std::vector<std::string> LogicalDriveRoots() override;
    std::uint32_t DriveType(std::string_view rootPath) override;
    std::uint32_t FileAttributes(std::string_view path) override;
    PathPresence PathPresenceOf(std::string_view path) override;
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
    std::uint32_t ProcessId() override;
    bool GetShortcutTarget(std::string_view linkPath, std::string* target) override;
    bool GetFileVersionBlock(std::string_view path, std::vector<std::uint8_t>* block) override;
    bool RunProgram(std::string_view programPath, std::string* errorText = nullptr) override;
    bool EnablePrivilege(std::string_view privilegeName) override;
    std::u16string AnsiToUtf16(std::string_view text) override;
    std::string Utf16ToAnsi(std::u16string_view text) override;
};

// The system's text for an error code (FormatMessage, in the system's language), without the
// line break it ends with; "Error <code>." when the system has none.
std::string SystemErrorText(std::uint32_t code);

}  // namespace tw
