// libFuzzer target: any ANSI text is escaped for a snapshot file exactly as the rule says,
// character by character ('&', '"' and '<' become entities, then the code page becomes
// UTF-8), whatever the writer's word-at-a-time scan sees; appended text leaves what was
// there before it; and the reader's unescaping gives the text back: in code page 1252 any
// bytes, in UTF-8 any text the registry can give (well-formed UTF-8).
#include "platform/codepage.h"
#include "snapshot/xml_text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string EscapedOneByOne(std::string_view text, tw::TextCodec& codec)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '<': out += "&lt;"; break;
        default: out += c;
        }
    }
    return tw::Utf16ToUtf8(codec.AnsiToUtf16(out));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static tw::ProcessCodec codec;
    // The first byte says how much text stands before the appended part.
    const std::size_t before = size ? data[0] % 16 : 0;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (size)
        text.remove_prefix(1);
    const std::string kept(before, 'k');
    for (tw::AnsiCodePage page : {tw::AnsiCodePage::Windows1252, tw::AnsiCodePage::Utf8}) {
        tw::ScopedProcessCodePage scope(page);
        std::string out = kept;
        tw::AppendXmlText(text, codec, out);
        if (out != kept + EscapedOneByOne(text, codec))
            __builtin_trap();
        const bool wellFormed = page == tw::AnsiCodePage::Windows1252 || tw::Utf16ToUtf8(tw::Utf8ToUtf16(text)) == text;
        if (wellFormed && tw::UnescapeXmlText(out.substr(before), codec) != text)
            __builtin_trap();
    }
    return 0;
}
