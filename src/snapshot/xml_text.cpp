#include "snapshot/xml_text.h"

#include "platform/codepage.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace tw {
namespace {

bool IsAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Replaces every `from` by `to`, left to right; what a replacement produced is not looked at.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to)
{
    std::size_t at = text.find(from);
    if (at == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size());
    std::size_t done = 0;
    while (at != std::string::npos) {
        out.append(text, done, at - done);
        out.append(to);
        done = at + from.size();
        at = text.find(from, done);
    }
    out.append(text, done, std::string::npos);
    text.swap(out);
}

// True when one of the eight bytes is '&', '"' or '<' or lies outside ASCII. The word XOR a
// character repeated has a zero byte where that character is, and (x - 0x0101...) & ~x &
// 0x8080... is non-zero exactly when x has a zero byte. Setting bit 2 of every byte first
// makes '"' (0x22) read as '&' (0x26), and no other byte does.
bool NeedsCare(std::uint64_t word)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kTops = 0x8080808080808080u;
    auto zeroByte = [](std::uint64_t x) { return (x - kOnes) & ~x & kTops; };
    return ((word & kTops) | zeroByte((word | (kOnes * 0x04)) ^ (kOnes * '&')) | zeroByte(word ^ (kOnes * '<'))) != 0;
}

// '&', '"' and '<' of `text` escaped, written at `out` (room for kXmlTextGrowth bytes a byte):
// the end of what was written. A byte outside ASCII is copied as it stands, or with
// `stopOutsideAscii` ends the work: nullptr.
template <bool stopOutsideAscii>
char* PutEscaped(std::string_view text, char* out)
{
    // Runs of characters that need no escaping (most of every name and value) are copied at
    // once.
    static constexpr auto kPlain = [] {
        std::array<bool, 256> plain{};
        for (int c = 0; c < 0x80; ++c)
            plain[std::size_t(c)] = c != '&' && c != '"' && c != '<';
        return plain;
    }();
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end) {
        // Eight plain bytes at a time, stored as they are read; the rest of the run byte by
        // byte.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if (NeedsCare(word))
                break;
            std::memcpy(out, &word, 8);
            p += 8;
            out += 8;
        }
        while (p != end && kPlain[static_cast<unsigned char>(*p)])
            *out++ = *p++;
        if (p == end)
            break;
        switch (*p) {
        case '&': std::memcpy(out, "&amp;", 5); out += 5; break;
        case '"': std::memcpy(out, "&quot;", 6); out += 6; break;
        case '<': std::memcpy(out, "&lt;", 4); out += 4; break;
        default:
            if (stopOutsideAscii)
                return nullptr;
            *out++ = *p;
        }
        ++p;
    }
    return out;
}

}  // namespace

char* PutAsciiXmlText(std::string_view text, char* out)
{
    return PutEscaped<true>(text, out);
}

void AppendXmlText(std::string_view text, TextCodec& codec, std::string& out)
{
    const std::size_t start = out.size();
    out.resize(start + kXmlTextGrowth * text.size());
    if (char* end = PutAsciiXmlText(text, out.data() + start)) {
        out.resize(static_cast<std::size_t>(end - out.data()));
        return;
    }
    // A byte outside ASCII: escaped as it stands, then the whole text from the code page to
    // UTF-8 (ASCII is the same in every ANSI code page and in UTF-8).
    out.resize(static_cast<std::size_t>(PutEscaped<false>(text, out.data() + start) - out.data()));
    std::string utf8 = Utf16ToUtf8(codec.AnsiToUtf16(std::string_view(out).substr(start)));
    out.replace(start, std::string::npos, utf8);
}

std::string EscapeXmlText(std::string_view text, TextCodec& codec)
{
    std::string out;
    AppendXmlText(text, codec, out);
    return out;
}

void UnescapeXmlTextInto(std::string_view text, TextCodec& codec, std::string& out)
{
    if (IsAscii(text))
        out.assign(text);
    else
        out = codec.Utf16ToAnsi(Utf8ToUtf16(text));
    if (out.find('&') == std::string::npos)
        return;
    ReplaceAll(out, "&lt;", "<");
    ReplaceAll(out, "&quot;", "\"");
    ReplaceAll(out, "&amp;", "&");
}

std::string UnescapeXmlText(std::string_view text, TextCodec& codec)
{
    std::string out;
    UnescapeXmlTextInto(text, codec, out);
    return out;
}

}  // namespace tw
