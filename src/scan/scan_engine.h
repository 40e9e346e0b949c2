// The scan engine: the problem list of one scan, the progress rows it shows, and the run of
// the requested section scanners in their fixed order. The stop event is polled between
// entries (at most about once a millisecond inside a section, since each poll may be a
// round trip to the kernel); a scanner that sees it ends its loops and returns normally.
#pragma once

#include "log/activity_log.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "scan/ignore_list.h"
#include "scan/problem_record.h"
#include "scan/scan_progress.h"
#include "scan/scan_section.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace tw {

class ScanEngine {
public:
    ScanEngine(Registry& registry, System& system, ActivityLog& log);
    ScanEngine(const ScanEngine&) = delete;
    ScanEngine& operator=(const ScanEngine&) = delete;

    Registry& registry() const { return registry_; }
    System& system() const { return system_; }
    ActivityLog& log() const { return log_; }
    // GetVersion's 9x bit, read once: chooses the Fonts key and how keys are deleted.
    bool isWindows9x() const { return windows9x_; }

    // Where rows and the status line go; none shows nothing.
    void SetProgress(ScanProgress* progress) { progress_ = progress; }
    ScanProgress* progress() const { return progress_; }

    ProblemList& problems() { return problems_; }
    const ProblemList& problems() const { return problems_; }
    // Appends a finished record to the problem list.
    void AddProblem(std::unique_ptr<ProblemRecord> record);

    // The user's ignore list, read afresh as each scan starts. A finding on it is counted
    // here instead of being listed (LeaveOut answers true and writes "IGNORED: ..." to the
    // activity log).
    const IgnoreList& ignoreList() const { return ignoreList_; }
    bool LeaveOut(std::string_view keyPath, std::string_view deleteType, std::string_view valueName);
    std::size_t ignoredCount() const { return ignoredCount_; }

    // A new row: "Scanning", the label, "0".
    void AddSectionRow(std::string_view label);
    // The current row's problem count.
    void ShowSectionCount(int count);
    // The current row's status becomes "Finished"; the next row becomes current.
    void MarkSectionFinished();
    void ShowStatus(std::string_view text);
    int currentRow() const { return currentRow_; }
    void SetCurrentRow(int row) { currentRow_ = row; }

    // Empties both lists, resets the stop event, adds a row per requested section and runs
    // every requested section but the shortcuts in run order, moving each flag to 2 and -1.
    void RunRequestedSections(CompletedSectionList& completed, ScanRequest& request);
    // Runs one section scanner (not the shortcuts).
    void RunSection(ScanSection section, CompletedSectionList& completed);

    // True when the stop event is signalled. Polls at once; `StopRequested` polls at most
    // once per poll interval and otherwise answers from the last poll.
    bool StopSignalledNow();
    bool StopRequested();
    void SetStopPollInterval(std::chrono::microseconds interval) { pollInterval_ = interval; }
    Event* stopEvent() const { return stop_.get(); }

    // The registry walk's section text and problem count.
    std::string walkSectionText;
    int walkProblemCount = 0;

private:
    Registry& registry_;
    System& system_;
    ActivityLog& log_;
    bool windows9x_;
    ScanProgress* progress_ = nullptr;
    ProblemList problems_;
    IgnoreList ignoreList_;
    std::size_t ignoredCount_ = 0;
    int rowCount_ = 0;
    int currentRow_ = 0;
    std::unique_ptr<Event> stop_;
    bool stopSeen_ = false;
    std::chrono::steady_clock::time_point lastPoll_{};
    std::chrono::microseconds pollInterval_{1000};
};

}  // namespace tw
