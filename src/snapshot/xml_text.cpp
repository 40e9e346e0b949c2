#include "snapshot/xml_text.h"

#include "platform/codepage.h"

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

}  // namespace

void EscapeXmlTextInto(std::string_view text, TextCodec& codec, std::string& out)
{
    // Most names and values need neither escaping nor conversion: copy them at once.
    std::size_t plain = 0;
    while (plain < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[plain]);
        if (c == '&' || c == '"' || c == '<' || c >= 0x80)
            break;
        ++plain;
    }
    out.assign(text.substr(0, plain));
    if (plain == text.size())
        return;

    bool ascii = true;
    for (char c : text.substr(plain)) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '<': out += "&lt;"; break;
        default:
            if (static_cast<unsigned char>(c) >= 0x80)
                ascii = false;
            out += c;
        }
    }
    // ASCII is the same in every ANSI code page and in UTF-8.
    if (!ascii)
        out = Utf16ToUtf8(codec.AnsiToUtf16(out));
}

std::string EscapeXmlText(std::string_view text, TextCodec& codec)
{
    std::string out;
    EscapeXmlTextInto(text, codec, out);
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
