#include "snapshot/snapshot_writer.h"

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

bool WriteValue(XmlWriter& writer, const ValueEntry& entry, TextCodec& codec)
{
    if (entry.name == kDefaultValueName && entry.text == kValueNotSet)
        return true;  // the unnamed value without data is not written
    XmlElement v("v");
    v.SetAttribute("name", EscapeXmlText(entry.name, codec));
    v.SetAttribute("value", EscapeXmlText(entry.text, codec));
    if (entry.type != kRegSz && entry.type != kRegNone)
        v.SetAttribute("type", EscapeXmlText(TypeNameFromCode(entry.type), codec));
    return v.WriteEmptyTag(writer, +1, true, true);
}

}  // namespace

bool WriteKeySnapshot(XmlWriter& writer, Registry& registry, TextCodec& codec, std::string_view keyName, HKey key,
                      const ValueEntry* singleValue)
{
    std::uint32_t subkeys = 0, longestSubkey = 0, values = 0;
    if (registry.QueryInfoKey(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values, nullptr,
                              nullptr, nullptr, nullptr) != kSuccess)
        return false;
    std::vector<char> name(static_cast<std::size_t>(longestSubkey) + 1);
    const bool hasContents = subkeys != 0 || values != 0;

    XmlElement k("k");
    if (!keyName.empty()) {
        k.SetAttribute("name", EscapeXmlText(keyName, codec));
        if (!hasContents)
            // An empty-element tag holds nothing: whatever appeared in the key since the
            // query is left out rather than written where it would restore into the parent.
            return k.WriteEmptyTag(writer, +1, true, true);
        if (!k.WriteStartTag(writer, +1, true, true))
            return false;
    }

    if (singleValue) {
        if (!WriteValue(writer, *singleValue, codec))
            return false;
    } else {
        for (const ValueEntry& entry : ListKeyValuesSorted(registry, key, codec))
            if (!WriteValue(writer, entry, codec))
                return false;
    }

    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t length = static_cast<std::uint32_t>(name.size());
        long status = registry.EnumKeyEx(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == kErrorMoreData && name.size() < kLargestSubkeyName + 1) {
            // The reported longest name was too short: ask again with room for any name,
            // rather than ending the walk and losing the rest of the subkeys.
            name.resize(kLargestSubkeyName + 1);
            length = static_cast<std::uint32_t>(name.size());
            status = registry.EnumKeyEx(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        }
        if (status != kSuccess)
            break;
        if (length == 0)
            continue;
        std::string subkeyName(name.data(), length);
        KeyHandle subkey(registry);
        if (registry.OpenKey(key, subkeyName.c_str(), subkey.Put()) != kSuccess)
            continue;  // a subkey that cannot be opened is left out with its subtree
        if (!WriteKeySnapshot(writer, registry, codec, subkeyName, subkey.get(), nullptr))
            return false;
    }

    if (!keyName.empty())
        return k.WriteEndTag(writer, -1, true, true);
    return !writer.Failed();
}

bool WriteBranchSnapshot(XmlWriter& writer, Registry& registry, TextCodec& codec, std::string_view fullKeyPath,
                         const ValueEntry* singleValue)
{
    if (fullKeyPath.empty())
        return false;
    std::string subkeyPath(fullKeyPath);
    std::string rootName = SplitRootFromPath(subkeyPath);
    KeyOperations keys(registry, DeletionStyle::WindowsNT);
    KeyHandle key(registry);
    if (keys.OpenKeyByName(rootName, subkeyPath, key.Put()) != kSuccess)
        return false;

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

    bool written = true;
    for (const XmlElement& k : components)
        written = k.WriteStartTag(writer, +1, true, true) && written;
    bool result = written && WriteKeySnapshot(writer, registry, codec, {}, key.get(), singleValue);
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

}  // namespace tw
