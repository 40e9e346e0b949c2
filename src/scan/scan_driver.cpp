#include "scan/scan_driver.h"

namespace tw {

ScanDriver::ScanDriver(Registry& registry, System& system, ActivityLog& log, WorkerWait* wait)
    : engine_(registry, system, log),
      shortcuts_(system),
      stop_(system.MakeEvent(StopEventName(system), true, false, nullptr)),
      wait_(wait)
{
}

ScanDriver::~ScanDriver()
{
    // By now any completion report has returned: the worker ends on its own.
    if (stop_)
        stop_->Set();
    Wait();
}

void ScanDriver::JoinWorker()
{
    if (!worker_.joinable())
        return;
    if (wait_)
        wait_->Until([this] { return !workerRunning_.load(); });
    worker_.join();
}

bool ScanDriver::Start(const ScanRequest& request, ScanProgress* progress)
{
    {
        std::lock_guard guard(stateLock_);
        if (state_ != State::Idle)
            return false;
        state_ = State::Scanning;
    }
    JoinWorker();  // a finished worker that was never waited for
    request_ = request;
    workerRunning_ = true;
    worker_ = std::thread([this, progress] {
        RunWorker(progress);
        workerRunning_ = false;
    });
    return true;
}

bool ScanDriver::IsScanning() const
{
    std::lock_guard guard(stateLock_);
    return state_ == State::Scanning || state_ == State::Aborting || state_ == State::Stopping;
}

void ScanDriver::RunWorker(ScanProgress* progress)
{
    {
        std::lock_guard guard(stateLock_);
        if (state_ == State::Idle)
            state_ = State::Scanning;  // run on the caller's thread
    }
    finished_ = false;
    engine_.SetProgress(progress);
    completed_.clear();
    engine_.RunRequestedSections(completed_, request_);
    if (request_[ScanSection::Shortcuts] != 0 && !engine_.StopSignalledNow()) {
        shortcuts_.SetProgress(progress, engine_.currentRow());
        shortcuts_.SetLog(&engine_.log());
        request_[ScanSection::Shortcuts] = kSectionRunning;
        shortcuts_.FindBrokenShortcuts();
        if (!shortcuts_.Stopped()) {
            request_[ScanSection::Shortcuts] = kSectionDone;
            engine_.ShowSectionCount(shortcuts_.brokenCount);
            engine_.MarkSectionFinished();
        }
    }
    if (engine_.ignoredCount() > 0)
        engine_.ShowStatus(IgnoredCountText(engine_.ignoredCount()));
    // A section that saw the stop left its state "running": the scan did not finish.
    bool cutShort = false;
    for (std::int32_t flag : request_.flags)
        cutShort = cutShort || flag == kSectionRunning || flag == kSectionRequested;
    bool report = false;
    {
        std::lock_guard guard(stateLock_);
        if (state_ == State::Scanning && !cutShort) {
            state_ = State::Reporting;
            report = true;
            finished_ = true;
        } else if (state_ == State::Scanning) {
            state_ = State::Idle;  // stopped from elsewhere in this process: nothing to report
        }
    }
    if (report && progress) {
        if (!completed_.empty())
            progress->EnableRepair();
        progress->ScanCompleted();
    }
    std::lock_guard guard(stateLock_);
    if (state_ == State::Reporting)
        state_ = State::Idle;
}

bool ScanDriver::Abort()
{
    {
        std::lock_guard guard(stateLock_);
        if (state_ != State::Scanning)
            return false;
        state_ = State::Aborting;
    }
    if (stop_)
        stop_->Set();
    JoinWorker();
    ProblemList& problems = engine_.problems();
    if (!problems.empty())
        problems.pop_back();
    if (stop_)
        stop_->Reset();
    std::lock_guard guard(stateLock_);
    state_ = State::Idle;
    return true;
}

void ScanDriver::Stop()
{
    bool reporting = false;
    {
        // The state changes before the worker is told to stop: a worker that ends its walk
        // on the signal must find it changed, or it would report a completed scan.
        std::lock_guard guard(stateLock_);
        reporting = state_ == State::Reporting;
        if (state_ == State::Scanning)
            state_ = State::Stopping;  // the worker ends without reporting
    }
    if (stop_)
        stop_->Set();
    if (reporting)
        return;
    JoinWorker();
    std::lock_guard guard(stateLock_);
    state_ = State::Idle;
}

void ScanDriver::Wait()
{
    JoinWorker();
    std::lock_guard guard(stateLock_);
    if (state_ != State::Aborting)
        state_ = State::Idle;
}

bool ScanDriver::IsReporting() const
{
    std::lock_guard guard(stateLock_);
    return state_ == State::Reporting;
}

}  // namespace tw
