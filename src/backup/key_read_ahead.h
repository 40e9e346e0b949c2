// Reads the keys a repair backup is about to write on a second thread, ahead of the writer.
//
// The writer walks the item's tree depth first and writes each key as it comes; every
// registry call of that walk waits for the registry to answer. When the registry may be
// called from several threads, a helper thread reads the next subkeys of the keys the
// writer is in, the deepest first (those the writer needs soonest), while the writer reads
// others or writes. The writer still takes every key in its own order, so the file is the
// same byte for byte; only the order of the calls changes. What is read ahead is bounded
// (a window of subkeys per key, a number of keys and a number of bytes over all), so memory
// does not grow with the tree.
//
// Without such a registry no thread is started and each subkey is read when its turn comes,
// with the calls in the order of a plain walk.
#pragma once

#include "backup/backup_key_reader.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tw {

class KeyReadAhead {
public:
    KeyReadAhead(Registry& registry, TextCodec& codec);
    ~KeyReadAhead();
    KeyReadAhead(const KeyReadAhead&) = delete;
    KeyReadAhead& operator=(const KeyReadAhead&) = delete;

    // The writer's own reader, for the keys it reads itself.
    BackupKeyReader& reader() { return own_; }

    // The subkeys of one key, taken in their order by the writer while the key's content
    // lives. Levels nest as the walk does: the one made last ends first.
    class Level {
    public:
        Level(KeyReadAhead& ahead, KeyContent& parent, const std::string& parentPath);
        ~Level();
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;

        // Subkey `index` of the parent read, and its path; each index is taken once, in order.
        void Take(std::size_t index, KeyContent* content, std::string* path);

    private:
        friend class KeyReadAhead;
        enum class State { Queued, Running, Done };
        struct Job {
            std::size_t index = 0;
            State state = State::Queued;
            std::string path;
            KeyHandle held;
            KeyContent content;
            std::size_t bytes = 0;
        };
        // Hands the next subkeys to the helper, up to the window past `index`.
        void Submit(std::size_t index);
        std::string PathOf(std::size_t index) const;

        KeyReadAhead& ahead_;
        KeyContent& parent_;
        const std::string& parentPath_;
        std::deque<Job> jobs_;      // the subkeys handed out and not yet taken, in order
        std::size_t handedOut_ = 0;  // subkeys handed out or read so far
        std::size_t mostSubkeys_ = 0;  // the most subkeys a subkey read here has had
    };

private:
    // The queued subkey the writer will need first (the deepest level's first) among those
    // that leave room for the handles their reading holds. Under the lock.
    bool NextJob(Level** level, Level::Job** job);
    // Reads a job's subkey with `reader`, outside the lock; marks it done under it.
    void Run(std::unique_lock<std::mutex>& lock, Level& level, Level::Job& job, BackupKeyReader& reader);
    void StartHelper();
    void HelperLoop();
    // Wakes the helper when it sleeps and there is work for it. Under the lock.
    void WakeHelper();

    std::atomic<std::size_t> heldHandles_{0};
    BackupKeyReader own_;
    BackupKeyReader helperReader_;
    const bool concurrent_;
    std::mutex mutex_;
    std::condition_variable helperWakes_;
    std::condition_variable writerWakes_;
    std::vector<Level*> levels_;  // the levels open, the deepest last
    std::size_t outstanding_ = 0;  // jobs handed out and not yet taken
    std::size_t doneBytes_ = 0;    // what the jobs done and not yet taken hold
    std::size_t reservedHandles_ = 0;  // what the jobs being read may hold, by their siblings
    bool helperIdle_ = false;
    bool writerWaiting_ = false;
    bool stopping_ = false;
    bool helperFailed_ = false;  // the thread could not be started: everything is read in turn
    std::thread helper_;
};

}  // namespace tw
