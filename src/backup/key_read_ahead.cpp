#include "backup/key_read_ahead.h"

#include <algorithm>
#include <cassert>

namespace tw {

namespace {

// Subkeys of one key handed to the helper past the one the writer takes.
constexpr std::size_t kWindow = 64;
// Keys handed out and not yet taken, over all levels, and what those read may hold.
constexpr std::size_t kMaxOutstanding = 512;
constexpr std::size_t kMaxDoneBytes = std::size_t(16) << 20;

}  // namespace

KeyReadAhead::KeyReadAhead(Registry& registry, TextCodec& codec)
    : own_(registry, codec, heldHandles_), helperReader_(registry, codec, heldHandles_),
      concurrent_(registry.ConcurrentCalls())
{
}

KeyReadAhead::~KeyReadAhead()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    helperWakes_.notify_one();
    if (helper_.joinable())
        helper_.join();
}

void KeyReadAhead::StartHelper()
{
    if (helper_.joinable() || helperFailed_)
        return;
    try {
        helper_ = std::thread([this] { HelperLoop(); });
    } catch (...) {
        helperFailed_ = true;  // the writer reads what was handed out itself
    }
}

void KeyReadAhead::HelperLoop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        Level* level = nullptr;
        Level::Job* job = nullptr;
        if (doneBytes_ <= kMaxDoneBytes && NextJob(&level, &job)) {
            Run(lock, *level, *job, helperReader_);
            continue;
        }
        helperIdle_ = true;
        helperWakes_.wait(lock);
        helperIdle_ = false;
    }
}

bool KeyReadAhead::NextJob(Level** level, Level::Job** job)
{
    for (auto it = levels_.rbegin(); it != levels_.rend(); ++it) {
        // Reading a key holds its subkeys open until their turn. Siblings tend to look
        // alike, so a key is read ahead only while the handles held, and those its siblings
        // being read may take, leave room for as many as the largest sibling read so far
        // held: otherwise the subkeys of the keys being written would be opened twice.
        if (heldHandles_ + reservedHandles_ + (*it)->mostSubkeys_ > BackupKeyReader::kMaxHeldHandles)
            continue;
        for (Level::Job& candidate : (*it)->jobs_) {
            if (candidate.state == Level::State::Queued) {
                *level = *it;
                *job = &candidate;
                return true;
            }
        }
    }
    return false;
}

void KeyReadAhead::WakeHelper()
{
    Level* level = nullptr;
    Level::Job* job = nullptr;
    if (helperIdle_ && doneBytes_ <= kMaxDoneBytes && NextJob(&level, &job))
        helperWakes_.notify_one();
}

void KeyReadAhead::Run(std::unique_lock<std::mutex>& lock, Level& level, Level::Job& job, BackupKeyReader& reader)
{
    job.state = Level::State::Running;
    const std::size_t reserved = level.mostSubkeys_;
    reservedHandles_ += reserved;
    lock.unlock();
    try {
        reader.ReadSubkey(level.parent_.key, level.parent_.subkeys[job.index], std::move(job.held), job.path,
                          &job.content);
    } catch (...) {
        // Out of memory: the subkey goes into the file as an empty block, so its item is
        // not complete and is not deleted.
        reader.Release(job.content);
        job.content = KeyContent();
    }
    std::size_t bytes = job.content.Bytes();
    const std::size_t subkeys = job.content.subkeys.size();
    lock.lock();
    reservedHandles_ -= reserved;
    level.mostSubkeys_ = std::max(level.mostSubkeys_, subkeys);
    job.bytes = bytes;
    doneBytes_ += bytes;
    job.state = Level::State::Done;
    if (writerWaiting_)
        writerWakes_.notify_one();
}

// ---- one level

KeyReadAhead::Level::Level(KeyReadAhead& ahead, KeyContent& parent, const std::string& parentPath)
    : ahead_(ahead), parent_(parent), parentPath_(parentPath)
{
    std::lock_guard<std::mutex> lock(ahead_.mutex_);
    ahead_.levels_.push_back(this);
}

KeyReadAhead::Level::~Level()
{
    std::unique_lock<std::mutex> lock(ahead_.mutex_);
    ahead_.levels_.erase(std::find(ahead_.levels_.begin(), ahead_.levels_.end(), this));
    // The helper takes nothing more from this level; what it is reading ends first.
    auto running = [this] {
        return std::any_of(jobs_.begin(), jobs_.end(), [](const Job& job) { return job.state == State::Running; });
    };
    while (running()) {
        ahead_.writerWaiting_ = true;
        ahead_.writerWakes_.wait(lock);
        ahead_.writerWaiting_ = false;
    }
    std::deque<Job> left = std::move(jobs_);
    jobs_.clear();
    for (const Job& job : left) {
        if (job.state == State::Done)
            ahead_.doneBytes_ -= job.bytes;
        --ahead_.outstanding_;
    }
    lock.unlock();
    // Only a walk cut short leaves anything here.
    for (Job& job : left) {
        ahead_.own_.Release(job.held);
        ahead_.own_.Release(job.content);
    }
    for (std::size_t i = handedOut_; i < parent_.subkeyHandles.size(); ++i)
        ahead_.own_.Release(parent_.subkeyHandles[i]);
}

std::string KeyReadAhead::Level::PathOf(std::size_t index) const
{
    return parentPath_ + "\\" + parent_.subkeys[index];
}

void KeyReadAhead::Level::Submit(std::size_t index)
{
    if (!ahead_.concurrent_ || ahead_.helperFailed_)
        return;
    const std::size_t before = handedOut_;
    while (handedOut_ < parent_.subkeys.size() && handedOut_ < index + kWindow &&
           ahead_.outstanding_ < kMaxOutstanding) {
        Job& job = jobs_.emplace_back();
        job.index = handedOut_;
        job.path = PathOf(handedOut_);
        job.held = std::move(parent_.subkeyHandles[handedOut_]);
        ++handedOut_;
        ++ahead_.outstanding_;
    }
    if (handedOut_ != before) {
        ahead_.StartHelper();
        ahead_.WakeHelper();
    }
}

void KeyReadAhead::Level::Take(std::size_t index, KeyContent* content, std::string* path)
{
    std::unique_lock<std::mutex> lock(ahead_.mutex_);
    Submit(index);
    if (jobs_.empty() || jobs_.front().index != index) {
        // Not handed out: read in turn.
        assert(handedOut_ == index);
        handedOut_ = index + 1;
        lock.unlock();
        *path = PathOf(index);
        ahead_.own_.ReadSubkey(parent_.key, parent_.subkeys[index], std::move(parent_.subkeyHandles[index]), *path,
                               content);
        return;
    }
    Job& job = jobs_.front();
    while (job.state != State::Done) {
        if (job.state == State::Queued) {
            ahead_.Run(lock, *this, job, ahead_.own_);
            continue;
        }
        // The helper is reading it: read another meanwhile, or wait.
        Level* level = nullptr;
        Job* other = nullptr;
        if (ahead_.doneBytes_ <= kMaxDoneBytes && ahead_.NextJob(&level, &other)) {
            ahead_.Run(lock, *level, *other, ahead_.own_);
            continue;
        }
        ahead_.writerWaiting_ = true;
        ahead_.writerWakes_.wait(lock);
        ahead_.writerWaiting_ = false;
    }
    *content = std::move(job.content);
    *path = std::move(job.path);
    ahead_.doneBytes_ -= job.bytes;
    --ahead_.outstanding_;
    jobs_.pop_front();
    ahead_.WakeHelper();
}

}  // namespace tw
