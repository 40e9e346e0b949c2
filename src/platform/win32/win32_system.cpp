#include "platform/win32/win32_system.h"

#include "platform/codepage.h"
#include "platform/win32/win32_handle.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <sddl.h>
#include <shlwapi.h>

#include <climits>
#include <cstring>
#include <memory>

namespace tw {
namespace {

// The core's text is in the code page the ANSI calls of this process speak: UTF-8 where the
// manifest's setting is honoured (Windows 10 1903 and later, Wine), the system's ANSI code
// page before. Set before main, since every Windows program of the project links this file.
// Files written by earlier versions hold text of the system's own ANSI code page.
std::u16string SystemCodePageToUtf16(std::string_view text)
{
    UINT codePage = CP_ACP;
    DWORD systemCodePage = 0;
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&systemCodePage), sizeof systemCodePage / sizeof(WCHAR)) > 0 &&
        systemCodePage != 0)
        codePage = systemCodePage;
    std::u16string out;
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return out;
    out.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<WCHAR*>(out.data()), n);
    return out;
}

[[maybe_unused]] const bool g_codePageSet = [] {
    SetProcessCodePage(GetACP() == CP_UTF8 ? AnsiCodePage::Utf8 : AnsiCodePage::Windows1252);
    SetLegacyDecoder(&SystemCodePageToUtf16);
    return true;
}();

std::string Z(std::string_view s)
{
    return std::string(s);
}

// Text the system gives: the wide calls, whose lengths are right in any code page (some ANSI
// calls count a UTF-8 answer in UTF-16 units and cut it short), then the process code page.
std::wstring Wide(std::string_view text)
{
    std::wstring out;
    if (text.empty() || text.size() > INT_MAX)
        return out;
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view text)
{
    std::string out;
    if (text.empty() || text.size() > INT_MAX)
        return out;
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Calls `get(buffer, capacity)` that returns the length it needs, growing until it fits.
template <class Get>
std::string GrowString(Get get)
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD n = get(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return Narrow(buffer);
        }
        buffer.resize(static_cast<std::size_t>(n) + 1);
    }
    return {};
}

class Win32File final : public File {
public:
    explicit Win32File(HANDLE h) : h_(h) {}
    ~Win32File() override { Close(); }
    std::size_t Read(void* buffer, std::size_t size) override
    {
        DWORD got = 0;
        if (!h_ || size > UINT_MAX || !ReadFile(h_.get(), buffer, static_cast<DWORD>(size), &got, nullptr))
            return 0;
        return got;
    }
    bool Write(const void* data, std::size_t size) override
    {
        const char* p = static_cast<const char*>(data);
        while (h_ && size && !failed_) {
            DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(h_.get(), p, chunk, &written, nullptr) || written != chunk)
                failed_ = true;
            written_ = true;
            p += written;
            size -= written;
        }
        return h_ && !failed_;
    }
    // WriteFile hands every byte to the system at once: nothing is held back here.
    bool Flush() override { return h_ && !failed_; }
    // A file that was written is put on disk before it is closed: a backup must be whole
    // before anything it saves is deleted.
    bool Close() override
    {
        if (!h_)
            return !failed_;
        if (written_ && !FlushFileBuffers(h_.get()))
            failed_ = true;
        if (!CloseHandle(h_.release()))
            failed_ = true;
        return !failed_;
    }
    std::int64_t Size() override
    {
        LARGE_INTEGER size;
        if (!h_ || !GetFileSizeEx(h_.get(), &size))
            return -1;
        return size.QuadPart;
    }

private:
    UniqueWin32Handle h_;
    bool failed_ = false;
    bool written_ = false;
};

class Win32Event final : public Event {
public:
    explicit Win32Event(HANDLE h) : h_(h) {}
    void Set() override { SetEvent(h_.get()); }
    void Reset() override { ResetEvent(h_.get()); }
    bool IsSignalled() override { return WaitForSingleObject(h_.get(), 0) == WAIT_OBJECT_0; }
    bool Wait(std::uint32_t milliseconds) override
    {
        return WaitForSingleObject(h_.get(), milliseconds) == WAIT_OBJECT_0;
    }

private:
    UniqueWin32Handle h_;
};

}  // namespace

std::uint32_t Win32System::GetVersion()
{
    return ::GetVersion();
}

std::string Win32System::ExpandEnvironment(std::string_view text)
{
    std::string in = Z(text);
    const std::wstring wideIn = Wide(in);
    std::wstring out(wideIn.size() + 64, L'\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD n = ExpandEnvironmentStringsW(wideIn.c_str(), out.data(), static_cast<DWORD>(out.size()));
        if (n == 0)
            return in;
        if (n <= out.size()) {
            out.resize(n - 1);  // n counts the terminator
            return Narrow(out);
        }
        out.resize(n);
    }
    return in;
}

bool Win32System::FindEnvironmentVariable(std::string_view name, std::string* value)
{
    const std::wstring n = Wide(name);
    SetLastError(0);
    DWORD needed = GetEnvironmentVariableW(n.c_str(), nullptr, 0);
    if (needed == 0)
        return GetLastError() != ERROR_ENVVAR_NOT_FOUND && (value ? (value->clear(), true) : true);
    std::wstring buffer(needed, L'\0');
    DWORD got = GetEnvironmentVariableW(n.c_str(), buffer.data(), needed);
    if (got >= needed)
        return false;
    buffer.resize(got);
    if (value)
        *value = Narrow(buffer);
    return true;
}

std::string Win32System::SystemDirectory()
{
    return GrowString([](wchar_t* b, DWORD n) { return static_cast<DWORD>(GetSystemDirectoryW(b, n)); });
}

// Looked up at run time: neither call exists on every system the 32-bit build runs on.
std::string Win32System::Wow64SystemDirectory()
{
    using GetWow64Directory = UINT(WINAPI*)(LPWSTR, UINT);
    auto get = reinterpret_cast<GetWow64Directory>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemWow64DirectoryW")));
    if (!get)
        return {};
    return GrowString([get](wchar_t* b, DWORD n) { return static_cast<DWORD>(get(b, n)); });
}

std::uint32_t Win32System::ProcessId()
{
    return GetCurrentProcessId();
}

bool Win32System::RunningUnderWow64()
{
    using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64 = reinterpret_cast<IsWow64>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

std::string Win32System::WindowsDirectory()
{
    return GrowString([](wchar_t* b, DWORD n) { return static_cast<DWORD>(GetWindowsDirectoryW(b, n)); });
}

std::string Win32System::CurrentDirectory()
{
    return GrowString([](wchar_t* b, DWORD n) { return GetCurrentDirectoryW(n, b); });
}

std::string Win32System::ModuleFileName()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return Narrow(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

std::string Win32System::UserName()
{
    wchar_t buffer[257];  // UNLEN + 1
    DWORD n = sizeof buffer / sizeof buffer[0];
    if (!GetUserNameW(buffer, &n) || n == 0)
        return {};
    return Narrow(std::wstring_view(buffer, n - 1));
}

std::string Win32System::UserSid()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    UniqueWin32Handle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<std::uint8_t> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        return {};
    struct LocalFreer {
        void operator()(char* p) const { LocalFree(p); }
    };
    char* text = nullptr;
    if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return {};
    std::unique_ptr<char, LocalFreer> sidText(text);
    return std::string(text);
}

std::vector<std::string> Win32System::LogicalDriveRoots()
{
    std::vector<std::string> roots;
    std::string buffer(MAX_PATH, '\0');
    DWORD n = GetLogicalDriveStringsA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n > buffer.size()) {
        buffer.resize(n + 1);
        n = GetLogicalDriveStringsA(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    if (n == 0 || n > buffer.size())
        return roots;
    for (const char* p = buffer.c_str(); *p; p += std::strlen(p) + 1)
        roots.emplace_back(p);
    return roots;
}

std::uint32_t Win32System::DriveType(std::string_view rootPath)
{
    return GetDriveTypeA(Z(rootPath).c_str());
}

std::uint32_t Win32System::FileAttributes(std::string_view path)
{
    return GetFileAttributesA(Z(path).c_str());
}

PathPresence Win32System::PathPresenceOf(std::string_view path)
{
    const std::wstring wide = Wide(path);
    if (wide.empty())
        return PathPresence::Unknown;
    if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES)
        return PathPresence::Present;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathPresence::Absent
                                                                           : PathPresence::Unknown;
}

bool Win32System::ChangeFileAttributes(std::string_view path, std::uint32_t attributes)
{
    return SetFileAttributesA(Z(path).c_str(), attributes) != 0;
}

bool Win32System::MakeDirectory(std::string_view path)
{
    return CreateDirectoryA(Z(path).c_str(), nullptr) != 0;
}

bool Win32System::RemoveEmptyDirectory(std::string_view path)
{
    return RemoveDirectoryA(Z(path).c_str()) != 0;
}

bool Win32System::RemoveFile(std::string_view path)
{
    return DeleteFileA(Z(path).c_str()) != 0;
}

std::vector<DirEntry> Win32System::FindFiles(std::string_view pattern)
{
    std::vector<DirEntry> entries;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(Wide(pattern).c_str(), &data));
    if (!find)
        return entries;
    do {
        DirEntry e;
        e.name = Narrow(data.cFileName);
        e.attributes = data.dwFileAttributes;
        e.creationTime = FileTime{data.ftCreationTime.dwLowDateTime, data.ftCreationTime.dwHighDateTime};
        e.lastWriteTime = FileTime{data.ftLastWriteTime.dwLowDateTime, data.ftLastWriteTime.dwHighDateTime};
        e.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        entries.push_back(std::move(e));
    } while (FindNextFileW(find.get(), &data));
    return entries;
}

std::unique_ptr<File> Win32System::OpenFile(std::string_view path, FileMode mode)
{
    const bool reading = mode == FileMode::Read || mode == FileMode::ReadDenyWrite;
    DWORD access = reading ? GENERIC_READ : GENERIC_WRITE;
    DWORD share = mode == FileMode::Read ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    DWORD disposition = reading                       ? OPEN_EXISTING
                        : mode == FileMode::Write     ? CREATE_ALWAYS
                        : mode == FileMode::CreateNew ? CREATE_NEW
                                                      : OPEN_ALWAYS;
    HANDLE h = CreateFileA(Z(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    if (mode == FileMode::Append)
        SetFilePointer(h, 0, nullptr, FILE_END);
    return std::make_unique<Win32File>(h);
}

bool Win32System::GetFileCreationTime(std::string_view path, FileTime* time)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(Z(path).c_str(), GetFileExInfoStandard, &data))
        return false;
    if (time)
        *time = FileTime{data.ftCreationTime.dwLowDateTime, data.ftCreationTime.dwHighDateTime};
    return true;
}

LocalTime Win32System::GetLocalTime()
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    return LocalTime{st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

FileTime Win32System::GetSystemTimeAsFileTime()
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return FileTime{now.dwLowDateTime, now.dwHighDateTime};
}

bool Win32System::FileTimeToLocalTime(FileTime time, LocalTime* local)
{
    FILETIME ft{time.low, time.high}, lt;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&ft, &lt) || !FileTimeToSystemTime(&lt, &st))
        return false;
    if (local)
        *local = LocalTime{st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    return true;
}

std::unique_ptr<Event> Win32System::MakeEvent(std::string_view name, bool manualReset, bool initialState,
                                                bool* alreadyExisted)
{
    std::string n = Z(name);
    HANDLE h = CreateEventA(nullptr, manualReset, initialState, n.empty() ? nullptr : n.c_str());
    DWORD error = GetLastError();
    if (alreadyExisted)
        *alreadyExisted = h && error == ERROR_ALREADY_EXISTS;
    if (!h)
        return nullptr;
    return std::make_unique<Win32Event>(h);
}

void Win32System::Sleep(std::uint32_t milliseconds)
{
    ::Sleep(milliseconds);
}

bool Win32System::GetShortcutTarget(std::string_view linkPath, std::string* target)
{
    std::string path = Z(linkPath);
    HRESULT init = CoInitialize(nullptr);
    bool ok = false;
    {
        ComPtr<IShellLinkW> link;
        ComPtr<IPersistFile> file;
        const std::wstring wide = Wide(path);
        if (!wide.empty() && wide.size() < MAX_PATH &&
            SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                       link.PutVoid())) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.PutVoid())) &&
            SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
            WCHAR buffer[MAX_PATH] = {};
            if (SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_SHORTPATH))) {
                buffer[MAX_PATH - 1] = L'\0';
                if (target)
                    *target = Narrow(buffer);
                ok = true;
            }
        }
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return ok;
}

bool Win32System::GetFileVersionBlock(std::string_view path, std::vector<std::uint8_t>* block)
{
    std::string p = Z(path);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(p.c_str(), &handle);
    if (size == 0)
        return false;
    std::vector<std::uint8_t> data(size);
    if (!GetFileVersionInfoA(p.c_str(), 0, size, data.data()))
        return false;
    if (block)
        *block = std::move(data);
    return true;
}

bool Win32System::RunProgram(std::string_view programPath, std::string* errorText)
{
    // Quoted, a path with blanks names one file: unquoted, CreateProcess would try
    // "C:\Program.exe" first for "C:\Program Files\...".
    std::wstring command = programPath.empty() ? std::wstring() : L"\"" + Wide(programPath) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!command.empty() &&
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }
    const DWORD error = command.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
    if (errorText)
        *errorText = SystemErrorText(error);
    return false;
}

std::string SystemErrorText(std::uint32_t code)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n && text ? std::wstring(text, n) : L"Error " + std::to_wstring(code) + L".";
    if (text)
        LocalFree(text);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.pop_back();
    return Narrow(message);
}

bool Win32System::EnablePrivilege(std::string_view privilegeName)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    UniqueWin32Handle owned(token);
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, Z(privilegeName).c_str(), &tp.Privileges[0].Luid))
        return false;
    if (!AdjustTokenPrivileges(token, FALSE, &tp, sizeof tp, nullptr, nullptr))
        return false;
    return GetLastError() == ERROR_SUCCESS;
}

std::u16string Win32System::AnsiToUtf16(std::string_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<WCHAR*>(out.data()), n);
    return out;
}

std::string Win32System::Utf16ToAnsi(std::u16string_view text)
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    auto w = reinterpret_cast<const WCHAR*>(text.data());
    int n = WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace tw
