// The scan driver: one worker thread per scan runs the requested sections through the
// engine, then the shortcut scanner, then reports completion. Stopping is cooperative: an
// abort signals the stop event, every scanner notices it within one entry, and the abort
// waits for the worker before it drops the last problem found and resets the event, so no
// list is ever left half-updated.
//
// A window reports the worker's progress and completion through its own thread, and the
// worker may wait for that thread (the completion is a synchronous message). So whoever
// waits for the worker on that thread must keep its messages flowing: the window hands the
// driver a WorkerWait that pumps while it waits, and nothing waits for a worker that is
// reporting its completion to the caller.
#pragma once

#include "scan/scan_engine.h"
#include "scan/shortcut_scanner.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace tw {

// How the driver waits for its worker: until `finished` answers true. The default blocks;
// a window's keeps dispatching messages meanwhile.
class WorkerWait {
public:
    virtual ~WorkerWait() = default;
    virtual void Until(const std::function<bool()>& finished) = 0;
};

class ScanDriver {
public:
    ScanDriver(Registry& registry, System& system, ActivityLog& log, WorkerWait* wait = nullptr);
    // Stops a running scan and waits for the worker.
    ~ScanDriver();
    ScanDriver(const ScanDriver&) = delete;
    ScanDriver& operator=(const ScanDriver&) = delete;

    // Starts a worker on a copy of the request; false while a worker still runs.
    bool Start(const ScanRequest& request, ScanProgress* progress);
    // True from Start until the worker has finished scanning (it may still be reporting).
    bool IsScanning() const;
    // Abort: false when no scan is running (or it is already reporting completion).
    // Otherwise signals the stop event, waits for the worker, removes the last problem
    // record, resets the stop event and returns true; completion is not reported.
    bool Abort();
    // Exit: signals the stop event and waits for the worker, unless the worker is reporting
    // its completion (the report is in the caller's hands; the worker ends once it returns).
    // A scan stopped here reports no completion.
    void Stop();
    // Waits for the worker to end (after its completion report).
    void Wait();
    // True while the worker is inside its completion report.
    bool IsReporting() const;
    // True when the last scan ran every requested section to its end. A scan cut short by a
    // stop that its own driver did not ask for (an abort or an exit) reports no completion.
    bool Finished() const { return finished_.load(); }

    // Read these only while no worker runs.
    ScanEngine& engine() { return engine_; }
    CShortcut& shortcuts() { return shortcuts_; }
    const CompletedSectionList& completed() const { return completed_; }
    const ScanRequest& request() const { return request_; }

    // The worker procedure, also callable on the current thread.
    void RunWorker(ScanProgress* progress);

private:
    enum class State { Idle, Scanning, Reporting, Aborting, Stopping };

    // Waits (through the WorkerWait, when there is one) until the worker thread has ended.
    void JoinWorker();

    ScanEngine engine_;
    CShortcut shortcuts_;
    CompletedSectionList completed_;
    ScanRequest request_;
    std::unique_ptr<Event> stop_;
    mutable std::mutex stateLock_;
    State state_ = State::Idle;
    WorkerWait* wait_;
    std::atomic<bool> workerRunning_{false};
    std::atomic<bool> finished_{false};
    std::thread worker_;
};

}  // namespace tw
