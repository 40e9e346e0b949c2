#include "platform/memory/memory_system.h"

#include "platform/calendar.h"
#include "platform/codepage.h"
#include "platform/memory/pe_version.h"
#include "platform/memory/shortcut_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tw {
namespace fs = std::filesystem;

namespace {

std::string Upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(UpperByte(static_cast<unsigned char>(c)));
    return out;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return CompareNamesNoCase(a, b) == 0;
}

// Windows wildcard match ('*' any run, '?' one character), without regard to case.
// "*.*" matches every name, as it does on Windows.
bool WildcardMatch(std::string_view pattern, std::string_view name)
{
    if (pattern == "*.*" || pattern == "*")
        return true;
    std::size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' ||
                                   UpperByte(static_cast<unsigned char>(pattern[p])) ==
                                       UpperByte(static_cast<unsigned char>(name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

#ifdef O_BINARY
constexpr int kOpenBinary = O_BINARY;
#else
constexpr int kOpenBinary = 0;
#endif

FileTime ToFileTime(std::time_t t)
{
    // Seconds between 1601-01-01 and 1970-01-01.
    std::uint64_t v = (static_cast<std::uint64_t>(t) + 11644473600ull) * 10000000ull;
    return FileTime{static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(v >> 32)};
}

class HostFile final : public File {
public:
    explicit HostFile(std::FILE* f, std::function<void()> onClose = {}) : f_(f), onClose_(std::move(onClose)) {}
    ~HostFile() override { Close(); }
    std::size_t Read(void* buffer, std::size_t size) override { return f_ ? std::fread(buffer, 1, size, f_) : 0; }
    bool Write(const void* data, std::size_t size) override
    {
        if (!f_)
            return false;
        if (size && std::fwrite(data, 1, size, f_) != size)
            failed_ = true;
        return !failed_;
    }
    bool Flush() override
    {
        if (!f_ || std::fflush(f_) != 0)
            failed_ = true;
        return !failed_;
    }
    bool Close() override
    {
        if (!f_)
            return !failed_;
        if (std::fclose(f_) != 0)
            failed_ = true;
        f_ = nullptr;
        if (onClose_)
            onClose_();
        return !failed_;
    }
    std::int64_t Size() override
    {
        if (!f_)
            return -1;
        struct stat st {};
        if (fstat(fileno(f_), &st) != 0)
            return -1;
        return st.st_size;
    }

private:
    std::FILE* f_;
    std::function<void()> onClose_;
    bool failed_ = false;
};

}  // namespace

struct MemorySystem::EventState {
    std::mutex mutex;
    std::condition_variable cv;
    bool signalled = false;
    bool manualReset = true;
};

namespace {

class MemoryEvent final : public Event {
public:
    explicit MemoryEvent(std::shared_ptr<MemorySystem::EventState> s) : s_(std::move(s)) {}
    void Set() override
    {
        std::lock_guard lock(s_->mutex);
        s_->signalled = true;
        s_->cv.notify_all();
    }
    void Reset() override
    {
        std::lock_guard lock(s_->mutex);
        s_->signalled = false;
    }
    bool IsSignalled() override { return Wait(0); }
    bool Wait(std::uint32_t milliseconds) override
    {
        std::unique_lock lock(s_->mutex);
        auto ready = [&] { return s_->signalled; };
        bool ok = milliseconds == 0xFFFFFFFFu
                      ? (s_->cv.wait(lock, ready), true)
                      : s_->cv.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
        if (ok && !s_->manualReset)
            s_->signalled = false;
        return ok;
    }

private:
    std::shared_ptr<MemorySystem::EventState> s_;
};

}  // namespace

MemorySystem::MemorySystem()
{
    environment_["SYSTEMROOT"] = "C:\\WINDOWS";
    environment_["WINDIR"] = "C:\\WINDOWS";
    environment_["SYSTEMDRIVE"] = "C:";
    environment_["PROGRAMFILES"] = "C:\\Program Files";
    environment_["PATH"] = "C:\\WINDOWS\\system32;C:\\WINDOWS";
}

MemorySystem::~MemorySystem() = default;

void MemorySystem::MapDrive(char letter, std::string hostDirectory, std::uint32_t driveType)
{
    drives_[static_cast<char>(UpperByte(static_cast<unsigned char>(letter)))] = Drive{std::move(hostDirectory), driveType};
}

void MemorySystem::SetEnvironment(std::string name, std::string value)
{
    environment_[Upper(name)] = std::move(value);
}

void MemorySystem::UnsetEnvironment(const std::string& name)
{
    environment_.erase(Upper(name));
}

bool MemorySystem::FindEnvironmentVariable(std::string_view name, std::string* value)
{
    auto it = environment_.find(Upper(name));
    if (it == environment_.end())
        return false;
    if (value)
        *value = it->second;
    return true;
}

std::string MemorySystem::ExpandEnvironment(std::string_view text)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '%') {
            out.push_back(text[i++]);
            continue;
        }
        std::size_t close = text.find('%', i + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        std::string value;
        std::string_view name = text.substr(i + 1, close - i - 1);
        if (!name.empty() && FindEnvironmentVariable(name, &value)) {
            out += value;
            i = close + 1;
        } else {
            // An unknown variable stays as written; its closing '%' may open the next one.
            out.append(text.substr(i, close - i));
            i = close;
        }
    }
    return out;
}

std::string MemorySystem::Absolute(std::string_view path) const
{
    std::string p(path);
    for (char& c : p)
        if (c == '/')
            c = '\\';
    if (p.size() >= 2 && p[1] == ':')
        return p;
    if (!p.empty() && p[0] == '\\')
        return currentDirectory_.substr(0, 2) + p;
    std::string base = currentDirectory_;
    if (!base.empty() && base.back() != '\\')
        base += '\\';
    return base + p;
}

std::optional<std::string> MemorySystem::HostPath(std::string_view windowsPath) const
{
    std::string abs = Absolute(windowsPath);
    if (abs.size() < 2 || abs[1] != ':')
        return std::nullopt;
    auto drive = drives_.find(static_cast<char>(UpperByte(static_cast<unsigned char>(abs[0]))));
    if (drive == drives_.end())
        return std::nullopt;
    std::string host = drive->second.host;
    std::size_t pos = 2;
    std::vector<std::string> parts;
    while (pos <= abs.size()) {
        std::size_t end = abs.find('\\', pos);
        if (end == std::string::npos)
            end = abs.size();
        std::string part = abs.substr(pos, end - pos);
        // Windows drops trailing blanks and dots from a name ("x.exe " is "x.exe").
        if (part != "." && part != "..")
            while (!part.empty() && (part.back() == ' ' || part.back() == '.'))
                part.pop_back();
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    for (const std::string& part : parts) {
        std::string next = host + "/" + part;
        std::error_code ec;
        if (!fs::exists(next, ec)) {
            for (const auto& entry : fs::directory_iterator(host, ec)) {
                std::string name = entry.path().filename().string();
                if (EqualNoCase(name, part)) {
                    next = host + "/" + name;
                    break;
                }
            }
        }
        host = next;
    }
    return host;
}

std::vector<std::string> MemorySystem::LogicalDriveRoots()
{
    std::vector<std::string> roots;
    for (const auto& [letter, drive] : drives_)
        roots.push_back(std::string(1, letter) + ":\\");
    return roots;
}

std::uint32_t MemorySystem::DriveType(std::string_view rootPath)
{
    if (rootPath.empty())
        return kDriveNoRootDir;
    auto it = drives_.find(static_cast<char>(UpperByte(static_cast<unsigned char>(rootPath[0]))));
    return it == drives_.end() ? kDriveNoRootDir : it->second.type;
}

bool MemorySystem::Refused(std::string_view path) const
{
    const std::string abs = Absolute(path);
    for (const std::string& folder : refused_) {
        const std::string base = Absolute(folder);
        if (abs.size() > base.size() && abs[base.size()] == '\\' && EqualNoCase(abs.substr(0, base.size()), base))
            return true;
    }
    return false;
}

PathPresence MemorySystem::PathPresenceOf(std::string_view path)
{
    auto host = HostPath(path);
    if (!host || Refused(path))
        return PathPresence::Unknown;
    struct stat st {};
    if (stat(host->c_str(), &st) == 0)
        return PathPresence::Present;
    return errno == ENOENT || errno == ENOTDIR ? PathPresence::Absent : PathPresence::Unknown;
}

std::uint32_t MemorySystem::FileAttributes(std::string_view path)
{
    if (Refused(path))
        return kInvalidFileAttributes;
    auto host = HostPath(path);
    struct stat st {};
    if (!host || stat(host->c_str(), &st) != 0)
        return kInvalidFileAttributes;
    std::uint32_t attributes = S_ISDIR(st.st_mode) ? kFileAttributeDirectory : kFileAttributeArchive;
    if (!(st.st_mode & S_IWUSR))
        attributes |= kFileAttributeReadOnly;
    return attributes;
}

bool MemorySystem::ChangeFileAttributes(std::string_view path, std::uint32_t attributes)
{
    auto host = HostPath(path);
    std::error_code ec;
    if (!host || !fs::exists(*host, ec))
        return false;
    fs::permissions(*host, fs::perms::owner_write,
                    (attributes & kFileAttributeReadOnly) ? fs::perm_options::remove : fs::perm_options::add, ec);
    return !ec;
}

bool MemorySystem::MakeDirectory(std::string_view path)
{
    auto host = HostPath(path);
    std::error_code ec;
    return host && fs::create_directory(*host, ec) && !ec;
}

bool MemorySystem::RemoveEmptyDirectory(std::string_view path)
{
    auto host = HostPath(path);
    std::error_code ec;
    return host && fs::is_directory(*host, ec) && fs::remove(*host, ec) && !ec;
}

bool MemorySystem::RemoveFile(std::string_view path)
{
    auto host = HostPath(path);
    std::error_code ec;
    if (!host || !fs::is_regular_file(fs::symlink_status(*host, ec)))
        return false;
    // Windows refuses to delete a read-only file.
    if ((fs::status(*host, ec).permissions() & fs::perms::owner_write) == fs::perms::none)
        return false;
    return fs::remove(*host, ec) && !ec;
}

std::vector<DirEntry> MemorySystem::FindFiles(std::string_view pattern)
{
    std::vector<DirEntry> entries;
    std::string abs = Absolute(pattern);
    std::size_t slash = abs.rfind('\\');
    if (slash == std::string::npos)
        return entries;
    std::string directory = abs.substr(0, slash);
    std::string mask = abs.substr(slash + 1);
    auto host = HostPath(directory.size() == 2 ? directory + "\\" : directory);
    std::error_code ec;
    if (!host || !fs::is_directory(*host, ec))
        return entries;
    auto add = [&](const std::string& name, const std::string& hostPath) {
        struct stat st {};
        if (stat(hostPath.c_str(), &st) != 0)
            return;
        DirEntry e;
        e.name = name;
        e.attributes = S_ISDIR(st.st_mode) ? kFileAttributeDirectory : kFileAttributeArchive;
        if (!(st.st_mode & S_IWUSR))
            e.attributes |= kFileAttributeReadOnly;
        // The host keeps no creation time everywhere; the last change stands for it.
        e.creationTime = ToFileTime(st.st_mtime);
        e.lastWriteTime = ToFileTime(st.st_mtime);
        e.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
        entries.push_back(std::move(e));
    };
    if (directory.size() > 2) {  // Windows lists "." and ".." everywhere but in a root
        if (WildcardMatch(mask, "."))
            add(".", *host);
        if (WildcardMatch(mask, ".."))
            add("..", *host + "/..");
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(*host, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        if (WildcardMatch(mask, name))
            add(name, *host + "/" + name);
    return entries;
}

std::unique_ptr<File> MemorySystem::OpenFile(std::string_view path, FileMode mode)
{
    auto host = HostPath(path);
    if (!host)
        return nullptr;
    std::error_code ec;
    if (fs::is_directory(*host, ec))
        return nullptr;
    std::function<void()> release;
    if (mode != FileMode::Read) {
        std::string key = fs::weakly_canonical(*host, ec).string();
        if (ec)
            key = *host;
        std::lock_guard lock(writers_->mutex);
        if (!writers_->paths.insert(key).second)
            return nullptr;  // ERROR_SHARING_VIOLATION
        release = [writers = writers_, key] {
            std::lock_guard lock(writers->mutex);
            writers->paths.erase(key);
        };
    }
    std::FILE* f = nullptr;
    if (mode == FileMode::CreateNew) {
        // Made and opened in one step, so two writers never both take the name.
        int fd = open(host->c_str(), O_WRONLY | O_CREAT | O_EXCL | kOpenBinary, 0666);
        if (fd >= 0 && !(f = fdopen(fd, "wb")))
            close(fd);
    } else {
        const bool reading = mode == FileMode::Read || mode == FileMode::ReadDenyWrite;
        f = std::fopen(host->c_str(), reading ? "rb" : mode == FileMode::Write ? "wb" : "ab");
    }
    if (!f) {
        if (release)
            release();
        return nullptr;
    }
    return std::make_unique<HostFile>(f, std::move(release));
}

bool MemorySystem::GetFileCreationTime(std::string_view path, FileTime* time)
{
    auto host = HostPath(path);
    struct stat st {};
    if (!host || stat(host->c_str(), &st) != 0)
        return false;
    if (time)
        *time = ToFileTime(st.st_mtime);
    return true;
}

LocalTime MemorySystem::GetLocalTime()
{
    if (fixedNow_)
        return *fixedNow_;
    return CalendarFromFileTime(HostFileTimeNow());
}

FileTime MemorySystem::GetSystemTimeAsFileTime()
{
    return fixedNow_ ? FileTimeFromCalendar(*fixedNow_) : HostFileTimeNow();
}

bool MemorySystem::FileTimeToLocalTime(FileTime time, LocalTime* local)
{
    if (time.high >= 0x80000000u)
        return false;  // beyond what FileTimeToSystemTime accepts
    if (local)
        *local = CalendarFromFileTime(time);
    return true;
}

std::unique_ptr<Event> MemorySystem::MakeEvent(std::string_view name, bool manualReset, bool initialState,
                                                 bool* alreadyExisted)
{
    std::lock_guard lock(eventsMutex_);
    std::shared_ptr<EventState> state;
    bool existed = false;
    if (!name.empty()) {
        auto& slot = events_[Upper(name)];
        existed = slot != nullptr;
        if (!slot) {
            slot = std::make_shared<EventState>();
            slot->signalled = initialState;
            slot->manualReset = manualReset;
        }
        state = slot;
    } else {
        state = std::make_shared<EventState>();
        state->signalled = initialState;
        state->manualReset = manualReset;
    }
    if (alreadyExisted)
        *alreadyExisted = existed;
    return std::make_unique<MemoryEvent>(state);
}

void MemorySystem::Sleep(std::uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool MemorySystem::GetShortcutTarget(std::string_view linkPath, std::string* target)
{
    auto file = OpenFile(linkPath, FileMode::Read);
    if (!file)
        return false;
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[4096];
    // A shortcut file is small; anything larger than 1 MiB is not one.
    while (bytes.size() < (1u << 20)) {
        std::size_t got = file->Read(buffer, sizeof buffer);
        if (got == 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return ReadShortcutTargetPath(bytes, target);
}

namespace {

// A host file read at offsets, for the PE reader.
class HostByteSource final : public ByteSource {
public:
    explicit HostByteSource(std::FILE* f) : f_(f)
    {
        struct stat st {};
        if (fstat(fileno(f_), &st) == 0 && st.st_size > 0)
            size_ = static_cast<std::uint64_t>(st.st_size);
    }
    ~HostByteSource() override { std::fclose(f_); }
    HostByteSource(const HostByteSource&) = delete;
    HostByteSource& operator=(const HostByteSource&) = delete;
    std::uint64_t Size() const override { return size_; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override
    {
        if (offset > size_ || size > size_ - offset)
            return false;
        if (fseeko(f_, static_cast<off_t>(offset), SEEK_SET) != 0)
            return false;
        return std::fread(buffer, 1, size, f_) == size;
    }

private:
    std::FILE* f_;
    std::uint64_t size_ = 0;
};

}  // namespace

bool MemorySystem::GetFileVersionBlock(std::string_view path, std::vector<std::uint8_t>* block)
{
    auto host = HostPath(path);
    std::error_code ec;
    if (!host || !fs::is_regular_file(*host, ec))
        return false;
    std::FILE* f = std::fopen(host->c_str(), "rb");
    if (!f)
        return false;
    HostByteSource source(f);
    std::vector<std::uint8_t> bytes;
    if (!ReadPeVersionResource(source, &bytes))
        return false;
    if (block)
        *block = std::move(bytes);
    return true;
}

bool MemorySystem::RunProgram(std::string_view programPath, std::string* errorText)
{
    if (!runFailure_.empty()) {
        if (errorText)
            *errorText = runFailure_;
        return false;
    }
    started_.emplace_back(programPath);
    return true;
}

bool MemorySystem::EnablePrivilege(std::string_view)
{
    return true;
}

std::u16string MemorySystem::AnsiToUtf16(std::string_view text)
{
    return tw::AnsiToUtf16(text);
}

std::string MemorySystem::Utf16ToAnsi(std::u16string_view text)
{
    return tw::Utf16ToAnsi(text);
}

}  // namespace tw
