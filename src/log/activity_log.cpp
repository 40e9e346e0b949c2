#include "log/activity_log.h"

#include "platform/calendar.h"
#include "platform/program_info.h"

#include <cstdio>

namespace tw {
namespace {

constexpr std::int64_t kLogLifetimeSeconds = 36000;  // ten hours

// Makes every missing folder above a file path.
void MakeParentFolders(System& system, const std::string& filePath)
{
    for (std::size_t i = 3; i < filePath.size(); ++i)  // past "C:\"
        if (filePath[i] == '\\')
            system.MakeDirectory(filePath.substr(0, i));
}

}  // namespace

std::string LogFileName(const LocalTime& t)
{
    char name[64];
    std::snprintf(name, sizeof name, "log_%02i_%02i_%02i_%02i_%02i_%02i.twlog", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return name;
}

std::string FormatLogLine(const LocalTime& t, std::string_view message)
{
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d %02d:%02d:%02d:%03d \t", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.milliseconds);
    std::string line = stamp;
    std::string_view text = message.substr(0, ActivityLog::kMaxMessage);
    line.reserve(line.size() + text.size() + 2);
    // The file is a text file: every line break is stored as CR LF.
    for (char c : text) {
        if (c == '\n')
            line += '\r';
        line += c;
    }
    line += "\r\n";
    return line;
}

void ActivityLog::Open()
{
    std::lock_guard guard(lock_);
    LocalTime now = system_.GetLocalTime();
    std::string folder = JoinPath(ProgramFolder(system_), "Log");
    system_.MakeDirectory(folder);
    const std::string name = LogFileName(now);
    path_ = JoinPath(folder, name);
    file_ = system_.OpenFile(path_, FileMode::Append);
    if (!file_) {
        MakeParentFolders(system_, path_);
        file_ = system_.OpenFile(path_, FileMode::Append);
    }
    // Another process started in the same second writes that file and shares it for reading
    // only: this one takes a name of its own ("..._2.twlog", ...), as backups do. A run that
    // follows a finished one in the same second still appends to its file.
    const std::string stem = name.substr(0, name.rfind('.')), extension = name.substr(name.rfind('.'));
    for (int n = 2; !file_ && n <= kMaxLogsPerSecond && PathExists(system_, path_); ++n) {
        path_ = JoinPath(folder, stem + "_" + std::to_string(n) + extension);
        file_ = system_.OpenFile(path_, FileMode::Append);
    }
}

bool ActivityLog::IsOpen() const
{
    std::lock_guard guard(lock_);
    return file_ != nullptr;
}

void ActivityLog::Write(std::string_view message)
{
    std::lock_guard guard(lock_);
    if (!file_)
        return;
    std::string line = FormatLogLine(system_.GetLocalTime(), message);
    file_->Write(line.data(), line.size());
    file_->Flush();
}

void ActivityLog::Close()
{
    std::lock_guard guard(lock_);
    if (!file_)
        return;
    std::string line = FormatLogLine(system_.GetLocalTime(), "Finish Logging \n\n");
    file_->Write(line.data(), line.size());
    file_->Close();
    file_.reset();
}

void PruneOldLogs(System& system, const std::string& programFolder)
{
    std::string folder = JoinPath(programFolder, "Log");
    std::int64_t now = CalendarSeconds(system.GetLocalTime());
    for (const DirEntry& entry : system.FindFiles(JoinPath(folder, "*.twlog"))) {
        if (entry.IsDirectory())
            continue;
        LocalTime created;
        std::int64_t createdSeconds = 0;
        if (system.FileTimeToLocalTime(entry.creationTime, &created))
            createdSeconds = CalendarSeconds(created);
        if (now - createdSeconds > kLogLifetimeSeconds)
            system.RemoveFile(JoinPath(folder, entry.name));
    }
}

}  // namespace tw
