// The code page of the core's 8-bit text, and the case folding the registry applies to names.
//
// The core keeps every name, text and path as 8-bit text in the process code page: what the
// ANSI calls of this process speak. The programs declare UTF-8 as their code page in their
// manifests (honoured by Windows 10 1903 and later, and by Wine), so there that text carries
// every character; an older Windows gives the system's ANSI code page, modelled here as
// 1252 (Western European), where a character outside it reads as '?'. The Windows platform
// sets the process code page from the system when it starts; the memory platform uses UTF-8
// unless a test asks for 1252. This file is the one place that knows which it is.
#pragma once

#include "platform/system.h"

#include <string>
#include <string_view>

namespace tw {

enum class AnsiCodePage { Windows1252, Utf8 };

AnsiCodePage ProcessCodePage();
// Set once by the platform as a program starts (and by tests, through the scope below),
// before any text is kept: text kept in one code page does not read in the other.
void SetProcessCodePage(AnsiCodePage codePage);

class ScopedProcessCodePage {
public:
    explicit ScopedProcessCodePage(AnsiCodePage codePage) : previous_(ProcessCodePage())
    {
        SetProcessCodePage(codePage);
    }
    ~ScopedProcessCodePage() { SetProcessCodePage(previous_); }
    ScopedProcessCodePage(const ScopedProcessCodePage&) = delete;
    ScopedProcessCodePage& operator=(const ScopedProcessCodePage&) = delete;

private:
    AnsiCodePage previous_;
};

// Text of the process code page to UTF-16 and back. A character the code page cannot write
// becomes '?' (1252), a malformed UTF-8 sequence U+FFFD and a lone surrogate U+FFFD, as
// MultiByteToWideChar and WideCharToMultiByte do.
std::u16string AnsiToUtf16(std::string_view text);
std::string Utf16ToAnsi(std::u16string_view text);

// The registry's ordering of names in the process code page (each UTF-16 code unit folded to
// lower case, then compared as code units, as Wine's registry sorts): <0, 0, >0.
int CompareNamesNoCase(std::string_view a, std::string_view b);
// Text with every letter folded to lower case as CompareNamesNoCase folds it.
std::string LowerText(std::string_view text);
// Upper and lower case of one byte of text where it is a letter on its own: every ASCII
// letter, and in code page 1252 its letters above 0x7F; in UTF-8 bytes above 0x7F are parts
// of characters and stay as they are.
unsigned char UpperByte(unsigned char c);
unsigned char LowerByte(unsigned char c);
// The lower case of one UTF-16 code unit: ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic,
// Armenian and the full-width Latin letters; every other unit is its own.
char16_t FoldLower(char16_t c);

// Text that earlier versions wrote into files, in the system's ANSI code page, as text of the
// process code page. The Windows platform gives the system's conversion; without one the
// system's code page is taken to be 1252. Text of ASCII alone, or a process whose code page is
// the system's, needs no conversion.
using LegacyDecoder = std::u16string (*)(std::string_view text);
void SetLegacyDecoder(LegacyDecoder decoder);
std::string LegacyToAnsi(std::string_view text);

// Code page 1252 itself.
std::u16string Cp1252ToUtf16(std::string_view text);
// Characters outside code page 1252 become '?', as WideCharToMultiByte's default does.
std::string Utf16ToCp1252(std::u16string_view text);
// Upper case of one code page 1252 character, as the registry folds names.
unsigned char Cp1252Upper(unsigned char c);
int CompareNoCase1252(std::string_view a, std::string_view b);
unsigned char Cp1252Lower(unsigned char c);

// The ordinal comparison of the C runtime's case-insensitive compare: each byte folded by
// LowerByte, then compared as unsigned bytes.
int CompareTextNoCase(std::string_view a, std::string_view b);

std::string Utf16ToUtf8(std::u16string_view text);
// Malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// The process code page, for code and tests that need no other part of the platform.
class ProcessCodec final : public TextCodec {
public:
    std::u16string AnsiToUtf16(std::string_view text) override { return tw::AnsiToUtf16(text); }
    std::string Utf16ToAnsi(std::u16string_view text) override { return tw::Utf16ToAnsi(text); }
};

}  // namespace tw
