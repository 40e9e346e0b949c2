#include "cli/console_progress.h"

namespace tw::cli {
namespace {

constexpr std::chrono::milliseconds kRedrawEvery(100);

bool IsContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// Characters (not bytes) of UTF-8 text.
std::size_t CharacterCount(std::string_view text)
{
    std::size_t n = 0;
    for (unsigned char c : text)
        n += IsContinuation(c) ? 0 : 1;
    return n;
}

// The byte offset where character `index` begins (the end when there are fewer).
std::size_t OffsetOfCharacter(std::string_view text, std::size_t index)
{
    std::size_t seen = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (IsContinuation(static_cast<unsigned char>(text[at])))
            continue;
        if (seen++ == index)
            return at;
    }
    return text.size();
}

}  // namespace

std::string FitToWidth(std::string_view text, std::size_t width)
{
    // Line breaks and tabs would move the cursor off the line that is rewritten.
    std::string flat(text);
    for (char& c : flat)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    const std::size_t count = CharacterCount(flat);
    if (count <= width)
        return flat;
    if (width <= 3)
        return flat.substr(0, OffsetOfCharacter(flat, width));
    const std::size_t head = (width - 3) / 2;
    const std::size_t tail = width - 3 - head;
    return flat.substr(0, OffsetOfCharacter(flat, head)) + "..." + flat.substr(OffsetOfCharacter(flat, count - tail));
}

ProgressLine::ProgressLine(std::ostream& err, bool active, Clock clock, std::size_t width)
    : err_(err), active_(active), clock_(std::move(clock)), width_(width)
{
}

void ProgressLine::Show(std::string_view text)
{
    if (!active_)
        return;
    std::lock_guard<std::mutex> hold(lock_);
    const auto now = clock_();
    if (drawnOnce_ && now - drawnAt_ < kRedrawEvery)
        return;
    drawnAt_ = now;
    Draw(text);
}

void ProgressLine::ShowNow(std::string_view text)
{
    if (!active_)
        return;
    std::lock_guard<std::mutex> hold(lock_);
    drawnAt_ = clock_();
    Draw(text);
}

void ProgressLine::Draw(std::string_view text)
{
    drawnOnce_ = true;
    const std::string fitted = FitToWidth(text, width_);
    const std::size_t shown = CharacterCount(fitted);
    err_ << '\r' << fitted;
    if (shown < shownWidth_)
        err_ << std::string(shownWidth_ - shown, ' ') << '\r' << fitted;
    err_.flush();
    shownWidth_ = shown;
}

void ProgressLine::Blank()
{
    if (shownWidth_ == 0)
        return;
    err_ << '\r' << std::string(shownWidth_, ' ') << '\r';
    shownWidth_ = 0;
}

void ProgressLine::Print(std::string_view line)
{
    if (!active_)
        return;
    std::lock_guard<std::mutex> hold(lock_);
    Blank();
    err_ << line << '\n';
    err_.flush();
    drawnOnce_ = false;  // the next Show draws at once
}

void ProgressLine::Clear()
{
    if (!active_)
        return;
    std::lock_guard<std::mutex> hold(lock_);
    Blank();
    err_.flush();
}

// ---- the scan

void ScanProgressLine::SetCell(int row, int column, std::string_view text)
{
    ProgressTable::SetCell(row, column, text);
    auto rows = Rows();
    if (row < 0 || static_cast<std::size_t>(row) >= rows.size())
        return;
    const Row& cells = rows[static_cast<std::size_t>(row)];
    if (column == kColumnStatus && text == "Finished") {
        // The row a redirected run writes as well, above the line.
        line_.Print(cells[kColumnSectionName] + "\t" + cells[kColumnProblems] + "\t" + std::string(text));
        return;
    }
    std::string line;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (column == kColumnSectionName) {
            section_ = std::string(text);
            while (!section_.empty() && section_.back() == ' ')
                section_.pop_back();
            problems_ = "0";
        } else if (column == kColumnProblems) {
            problems_ = std::string(text);
        }
        line = Text({});
    }
    if (column == kColumnSectionName)
        line_.ShowNow(line);  // a new section shows at once
    else
        line_.Show(line);
}

void ScanProgressLine::SetStatus(std::string_view text)
{
    ProgressTable::SetStatus(text);
    std::string line;
    {
        std::lock_guard<std::mutex> hold(lock_);
        ++examined_;
        line = Text(text);
    }
    line_.Show(line);
}

std::string ScanProgressLine::Text(std::string_view status)
{
    std::string text = "Scanning " + (section_.empty() ? std::string("...") : section_) + ": " +
                       std::to_string(examined_) + " entries examined, " + problems_ + " problems";
    if (!status.empty())
        text += " - " + std::string(status);
    return text;
}

// ---- the registry's counts

void CountingProgressRegistry::SetWhat(std::string what)
{
    {
        std::lock_guard<std::mutex> hold(whatLock_);
        what_ = std::move(what);
    }
    Draw(true);  // the new text at once
}

long CountingProgressRegistry::Counted(long status, std::atomic<std::uint64_t>& counter)
{
    if (status != kSuccess || !line_.active())
        return status;
    ++counter;
    Draw(false);
    return status;
}

void CountingProgressRegistry::Draw(bool now)
{
    if (!line_.active())
        return;
    std::string text;
    {
        std::lock_guard<std::mutex> hold(whatLock_);
        text = what_;
    }
    if (text.empty())
        return;  // not shown yet (a scan before a repair shows its own line)
    text += ": " + std::to_string(keys_.load()) + " keys";
    if (written_ != 0)
        text += ", " + std::to_string(written_.load()) + " values written";
    if (deleted_ != 0)
        text += ", " + std::to_string(deleted_.load()) + " items deleted";
    if (now)
        line_.ShowNow(text);
    else
        line_.Show(text);
}

long CountingProgressRegistry::OpenKey(HKey key, const char* subKey, HKey* result)
{
    return Counted(ForwardingRegistry::OpenKey(key, subKey, result), keys_);
}

long CountingProgressRegistry::OpenKeyEx(HKey key, const char* subKey, std::uint32_t options,
                                         std::uint32_t samDesired, HKey* result)
{
    return Counted(ForwardingRegistry::OpenKeyEx(key, subKey, options, samDesired, result), keys_);
}

long CountingProgressRegistry::CreateKey(HKey key, const char* subKey, HKey* result)
{
    return Counted(ForwardingRegistry::CreateKey(key, subKey, result), keys_);
}

long CountingProgressRegistry::CreateKeyEx(HKey key, const char* subKey, std::uint32_t reserved,
                                           const char* keyClass, std::uint32_t options, std::uint32_t samDesired,
                                           void* securityAttributes, HKey* result, std::uint32_t* disposition)
{
    return Counted(ForwardingRegistry::CreateKeyEx(key, subKey, reserved, keyClass, options, samDesired,
                                                   securityAttributes, result, disposition),
                   keys_);
}

long CountingProgressRegistry::SetValueEx(HKey key, const char* valueName, std::uint32_t reserved,
                                          std::uint32_t type, const std::uint8_t* data, std::uint32_t dataSize)
{
    return Counted(ForwardingRegistry::SetValueEx(key, valueName, reserved, type, data, dataSize), written_);
}

long CountingProgressRegistry::SetValueExW(HKey key, const char16_t* valueName, std::uint32_t reserved,
                                           std::uint32_t type, const std::uint8_t* data, std::uint32_t dataSize)
{
    return Counted(ForwardingRegistry::SetValueExW(key, valueName, reserved, type, data, dataSize), written_);
}

long CountingProgressRegistry::DeleteKey(HKey key, const char* subKey)
{
    return Counted(ForwardingRegistry::DeleteKey(key, subKey), deleted_);
}

long CountingProgressRegistry::DeleteOpenKey(HKey key)
{
    return Counted(ForwardingRegistry::DeleteOpenKey(key), deleted_);
}

long CountingProgressRegistry::DeleteValue(HKey key, const char* valueName)
{
    return Counted(ForwardingRegistry::DeleteValue(key, valueName), deleted_);
}

}  // namespace tw::cli
