#include "backup/repair_backup_file.h"

#include "platform/codepage.h"
#include "platform/key_handle.h"
#include "registry/key_path.h"

#include <algorithm>
#include <cstring>

namespace tw {

namespace {

constexpr std::size_t kWriteBufferSize = 64 * 1024;
constexpr std::size_t kReadChunkSize = 64 * 1024;
// Growth stops here: no registry name or value comes near it, and a registry that keeps
// answering "more data" must not make the backup loop for ever.
constexpr std::size_t kLargestRead = std::size_t(1) << 30;
constexpr int kMaxGrowAttempts = 40;

struct RootCode {
    std::uint32_t code;
    const char* name;
    bool backedUp;
};
constexpr RootCode kRootCodes[] = {
    {0x80000000u, "HKEY_CLASSES_ROOT", true},  {0x80000001u, "HKEY_CURRENT_USER", true},
    {0x80000002u, "HKEY_LOCAL_MACHINE", true}, {0x80000003u, "HKEY_USERS", true},
    {0x80000005u, "HKEY_CURRENT_CONFIG", false},
};

bool SameTextNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = char(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

bool IsTextType(std::uint32_t type)
{
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// "HKEY_CURRENT_USER\Software\K": how the log names what the backup leaves out.
std::string DisplayPath(std::uint32_t rootCode, std::string_view subkeyPath)
{
    std::string path = BackupRootName(rootCode).value_or("");
    if (!subkeyPath.empty())
        path.append("\\").append(subkeyPath);
    return path;
}

// Clears `keep` for every entry whose name equals another's without regard to case: the
// registry holds no two such names, so they are substitutes read through the code page.
template <class Item, class Name>
void MarkSameNames(const std::vector<Item>& items, Name name, std::vector<bool>* keep)
{
    std::vector<std::size_t> order(items.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return CompareNoCase1252(name(items[a]), name(items[b])) < 0;
    });
    for (std::size_t i = 1; i < order.size(); ++i)
        if (CompareNoCase1252(name(items[order[i - 1]]), name(items[order[i]])) == 0)
            (*keep)[order[i - 1]] = (*keep)[order[i]] = false;
}

}  // namespace

std::optional<std::uint32_t> BackupRootCode(std::string_view rootName)
{
    for (const RootCode& r : kRootCodes)
        if (r.backedUp && SameTextNoCase(rootName, r.name))
            return r.code;
    return std::nullopt;
}

std::optional<std::string> BackupRootName(std::uint32_t code)
{
    for (const RootCode& r : kRootCodes)
        if (r.code == code)
            return std::string(r.name);
    return std::nullopt;
}

void AppendU32(std::string& bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back(char((value >> (8 * i)) & 0xFF));
}

void AppendText(std::string& bytes, std::string_view text)
{
    AppendU32(bytes, static_cast<std::uint32_t>(text.size()));
    bytes.append(text);
}

// ---- writer

RepairBackupWriter::RepairBackupWriter(Registry& registry, TextCodec& codec, File& file)
    : registry_(registry), codec_(codec), file_(file)
{
    buffer_.reserve(kWriteBufferSize);
}

void RepairBackupWriter::Put(std::string_view bytes)
{
    if (failed_)
        return;
    if (buffer_.size() + bytes.size() > kWriteBufferSize && !Flush())
        return;
    if (bytes.size() >= kWriteBufferSize) {
        if (!file_.Write(bytes.data(), bytes.size()))
            failed_ = true;
        else
            written_ += bytes.size();
        return;
    }
    buffer_.append(bytes);
}

void RepairBackupWriter::PutU32(std::uint32_t value)
{
    char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xFF);
    Put(std::string_view(bytes, 4));
}

void RepairBackupWriter::PutText(std::string_view text)
{
    PutU32(static_cast<std::uint32_t>(text.size()));
    Put(text);
}

bool RepairBackupWriter::Flush()
{
    if (failed_)
        return false;
    if (!buffer_.empty()) {
        if (!file_.Write(buffer_.data(), buffer_.size())) {
            failed_ = true;
            return false;
        }
        written_ += buffer_.size();
        buffer_.clear();
    }
    return true;
}

bool RepairBackupWriter::ReadValues(HKey key, std::vector<ValueRecord>* values)
{
    KeyCounts counts;
    return QueryKeyCounts(registry_, key, &counts) && ReadValues(key, counts, values);
}

bool RepairBackupWriter::ReadValues(HKey key, const KeyCounts& counts, std::vector<ValueRecord>* values)
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
        ValueRecord record;
        long status = wideListing_ ? ReadValueWide(key, index, &record) : kErrorCallNotImplemented;
        if (status == kErrorCallNotImplemented) {
            wideListing_ = false;
            status = ReadValueAnsi(key, index, &record);
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
        values->push_back(std::move(record));
    }
    return complete;
}

namespace {

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

long RepairBackupWriter::ReadValueAnsi(HKey key, std::uint32_t index, ValueRecord* record)
{
    std::uint32_t nameLength = 0, type = 0, dataSize = 0;
    long status = EnumGrowing(nameBuffer_, dataBuffer_, &nameLength, &dataSize, [&] {
        return registry_.EnumValue(key, index, nameBuffer_.data(), &nameLength, nullptr, &type,
                                   reinterpret_cast<std::uint8_t*>(dataBuffer_.data()), &dataSize);
    });
    if (status != kSuccess)
        return status;
    record->name.assign(nameBuffer_.data(), std::min<std::size_t>(nameLength, nameBuffer_.size()));
    record->type = type;
    record->data.assign(dataBuffer_.data(), std::min<std::size_t>(dataSize, dataBuffer_.size()));
    return kSuccess;
}

long RepairBackupWriter::ReadValueWide(HKey key, std::uint32_t index, ValueRecord* record)
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
    record->name = codec_.Utf16ToAnsi(wideName);
    bool same = codec_.AnsiToUtf16(record->name) == wideName;
    record->type = type;
    std::string_view raw(dataBuffer_.data(), std::min<std::size_t>(dataSize, dataBuffer_.size()));
    if (IsTextType(type)) {
        std::u16string text(raw.size() / 2, u'\0');
        std::memcpy(text.data(), raw.data(), text.size() * sizeof(char16_t));
        record->data = codec_.Utf16ToAnsi(text);
        // An odd byte has no character to go through the code page as.
        same = same && raw.size() % 2 == 0 && codec_.AnsiToUtf16(record->data) == text;
    } else {
        record->data.assign(raw);
    }
    record->readsBack = same;
    return kSuccess;
}

bool RepairBackupWriter::ReadsBack(HKey key, const ValueRecord& value)
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

bool RepairBackupWriter::ReadsBackAnsi(HKey key, const ValueRecord& value)
{
    // A registry that keeps ANSI text: nothing was converted, the bytes must be the same.
    // (The ANSI query asks for room for the text in UTF-16 as well, as Windows converts in
    // the caller's buffer; only the bytes it reports are compared.)
    checkBuffer_.resize(std::max<std::size_t>(IsTextType(value.type) ? value.data.size() * 2 + 2 : value.data.size(), 1));
    std::uint32_t type = 0;
    auto size = static_cast<std::uint32_t>(checkBuffer_.size());
    return registry_.QueryValueEx(key, value.name.c_str(), nullptr, &type,
                                  reinterpret_cast<std::uint8_t*>(checkBuffer_.data()), &size) == kSuccess &&
           type == value.type && size == value.data.size() &&
           std::memcmp(checkBuffer_.data(), value.data.data(), value.data.size()) == 0;
}

void RepairBackupWriter::PutValue(const ValueRecord& value)
{
    PutText(value.name);
    PutU32(value.type);
    PutText(value.data);
}

bool RepairBackupWriter::WriteBlock(HKey key, const std::string& path, ItemResult* result)
{
    // The key is asked for its counts once, for its values and its subkeys.
    KeyCounts counts;
    const bool queried = QueryKeyCounts(registry_, key, &counts);
    std::vector<ValueRecord> values;
    bool complete = queried && ReadValues(key, counts, &values);
    std::vector<bool> keep(values.size(), true);
    MarkSameNames(values, [](const ValueRecord& v) -> const std::string& { return v.name; }, &keep);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (keep[i] && !ReadsBack(key, values[i]))
            keep[i] = false;
        if (!keep[i]) {
            result->notReadBack.push_back(path + " [" + values[i].name + "]");
            complete = false;
        }
    }
    PutU32(static_cast<std::uint32_t>(std::count(keep.begin(), keep.end(), true)));
    for (std::size_t i = 0; i < values.size(); ++i)
        if (keep[i])
            PutValue(values[i]);
    values.clear();
    values.shrink_to_fit();

    // The names of the subkeys that open; the count goes before the first of them. The
    // handle that proved a name opens is kept for writing its block, while the handles
    // kept stay few; past that, the subkey is opened again when its turn comes.
    std::vector<std::string> names;
    std::vector<KeyHandle> opened;
    if (!queried) {
        PutU32(0);
        return false;
    }
    std::string name(std::max<std::size_t>(std::size_t(counts.longestSubkey) + 1, 256), '\0');
    for (std::uint32_t index = 0; counts.subkeys != 0; ++index) {
        long status = kErrorMoreData;
        std::uint32_t length = 0;
        for (int attempt = 0; attempt < kMaxGrowAttempts && status == kErrorMoreData; ++attempt) {
            length = static_cast<std::uint32_t>(name.size());
            status = registry_.EnumKeyEx(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
            if (status == kErrorMoreData) {
                if (name.size() >= kLargestRead)
                    break;
                name.resize(name.size() * 2);
            }
        }
        if (status == kErrorNoMoreItems)
            break;
        if (status != kSuccess) {
            complete = false;
            if (status != kErrorMoreData)
                break;
            continue;
        }
        std::string subkey(name.data(), std::min<std::size_t>(length, name.size()));
        // A subkey must open again by the name saved: one with a character outside the code
        // page came with a substitute and opens nothing (or another key).
        KeyHandle child(registry_);
        if (subkey.empty() || registry_.OpenKeyEx(key, subkey.c_str(), 0, kKeyRead, child.Put()) != kSuccess) {
            result->notReadBack.push_back(path + "\\" + subkey);
            complete = false;
            continue;
        }
        names.push_back(std::move(subkey));
        if (heldHandles_ < kMaxHeldHandles) {
            ++heldHandles_;
            opened.push_back(std::move(child));
        } else {
            opened.emplace_back(registry_);
        }
    }
    auto release = [&](KeyHandle& handle) {
        if (handle) {
            handle.Close();
            --heldHandles_;
        }
    };
    keep.assign(names.size(), true);
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
            release(opened[i]);
            result->notReadBack.push_back(path + "\\" + names[i]);
            complete = false;
        }
    }
    names.resize(kept);
    opened.erase(opened.begin() + std::ptrdiff_t(kept), opened.end());

    PutU32(static_cast<std::uint32_t>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& subkey = names[i];
        PutText(subkey);
        KeyHandle child = std::move(opened[i]);
        if (child) {
            --heldHandles_;
        } else if (registry_.OpenKeyEx(key, subkey.c_str(), 0, kKeyRead, child.Put()) != kSuccess) {
            // It opened a moment ago; keep the file well formed with an empty block.
            PutU32(0);
            PutU32(0);
            complete = false;
            continue;
        }
        if (!WriteBlock(child.get(), path + "\\" + subkey, result))
            complete = false;
    }
    return complete && !failed_;
}

RepairBackupWriter::ItemResult RepairBackupWriter::WriteKeyItem(std::uint32_t rootCode, std::string_view subkeyPath,
                                                                HKey key)
{
    ItemResult result;
    PutU32(rootCode);
    PutText(subkeyPath);
    std::string path = DisplayPath(rootCode, subkeyPath);
    result.complete = WriteBlock(key, path, &result) && !failed_;
    return result;
}

RepairBackupWriter::ItemResult RepairBackupWriter::WriteValueItem(std::uint32_t rootCode, std::string_view subkeyPath,
                                                                  HKey key, std::string_view valueName)
{
    ItemResult result;
    KeyValues& held = keyValues_;
    if (!held.held || held.rootCode != rootCode || held.subkeyPath != subkeyPath) {
        held.held = false;
        held.values.clear();
        held.byName.clear();
        held.readAll = ReadValues(key, &held.values);
        // Another value that reads as the same name (a substitute for a character outside
        // the code page) would make the name address either of them.
        held.unique.assign(held.values.size(), true);
        MarkSameNames(held.values, [](const ValueRecord& v) -> const std::string& { return v.name; }, &held.unique);
        for (std::size_t i = 0; i < held.values.size(); ++i)
            held.byName.emplace(held.values[i].name, i);
        held.rootCode = rootCode;
        held.subkeyPath.assign(subkeyPath);
        held.held = true;
    }
    PutU32(rootCode);
    PutText(subkeyPath);
    auto match = held.byName.find(std::string(valueName));
    bool readsBack = false;
    if (match != held.byName.end()) {
        const ValueRecord& value = held.values[match->second];
        readsBack = held.unique[match->second] && ReadsBack(key, value);
        if (!readsBack)
            result.notReadBack.push_back(DisplayPath(rootCode, subkeyPath) + " [" + value.name + "]");
    }
    if (readsBack) {
        PutU32(1);
        PutValue(held.values[match->second]);
        result.valueFound = true;
    } else {
        PutU32(0);
    }
    PutU32(0);
    // A value that could not be read may be the one asked for: then it is not safely saved.
    result.complete = !failed_ && (result.valueFound || (held.readAll && match == held.byName.end()));
    return result;
}

// ---- reader

BoundedFileReader::BoundedFileReader(File& file) : file_(file), left_(file.Size()) {}

bool BoundedFileReader::Fill()
{
    if (eof_)
        return false;
    std::size_t want = kReadChunkSize;
    if (left_ >= 0)
        want = static_cast<std::size_t>(std::min<std::int64_t>(left_, std::int64_t(kReadChunkSize)));
    if (want == 0) {
        eof_ = true;
        chunk_.clear();
        pos_ = 0;
        return false;
    }
    chunk_.resize(want);
    std::size_t got = file_.Read(chunk_.data(), want);
    chunk_.resize(got);
    pos_ = 0;
    if (left_ >= 0)
        left_ -= static_cast<std::int64_t>(got);
    if (got == 0) {
        eof_ = true;
        return false;
    }
    return true;
}

bool BoundedFileReader::AtEnd()
{
    if (pos_ < chunk_.size())
        return false;
    return !Fill();
}

bool BoundedFileReader::ReadBytes(std::size_t count, std::string* out)
{
    out->clear();
    std::size_t buffered = chunk_.size() - pos_;
    if (left_ >= 0 && count > buffered && std::uint64_t(count - buffered) > std::uint64_t(left_))
        return false;
    if (left_ >= 0)
        out->reserve(count);
    while (out->size() < count) {
        if (pos_ == chunk_.size() && !Fill())
            return false;
        std::size_t take = std::min(count - out->size(), chunk_.size() - pos_);
        out->append(chunk_.data() + pos_, take);
        pos_ += take;
    }
    return true;
}

bool BoundedFileReader::ReadU32(std::uint32_t* value)
{
    std::string bytes;
    if (!ReadBytes(4, &bytes))
        return false;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[std::size_t(i)]);
    *value = v;
    return true;
}

bool BoundedFileReader::ReadText(std::string* text)
{
    std::uint32_t length = 0;
    return ReadU32(&length) && ReadBytes(length, text);
}

RepairBackupReader::RepairBackupReader(File& file) : in_(file) {}

bool RepairBackupReader::ReadValues(RepairBackupVisitor& visitor)
{
    std::uint32_t count = 0;
    if (!in_.ReadU32(&count))
        return false;
    // Each value takes at least twelve bytes, so a false count runs out of file quickly.
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t type = 0;
        if (!in_.ReadText(&name_) || !in_.ReadU32(&type) || !in_.ReadText(&data_))
            return false;
        visitor.OnValue(++row_, name_, type, data_);
    }
    return true;
}

RepairBackupReader::Next RepairBackupReader::ReadRecord(RepairBackupVisitor& visitor)
{
    if (damaged_)
        return Next::Damaged;
    if (in_.AtEnd())
        return Next::End;
    damaged_ = true;  // until the record is read to its end
    std::uint32_t root = 0;
    std::string path;
    if (!in_.ReadU32(&root) || !BackupRootName(root) || !in_.ReadText(&path))
        return Next::Damaged;
    visitor.OnRecord(++row_, root, path);

    // Subkeys still to read at each open level; depth is bounded by the file's bytes.
    std::vector<std::uint32_t> subkeysLeft;
    std::uint32_t count = 0;
    if (!ReadValues(visitor) || !in_.ReadU32(&count))
        return Next::Damaged;
    subkeysLeft.push_back(count);
    while (!subkeysLeft.empty()) {
        if (subkeysLeft.back() == 0) {
            subkeysLeft.pop_back();
            if (!subkeysLeft.empty())
                visitor.OnSubkeyEnd();
            continue;
        }
        --subkeysLeft.back();
        if (!in_.ReadText(&name_))
            return Next::Damaged;
        visitor.OnSubkeyBegin(++row_, name_);
        if (!ReadValues(visitor) || !in_.ReadU32(&count))
            return Next::Damaged;
        subkeysLeft.push_back(count);
    }
    visitor.OnRecordEnd();
    damaged_ = false;
    return Next::Record;
}

BackupParse ParseRepairBackup(File& file, RepairBackupVisitor& visitor)
{
    RepairBackupReader reader(file);
    for (;;) {
        switch (reader.ReadRecord(visitor)) {
        case RepairBackupReader::Next::Record: break;
        case RepairBackupReader::Next::End: return BackupParse::Complete;
        case RepairBackupReader::Next::Damaged: return BackupParse::Damaged;
        }
    }
}

}  // namespace tw
