// The scan driver: one worker thread per scan runs the requested sections through the
// engine, then the shortcut scanner, then reports completion. Stopping is cooperative: an
// abort signals the stop event, every scanner notices it within one entry, and the abort
// waits for the worker before it drops the last problem found and resets the event, so no
// list is ever left half-updated.
#pragma once

#include "scan/scan_engine.h"
#include "scan/shortcut_scanner.h"

#include <mutex>
#include <thread>

namespace tw {

class ScanDriver {
public:
    ScanDriver(Registry& registry, System& system, ActivityLog& log);
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
    // Exit: signals the stop event and waits for the worker, whatever it was doing.
    void Stop();
    // Waits for the worker to end (after its completion report).
    void Wait();

    // Read these only while no worker runs.
    ScanEngine& engine() { return engine_; }
    CShortcut& shortcuts() { return shortcuts_; }
    const CompletedSectionList& completed() const { return completed_; }
    const ScanRequest& request() const { return request_; }

    // The worker procedure, also callable on the current thread.
    void RunWorker(ScanProgress* progress);

private:
    enum class State { Idle, Scanning, Reporting, Aborting };

    ScanEngine engine_;
    CShortcut shortcuts_;
    CompletedSectionList completed_;
    ScanRequest request_;
    std::unique_ptr<Event> stop_;
    mutable std::mutex stateLock_;
    State state_ = State::Idle;
    std::thread worker_;
};

}  // namespace tw
