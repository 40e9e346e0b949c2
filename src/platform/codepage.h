// Code page 1252 (Western European), the ANSI code page the portable platform uses, and the
// case folding that the registry applies to names in it.
#pragma once

#include "platform/system.h"

#include <string>
#include <string_view>

namespace tw {

std::u16string Cp1252ToUtf16(std::string_view text);
// Characters outside code page 1252 become '?', as WideCharToMultiByte's default does.
std::string Utf16ToCp1252(std::u16string_view text);
// Upper case of one code page 1252 character, as the registry folds names.
unsigned char Cp1252Upper(unsigned char c);
// The registry's ordering of names in code page 1252 (lower-case folding, compared as
// UTF-16 code units): <0, 0, >0.
int CompareNoCase1252(std::string_view a, std::string_view b);

// The ordinal comparison of the C runtime's case-insensitive compare: each character folded
// to lower case in code page 1252, then compared as unsigned bytes.
unsigned char Cp1252Lower(unsigned char c);
int CompareTextNoCase(std::string_view a, std::string_view b);

std::string Utf16ToUtf8(std::u16string_view text);
// Malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// The portable code page, for code and tests that need no other part of the platform.
class Cp1252Codec final : public TextCodec {
public:
    std::u16string AnsiToUtf16(std::string_view text) override { return Cp1252ToUtf16(text); }
    std::string Utf16ToAnsi(std::u16string_view text) override { return Utf16ToCp1252(text); }
};

}  // namespace tw
