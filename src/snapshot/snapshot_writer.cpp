#include "snapshot/snapshot_writer.h"

#include "platform/forwarding_registry.h"
#include "platform/key_handle.h"
#include "registry/key_path.h"
#include "snapshot/xml_text.h"

#include <string>
#include <vector>

namespace tw {
namespace {

// Room for any subkey name when the size the key reported proves too small (a name added
// since, or a multibyte code page in which the ANSI name is longer than the counted one).
constexpr std::uint32_t kLargestSubkeyName = 1024;

// The registry as the writer passes it to the value listing: the listing queries the key
// the writer has queried a moment before, and under Wine every question is a round trip to
// the registry server, so the answer just given is given again. Everything else goes
// straight through.
class QueryOnceRegistry final : public ForwardingRegistry {
public:
    explicit QueryOnceRegistry(Registry& inner) : ForwardingRegistry(inner) {}

    // Asks the registry for the key's counts and keeps them for the next query of that key.
    long QueryCounts(HKey key, std::uint32_t* subkeys, std::uint32_t* longestSubkey, std::uint32_t* values)
    {
        held_ = false;
        long status = inner_.QueryInfoKey(key, nullptr, nullptr, nullptr, &info_.subkeys, &info_.longestSubkey,
                                          &info_.longestClass, &info_.values, &info_.longestValueName,
                                          &info_.longestValue, &info_.securityDescriptor, &info_.lastWrite);
        if (status != kSuccess)
            return status;
        held_ = true;
        heldKey_ = key;
        *subkeys = info_.subkeys;
        *longestSubkey = info_.longestSubkey;
        *values = info_.values;
        return kSuccess;
    }

    long QueryInfoKey(HKey key, char* keyClass, std::uint32_t* classLength, std::uint32_t* reserved,
                      std::uint32_t* subKeys, std::uint32_t* maxSubKeyLength, std::uint32_t* maxClassLength,
                      std::uint32_t* values, std::uint32_t* maxValueNameLength, std::uint32_t* maxValueLength,
                      std::uint32_t* securityDescriptorSize, FileTime* lastWriteTime) override
    {
        if (!held_ || key != heldKey_ || keyClass || classLength || reserved)
            return inner_.QueryInfoKey(key, keyClass, classLength, reserved, subKeys, maxSubKeyLength,
                                       maxClassLength, values, maxValueNameLength, maxValueLength,
                                       securityDescriptorSize, lastWriteTime);
        held_ = false;  // one answer, once
        Give(subKeys, info_.subkeys);
        Give(maxSubKeyLength, info_.longestSubkey);
        Give(maxClassLength, info_.longestClass);
        Give(values, info_.values);
        Give(maxValueNameLength, info_.longestValueName);
        Give(maxValueLength, info_.longestValue);
        Give(securityDescriptorSize, info_.securityDescriptor);
        if (lastWriteTime)
            *lastWriteTime = info_.lastWrite;
        return kSuccess;
    }

    long CloseKey(HKey key) override
    {
        if (key == heldKey_)
            held_ = false;  // a later handle may take the same value
        return inner_.CloseKey(key);
    }

private:
    static void Give(std::uint32_t* place, std::uint32_t value)
    {
        if (place)
            *place = value;
    }

    struct Info {
        std::uint32_t subkeys = 0, longestSubkey = 0, longestClass = 0, values = 0, longestValueName = 0,
                      longestValue = 0, securityDescriptor = 0;
        FileTime lastWrite;
    };

    Info info_;
    bool held_ = false;
    HKey heldKey_ = nullptr;
};

// What one walk reuses from key to key: the registry it asks, and elements and scratch text
// kept between lines so that writing a value allocates nothing of its own.
struct Walk {
    Walk(XmlWriter& w, Registry& r, TextCodec& c, const SkippedKeyReport* skipped = nullptr)
        : writer(w), registry(r), codec(c), onSkipped(skipped)
    {
    }

    XmlWriter& writer;
    QueryOnceRegistry registry;
    TextCodec& codec;
    XmlElement k{"k"};
    XmlElement v{"v"};
    std::string escaped;
    // Only kept when someone is told of the keys left out: the full path of the key at hand.
    const SkippedKeyReport* onSkipped;
    std::string path;
};

bool WriteValueElement(XmlWriter& writer, TextCodec& codec, XmlElement& v, std::string& escaped,
                       const ValueEntry& entry)
{
    if (entry.name == kDefaultValueName && entry.text == kValueNotSet)
        return true;  // the unnamed value without data is not written
    v.ClearAttributes();
    EscapeXmlTextInto(entry.name, codec, escaped);
    v.SetAttribute("name", escaped);
    EscapeXmlTextInto(entry.text, codec, escaped);
    v.SetAttribute("value", escaped);
    if (entry.type != kRegSz && entry.type != kRegNone) {
        EscapeXmlTextInto(TypeNameFromCode(entry.type), codec, escaped);
        v.SetAttribute("type", escaped);
    }
    return v.WriteEmptyTag(writer, +1, true, true);
}

bool WriteValue(Walk& walk, const ValueEntry& entry)
{
    return WriteValueElement(walk.writer, walk.codec, walk.v, walk.escaped, entry);
}

enum class KeyWritten { Whole, Unreadable, Failed };

KeyWritten Result(bool ok)
{
    return ok ? KeyWritten::Whole : KeyWritten::Failed;
}

KeyWritten WriteKey(Walk& walk, std::string_view keyName, HKey key, const ValueEntry* singleValue)
{
    std::uint32_t subkeys = 0, longestSubkey = 0, values = 0;
    if (walk.registry.QueryCounts(key, &subkeys, &longestSubkey, &values) != kSuccess)
        return KeyWritten::Unreadable;
    std::vector<char> name(static_cast<std::size_t>(longestSubkey) + 1);
    const bool hasContents = subkeys != 0 || values != 0;

    // One "k" element serves every level: an end tag needs only the element's name.
    XmlElement& k = walk.k;
    if (!keyName.empty()) {
        k.ClearAttributes();
        EscapeXmlTextInto(keyName, walk.codec, walk.escaped);
        k.SetAttribute("name", walk.escaped);
        if (!hasContents)
            // An empty-element tag holds nothing: whatever appeared in the key since the
            // query is left out rather than written where it would restore into the parent.
            return Result(k.WriteEmptyTag(walk.writer, +1, true, true));
        if (!k.WriteStartTag(walk.writer, +1, true, true))
            return KeyWritten::Failed;
    }

    if (singleValue) {
        if (!WriteValue(walk, *singleValue))
            return KeyWritten::Failed;
    } else {
        for (const ValueEntry& entry : ListKeyValuesSorted(walk.registry, key, walk.codec))
            if (!WriteValue(walk, entry))
                return KeyWritten::Failed;
    }

    // A key that counts no subkeys is not asked for any: a round trip per key under Wine.
    for (std::uint32_t index = 0; subkeys != 0; ++index) {
        std::uint32_t length = static_cast<std::uint32_t>(name.size());
        long status = walk.registry.EnumKeyEx(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == kErrorMoreData && name.size() < kLargestSubkeyName + 1) {
            // The reported longest name was too short: ask again with room for any name,
            // rather than ending the walk and losing the rest of the subkeys.
            name.resize(kLargestSubkeyName + 1);
            length = static_cast<std::uint32_t>(name.size());
            status = walk.registry.EnumKeyEx(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        }
        if (status != kSuccess || length >= name.size())
            break;
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
        if (walk.registry.OpenKey(key, name.data(), subkey.Put()) == kSuccess)
            written = WriteKey(walk, std::string_view(name.data(), length), subkey.get(), nullptr);
        if (written == KeyWritten::Unreadable && walk.onSkipped)
            (*walk.onSkipped)(walk.path);
        walk.path.resize(pathLength);
        if (written == KeyWritten::Failed)
            return KeyWritten::Failed;
    }

    if (!keyName.empty())
        return Result(k.WriteEndTag(walk.writer, -1, true, true));
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
    if (!levels_.empty())
        levels_.back().values.push_back(ValueEntryOf(name, type, data, size, codec_));
}

void KeySnapshotStream::EndKey()
{
    if (levels_.empty())
        return;
    Level& level = levels_.back();
    if (!level.open && !level.name.empty() && level.values.empty()) {
        // Nothing in it: an empty-element tag, as the registry walk writes a key that counts
        // no value and no subkey.
        k_.ClearAttributes();
        EscapeXmlTextInto(level.name, codec_, escaped_);
        k_.SetAttribute("name", escaped_);
        k_.WriteEmptyTag(writer_, +1, true, true);
    } else {
        if (!level.open)
            Open(level);
        if (!level.name.empty())
            k_.WriteEndTag(writer_, -1, true, true);
    }
    levels_.pop_back();
}

void KeySnapshotStream::Open(Level& level)
{
    level.open = true;
    if (!level.name.empty()) {
        k_.ClearAttributes();
        EscapeXmlTextInto(level.name, codec_, escaped_);
        k_.SetAttribute("name", escaped_);
        k_.WriteStartTag(writer_, +1, true, true);
    }
    OrderForSnapshot(level.values);
    for (const ValueEntry& entry : level.values)
        WriteValueElement(writer_, codec_, v_, escaped_, entry);
    level.values = ValueListing();
}

}  // namespace tw
