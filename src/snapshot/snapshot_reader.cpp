#include "snapshot/snapshot_reader.h"

#include "platform/codepage.h"
#include "registry/key_path.h"
#include "registry/value_text.h"
#include "registry/write_behind.h"
#include "snapshot/xml_text.h"

namespace tw {
namespace {

bool NameIs(std::string_view name, std::string_view expected)
{
    return CompareTextNoCase(name, expected) == 0;
}

// Closes the top key once its values are written, unless its handle is its parent's, which
// stays open for the parent's remaining values and keys.
void PopKey(KeyStack& stack, RegistryWriteBehind& writes)
{
    if (stack.back().parentsHandle)
        stack.back().key.Release();
    else
        writes.Close(std::move(stack.back().key), stack.back().behind);
    stack.pop_back();
}

// A value in its exact form: string data (UTF-16) through the wide call, which keeps it as
// given, or as the code page keeps it where there is none; other data through the ANSI call,
// which keeps it as given.
long WriteExactly(RegistryWriteBehind& writes, const KeyStackEntry& entry, TextValue value, TextCodec& codec)
{
    std::string data(value.data.begin(), value.data.end());
    if (value.type != kRegSz && value.type != kRegExpandSz && value.type != kRegMultiSz)
        return writes.SetValue(entry.key.get(), entry.behind, std::move(value.name), value.type, std::move(data), 0,
                               {});
    std::u16string units(value.data.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(value.data[2 * i] | (value.data[2 * i + 1] << 8));
    std::u16string wideName = codec.AnsiToUtf16(value.name);
    return writes.SetValueWide(entry.key.get(), entry.behind, std::move(wideName), std::move(value.name), value.type,
                               std::move(data), codec.Utf16ToAnsi(units), 0, {});
}

// Whether the registry holds the value under `key` with another type or other bytes than
// the file gives: what a restore would write over. Strings are compared as the registry keeps
// them (UTF-16); the file's text form gives them in the code page, its exact form in UTF-16.
// A value that is not there is written over by nothing; one that cannot be read counts as
// other data, so that whoever saves it first finds out.
bool HoldsOtherData(Registry& registry, HKey key, const TextValue& value, bool exactForm, TextCodec& codec)
{
    const bool isString = value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz;
    std::string wanted(value.data.begin(), value.data.end());
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::string held;
    long status = kSuccess;
    if (isString) {
        if (!exactForm) {
            const std::u16string units = codec.AnsiToUtf16(wanted);
            wanted.assign(reinterpret_cast<const char*>(units.data()), units.size() * 2);
        }
        const std::u16string name = codec.AnsiToUtf16(value.name);
        status = registry.QueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
        if (status == kSuccess) {
            held.assign(size, '\0');
            status = registry.QueryValueExW(key, name.c_str(), nullptr, &type,
                                            reinterpret_cast<std::uint8_t*>(held.data()), &size);
        }
    } else {
        status = registry.QueryValueEx(key, value.name.c_str(), nullptr, &type, nullptr, &size);
        if (status == kSuccess) {
            held.assign(size, '\0');
            status = registry.QueryValueEx(key, value.name.c_str(), nullptr, &type,
                                           reinterpret_cast<std::uint8_t*>(held.data()), &size);
        }
    }
    if (status == kErrorFileNotFound)
        return false;
    return status != kSuccess || type != value.type || std::string_view(held.data(), size) != wanted;
}

}  // namespace

std::string KeyStackPath(const KeyStack& stack)
{
    std::string path;
    for (std::size_t i = 0; i < stack.size(); ++i) {
        if (i)
            path += '\\';
        path += stack[i].name;
    }
    return path;
}

HKey OpenOrCreateKeyPath(Registry& registry, const KeyStack& stack, long* status, bool* created)
{
    long ignored = kSuccess;
    long& result = status ? *status : ignored;
    bool ignoredCreated = false;
    bool& made = created ? *created : ignoredCreated;
    result = kUnknownRoot;
    made = false;
    if (stack.empty())
        return nullptr;

    HKey parent = nullptr;
    std::string subkeyPath;
    std::optional<HKey> root = RootKeyFromName(stack.front().name);
    if (stack.size() >= 2 && stack[stack.size() - 2].key) {
        // Opening the last name below its parent's open handle names the same key as the
        // whole path from the root, without making the registry walk the path again.
        parent = stack[stack.size() - 2].key.get();
        subkeyPath = stack.back().name;
    } else {
        if (!root)
            return nullptr;
        parent = *root;
        for (std::size_t i = 1; i < stack.size(); ++i) {
            if (i > 1)
                subkeyPath += '\\';
            subkeyPath += stack[i].name;
        }
    }

    HKey key = nullptr;
    // Below a key this restore has just made there is nothing to open: asking would only
    // cost the registry a round trip per key.
    const bool parentMade = stack.size() >= 2 && stack[stack.size() - 2].created;
    if (!parentMade) {
        result = registry.OpenKey(parent, subkeyPath.c_str(), &key);
        if (result == kSuccess)
            return key;
        key = nullptr;
    }
    if (!root) {
        result = kUnknownRoot;
        return nullptr;
    }
    result = registry.CreateKey(parent, subkeyPath.c_str(), &key);
    if (result != kSuccess)
        return nullptr;
    made = true;
    return key;
}

namespace {

// The walk of a snapshot file. With `writesOver`, it writes nothing: keys are only opened (a
// missing key and all below it hold nothing to write over), and each value the registry
// holds with other data is listed instead of written.
bool WalkSnapshotFile(XmlReader& reader, std::string_view filePath, const RestoreTarget& target,
                      RestoreReport* report, std::vector<OverwrittenValue>* writesOver)
{
    RestoreReport ignored;
    RestoreReport& out = report ? *report : ignored;
    out = RestoreReport{};
    Registry& registry = target.registry;

    reader.SetFileName(filePath);
    // Declared first, the stack outlives the writes: no handle closes while a value waits.
    KeyStack stack;
    RegistryWriteBehind writes(registry);
    std::size_t failedAtOnce = 0;  // values the registry refused as they were handed over
    std::string valueName, valueText, typeName;
    // A value's exact form ("data"), which takes the place of its text and type when given.
    std::string exactText;
    bool exact = false;
    std::string attributeName, attributeValue, elementName;
    bool goOn = true;
    // A key element's name comes as its attribute. Its end tag closes the key it opened, so
    // one without a name would close its parent instead.
    bool keyNamePending = false;
    int keyLine = 0;

    while (goOn && reader.ReadNext()) {
        out.fileOpened = true;
        if (keyNamePending && reader.Token() != XmlToken::Attribute && reader.Token() != XmlToken::None) {
            out.malformed = "a key element without a name";
            out.failedKeyPath = KeyStackPath(stack);
            out.failedLine = keyLine;
            goOn = false;
            break;
        }
        switch (reader.Token()) {
        case XmlToken::StartElement:
            if (NameIs(reader.ElementName(), "k")) {
                keyNamePending = true;
                keyLine = reader.LineNumber();
            }
            break;
        case XmlToken::Attribute: {
            const std::string& element = reader.ElementName();
            const bool isKey = NameIs(element, "k");
            if (!isKey && !NameIs(element, "v"))
                break;
            UnescapeXmlTextInto(reader.AttributeName(), target.codec, attributeName);
            if (isKey) {
                if (!NameIs(attributeName, "name") || !keyNamePending)
                    break;
                keyNamePending = false;
                stack.push_back({{}, KeyHandle(registry), false});
                UnescapeXmlTextInto(reader.AttributeValue(), target.codec, stack.back().name);
                long status = kSuccess;
                bool created = false;
                if (writesOver) {
                    const bool parentAbsent = stack.size() >= 2 && !stack[stack.size() - 2].key;
                    HKey key = nullptr;
                    if (!parentAbsent && stack.size() >= 2)
                        registry.OpenKeyEx(stack[stack.size() - 2].key.get(), stack.back().name.c_str(), 0,
                                           kKeyRead, &key);
                    else if (stack.size() == 1)
                        key = RootKeyFromName(stack.back().name).value_or(nullptr);
                    *stack.back().key.Put() = key;
                    // A root stands for itself: nothing closes it.
                    stack.back().parentsHandle = stack.size() == 1 ||
                                                 (stack.size() >= 2 && key && key == stack[stack.size() - 2].key.get());
                    ++out.keys;
                    break;
                }
                HKey key = OpenOrCreateKeyPath(registry, stack, &status, &created);
                if (!key) {
                    out.failedKeyPath = KeyStackPath(stack);
                    out.failedStatus = status;
                    out.failedLine = reader.LineNumber();
                    if (target.showArrowCursor)
                        target.showArrowCursor();
                    goOn = false;
                    break;
                }
                *stack.back().key.Put() = key;
                stack.back().created = created;
                stack.back().parentsHandle = stack.size() >= 2 && key == stack[stack.size() - 2].key.get();
                // A key that shares its parent's handle writes its values as the parent does.
                stack.back().behind =
                    stack.back().parentsHandle ? stack[stack.size() - 2].behind : writes.HandNextKey();
                ++out.keys;
            } else if (NameIs(attributeName, "name")) {
                UnescapeXmlTextInto(reader.AttributeValue(), target.codec, valueName);
                valueText.clear();
                typeName.clear();
                exact = false;
            } else if (NameIs(attributeName, "data")) {
                exactText.assign(reader.AttributeValue());  // hex digits and blanks only
                exact = true;
            } else if (NameIs(attributeName, "value")) {
                UnescapeXmlTextInto(reader.AttributeValue(), target.codec, valueText);
                typeName.clear();
            } else if (NameIs(attributeName, "type")) {
                UnescapeXmlTextInto(reader.AttributeValue(), target.codec, typeName);
            }
            break;
        }
        case XmlToken::EndElement:
            if (stack.empty())
                break;  // more end tags than start tags, or a value outside any key
            UnescapeXmlTextInto(reader.ElementName(), target.codec, elementName);
            if (NameIs(elementName, "k")) {
                PopKey(stack, writes);
            } else if (NameIs(elementName, "v")) {
                // What the writes make of it is counted when they are done.
                const KeyStackEntry& entry = stack.back();
                std::optional<TextValue> value;
                bool failed = false;
                if (writesOver) {
                    if (exact)
                        value = ParseExactValue(valueName, exactText);
                    else if (HexDigitsAreHex(valueText, TypeCodeFromName(typeName)))
                        value = ParseTextValue(valueName, valueText, typeName);
                    if (!value)
                        ++out.valuesFailed;
                    else if (++out.values, entry.key &&
                             HoldsOtherData(registry, entry.key.get(), *value, exact, target.codec))
                        writesOver->push_back({KeyStackPath(stack), value->name});
                } else if (!entry.key) {
                    ++out.values;  // nothing to write into
                } else if (exact) {
                    if (!(value = ParseExactValue(valueName, exactText))) {
                        ++out.valuesFailed;  // not the exact form
                        failed = true;
                    } else if (WriteExactly(writes, entry, std::move(*value), target.codec) != kSuccess) {
                        ++failedAtOnce;
                        failed = true;
                    }
                } else if (!HexDigitsAreHex(valueText, TypeCodeFromName(typeName)) ||
                           !(value = ParseTextValue(valueName, valueText, typeName))) {
                    ++out.valuesFailed;  // the text gives no data for its type, or not all of it
                    failed = true;
                } else if (writes.SetValue(entry.key.get(), entry.behind, std::move(value->name), value->type,
                                           std::string(value->data.begin(), value->data.end()), 0, {}) != kSuccess) {
                    ++failedAtOnce;
                    failed = true;
                }
                if (failed && target.showArrowCursor)
                    target.showArrowCursor();
                valueName.clear();
                valueText.clear();
                typeName.clear();
                exact = false;
            }
            break;
        default:
            break;
        }
    }
    if (reader.IsOpen())
        out.fileOpened = true;
    while (!stack.empty())
        PopKey(stack, writes);
    writes.Finish();
    out.values += writes.written();
    out.valuesFailed += writes.failures().size();
    if (writes.failures().size() > failedAtOnce && target.showArrowCursor)
        target.showArrowCursor();
    reader.Close();
    return goOn;
}

}  // namespace

bool RestoreSnapshotFile(XmlReader& reader, std::string_view filePath, const RestoreTarget& target,
                         RestoreReport* report)
{
    return WalkSnapshotFile(reader, filePath, target, report, nullptr);
}

bool ListValuesASnapshotWritesOver(XmlReader& reader, std::string_view filePath, const RestoreTarget& target,
                                   std::vector<OverwrittenValue>& values, RestoreReport* report)
{
    return WalkSnapshotFile(reader, filePath, target, report, &values);
}

}  // namespace tw
