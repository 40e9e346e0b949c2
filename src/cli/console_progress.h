// What the command line shows while it works, on standard error when that is a console: one
// line rewritten in place ('\r', padded with blanks over what it showed before), at most ten
// times a second, and cleared at the end, so that the console is left as it was found. When
// standard error is a file or a pipe nothing of this is written (`Context::errIsConsole`
// says which; main.cpp decides it from the console's own answer), and scripts read exactly
// what they always did.
#pragma once

#include "platform/forwarding_registry.h"
#include "scan/scan_progress.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

namespace tw::cli {

// The text cut to `width` console columns (UTF-8, never inside a character; a wide character
// of an East Asian script takes two): its start and its end, joined by "...", since a path's
// last part says the most.
std::string FitToWidth(std::string_view text, std::size_t width);

class ProgressLine {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // Nothing is ever written while `active` is false.
    ProgressLine(std::ostream& err, bool active, Clock clock = &std::chrono::steady_clock::now,
                 std::size_t width = 79);
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool active() const { return active_; }
    // Shows `text` in place of the line, unless the line changed less than 100 ms ago.
    void Show(std::string_view text);
    // Shows `text` whenever the line last changed.
    void ShowNow(std::string_view text);
    // A line of its own above the progress line (which is drawn again by the next Show).
    void Print(std::string_view line);
    // Blanks the line and leaves the cursor at its start.
    void Clear();

private:
    void Draw(std::string_view text);  // with the lock held
    void Blank();

    std::ostream& err_;
    const bool active_;
    Clock clock_;
    std::size_t width_;
    std::mutex lock_;
    std::size_t shownWidth_ = 0;  // characters on the line now
    bool drawnOnce_ = false;
    std::chrono::steady_clock::time_point drawnAt_{};
};

// The scan's progress on the line: "Scanning <section>: <n> entries examined, <m> problems
// - <what is examined now>".
class ScanProgressLine final : public ProgressTable {
public:
    explicit ScanProgressLine(ProgressLine& line) : line_(line) {}
    void SetCell(int row, int column, std::string_view text) override;
    void SetStatus(std::string_view text) override;

private:
    std::string Text(std::string_view status);
    ProgressLine& line_;
    std::mutex lock_;
    std::string section_;
    std::string problems_ = "0";
    std::uint64_t examined_ = 0;
};

// A registry that counts the keys opened or made through it, the values written and the items
// deleted, and shows the counts on a progress line ("<what>: <n> keys, <m> values written,
// <k> items deleted") once it has a `what` (an empty one shows nothing). Calls may come from two
// threads (a repair's read-ahead, a restore's write-behind): the counts are atomic, the line
// is locked.
class CountingProgressRegistry final : public ForwardingRegistry {
public:
    CountingProgressRegistry(Registry& inner, ProgressLine& line, std::string what)
        : ForwardingRegistry(inner), inner_(inner), line_(line), what_(std::move(what))
    {
    }
    void SetWhat(std::string what);

    long OpenKey(HKey key, const char* subKey, HKey* result) override;
    long OpenKeyEx(HKey key, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                   HKey* result) override;
    long CreateKey(HKey key, const char* subKey, HKey* result) override;
    long CreateKeyEx(HKey key, const char* subKey, std::uint32_t reserved, const char* keyClass,
                     std::uint32_t options, std::uint32_t samDesired, void* securityAttributes, HKey* result,
                     std::uint32_t* disposition) override;
    long SetValueEx(HKey key, const char* valueName, std::uint32_t reserved, std::uint32_t type,
                    const std::uint8_t* data, std::uint32_t dataSize) override;
    long SetValueExW(HKey key, const char16_t* valueName, std::uint32_t reserved, std::uint32_t type,
                     const std::uint8_t* data, std::uint32_t dataSize) override;
    long DeleteKey(HKey key, const char* subKey) override;
    long DeleteOpenKey(HKey key) override;
    long DeleteValue(HKey key, const char* valueName) override;
    bool ConcurrentCalls() const override { return inner_.ConcurrentCalls(); }

    std::uint64_t keys() const { return keys_; }
    std::uint64_t written() const { return written_; }
    std::uint64_t deleted() const { return deleted_; }

private:
    long Counted(long status, std::atomic<std::uint64_t>& counter);
    void Draw(bool now);
    Registry& inner_;
    ProgressLine& line_;
    std::mutex whatLock_;
    std::string what_;
    std::atomic<std::uint64_t> keys_{0}, written_{0}, deleted_{0};
};

}  // namespace tw::cli
