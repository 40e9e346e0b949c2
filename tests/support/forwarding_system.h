// A system that passes every call on to another one, for tests that change a few calls (a
// fixed clock over the real system, a file creation that lets another repair run first).
#pragma once

#include "platform/system.h"

namespace tw::test {

class ForwardingSystem : public System {
public:
    explicit ForwardingSystem(System& inner) : inner_(inner) {}

    std::uint32_t GetVersion() override { return inner_.GetVersion(); }
    std::string ExpandEnvironment(std::string_view text) override { return inner_.ExpandEnvironment(text); }
    bool FindEnvironmentVariable(std::string_view name, std::string* value) override
    {
        return inner_.FindEnvironmentVariable(name, value);
    }
    std::string SystemDirectory() override { return inner_.SystemDirectory(); }
    std::string Wow64SystemDirectory() override { return inner_.Wow64SystemDirectory(); }
    bool RunningUnderWow64() override { return inner_.RunningUnderWow64(); }
    std::string UserSid() override { return inner_.UserSid(); }
    std::string WindowsDirectory() override { return inner_.WindowsDirectory(); }
    std::string CurrentDirectory() override { return inner_.CurrentDirectory(); }
    std::string ModuleFileName() override { return inner_.ModuleFileName(); }
    std::string UserName() override { return inner_.UserName(); }
    std::vector<std::string> LogicalDriveRoots() override { return inner_.LogicalDriveRoots(); }
    std::uint32_t DriveType(std::string_view rootPath) override { return inner_.DriveType(rootPath); }
    std::uint32_t FileAttributes(std::string_view path) override { return inner_.FileAttributes(path); }
    PathPresence PathPresenceOf(std::string_view path) override { return inner_.PathPresenceOf(path); }
    bool ChangeFileAttributes(std::string_view path, std::uint32_t attributes) override
    {
        return inner_.ChangeFileAttributes(path, attributes);
    }
    bool MakeDirectory(std::string_view path) override { return inner_.MakeDirectory(path); }
    bool RemoveEmptyDirectory(std::string_view path) override { return inner_.RemoveEmptyDirectory(path); }
    bool RemoveFile(std::string_view path) override { return inner_.RemoveFile(path); }
    std::vector<DirEntry> FindFiles(std::string_view pattern) override { return inner_.FindFiles(pattern); }
    std::unique_ptr<File> OpenFile(std::string_view path, FileMode mode) override
    {
        return inner_.OpenFile(path, mode);
    }
    bool GetFileCreationTime(std::string_view path, FileTime* time) override
    {
        return inner_.GetFileCreationTime(path, time);
    }
    LocalTime GetLocalTime() override { return inner_.GetLocalTime(); }
    FileTime GetSystemTimeAsFileTime() override { return inner_.GetSystemTimeAsFileTime(); }
    bool FileTimeToLocalTime(FileTime time, LocalTime* local) override { return inner_.FileTimeToLocalTime(time, local); }
    std::unique_ptr<Event> MakeEvent(std::string_view name, bool manualReset, bool initialState,
                                     bool* alreadyExisted) override
    {
        return inner_.MakeEvent(name, manualReset, initialState, alreadyExisted);
    }
    void Sleep(std::uint32_t milliseconds) override { inner_.Sleep(milliseconds); }
    std::uint32_t ProcessId() override { return inner_.ProcessId(); }
    bool GetShortcutTarget(std::string_view linkPath, std::string* target) override
    {
        return inner_.GetShortcutTarget(linkPath, target);
    }
    bool GetFileVersionBlock(std::string_view path, std::vector<std::uint8_t>* block) override
    {
        return inner_.GetFileVersionBlock(path, block);
    }
    bool RunProgram(std::string_view programPath, std::string* errorText = nullptr) override
    {
        return inner_.RunProgram(programPath, errorText);
    }
    bool EnablePrivilege(std::string_view privilegeName) override { return inner_.EnablePrivilege(privilegeName); }
    std::u16string AnsiToUtf16(std::string_view text) override { return inner_.AnsiToUtf16(text); }
    std::string Utf16ToAnsi(std::u16string_view text) override { return inner_.Utf16ToAnsi(text); }

protected:
    System& inner_;
};

}  // namespace tw::test
