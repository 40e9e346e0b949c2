#include "registry/value_text.h"

#include "platform/codepage.h"
#include "registry/key_enumeration.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <span>
#include <type_traits>

namespace tw {
namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;  // anything else counts as 0
}

// The hex pair at `at`; positions past the end count as 0.
std::uint8_t HexPair(std::string_view text, std::size_t at)
{
    int high = at < text.size() ? HexDigit(text[at]) : 0;
    int low = at + 1 < text.size() ? HexDigit(text[at + 1]) : 0;
    return static_cast<std::uint8_t>(high * 16 + low);
}

// Bytes of a little-endian number; bytes missing from short data count as zero.
std::uint8_t ByteAt(const std::uint8_t* data, std::size_t size, std::size_t i)
{
    return i < size ? data[i] : 0;
}

constexpr char kHexDigits[] = "0123456789abcdef";

// The byte's two lower-case hex digits at `out`.
void PutHexPair(char* out, std::uint8_t b)
{
    static constexpr auto kPairs = [] {
        std::array<char, 512> pairs{};
        for (std::size_t i = 0; i < 256; ++i) {
            pairs[2 * i] = kHexDigits[i >> 4];
            pairs[2 * i + 1] = kHexDigits[i & 15];
        }
        return pairs;
    }();
    std::memcpy(out, &kPairs[2 * std::size_t(b)], 2);
}

}  // namespace

std::string_view TypeNameFromCode(std::uint32_t type)
{
    switch (type) {
    case kRegNone:
    case kRegSz:
    case kRegLink: return "REG_SZ";
    case kRegExpandSz: return "REG_EXPAND_SZ";
    case kRegBinary: return "REG_BINARY";
    case kRegDword:
    case kRegDwordBigEndian: return "REG_DWORD";
    case kRegMultiSz: return "REG_MULTI_SZ";
    case kRegResourceList: return "REG_RESOURCE_LIST";
    case kRegResourceRequirementsList: return "REG_RESOURCE_REQUIREMENTS_LIST";
    case kRegQword: return "REG_QWORD";
    default: return {};  // REG_FULL_RESOURCE_DESCRIPTOR and unknown codes have no name
    }
}

std::uint32_t TypeCodeFromName(std::string_view name)
{
    static const struct {
        const char* name;
        std::uint32_t code;
    } kNames[] = {
        {"REG_BINARY", kRegBinary},
        {"REG_DWORD", kRegDword},
        {"REG_SZ", kRegSz},
        {"REG_EXPAND_SZ", kRegExpandSz},
        {"REG_MULTI_SZ", kRegMultiSz},
        {"REG_QWORD", kRegQword},
        {"REG_RESOURCE_LIST", kRegResourceList},
        {"REG_RESOURCE_REQUIREMENTS_LIST", kRegResourceRequirementsList},
    };
    for (const auto& n : kNames)
        if (CompareTextNoCase(name, n.name) == 0)
            return n.code;
    return kRegSz;
}

bool IsHexTextType(std::uint32_t type)
{
    return type == kRegBinary || type == kRegResourceList || type == kRegResourceRequirementsList ||
           type == kRegDword || type == kRegDwordBigEndian || type == kRegQword;
}

std::size_t HexTextBound(std::size_t size)
{
    // Three characters a byte of a binary value; "0x" and 16 digits for a QWORD; "0x", 8
    // digits, " (", a sign, 10 digits and ")" for a DWORD.
    return size * 3 > 24 ? size * 3 : 24;
}

char* PutHexText(char* out, std::uint32_t type, const std::uint8_t* data, std::size_t size)
{
    if (!data)
        size = 0;
    switch (type) {
    case kRegDword:
    case kRegDwordBigEndian: {
        std::uint8_t b[4];
        for (std::size_t i = 0; i < 4; ++i)
            b[i] = ByteAt(data, size, i);
        bool little = type == kRegDword;
        std::uint32_t v = little ? (b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24)
                                 : (b[3] | b[2] << 8 | b[1] << 16 | static_cast<std::uint32_t>(b[0]) << 24);
        // "0x0000002a (42)": the hex digits of the bytes, then the number as a signed one.
        *out++ = '0';
        *out++ = 'x';
        for (int i = 0; i < 8; ++i)
            *out++ = kHexDigits[(v >> (28 - 4 * i)) & 15];
        *out++ = ' ';
        *out++ = '(';
        const bool negative = static_cast<std::int32_t>(v) < 0;
        std::uint32_t magnitude = negative ? 0u - v : v;
        char number[12];
        std::size_t digits = 0;
        do {
            number[digits++] = char('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (negative)
            *out++ = '-';
        while (digits != 0)
            *out++ = number[--digits];
        *out++ = ')';
        return out;
    }
    case kRegQword:
        *out++ = '0';
        *out++ = 'x';
        for (int i = 7; i >= 0; --i, out += 2)
            PutHexPair(out, ByteAt(data, size, static_cast<std::size_t>(i)));
        return out;
    default:
        // "xx xx xx": two digits a byte, a blank between bytes.
        if (size == 0)
            return out;
        for (std::size_t i = 0; i < size; ++i, out += 3) {
            PutHexPair(out, data[i]);
            out[2] = ' ';
        }
        return out - 1;
    }
}

void AppendValueText(std::string& text, std::uint32_t type, const std::uint8_t* data, std::size_t size,
                     TextCodec& codec)
{
    if (!data)
        size = 0;
    if (IsHexTextType(type)) {
        const std::size_t at = text.size();
        text.resize(at + HexTextBound(size));
        char* begin = text.data();
        text.resize(static_cast<std::size_t>(PutHexText(begin + at, type, data, size) - begin));
        return;
    }
    switch (type) {
    case kRegLink: {
        std::u16string wide;
        for (std::size_t i = 0; i + 1 < size; i += 2) {
            char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
            if (c == 0)
                break;
            wide.push_back(c);
        }
        text += codec.Utf16ToAnsi(wide);
        return;
    }
    case kRegMultiSz: {
        // The strings joined by line ends; the list's two closing bytes are not shown.
        if (size <= 2)
            return;
        const char* p = reinterpret_cast<const char*>(data);
        const char* const end = p + (size - 2);
        while (p != end) {
            const void* nul = std::memchr(p, 0, std::size_t(end - p));
            const char* stop = nul ? static_cast<const char*>(nul) : end;
            text.append(p, std::size_t(stop - p));
            if (stop == end)
                break;
            text += "\r\n";
            p = stop + 1;
        }
        return;
    }
    default:
        text.append(*StoredText(type, data, size));
        return;
    }
}

std::optional<std::string_view> StoredText(std::uint32_t type, const std::uint8_t* data, std::size_t size)
{
    switch (type) {
    case kRegBinary:
    case kRegResourceList:
    case kRegResourceRequirementsList:
    case kRegDword:
    case kRegDwordBigEndian:
    case kRegQword:
    case kRegLink:
    case kRegMultiSz: return std::nullopt;
    default: {
        // A NUL-terminated 8-bit string that may lack its terminator: read up to the data size.
        if (!data)
            return std::string_view();
        const void* nul = size ? std::memchr(data, 0, size) : nullptr;
        std::size_t length = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data) : size;
        return std::string_view(reinterpret_cast<const char*>(data), length);
    }
    }
}

std::string FormatValueText(std::uint32_t type, const std::uint8_t* data, std::size_t size, TextCodec& codec)
{
    std::string text;
    AppendValueText(text, type, data, size, codec);
    return text;
}

std::optional<std::vector<std::uint8_t>> ParseValueText(std::string_view text, std::uint32_t type)
{
    std::vector<std::uint8_t> data;
    switch (type) {
    case kRegSz:
    case kRegExpandSz:
        data.assign(text.begin(), text.end());
        data.push_back(0);
        return data;
    case kRegBinary:
    case kRegResourceList:
    case kRegResourceRequirementsList:
        if (text.empty())
            return std::vector<std::uint8_t>{0};
        for (std::size_t i = 0; i < (text.size() + 1) / 3; ++i)
            data.push_back(HexPair(text, 3 * i));
        return data;
    case kRegDword:
    case kRegQword: {
        std::size_t bytes = type == kRegDword ? 4 : 8;
        data.assign(bytes, 0);
        if (text.empty())
            return data;
        // "0x" is skipped unread; the pairs run most significant first.
        for (std::size_t i = 0; i < bytes; ++i)
            data[bytes - 1 - i] = HexPair(text, 2 + 2 * i);
        return data;
    }
    case kRegMultiSz:
        if (text.empty())
            return std::vector<std::uint8_t>{0};
        for (char c : text) {
            if (c == '\r')
                continue;
            data.push_back(c == '\n' ? 0 : static_cast<std::uint8_t>(c));
        }
        data.push_back(0);
        data.push_back(0);
        return data;
    default:
        return std::nullopt;
    }
}

bool HexDigitsAreHex(std::string_view text, std::uint32_t type)
{
    auto hex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    auto digitsAt = [&](std::size_t at) {
        return (at >= text.size() || hex(text[at])) && (at + 1 >= text.size() || hex(text[at + 1]));
    };
    switch (type) {
    case kRegBinary:
    case kRegResourceList:
    case kRegResourceRequirementsList:
        for (std::size_t i = 0; i < (text.size() + 1) / 3; ++i)
            if (!digitsAt(3 * i))
                return false;
        return true;
    case kRegDword:
    case kRegQword:
        for (std::size_t i = 0; i < (type == kRegDword ? 4u : 8u) && !text.empty(); ++i)
            if (!digitsAt(2 + 2 * i))
                return false;
        return true;
    default:
        return true;
    }
}

std::optional<TextValue> ParseTextValue(const std::string& valueName, std::string_view text,
                                        std::string_view typeName)
{
    TextValue value;
    value.type = TypeCodeFromName(typeName);
    auto data = ParseValueText(text, value.type);
    if (!data || data->empty())
        return std::nullopt;
    value.data = std::move(*data);
    if (CompareTextNoCase(valueName, kDefaultValueName) != 0)
        value.name = valueName;
    return value;
}

std::size_t PutExactTypePrefix(char* out, std::uint32_t type)
{
    char* at = out;
    std::memcpy(at, "hex(", 4);
    at += 4;
    int shift = 28;
    while (shift > 0 && ((type >> shift) & 15) == 0)
        shift -= 4;
    for (; shift >= 0; shift -= 4)
        *at++ = kHexDigits[(type >> shift) & 15];
    *at++ = ')';
    *at++ = ':';
    return static_cast<std::size_t>(at - out);
}

std::optional<TextValue> ParseExactValue(const std::string& valueName, std::string_view text)
{
    auto isHex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    if (text.size() < 4 || CompareTextNoCase(text.substr(0, 4), "hex(") != 0)
        return std::nullopt;
    text.remove_prefix(4);
    const std::size_t close = text.find("):");
    if (close == std::string_view::npos || close == 0 || close > 8)
        return std::nullopt;
    TextValue value;
    for (std::size_t i = 0; i < close; ++i) {
        if (!isHex(text[i]))
            return std::nullopt;
        value.type = value.type << 4 | static_cast<std::uint32_t>(HexDigit(text[i]));
    }
    text.remove_prefix(close + 2);
    // "xx", then " xx" for each further byte.
    if (!text.empty() && (text.size() + 1) % 3 != 0)
        return std::nullopt;
    value.data.reserve((text.size() + 1) / 3);
    for (std::size_t at = 0; at < text.size(); at += 3) {
        if (!isHex(text[at]) || !isHex(text[at + 1]) || (at + 2 < text.size() && text[at + 2] != ' '))
            return std::nullopt;
        value.data.push_back(HexPair(text, at));
    }
    if (CompareTextNoCase(valueName, kDefaultValueName) != 0)
        value.name = valueName;
    return value;
}

namespace {

// Enumerates the `counts.values` values of a key into the buffers (grown to the sizes the
// counts give, and further when a value grew since) and hands each one that reads to `visit`,
// through RegEnumValueA (char names, in the process code page) or RegEnumValueW (char16_t
// names, data as the registry keeps it). kErrorCallNotImplemented when the registry has no
// such call (Windows 9x and the wide one), with nothing visited; else kSuccess.
template <class Char, class Visit>
long EnumerateCounted(Registry& registry, HKey key, const KeyCounts& counts, std::vector<Char>& name,
                      std::vector<std::uint8_t>& data, Visit&& visit)
{
    constexpr bool kWide = std::is_same_v<Char, char16_t>;
    // A UTF-16 unit may take three bytes in the process code page.
    auto capacity = [](std::uint32_t units) { return kWide ? std::size_t(units) + 1 : NameCapacity(units); };
    const std::uint32_t count = counts.values;
    if (count == 0 || count == 0xFFFFFFFFu)
        return kSuccess;
    if (name.size() < capacity(counts.longestValueName))
        name.resize(capacity(counts.longestValueName));
    if (data.size() < std::size_t(counts.longestValueData) + 1)
        data.resize(std::size_t(counts.longestValueData) + 1);
    for (std::uint32_t index = 0; index < count; ++index) {
        std::uint32_t type = 0, nameLength = 0, dataSize = 0;
        long status = kSuccess;
        for (int attempt = 0; attempt < 4; ++attempt) {
            name[0] = Char();
            data[0] = 0;
            nameLength = static_cast<std::uint32_t>(name.size());
            dataSize = static_cast<std::uint32_t>(data.size());
            if constexpr (kWide)
                status = registry.EnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
            else
                status = registry.EnumValue(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
            if (status != kErrorMoreData)
                break;
            // The value grew since the query: make room and ask again.
            name.resize(capacity(kLongestValueName));
            if (dataSize + 1u > data.size())
                data.resize(static_cast<std::size_t>(dataSize) + 1);
        }
        if (status == kErrorCallNotImplemented)
            return status;
        if (status == kSuccess && nameLength < name.size())
            visit(std::basic_string_view<Char>(name.data(), nameLength), type, data.data(), dataSize);
    }
    return kSuccess;
}

ValueListing ListCounted(Registry& registry, HKey key, TextCodec& codec, const KeyCounts& counts,
                         const RawValueVisit& seen)
{
    ValueListing listing;
    listing.reserve(counts.values == 0xFFFFFFFFu ? 0 : counts.values);
    std::vector<char> name;
    std::vector<std::uint8_t> data;
    EnumerateCounted(registry, key, counts, name, data,
                     [&](std::string_view n, std::uint32_t type, const std::uint8_t* bytes, std::uint32_t size) {
                         if (seen)
                             seen(n, type, bytes, size);
                         listing.push_back(ValueEntryOf(n, type, bytes, size, codec));
                     });
    return listing;
}

ValueListing ListUnsorted(Registry& registry, HKey key, TextCodec& codec)
{
    KeyCounts counts;
    if (!QueryKeyCounts(registry, key, &counts))
        return {};
    return ListCounted(registry, key, codec, counts, {});
}

void InsertDefaultEntry(ValueListing& listing)
{
    for (const ValueEntry& e : listing)
        if (e.name == kDefaultValueName)
            return;
    listing.insert(listing.begin(), ValueEntry{std::string(kDefaultValueName), std::string(kValueNotSet), kRegSz});
}

}  // namespace

ValueListing ListKeyValues(Registry& registry, HKey key, TextCodec& codec)
{
    ValueListing listing = ListUnsorted(registry, key, codec);
    InsertDefaultEntry(listing);
    return listing;
}

bool QueryKeyCounts(Registry& registry, HKey key, KeyCounts* counts)
{
    KeyCounts c;
    if (registry.QueryInfoKey(key, nullptr, nullptr, nullptr, &c.subkeys, &c.longestSubkey, nullptr, &c.values,
                              &c.longestValueName, &c.longestValueData, nullptr, &c.lastWrite) != kSuccess)
        return false;
    *counts = c;
    return true;
}

ValueListing ListKeyValues(Registry& registry, HKey key, TextCodec& codec, const KeyCounts& counts,
                           const RawValueVisit& seen)
{
    ValueListing listing = ListCounted(registry, key, codec, counts, seen);
    InsertDefaultEntry(listing);
    return listing;
}

namespace {

// The text of an enumerated value: "(value not set)" for the unnamed one without data.
void AppendEntryText(std::string& text, bool unnamed, std::uint32_t type, const std::uint8_t* data,
                     std::uint32_t size, TextCodec& codec)
{
    if (unnamed && size == 0)
        text.append(kValueNotSet);
    else
        AppendValueText(text, type, data, size, codec);
}

}  // namespace

ValueEntry ValueEntryOf(std::string_view name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size,
                        TextCodec& codec)
{
    ValueEntry entry;
    entry.type = type;
    entry.name.assign(name.empty() ? kDefaultValueName : name);
    AppendEntryText(entry.text, name.empty(), type, data, size, codec);
    return entry;
}

void AppendRawValueText(std::string& text, const RawValue& value, TextCodec& codec)
{
    AppendEntryText(text, value.unnamed, value.type, value.data.data(), static_cast<std::uint32_t>(value.data.size()),
                    codec);
}

ValueListing ListKeyValuesSorted(Registry& registry, HKey key, TextCodec& codec)
{
    ValueListing listing = ListUnsorted(registry, key, codec);
    OrderForSnapshot(listing);
    return listing;
}

namespace {

// Adjacent pairs are swapped when the first is not "(Default)" and sorts after the second.
// Walking on from the pair before a swap (rather than from the front) gives the same order:
// the pairs ahead of it have not changed.
template <class Entry>
void OrderEntries(std::span<Entry> entries)
{
    std::size_t i = 0;
    while (i + 1 < entries.size()) {
        Entry& e = entries[i];
        Entry& f = entries[i + 1];
        const bool isDefault = e.name.size() == kDefaultValueName.size() &&
                               CompareTextNoCase(e.name, kDefaultValueName) == 0;
        if (!isDefault && CompareTextNoCase(e.name, f.name) > 0) {
            std::swap(e, f);
            if (i > 0)
                --i;
        } else {
            ++i;
        }
    }
}

}  // namespace

void OrderForSnapshot(ValueListing& listing)
{
    OrderEntries(std::span<ValueEntry>(listing));
    InsertDefaultEntry(listing);
}

namespace {

bool IsStringType(std::uint32_t type)
{
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// UTF-16 characters (`unit(i)` for i below `count`) as the ANSI calls give them, appended to
// `out`: ASCII as it stands, anything else through the code page.
template <class Unit>
void AppendNarrow(std::size_t count, Unit&& unit, TextCodec& codec, std::vector<std::uint8_t>& out)
{
    const std::size_t start = out.size();
    out.resize(start + count);
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t c = unit(i);
        if (c >= 0x80) {
            std::u16string wide(count, u'\0');
            for (std::size_t j = 0; j < count; ++j)
                wide[j] = unit(j);
            const std::string narrow = codec.Utf16ToAnsi(wide);
            out.resize(start);
            out.insert(out.end(), narrow.begin(), narrow.end());
            return;
        }
        out[start + i] = static_cast<std::uint8_t>(c);
    }
}

}  // namespace

std::span<const RawValue> ValueLister::Sorted(Registry& registry, HKey key, const KeyCounts& counts, TextCodec& codec)
{
    // Each value's name, data and stored data go to the end of one store; the views into it
    // are made once the store has stopped growing.
    values_.clear();
    store_.clear();
    offsets_.clear();
    ownStored_.clear();
    auto keep = [&](std::string_view n, std::uint32_t type, const std::uint8_t* bytes, std::uint32_t size,
                    const std::uint8_t* stored, std::uint32_t storedSize) {
        offsets_.push_back(store_.size());
        store_.insert(store_.end(), n.begin(), n.end());
        offsets_.push_back(store_.size());
        store_.insert(store_.end(), bytes, bytes + size);
        offsets_.push_back(store_.size());
        if (stored)
            store_.insert(store_.end(), stored, stored + storedSize);
        values_.push_back(RawValue{{}, n.empty(), type, {}, {}});
        ownStored_.push_back(stored != nullptr);  // without a stored form of its own, it is `data`
    };
    bool listed = false;
    if (!noWideCalls_) {
        // Each value's ANSI name and data are made straight into the store, its stored data
        // (of a string) after them.
        listed = EnumerateCounted(
            registry, key, counts, wideName_, data_,
            [&](std::u16string_view n, std::uint32_t type, const std::uint8_t* bytes, std::uint32_t size) {
                offsets_.push_back(store_.size());
                AppendNarrow(n.size(), [&](std::size_t i) { return n[i]; }, codec, store_);
                offsets_.push_back(store_.size());
                const bool text = IsStringType(type);
                if (text)  // the ANSI calls read whole characters only
                    AppendNarrow(
                        size / 2,
                        [&](std::size_t i) { return static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)); },
                        codec, store_);
                else
                    store_.insert(store_.end(), bytes, bytes + size);
                offsets_.push_back(store_.size());
                if (text)
                    store_.insert(store_.end(), bytes, bytes + size);
                values_.push_back(RawValue{{}, n.empty(), type, {}, {}});
                ownStored_.push_back(text);
            }) != kErrorCallNotImplemented;
        if (!listed)
            noWideCalls_ = true;
    }
    if (!listed) {
        values_.clear();
        store_.clear();
        offsets_.clear();
        ownStored_.clear();
        // String data as the registry would keep it in UTF-16, so that a stored form always
        // means the same.
        EnumerateCounted(registry, key, counts, name_, data_,
                         [&](std::string_view n, std::uint32_t type, const std::uint8_t* bytes, std::uint32_t size) {
                             if (!IsStringType(type)) {
                                 keep(n, type, bytes, size, nullptr, 0);
                                 return;
                             }
                             wide_ = codec.AnsiToUtf16(
                                 std::string_view(reinterpret_cast<const char*>(bytes), size));
                             widened_.resize(wide_.size() * 2);
                             for (std::size_t i = 0; i < wide_.size(); ++i) {
                                 widened_[2 * i] = static_cast<std::uint8_t>(wide_[i] & 0xFF);
                                 widened_[2 * i + 1] = static_cast<std::uint8_t>(wide_[i] >> 8);
                             }
                             keep(n, type, bytes, size, widened_.data(), static_cast<std::uint32_t>(widened_.size()));
                         });
    }
    offsets_.push_back(store_.size());
    const char* const text = reinterpret_cast<const char*>(store_.data());
    for (std::size_t i = 0; i < values_.size(); ++i) {
        RawValue& v = values_[i];
        const std::size_t name = offsets_[3 * i], data = offsets_[3 * i + 1], stored = offsets_[3 * i + 2],
                          next = offsets_[3 * i + 3];
        const bool ownStored = ownStored_[i];
        v.name = v.unnamed ? kDefaultValueName : std::string_view(text + name, data - name);
        v.data = std::span<const std::uint8_t>(store_.data() + data, stored - data);
        v.stored = ownStored ? std::span<const std::uint8_t>(store_.data() + stored, next - stored) : v.data;
    }
    std::span<RawValue> sorted(values_);
    OrderEntries(sorted);
    return sorted;
}

namespace {

// The registry says how large a value is, but it may grow between two calls: ask again with
// the new size a few times, never more.
constexpr int kReadAttempts = 4;

std::string UpToNul(const char* text, std::size_t size)
{
    std::string_view view(text, size);
    return std::string(view.substr(0, view.find('\0')));
}

}  // namespace

std::optional<std::string> ReadStringValue(Registry& registry, HKey key, const char* valueName)
{
    std::uint32_t type = 0, size = 0;
    if (registry.QueryValueEx(key, valueName, nullptr, &type, nullptr, &size) != kSuccess)
        return std::nullopt;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size) + 1, 0);
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        size = static_cast<std::uint32_t>(data.size() - 1);
        long status = registry.QueryValueEx(key, valueName, nullptr, &type, data.data(), &size);
        if (status == kErrorMoreData) {
            data.assign(static_cast<std::size_t>(size) + 1, 0);
            continue;
        }
        if (status != kSuccess || (type != kRegSz && type != kRegExpandSz))
            return std::nullopt;
        return UpToNul(reinterpret_cast<const char*>(data.data()), size);
    }
    return std::nullopt;
}

std::optional<std::string> ReadDefaultText(Registry& registry, HKey key, const char* subKey)
{
    std::vector<char> data(260, '\0');
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        auto size = static_cast<std::int32_t>(data.size());
        long status = registry.QueryValue(key, subKey, data.data(), &size);
        if (status == kErrorMoreData && size > 0) {
            data.assign(static_cast<std::size_t>(size) + 1, '\0');
            continue;
        }
        if (status != kSuccess)
            return std::nullopt;
        std::size_t got = size > 0 ? std::min(static_cast<std::size_t>(size), data.size()) : 0;
        return UpToNul(data.data(), got);
    }
    return std::nullopt;
}

}  // namespace tw
