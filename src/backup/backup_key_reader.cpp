#include "backup/backup_key_reader.h"

#include "registry/key_enumeration.h"

#include <cstring>

namespace tw {

namespace {

// Growth stops here: no registry name or value comes near it, and a registry that keeps
// answering "more data" must not make the backup loop for ever.
constexpr std::size_t kLargestRead = std::size_t(1) << 30;
constexpr int kMaxGrowAttempts = 40;

bool IsTextType(std::uint32_t type)
{
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// One enumeration call with its name and data buffers grown on "more data": either may be
// the short one, and the data size, when given, says how much.
template <class NameBuffer, class Call>
long EnumGrowing(NameBuffer& name, std::string& data, std::uint32_t* nameLength, std::uint32_t* dataSize, Call call)
{
    long status = kErrorMoreData;
    for (int attempt = 0; attempt < kMaxGrowAttempts && status == kErrorMoreData; ++attempt) {
        *nameLength = static_cast<std::uint32_t>(name.size());
        *dataSize = static_cast<std::uint32_t>(data.size());
        status = call();
        if (status == kErrorMoreData) {
            std::size_t nextName = std::min(name.size() * 2, kLargestRead);
            std::size_t nextData = std::min(std::max<std::size_t>(data.size() * 2, *dataSize), kLargestRead);
            if (nextName == name.size() && nextData == data.size())
                break;
            name.resize(nextName);
            data.resize(nextData);
        }
    }
    return status;
}

}  // namespace

std::size_t KeyContent::Bytes() const
{
    std::size_t bytes = sizeof(KeyContent);
    for (const BackupValue& value : values)
        bytes += sizeof(BackupValue) + value.name.size() + value.data.size();
    for (const std::string& name : subkeys)
        bytes += sizeof(std::string) + sizeof(KeyHandle) + name.size();
    for (const std::string& text : notReadBack)
        bytes += sizeof(std::string) + text.size();
    return bytes;
}

BackupKeyReader::BackupKeyReader(Registry& registry, TextCodec& codec, std::atomic<std::size_t>& heldHandles)
    : registry_(registry), codec_(codec), heldHandles_(heldHandles)
{
}

void BackupKeyReader::Read(HKey key, const std::string& path, KeyContent* content)
{
    content->key = key;
    content->opened = true;
    // The key is asked for its counts once, for its values and its subkeys.
    KeyCounts counts;
    const bool queried = QueryKeyCounts(registry_, key, &counts);
    std::vector<BackupValue> values;
    bool complete = queried && ReadValues(key, counts, &values);
    std::vector<bool> keep(values.size(), true);
    MarkSameNames(values, [](const BackupValue& v) -> const std::string& { return v.name; }, &keep);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (keep[i] && !ReadsBack(key, values[i]))
            keep[i] = false;
        if (keep[i]) {
            content->values.push_back(std::move(values[i]));
        } else {
            content->notReadBack.push_back(path + " [" + values[i].name + "]");
            complete = false;
        }
    }
    content->complete = queried && ReadSubkeys(key, counts, path, content) && complete;
}

void BackupKeyReader::ReadSubkey(HKey parent, const std::string& name, KeyHandle held, const std::string& path,
                                 KeyContent* content)
{
    KeyHandle key(registry_);
    if (held) {
        --heldHandles_;
        key = std::move(held);
    } else if (registry_.OpenKeyEx(parent, name.c_str(), 0, kKeyRead, key.Put()) != kSuccess) {
        // It opened a moment ago; its block stays empty.
        content->opened = false;
        return;
    }
    content->handle = std::move(key);
    Read(content->handle.get(), path, content);
}

void BackupKeyReader::Release(KeyHandle& handle)
{
    if (handle) {
        handle.Close();
        --heldHandles_;
    }
}

void BackupKeyReader::Release(KeyContent& content)
{
    for (KeyHandle& handle : content.subkeyHandles)
        Release(handle);
}

bool BackupKeyReader::ReadSubkeys(HKey key, const KeyCounts& counts, const std::string& path, KeyContent* content)
{
    bool complete = true;
    std::vector<std::string>& names = content->subkeys;
    std::vector<KeyHandle>& opened = content->subkeyHandles;
    SizeNameBuffer(subkeyBuffer_, NameKind::Subkey, counts);
    for (std::uint32_t index = 0; counts.subkeys != 0; ++index) {
        std::string_view name;
        const long status = EnumerateName(registry_, key, NameKind::Subkey, index, subkeyBuffer_, &name);
        if (status == kErrorNoMoreItems)
            break;
        if (status != kSuccess) {
            complete = false;
            if (status != kErrorMoreData)
                break;
            continue;
        }
        std::string subkey(name);
        // A subkey must open again by the name saved: one with a character outside the code
        // page came with a substitute and opens nothing (or another key).
        KeyHandle child(registry_);
        if (subkey.empty() || registry_.OpenKeyEx(key, subkey.c_str(), 0, kKeyRead, child.Put()) != kSuccess) {
            content->notReadBack.push_back(path + "\\" + subkey);
            complete = false;
            continue;
        }
        names.push_back(std::move(subkey));
        if (heldHandles_.fetch_add(1) < kMaxHeldHandles) {
            opened.push_back(std::move(child));
        } else {
            --heldHandles_;
            opened.emplace_back(registry_);
        }
    }
    std::vector<bool> keep(names.size(), true);
    MarkSameNames(names, [](const std::string& n) -> const std::string& { return n; }, &keep);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (keep[i]) {
            if (kept != i) {
                names[kept] = std::move(names[i]);
                opened[kept] = std::move(opened[i]);
            }
            ++kept;
        } else {
            Release(opened[i]);
            content->notReadBack.push_back(path + "\\" + names[i]);
            complete = false;
        }
    }
    names.resize(kept);
    opened.erase(opened.begin() + std::ptrdiff_t(kept), opened.end());
    return complete;
}

bool BackupKeyReader::ReadValues(HKey key, std::vector<BackupValue>* values)
{
    KeyCounts counts;
    return QueryKeyCounts(registry_, key, &counts) && ReadValues(key, counts, values);
}

bool BackupKeyReader::ReadValues(HKey key, const KeyCounts& counts, std::vector<BackupValue>* values)
{
    nameBuffer_.resize(std::max<std::size_t>({nameBuffer_.size(), std::size_t(counts.longestValueName) + 1, 256}));
    wideNameBuffer_.resize(
        std::max<std::size_t>({wideNameBuffer_.size(), std::size_t(counts.longestValueName) + 1, 256}));
    dataBuffer_.resize(std::max<std::size_t>({dataBuffer_.size(), std::size_t(counts.longestValueData), 256}));
    if (counts.values == 0)
        return true;  // nothing to enumerate

    // The values the query counted: one that appears after it is not saved, and so not
    // deleted either (only what a backup holds is).
    bool complete = true;
    for (std::uint32_t index = 0; index < counts.values; ++index) {
        BackupValue value;
        long status = wideListing_ ? ReadValueWide(key, index, &value) : kErrorCallNotImplemented;
        if (status == kErrorCallNotImplemented) {
            wideListing_ = false;
            status = ReadValueAnsi(key, index, &value);
        }
        if (status == kErrorNoMoreItems)
            break;
        if (status != kSuccess) {
            complete = false;
            // A key deleted or refused under us has nothing more to give.
            if (status != kErrorMoreData)
                break;
            continue;
        }
        values->push_back(std::move(value));
    }
    return complete;
}

long BackupKeyReader::ReadValueAnsi(HKey key, std::uint32_t index, BackupValue* value)
{
    std::uint32_t nameLength = 0, type = 0, dataSize = 0;
    long status = EnumGrowing(nameBuffer_, dataBuffer_, &nameLength, &dataSize, [&] {
        return registry_.EnumValue(key, index, nameBuffer_.data(), &nameLength, nullptr, &type,
                                   reinterpret_cast<std::uint8_t*>(dataBuffer_.data()), &dataSize);
    });
    if (status != kSuccess)
        return status;
    value->name.assign(nameBuffer_.data(), std::min<std::size_t>(nameLength, nameBuffer_.size()));
    value->type = type;
    value->data.assign(dataBuffer_.data(), std::min<std::size_t>(dataSize, dataBuffer_.size()));
    return kSuccess;
}

long BackupKeyReader::ReadValueWide(HKey key, std::uint32_t index, BackupValue* value)
{
    std::uint32_t nameLength = 0, type = 0, dataSize = 0;
    long status = EnumGrowing(wideNameBuffer_, dataBuffer_, &nameLength, &dataSize, [&] {
        return registry_.EnumValueW(key, index, wideNameBuffer_.data(), &nameLength, nullptr, &type,
                                    reinterpret_cast<std::uint8_t*>(dataBuffer_.data()), &dataSize);
    });
    if (status != kSuccess)
        return status;
    // What the ANSI calls would give, and whether it names and holds the same when the
    // registry widens it again, as a restore through those calls has it do.
    std::u16string_view wideName(wideNameBuffer_.data(), std::min<std::size_t>(nameLength, wideNameBuffer_.size()));
    value->name = codec_.Utf16ToAnsi(wideName);
    bool same = codec_.AnsiToUtf16(value->name) == wideName;
    value->type = type;
    std::string_view raw(dataBuffer_.data(), std::min<std::size_t>(dataSize, dataBuffer_.size()));
    if (IsTextType(type)) {
        std::u16string text(raw.size() / 2, u'\0');
        std::memcpy(text.data(), raw.data(), text.size() * sizeof(char16_t));
        value->data = codec_.Utf16ToAnsi(text);
        // An odd byte has no character to go through the code page as.
        same = same && raw.size() % 2 == 0 && codec_.AnsiToUtf16(value->data) == text;
    } else {
        value->data.assign(raw);
    }
    value->readsBack = same;
    return kSuccess;
}

bool BackupKeyReader::ReadsBack(HKey key, const BackupValue& value)
{
    if (value.readsBack)
        return *value.readsBack;
    // One wide query answers for name, type and data. The name saved, widened as the registry
    // widens an ANSI name, must find the value, and the value must hold what a restore would
    // write back: text widened from the saved bytes (text that went through the code page
    // with substitutes does not), other data as saved. The ANSI bytes saved were converted
    // from that very text, so an ANSI query would tell nothing more.
    std::u16string wideName = codec_.AnsiToUtf16(value.name);
    std::u16string widened;
    std::string_view expected = value.data;
    if (IsTextType(value.type)) {
        widened = codec_.AnsiToUtf16(value.data);
        expected = std::string_view(reinterpret_cast<const char*>(widened.data()), widened.size() * sizeof(char16_t));
    }
    checkBuffer_.resize(std::max<std::size_t>(expected.size(), 2));
    std::uint32_t type = 0;
    auto size = static_cast<std::uint32_t>(checkBuffer_.size());
    long status = registry_.QueryValueExW(key, wideName.c_str(), nullptr, &type,
                                          reinterpret_cast<std::uint8_t*>(checkBuffer_.data()), &size);
    if (status == kErrorCallNotImplemented)
        return ReadsBackAnsi(key, value);
    return status == kSuccess && type == value.type && size == expected.size() &&
           std::memcmp(checkBuffer_.data(), expected.data(), expected.size()) == 0;
}

bool BackupKeyReader::ReadsBackAnsi(HKey key, const BackupValue& value)
{
    // A registry that keeps ANSI text: nothing was converted, the bytes must be the same.
    // (The ANSI query asks for room for the text in UTF-16 as well, as Windows converts in
    // the caller's buffer; only the bytes it reports are compared.)
    checkBuffer_.resize(
        std::max<std::size_t>(IsTextType(value.type) ? value.data.size() * 2 + 2 : value.data.size(), 1));
    std::uint32_t type = 0;
    auto size = static_cast<std::uint32_t>(checkBuffer_.size());
    return registry_.QueryValueEx(key, value.name.c_str(), nullptr, &type,
                                  reinterpret_cast<std::uint8_t*>(checkBuffer_.data()), &size) == kSuccess &&
           type == value.type && size == value.data.size() &&
           std::memcmp(checkBuffer_.data(), value.data.data(), value.data.size()) == 0;
}

}  // namespace tw
