#include "registry/write_behind.h"

#include <algorithm>
#include <iterator>

namespace tw {

namespace {

constexpr std::size_t kMaxJobs = 4096;
// The second thread has enough to do while this many jobs wait: the caller does the next
// key itself.
constexpr std::size_t kEnoughWaiting = 16;
constexpr std::size_t kMaxBytes = std::size_t(8) << 20;

}  // namespace

std::size_t RegistryWriteBehind::BytesOf(const Job& job)
{
    return job.name.size() + job.data.size() + job.failure.size() + job.ansiData.size() +
           job.wideName.size() * sizeof(char16_t);
}

RegistryWriteBehind::RegistryWriteBehind(Registry& registry)
    : registry_(registry), concurrent_(registry.ConcurrentCalls())
{
}

RegistryWriteBehind::~RegistryWriteBehind()
{
    Finish();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    workWaits_.notify_one();
    if (helper_.joinable())
        helper_.join();
}

bool RegistryWriteBehind::HandNextKey()
{
    if (!concurrent_ || helperFailed_)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    return jobs_.size() < kEnoughWaiting;
}

long RegistryWriteBehind::SetValue(HKey key, bool behind, std::string name, std::uint32_t type, std::string data,
                                   int order, std::string failure)
{
    Job job;
    job.key = key;
    job.name = std::move(name);
    job.type = type;
    job.data = std::move(data);
    job.order = order;
    job.failure = std::move(failure);
    if (behind)
        return Hand(std::move(job));
    return Do(job, &ownWritten_, &ownFailures_);
}

long RegistryWriteBehind::SetValueWide(HKey key, bool behind, std::u16string wideName, std::string name,
                                       std::uint32_t type, std::string data, std::string ansiData, int order,
                                       std::string failure)
{
    Job job;
    job.key = key;
    job.wide = true;
    job.wideName = std::move(wideName);
    job.name = std::move(name);
    job.type = type;
    job.data = std::move(data);
    job.ansiData = std::move(ansiData);
    job.order = order;
    job.failure = std::move(failure);
    if (behind)
        return Hand(std::move(job));
    return Do(job, &ownWritten_, &ownFailures_);
}

void RegistryWriteBehind::Close(KeyHandle key, bool behind)
{
    if (!key)
        return;
    Job job;
    job.key = key.Release();
    job.close = true;
    if (behind)
        Hand(std::move(job));
    else
        Do(job, &ownWritten_, &ownFailures_);
}

long RegistryWriteBehind::Hand(Job job)
{
    if (!concurrent_ || helperFailed_)
        return Do(job, &ownWritten_, &ownFailures_);
    std::unique_lock<std::mutex> lock(mutex_);
    if (!helper_.joinable()) {
        try {
            helper_ = std::thread([this] { Loop(); });
        } catch (...) {
            helperFailed_ = true;  // nothing was handed over yet: everything is done here
            lock.unlock();
            return Do(job, &ownWritten_, &ownFailures_);
        }
    }
    auto room = [this] { return jobs_.size() < kMaxJobs && (queuedBytes_ < kMaxBytes || jobs_.empty()); };
    while (!room()) {
        callerWaiting_ = true;
        roomWaits_.wait(lock);
        callerWaiting_ = false;
    }
    queuedBytes_ += BytesOf(job);
    jobs_.push_back(std::move(job));
    if (helperIdle_)
        workWaits_.notify_one();
    return kSuccess;
}

long RegistryWriteBehind::Do(Job& job, std::size_t* written, std::vector<Failure>* failures)
{
    if (job.close) {
        if (!IsPredefinedKey(job.key))
            registry_.CloseKey(job.key);
        return kSuccess;
    }
    long status = kErrorCallNotImplemented;
    if (job.wide)
        status = registry_.SetValueExW(job.key, job.wideName.c_str(), 0, job.type,
                                       reinterpret_cast<const std::uint8_t*>(job.data.data()),
                                       static_cast<std::uint32_t>(job.data.size()));
    if (status == kErrorCallNotImplemented) {
        // A registry without the wide calls keeps text in the code page: what it can keep.
        const std::string& data = job.wide ? job.ansiData : job.data;
        status = registry_.SetValueEx(job.key, job.name.c_str(), 0, job.type,
                                      reinterpret_cast<const std::uint8_t*>(data.data()),
                                      static_cast<std::uint32_t>(data.size()));
    }
    if (status == kSuccess)
        ++*written;
    else
        failures->push_back({job.order, std::move(job.failure)});
    return status;
}

void RegistryWriteBehind::Loop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (jobs_.empty()) {
            if (stopping_)
                return;
            if (callerWaiting_)
                roomWaits_.notify_one();
            helperIdle_ = true;
            workWaits_.wait(lock);
            helperIdle_ = false;
            continue;
        }
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        const std::size_t bytes = BytesOf(job);
        working_ = true;
        lock.unlock();
        Do(job, &written_, &failures_);
        lock.lock();
        working_ = false;
        queuedBytes_ -= bytes;
        // The caller is woken once half the room is free (or all of it), not for every job.
        if (callerWaiting_ && (jobs_.empty() || (jobs_.size() <= kMaxJobs / 2 && queuedBytes_ <= kMaxBytes / 2)))
            roomWaits_.notify_one();
    }
}

void RegistryWriteBehind::Finish()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!jobs_.empty() || working_) {
        callerWaiting_ = true;
        roomWaits_.wait(lock);
        callerWaiting_ = false;
    }
    if (ownFailures_.empty())
        return;
    // Each list is in the order given; together they are put back into it.
    std::vector<Failure> all;
    all.reserve(failures_.size() + ownFailures_.size());
    std::merge(std::make_move_iterator(failures_.begin()), std::make_move_iterator(failures_.end()),
               std::make_move_iterator(ownFailures_.begin()), std::make_move_iterator(ownFailures_.end()),
               std::back_inserter(all), [](const Failure& a, const Failure& b) { return a.order < b.order; });
    failures_ = std::move(all);
    ownFailures_.clear();
}

}  // namespace tw
