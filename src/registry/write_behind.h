// Sets values and closes keys on a second thread while the caller goes on creating keys.
//
// A restore creates each key and then writes its values; under Wine every call waits for the
// registry server, and two threads calling at once nearly halve the wait per call. The
// caller creates the keys (a subkey needs its parent's handle) and, key by key, either hands
// the key's values and its closing to the second thread or does them itself: it takes its
// share whenever the second thread has enough waiting. Either way a key's values are
// written in the order given, then the key is closed. When the registry does not allow
// calls from several threads, everything is done at once, on the caller's thread, in the
// order given. What is waiting is bounded, in number and in bytes.
#pragma once

#include "platform/key_handle.h"
#include "platform/registry.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tw {

class RegistryWriteBehind {
public:
    explicit RegistryWriteBehind(Registry& registry);
    // Finishes what is waiting.
    ~RegistryWriteBehind();
    RegistryWriteBehind(const RegistryWriteBehind&) = delete;
    RegistryWriteBehind& operator=(const RegistryWriteBehind&) = delete;

    // Whether the values and the closing of the key the caller has just created go to the
    // second thread; what it answers goes with every SetValue and the Close of that key.
    bool HandNextKey();
    // RegSetValueExA on `key`, which must stay open until it is handed to Close. A value the
    // registry refuses is remembered with `order` (a number that grows as the caller goes)
    // and `failure`, the text that names it. Returns the registry's status when the value
    // was written at once, success when it was handed over.
    long SetValue(HKey key, bool behind, std::string name, std::uint32_t type, std::string data, int order,
                  std::string failure);
    // RegSetValueExW on `key`, the data stored exactly as given (string data in UTF-16), as
    // SetValue otherwise. A registry without the wide calls (120) is given RegSetValueExA
    // with `name` and `ansiData` instead, the value as its code page keeps it.
    long SetValueWide(HKey key, bool behind, std::u16string wideName, std::string name, std::uint32_t type,
                      std::string data, std::string ansiData, int order, std::string failure);
    // Closes the key once its values are written.
    void Close(KeyHandle key, bool behind);

    struct Failure {
        int order = 0;
        std::string text;
    };
    // Waits until everything handed over is done; then the values written, and the failures
    // in the order given.
    void Finish();
    std::size_t written() const { return written_ + ownWritten_; }
    const std::vector<Failure>& failures() const { return failures_; }

private:
    struct Job {
        HKey key = nullptr;
        bool close = false;
        std::string name;
        std::uint32_t type = 0;
        std::string data;
        int order = 0;
        std::string failure;
        bool wide = false;  // SetValueWide's: wideName and data, or name and ansiData
        std::u16string wideName;
        std::string ansiData;
    };
    static std::size_t BytesOf(const Job& job);
    long Hand(Job job);
    long Do(Job& job, std::size_t* written, std::vector<Failure>* failures);
    void Loop();

    Registry& registry_;
    const bool concurrent_;
    std::mutex mutex_;
    std::condition_variable workWaits_;  // the helper, for jobs
    std::condition_variable roomWaits_;  // the caller, for room or for the end of the jobs
    std::deque<Job> jobs_;
    std::size_t queuedBytes_ = 0;
    bool working_ = false;  // the helper is doing a job taken from the queue
    bool helperIdle_ = false;
    bool callerWaiting_ = false;
    bool stopping_ = false;
    bool helperFailed_ = false;
    std::thread helper_;
    // Touched by the second thread; read by the caller after Finish, when the caller's own
    // failures are merged in.
    std::size_t written_ = 0;
    std::vector<Failure> failures_;
    std::size_t ownWritten_ = 0;
    std::vector<Failure> ownFailures_;
};

}  // namespace tw
