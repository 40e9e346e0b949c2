#include "cli/console_progress.h"

#include <utility>
#include <vector>

namespace tw::cli {
namespace {

constexpr std::chrono::milliseconds kRedrawEvery(100);

// The code point that begins at byte `at` of UTF-8 text, and where the next one begins.
char32_t Decode(std::string_view text, std::size_t at, std::size_t* next)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    std::size_t i = at + 1;
    for (; i < at + length && i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80; ++i)
        c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    *next = i;
    return c;
}

// Columns a character takes on a console: two for the wide and full-width ones of East
// Asian scripts (and the pictographs drawn as wide), one otherwise.
std::size_t ColumnsOf(char32_t c)
{
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
                      (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) ||
                      (c >= 0x1F300 && c <= 0x1F64F) || (c >= 0x1F900 && c <= 0x1F9FF) ||
                      (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

std::size_t ColumnCount(std::string_view text)
{
    std::size_t columns = 0;
    for (std::size_t at = 0, next = 0; at < text.size(); at = next)
        columns += ColumnsOf(Decode(text, at, &next));
    return columns;
}

// The bytes of the longest head of `text` that takes at most `columns` columns.
std::size_t HeadFitting(std::string_view text, std::size_t columns)
{
    std::size_t used = 0;
    for (std::size_t at = 0, next = 0; at < text.size(); at = next) {
        used += ColumnsOf(Decode(text, at, &next));
        if (used > columns)
            return at;
    }
    return text.size();
}

// Where the longest tail of `text` that takes at most `columns` columns begins.
std::size_t TailFitting(std::string_view text, std::size_t columns)
{
    std::vector<std::pair<std::size_t, std::size_t>> starts;  // byte offset, columns
    for (std::size_t at = 0, next = 0; at < text.size(); at = next)
        starts.emplace_back(at, ColumnsOf(Decode(text, at, &next)));
    std::size_t used = 0;
    std::size_t begin = text.size();
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
        if (used + it->second > columns)
            break;
        used += it->second;
        begin = it->first;
    }
    return begin;
}

}  // namespace

std::string FitToWidth(std::string_view text, std::size_t width)
{
    // Line breaks and tabs would move the cursor off the line that is rewritten.
    std::string flat(text);
    for (char& c : flat)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    if (ColumnCount(flat) <= width)
        return flat;
    if (width <= 3)
        return flat.substr(0, HeadFitting(flat, width));
    const std::size_t head = (width - 3) / 2;
    const std::size_t tail = width - 3 - head;
    return flat.substr(0, HeadFitting(flat, head)) + "..." + flat.substr(TailFitting(flat, tail));
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
    const std::size_t shown = ColumnCount(fitted);
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
