#include "cli/console_stream_win.h"

#include <ostream>

namespace tw::cli {
namespace {

// Bytes at the end of `text` that begin a UTF-8 character not yet complete.
std::size_t IncompleteTail(const std::string& text)
{
    if (GetACP() != CP_UTF8)
        return 0;
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const auto c = static_cast<unsigned char>(text[text.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue;  // a continuation byte: look further back for its lead
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

}  // namespace

bool ConsoleStreamBuf::Flush(bool all)
{
    const std::size_t keep = all ? 0 : IncompleteTail(pending_);
    const std::size_t size = pending_.size() - keep;
    if (size == 0)
        return true;
    bool ok = true;
    const int n = MultiByteToWideChar(CP_ACP, 0, pending_.data(), static_cast<int>(size), nullptr, 0);
    if (n > 0) {
        std::wstring wide(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(CP_ACP, 0, pending_.data(), static_cast<int>(size), wide.data(), n);
        DWORD written = 0;
        ok = WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
    }
    pending_.erase(0, size);
    return ok;
}

ConsoleStreamBuf::int_type ConsoleStreamBuf::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    pending_.push_back(traits_type::to_char_type(c));
    if (c == '\n' && !Flush(false))
        return traits_type::eof();
    return c;
}

std::streamsize ConsoleStreamBuf::xsputn(const char* s, std::streamsize n)
{
    pending_.append(s, static_cast<std::size_t>(n));
    if (pending_.size() >= 4096 && !Flush(false))
        return 0;
    return n;
}

int ConsoleStreamBuf::sync()
{
    return Flush(false) ? 0 : -1;
}

std::unique_ptr<ConsoleStreamBuf> UseConsole(std::ostream& stream, DWORD standardHandle)
{
    HANDLE handle = GetStdHandle(standardHandle);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return nullptr;
    auto buffer = std::make_unique<ConsoleStreamBuf>(handle);
    stream.rdbuf(buffer.get());
    return buffer;
}

}  // namespace tw::cli
