// Text in snapshot files: registry names and value texts are 8-bit text in the ANSI code
// page; in the file they are UTF-8 with '&', '"' and '<' escaped (nothing else is: '>',
// apostrophes, tabs and line ends are written as they are).
#pragma once

#include "platform/system.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

// '&' -> "&amp;", '"' -> "&quot;", '<' -> "&lt;", then ANSI code page -> UTF-8.
std::string EscapeXmlText(std::string_view text, TextCodec& codec);

// The same, appended to `out` (which `text` must not lie in), for the snapshot writer's
// inner loop.
void AppendXmlText(std::string_view text, TextCodec& codec, std::string& out);

// The same for text that is ASCII only, written at `out`, where there must be room for
// kXmlTextGrowth bytes for each byte of `text`: the end of what it wrote, or nullptr (and
// `out` then holds nothing of use) when `text` holds a byte outside ASCII, whose text only
// AppendXmlText makes.
inline constexpr std::size_t kXmlTextGrowth = 6;  // "&quot;"
char* PutAsciiXmlText(std::string_view text, char* out);

// UTF-8 -> ANSI code page, then "&lt;", "&quot;" and "&amp;" back, in that order, each pass
// left to right without looking again at what it produced. Other entities stay as written.
std::string UnescapeXmlText(std::string_view text, TextCodec& codec);

// The same, into `out` (its storage reused), for the restore's inner loop.
void UnescapeXmlTextInto(std::string_view text, TextCodec& codec, std::string& out);

}  // namespace tw
