#include "snapshot/snapshot_writer.h"

#include "platform/key_handle.h"
#include "registry/key_enumeration.h"
#include "registry/key_path.h"
#include "snapshot/xml_text.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace tw {
namespace {

// One line after another built in place in the writer's buffer (XmlWriter::Room). Each Put
// makes its room first: a comparison, as the buffer almost always holds it. A text too long
// for the room the writer hands out at once goes in pieces.
class LineOut {
public:
    LineOut(XmlWriter& writer, TextCodec& codec) : writer_(writer), codec_(codec) {}
    LineOut(const LineOut&) = delete;
    LineOut& operator=(const LineOut&) = delete;

    // The start of a line: `blanks` blanks of indentation, a fixed number of them stored at
    // once, of which as many as are wanted count.
    bool Begin(int blanks)
    {
        std::size_t n = blanks > 0 ? static_cast<std::size_t>(blanks) : 0;
        for (;;) {
            if (!Reserve(kFewBlanks))
                return false;
            std::memcpy(at_, kBlanks, kFewBlanks);
            const std::size_t put = std::min(n, kFewBlanks);
            at_ += put;
            n -= put;
            if (n == 0)
                return true;
        }
    }

    // Text the caller knows to be fit for the file as it stands.
    template <std::size_t N>
    bool Put(const char (&literal)[N])
    {
        if (!Reserve(N - 1))
            return false;
        std::memcpy(at_, literal, N - 1);
        at_ += N - 1;
        return true;
    }
    bool PutBytes(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const std::size_t piece = std::min(bytes.size(), kPiece);
            if (!Reserve(piece))
                return false;
            std::memcpy(at_, bytes.data(), piece);
            at_ += piece;
            bytes.remove_prefix(piece);
        }
        return true;
    }

    // A registry name or text: escaped, and from the code page to UTF-8 (AppendXmlText).
    bool PutText(std::string_view text)
    {
        if (text.size() <= kPiece) {
            if (!Reserve(kXmlTextGrowth * text.size()))
                return false;
            if (char* end = PutAsciiXmlText(text, at_)) {
                at_ = end;
                return true;
            }
        }
        escaped_.clear();
        AppendXmlText(text, codec_, escaped_);
        return PutBytes(escaped_);
    }

    // The text of a value whose text is hex digits and numbers (IsHexTextType): a number
    // reads only its first bytes, binary data of any length goes in pieces.
    bool PutHex(std::uint32_t type, std::span<const std::uint8_t> data)
    {
        if (type == kRegDword || type == kRegDwordBigEndian || type == kRegQword) {
            if (!Reserve(HexTextBound(0)))
                return false;
            at_ = PutHexText(at_, type, data.data(), data.size());
            return true;
        }
        constexpr std::size_t kBytes = kPiece / 3;
        for (std::size_t done = 0; done < data.size(); done += kBytes) {
            const std::size_t piece = std::min(data.size() - done, kBytes);
            if (!Reserve(HexTextBound(piece) + 1))
                return false;
            if (done != 0)
                *at_++ = ' ';
            at_ = PutHexText(at_, type, data.data() + done, piece);
        }
        return true;
    }

    // The line is whole: it goes to the writer (and on to the file when the buffer is full).
    bool End()
    {
        if (!at_)
            return false;
        const bool ok = writer_.Commit(at_);
        at_ = end_ = nullptr;
        return ok;
    }

private:
    static constexpr std::size_t kFewBlanks = 16;
    static constexpr char kBlanks[kFewBlanks + 1] = "                ";
    // The most a single Put asks the writer for at once.
    static constexpr std::size_t kPiece = XmlWriter::kRoomLimit / kXmlTextGrowth;

    bool Reserve(std::size_t bytes)
    {
        if (at_ && static_cast<std::size_t>(end_ - at_) >= bytes)
            return true;
        if (at_ && !writer_.Commit(at_)) {
            at_ = end_ = nullptr;
            return false;
        }
        std::size_t free = 0;
        at_ = writer_.Room(bytes, &free);
        end_ = at_ ? at_ + free : nullptr;
        return at_ != nullptr;
    }

    XmlWriter& writer_;
    TextCodec& codec_;
    char* at_ = nullptr;
    char* end_ = nullptr;
    std::string escaped_;  // a text that is not ASCII only, escaped and converted
};

// `<v name="..." value="..." type="..."/>` on a line of its own, one level below the key: the
// line XmlElement::WriteEmptyTag makes of a "v" element with these attributes, built here
// straight into the file's bytes, since it is written for every value of a full backup.
// `putValue` puts the value attribute's text, escaped.
template <class PutValue>
bool WriteValueLine(XmlWriter& writer, LineOut& line, std::string_view name, std::uint32_t type, PutValue&& putValue)
{
    if (!line.Begin(writer.Indent() + 1) || !line.Put("<v name=\"") || !line.PutText(name) ||
        !line.Put("\" value=\"") || !putValue() || !line.Put("\""))
        return false;
    if (type != kRegSz && type != kRegNone) {
        if (!line.Put(" type=\"") || !line.PutBytes(TypeNameFromCode(type)) || !line.Put("\""))  // letters and '_'
            return false;
    }
    return line.Put("/>\r\n") && line.End();
}

// `<v name="..." data="hex(N):xx xx ..."/>`: a value by its type's number and the bytes the
// registry keeps, for a value whose text form would not restore it exactly.
bool WriteExactValueLine(XmlWriter& writer, LineOut& line, std::string_view name, std::uint32_t type,
                         std::span<const std::uint8_t> stored)
{
    char prefix[16];
    const std::size_t length = PutExactTypePrefix(prefix, type);
    return line.Begin(writer.Indent() + 1) && line.Put("<v name=\"") && line.PutText(name) &&
           line.Put("\" data=\"") && line.PutBytes(std::string_view(prefix, length)) &&
           line.PutHex(kRegBinary, stored) && line.Put("\"/>\r\n") && line.End();
}

std::uint16_t Utf16At(std::span<const std::uint8_t> bytes, std::size_t i)
{
    return static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

bool SameUtf16(std::u16string_view text, std::span<const std::uint8_t> bytes, std::size_t units)
{
    if (text.size() != units)
        return false;
    for (std::size_t i = 0; i < units; ++i)
        if (text[i] != Utf16At(bytes, i))
            return false;
    return true;
}

// True when the value's text form gives it back as the registry keeps it: the type its type
// name reads as and the same bytes (string data after its way through the code page, the
// file's line ends and the ANSI call that writes it). `ansiText` is the text of a string.
bool TextFormIsExact(const RawValue& value, std::string_view ansiText, TextCodec& codec)
{
    const std::span<const std::uint8_t> stored = value.stored;
    switch (value.type) {
    case kRegBinary:
    case kRegResourceList:
    case kRegResourceRequirementsList: return !stored.empty();  // no text reads as no bytes
    case kRegDword: return stored.size() == 4;
    case kRegQword: return stored.size() == 8;
    case kRegSz:
    case kRegExpandSz: {
        // One terminator, at the end, and nothing else NUL; a line feed comes back as CR LF.
        if (stored.size() < 2 || stored.size() % 2 != 0)
            return false;
        const std::size_t units = stored.size() / 2 - 1;
        if (Utf16At(stored, units) != 0)
            return false;
        bool ascii = true;
        for (std::size_t i = 0; i < units; ++i) {
            const std::uint16_t c = Utf16At(stored, i);
            if (c == 0 || (c == '\n' && (i == 0 || Utf16At(stored, i - 1) != '\r')))
                return false;
            ascii = ascii && c < 0x80;
        }
        return ascii || SameUtf16(codec.AnsiToUtf16(ansiText), stored, units);
    }
    case kRegMultiSz: {
        // What the restore makes of the text: line ends become NULs, CRs go, two NULs end it.
        if (stored.size() % 2 != 0)
            return false;
        const auto restored = ParseValueText(ansiText, kRegMultiSz);
        return restored &&
               SameUtf16(codec.AnsiToUtf16(std::string_view(reinterpret_cast<const char*>(restored->data()),
                                                             restored->size())),
                         stored, stored.size() / 2);
    }
    default: return false;  // no type name reads as its type
    }
}

bool WriteExactValueLine(XmlWriter& writer, LineOut& line, std::string_view name, std::string_view exactForm)
{
    return line.Begin(writer.Indent() + 1) && line.Put("<v name=\"") && line.PutText(name) &&
           line.Put("\" data=\"") && line.PutBytes(exactForm) && line.Put("\"/>\r\n") && line.End();
}

bool WriteValueElement(XmlWriter& writer, LineOut& line, const ValueEntry& entry)
{
    if (entry.exact)
        return WriteExactValueLine(writer, line, entry.name, entry.text);
    if (entry.name == kDefaultValueName && entry.text == kValueNotSet)
        return true;  // the unnamed value without data is not written
    return WriteValueLine(writer, line, entry.name, entry.type, [&] {
        return IsHexTextType(entry.type) ? line.PutBytes(entry.text) : line.PutText(entry.text);
    });
}

enum class Form { Text, Exact, LeftOut };

// How a value is written. "(Default)" reading "(value not set)" is a listing's entry for a
// key without an unnamed value, which is not written: a value that names and reads itself
// so is left out, but the unnamed value that reads so (without data, or with that text) is
// written by its bytes. Hex text never reads so. `text` is the value's text when it is not
// hex text.
Form FormOf(const RawValue& value, std::string_view text, TextCodec& codec)
{
    if (value.name == kDefaultValueName) {
        const bool readsNotSet =
            (value.unnamed && value.data.empty()) || (!IsHexTextType(value.type) && text == kValueNotSet);
        if (readsNotSet)
            return value.unnamed ? Form::Exact : Form::LeftOut;
    }
    return TextFormIsExact(value, text, codec) ? Form::Text : Form::Exact;
}

// The same line for a value as the registry gave it: its text is made where it goes, and a
// string's bytes are escaped straight from the data. A value whose text would not give it
// back exactly is written by its bytes.
bool WriteValueElement(XmlWriter& writer, LineOut& line, TextCodec& codec, const RawValue& value,
                       std::string& scratch)
{
    const bool hex = IsHexTextType(value.type);
    const std::optional<std::string_view> stored =
        hex ? std::nullopt : StoredText(value.type, value.data.data(), value.data.size());
    if (!hex && !stored) {
        scratch.clear();
        AppendRawValueText(scratch, value, codec);
    }
    const std::string_view text = hex ? std::string_view() : stored ? *stored : std::string_view(scratch);
    switch (FormOf(value, text, codec)) {
    case Form::LeftOut: return true;
    case Form::Exact: return WriteExactValueLine(writer, line, value.name, value.type, value.stored);
    case Form::Text: break;
    }
    return WriteValueLine(writer, line, value.name, value.type, [&] {
        if (hex)
            return line.PutHex(value.type, value.data);
        return line.PutText(text);
    });
}

// `<k name="...">` (one level deeper from here on) or `<k name="..."/>`, and `</k>` (one
// level back up): the lines XmlElement makes of a "k" element, built in place as the values'
// are, since a full backup writes them for every key.
bool WriteKeyTag(XmlWriter& writer, LineOut& line, std::string_view name, bool empty)
{
    const int indent = writer.Indent() + 1;
    if (!empty)
        writer.SetIndent(indent);
    if (!line.Begin(indent) || !line.Put("<k name=\"") || !line.PutText(name))
        return false;
    return (empty ? line.Put("\"/>\r\n") : line.Put("\">\r\n")) && line.End();
}

bool WriteKeyEndTag(XmlWriter& writer, LineOut& line)
{
    const int indent = writer.Indent();
    writer.SetIndent(indent - 1);
    return line.Begin(indent) && line.Put("</k>\r\n") && line.End();
}

// What one walk reuses from key to key: the registry it asks, and the value listing whose
// storage is kept between keys so that writing a value allocates nothing of its own.
struct Walk {
    Walk(XmlWriter& w, Registry& r, TextCodec& c, const SkippedKeyReport* skipped = nullptr)
        : writer(w), line(w, c), registry(r), codec(c), onSkipped(skipped)
    {
    }

    XmlWriter& writer;
    LineOut line;
    Registry& registry;
    TextCodec& codec;
    ValueLister values;
    std::string scratch;  // the text of a value that is made before it is escaped
    // A buffer for subkey names per level of the walk (a deque, so that a deeper level added
    // leaves the ones in use where they are), and the level at hand.
    std::deque<std::string> names;
    std::size_t depth = 0;
    // Only kept when someone is told of the keys left out: the full path of the key at hand.
    const SkippedKeyReport* onSkipped;
    std::string path;
};

enum class KeyWritten { Whole, Unreadable, Failed };

KeyWritten Result(bool ok)
{
    return ok ? KeyWritten::Whole : KeyWritten::Failed;
}

KeyWritten WriteKey(Walk& walk, std::string_view keyName, HKey key, const ValueEntry* singleValue)
{
    // The key is asked once for what the walk needs of it: under Wine every question is a
    // round trip to the registry server.
    KeyCounts counts;
    if (!QueryKeyCounts(walk.registry, key, &counts))
        return KeyWritten::Unreadable;
    const std::uint32_t subkeys = counts.subkeys;
    // The subkey names of this level, in storage kept for the level from key to key.
    if (walk.names.size() <= walk.depth)
        walk.names.resize(walk.depth + 1);
    std::string& name = walk.names[walk.depth];
    SizeNameBuffer(name, NameKind::Subkey, counts);
    const bool hasContents = subkeys != 0 || counts.values != 0;

    if (!keyName.empty()) {
        if (!hasContents)
            // An empty-element tag holds nothing: whatever appeared in the key since the
            // query is left out rather than written where it would restore into the parent.
            return Result(WriteKeyTag(walk.writer, walk.line, keyName, true));
        if (!WriteKeyTag(walk.writer, walk.line, keyName, false))
            return KeyWritten::Failed;
    }

    if (singleValue) {
        if (!WriteValueElement(walk.writer, walk.line, *singleValue))
            return KeyWritten::Failed;
    } else {
        for (const RawValue& value : walk.values.Sorted(walk.registry, key, counts, walk.codec))
            if (!WriteValueElement(walk.writer, walk.line, walk.codec, value, walk.scratch))
                return KeyWritten::Failed;
    }

    // A key that counts no subkeys is not asked for any: a round trip per key under Wine.
    for (std::uint32_t index = 0; subkeys != 0; ++index) {
        // A name longer than the key reported grows the buffer to what any name takes, rather
        // than ending the walk and losing the rest of the subkeys.
        std::string_view found;
        if (EnumerateName(walk.registry, key, NameKind::Subkey, index, name, &found) != kSuccess ||
            found.size() >= name.size())
            break;
        const std::size_t length = found.size();
        if (length == 0)
            continue;
        name[length] = '\0';
        std::size_t pathLength = walk.path.size();
        if (walk.onSkipped) {
            walk.path += '\\';
            walk.path.append(name.data(), length);
        }
        // A subkey that cannot be opened or queried is left out with its subtree: a backup
        // keeps everything else of the branch rather than ending at the first such key.
        KeyHandle subkey(walk.registry);
        KeyWritten written = KeyWritten::Unreadable;
        if (walk.registry.OpenKey(key, name.data(), subkey.Put()) == kSuccess) {
            ++walk.depth;
            written = WriteKey(walk, std::string_view(name.data(), length), subkey.get(), nullptr);
            --walk.depth;
        }
        if (written == KeyWritten::Unreadable && walk.onSkipped)
            (*walk.onSkipped)(walk.path);
        walk.path.resize(pathLength);
        if (written == KeyWritten::Failed)
            return KeyWritten::Failed;
    }

    if (!keyName.empty())
        return Result(WriteKeyEndTag(walk.writer, walk.line));
    return Result(!walk.writer.Failed());
}

// One "k" element for each component of a full key path.
std::vector<XmlElement> PathElements(std::string_view fullKeyPath, TextCodec& codec)
{
    std::vector<XmlElement> components;
    std::size_t start = 0;
    for (;;) {
        std::size_t slash = fullKeyPath.find('\\', start);
        std::string_view component = fullKeyPath.substr(start, slash == std::string_view::npos ? slash : slash - start);
        components.emplace_back("k");
        components.back().SetAttribute("name", EscapeXmlText(component, codec));
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    return components;
}

}  // namespace

bool WriteKeySnapshot(XmlWriter& writer, Registry& registry, TextCodec& codec, std::string_view keyName, HKey key,
                      const ValueEntry* singleValue)
{
    Walk walk(writer, registry, codec);
    return WriteKey(walk, keyName, key, singleValue) == KeyWritten::Whole;
}

bool WriteBranchSnapshot(XmlWriter& writer, Registry& registry, TextCodec& codec, std::string_view fullKeyPath,
                         const ValueEntry* singleValue, const SkippedKeyReport* onSkipped)
{
    if (fullKeyPath.empty())
        return false;
    std::string subkeyPath(fullKeyPath);
    std::string rootName = SplitRootFromPath(subkeyPath);
    KeyOperations keys(registry, DeletionStyle::WindowsNT);
    KeyHandle key(registry);
    if (keys.OpenKeyByName(rootName, subkeyPath, key.Put()) != kSuccess) {
        if (onSkipped)
            (*onSkipped)(std::string(fullKeyPath));
        return false;
    }

    std::vector<XmlElement> components = PathElements(fullKeyPath, codec);
    bool written = true;
    for (const XmlElement& k : components)
        written = k.WriteStartTag(writer, +1, true, true) && written;
    bool result = false;
    if (written) {
        Walk walk(writer, registry, codec, onSkipped);
        if (onSkipped)
            walk.path = fullKeyPath;
        KeyWritten whole = WriteKey(walk, {}, key.get(), singleValue);
        if (whole == KeyWritten::Unreadable && onSkipped)
            (*onSkipped)(walk.path);
        result = whole == KeyWritten::Whole;
    }
    // The path's end tags close the branch even when it stopped early, so the file stays
    // readable up to where it stopped.
    for (auto it = components.rbegin(); it != components.rend(); ++it)
        it->WriteEndTag(writer, -1, true, true);
    // Each branch reaches the file before the caller goes on (the repair deletes the item
    // right after), and a failed write anywhere in it fails the branch.
    if (!writer.Flush())
        result = false;
    return result;
}

bool WriteBranchFrom(XmlWriter& writer, TextCodec& codec, std::string_view fullKeyPath,
                     const std::function<bool(KeySnapshotStream&)>& writeKey)
{
    if (fullKeyPath.empty())
        return false;
    std::vector<XmlElement> components = PathElements(fullKeyPath, codec);
    bool written = true;
    for (const XmlElement& k : components)
        written = k.WriteStartTag(writer, +1, true, true) && written;
    KeySnapshotStream stream(writer, codec);
    bool result = written && writeKey(stream) && !writer.Failed();
    for (auto it = components.rbegin(); it != components.rend(); ++it)
        it->WriteEndTag(writer, -1, true, true);
    if (!writer.Flush())
        result = false;
    return result;
}

void KeySnapshotStream::BeginKey(std::string_view name)
{
    if (!levels_.empty() && !levels_.back().open)
        Open(levels_.back());
    levels_.emplace_back().name.assign(name);
}

void KeySnapshotStream::Value(std::string_view name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size)
{
    if (levels_.empty())
        return;
    ValueEntry entry = ValueEntryOf(name, type, data, size, codec_);
    // The value as the registry keeps it, as far as the ANSI data shows it (string data
    // widened from the code page), so that it is written as the registry walk writes it.
    RawValue value{entry.name, name.empty(), type, std::span<const std::uint8_t>(data, size), {}};
    std::vector<std::uint8_t> widened;
    if (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) {
        const std::u16string wide = codec_.AnsiToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
        for (char16_t c : wide) {
            widened.push_back(static_cast<std::uint8_t>(c & 0xFF));
            widened.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        value.stored = widened;
    } else {
        value.stored = value.data;
    }
    const Form form = FormOf(value, IsHexTextType(type) ? std::string_view() : std::string_view(entry.text), codec_);
    if (form == Form::LeftOut)
        return;
    if (form == Form::Exact) {
        char prefix[kExactTypePrefixBound];
        entry.text.assign(prefix, PutExactTypePrefix(prefix, type));
        const std::size_t at = entry.text.size();
        entry.text.resize(at + HexTextBound(value.stored.size()));
        char* begin = entry.text.data();
        entry.text.resize(static_cast<std::size_t>(PutHexText(begin + at, kRegBinary, value.stored.data(),
                                                               value.stored.size()) - begin));
        entry.exact = true;
    }
    levels_.back().values.push_back(std::move(entry));
}

void KeySnapshotStream::EndKey()
{
    if (levels_.empty())
        return;
    Level& level = levels_.back();
    if (!level.open && !level.name.empty() && level.values.empty()) {
        // Nothing in it: an empty-element tag, as the registry walk writes a key that counts
        // no value and no subkey.
        LineOut line(writer_, codec_);
        WriteKeyTag(writer_, line, level.name, true);
    } else {
        if (!level.open)
            Open(level);
        if (!level.name.empty()) {
            LineOut line(writer_, codec_);
            WriteKeyEndTag(writer_, line);
        }
    }
    levels_.pop_back();
}

void KeySnapshotStream::Open(Level& level)
{
    level.open = true;
    LineOut line(writer_, codec_);
    if (!level.name.empty())
        WriteKeyTag(writer_, line, level.name, false);
    OrderForSnapshot(level.values);
    for (const ValueEntry& entry : level.values)
        WriteValueElement(writer_, line, entry);
    level.values = ValueListing();
}

}  // namespace tw
