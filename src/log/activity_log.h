// The activity log: one plain-text file per run in the Log folder beside the executable,
// one time-stamped line per event, written from any thread under one lock. The program
// keeps one for the whole process (made before anything else runs, closed last); the core
// receives it by reference.
#pragma once

#include "platform/system.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace tw {

class ActivityLog {
public:
    // Longest message written; a longer one is cut there.
    static constexpr std::size_t kMaxMessage = 1023;
    // Processes that may start within one second and each keep a log.
    static constexpr int kMaxLogsPerSecond = 99;

    explicit ActivityLog(System& system) : system_(system) {}
    ~ActivityLog() { Close(); }
    ActivityLog(const ActivityLog&) = delete;
    ActivityLog& operator=(const ActivityLog&) = delete;

    // Makes the Log folder and opens "log_YYYY_MM_DD_hh_mm_ss.twlog" for appending, named
    // after the local time now ("..._2.twlog" and on while another process writes that one).
    // A log that cannot be opened stays closed: writes do nothing.
    void Open();
    // Appends "YYYY/MM/DD hh:mm:ss:mmm \t<message>" and a line break, flushed at once.
    void Write(std::string_view message);
    // Writes the closing line "Finish Logging " (followed by two empty lines) and closes.
    void Close();

    bool IsOpen() const;
    const std::string& path() const { return path_; }

private:
    System& system_;
    mutable std::mutex lock_;
    std::unique_ptr<File> file_;
    std::string path_;
};

// "\log_%02i_%02i_%02i_%02i_%02i_%02i.twlog" of a local time, without the backslash.
std::string LogFileName(const LocalTime& time);
// "%04d/%02d/%02d %02d:%02d:%02d:%03d \t%s\n" with CR LF line breaks, as a text-mode file
// stores it.
std::string FormatLogLine(const LocalTime& time, std::string_view message);

// Deletes the logs in the program folder's Log folder created more than ten hours ago
// (a creation time that cannot be read counts as long ago).
void PruneOldLogs(System& system, const std::string& programFolder);

}  // namespace tw
