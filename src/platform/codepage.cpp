#include "platform/codepage.h"

#include <atomic>
#include <cstdint>

namespace tw {
namespace {

std::atomic<AnsiCodePage> g_codePage{AnsiCodePage::Utf8};
std::atomic<LegacyDecoder> g_legacyDecoder{nullptr};

bool IsContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// One character of UTF-8 text from `i` on, as UTF-16 code units (one or two) into `out`;
// `i` moves past it. A malformed sequence is U+FFFD and takes one byte.
void DecodeUtf8(std::string_view text, std::size_t* i, std::u16string* out);

// Bytes 0x80..0x9F of code page 1252; the five undefined ones map to the C1 control of the
// same number, as Windows' own table does, so every byte survives a round trip.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t ToUnicode(unsigned char c)
{
    if (c >= 0x80 && c < 0xA0)
        return kHigh[c - 0x80];
    return c;
}

int FromUnicode(char16_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == u)
            return 0x80 + i;
    return -1;
}

}  // namespace

unsigned char Cp1252Lower(unsigned char c);

AnsiCodePage ProcessCodePage()
{
    return g_codePage.load(std::memory_order_relaxed);
}

void SetProcessCodePage(AnsiCodePage codePage)
{
    g_codePage.store(codePage, std::memory_order_relaxed);
}

std::u16string AnsiToUtf16(std::string_view text)
{
    return ProcessCodePage() == AnsiCodePage::Utf8 ? Utf8ToUtf16(text) : Cp1252ToUtf16(text);
}

std::string Utf16ToAnsi(std::u16string_view text)
{
    return ProcessCodePage() == AnsiCodePage::Utf8 ? Utf16ToUtf8(text) : Utf16ToCp1252(text);
}

void SetLegacyDecoder(LegacyDecoder decoder)
{
    g_legacyDecoder.store(decoder, std::memory_order_relaxed);
}

std::string LegacyToAnsi(std::string_view text)
{
    bool ascii = true;
    for (char c : text)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii || ProcessCodePage() != AnsiCodePage::Utf8)
        return std::string(text);
    const LegacyDecoder decoder = g_legacyDecoder.load(std::memory_order_relaxed);
    return Utf16ToAnsi(decoder ? decoder(text) : Cp1252ToUtf16(text));
}

char16_t FoldLower(char16_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<char16_t>(c + 32);
    if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: capital and small letters in pairs
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        if (c == 0x178)
            return 0xFF;
        const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        return ((c % 2 == 1) == oddPairs) ? static_cast<char16_t>(c + 1) : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)  // Greek capitals
        return static_cast<char16_t>(c + 0x20);
    switch (c) {
    case 0x386: return 0x3AC;
    case 0x388: case 0x389: case 0x38A: return static_cast<char16_t>(c + 0x25);
    case 0x38C: return 0x3CC;
    case 0x38E: case 0x38F: return static_cast<char16_t>(c + 0x3F);
    default: break;
    }
    if (c >= 0x400 && c <= 0x40F)  // Cyrillic Ѐ..Џ
        return static_cast<char16_t>(c + 0x50);
    if (c >= 0x410 && c <= 0x42F)  // Cyrillic А..Я
        return static_cast<char16_t>(c + 0x20);
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return (c % 2 == 0) ? static_cast<char16_t>(c + 1) : c;
    if (c >= 0x531 && c <= 0x556)  // Armenian
        return static_cast<char16_t>(c + 0x30);
    if (c >= 0xFF21 && c <= 0xFF3A)  // full-width Latin
        return static_cast<char16_t>(c + 0x20);
    return c;
}

unsigned char UpperByte(unsigned char c)
{
    if (ProcessCodePage() == AnsiCodePage::Utf8)
        return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
    return Cp1252Upper(c);
}

unsigned char LowerByte(unsigned char c)
{
    if (ProcessCodePage() == AnsiCodePage::Utf8)
        return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
    return Cp1252Lower(c);
}

int CompareNamesNoCase(std::string_view a, std::string_view b)
{
    if (ProcessCodePage() != AnsiCodePage::Utf8)
        return CompareNoCase1252(a, b);
    // ASCII needs no decoding; the first character outside it that differs decides from the
    // start of that character on, compared as folded UTF-16 code units.
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    std::size_t i = 0;
    for (; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca == cb)
            continue;
        if (ca >= 0x80 || cb >= 0x80)
            break;
        const char16_t la = FoldLower(ca), lb = FoldLower(cb);
        if (la != lb)
            return la < lb ? -1 : 1;
    }
    if (i == n)
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    while (i > 0 && ((i < a.size() && IsContinuation(static_cast<unsigned char>(a[i]))) ||
                     (i < b.size() && IsContinuation(static_cast<unsigned char>(b[i])))))
        --i;
    std::size_t ia = i, ib = i;
    std::u16string ua, ub;
    while (ia < a.size() && ib < b.size()) {
        ua.clear();
        ub.clear();
        DecodeUtf8(a, &ia, &ua);
        DecodeUtf8(b, &ib, &ub);
        for (std::size_t k = 0; k < ua.size() && k < ub.size(); ++k) {
            const char16_t la = FoldLower(ua[k]), lb = FoldLower(ub[k]);
            if (la != lb)
                return la < lb ? -1 : 1;
        }
        if (ua.size() != ub.size())  // a surrogate pair against a single unit that equals its first
            return ua.size() < ub.size() ? -1 : 1;
    }
    if (ia == a.size() && ib == b.size())
        return 0;
    return ia == a.size() ? -1 : 1;
}

std::string LowerText(std::string_view text)
{
    if (ProcessCodePage() != AnsiCodePage::Utf8) {
        std::string out(text);
        for (char& c : out)
            c = static_cast<char>(Cp1252Lower(static_cast<unsigned char>(c)));
        return out;
    }
    bool ascii = true;
    for (char c : text)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        std::string out(text);
        for (char& c : out)
            c = static_cast<char>(LowerByte(static_cast<unsigned char>(c)));
        return out;
    }
    std::u16string wide = Utf8ToUtf16(text);
    if (Utf16ToUtf8(wide) != text) {  // malformed: only its ASCII letters are folded
        std::string out(text);
        for (char& c : out)
            c = static_cast<char>(LowerByte(static_cast<unsigned char>(c)));
        return out;
    }
    for (char16_t& c : wide)
        c = FoldLower(c);
    return Utf16ToUtf8(wide);
}

std::u16string Cp1252ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (unsigned char c : text)
        out.push_back(ToUnicode(c));
    return out;
}

std::string Utf16ToCp1252(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;  // a surrogate pair is one character, and not in the code page
        int c = FromUnicode(u);
        out.push_back(c < 0 ? '?' : static_cast<char>(c));
    }
    return out;
}

unsigned char Cp1252Upper(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<unsigned char>(c - 32);
    switch (c) {
    case 0x9A: return 0x8A;  // s caron
    case 0x9C: return 0x8C;  // oe
    case 0x9E: return 0x8E;  // z caron
    case 0xFF: return 0x9F;  // y diaeresis
    default: return c;
    }
}

namespace {

// Each byte's place in the registry's order: the Unicode code unit of its lower-case letter.
struct SortKeys {
    char16_t key[256];
    SortKeys()
    {
        for (int c = 0; c < 256; ++c)
            key[c] = ToUnicode(Cp1252Lower(static_cast<unsigned char>(c)));
    }
};

}  // namespace

int CompareNoCase1252(std::string_view a, std::string_view b)
{
    // Compare as Unicode code units of the lower-case letters, as Wine's registry does. Names
    // compared while sorting mostly share a long start, which needs no table.
    static const SortKeys sort;
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] == b[i])
            continue;
        char16_t ua = sort.key[static_cast<unsigned char>(a[i])];
        char16_t ub = sort.key[static_cast<unsigned char>(b[i])];
        if (ua != ub)
            return ua < ub ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

unsigned char Cp1252Lower(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<unsigned char>(c + 32);
    switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
    }
}

int CompareTextNoCase(std::string_view a, std::string_view b)
{
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] == b[i])
            continue;
        unsigned char la = LowerByte(static_cast<unsigned char>(a[i]));
        unsigned char lb = LowerByte(static_cast<unsigned char>(b[i]));
        if (la != lb)
            return la < lb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size())
        DecodeUtf8(text, &i, &out);
    return out;
}

namespace {

void DecodeUtf8(std::string_view text, std::size_t* at, std::u16string* out)
{
    const std::size_t i = *at;
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (c < 0x80) {
        cp = c;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
    }
    if (len > 1) {
        bool ok = i + len <= text.size();
        std::uint32_t v = c & (0xFF >> (len + 1));
        for (std::size_t k = 1; ok && k < len; ++k) {
            unsigned char t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80)
                ok = false;
            else
                v = (v << 6) | (t & 0x3F);
        }
        static const std::uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (ok && v >= kMin[len] && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
            cp = v;
        } else {
            len = 1;  // resynchronise on the next byte
        }
    }
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out->push_back(static_cast<char16_t>(cp));
    }
    *at = i + len;
}

}  // namespace

}  // namespace tw
