#include "backup/repair_backup_file.h"

#include "platform/codepage.h"
#include "platform/key_handle.h"
#include "registry/key_path.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tw {

namespace {

constexpr std::size_t kWriteBufferSize = 64 * 1024;
constexpr std::size_t kReadChunkSize = 64 * 1024;

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

// "HKEY_CURRENT_USER\Software\K": how the log names what the backup leaves out.
std::string DisplayPath(std::uint32_t rootCode, std::string_view subkeyPath)
{
    std::string path = BackupRootName(rootCode).value_or("");
    if (!subkeyPath.empty())
        path.append("\\").append(subkeyPath);
    return path;
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
    : readAhead_(registry, codec), file_(file)
{
    buffer_.reserve(kWriteBufferSize);
    // Text of a code page 1252 system is what earlier versions wrote: it needs no mark.
    if (ProcessCodePage() == AnsiCodePage::Utf8)
        PutU32(kUtf8TextMark);
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

void RepairBackupWriter::WriteFileItem(std::string_view path, std::uint32_t attributes, std::string_view bytes)
{
    PutU32(kFileRecordMark);
    PutText(path);
    PutU32(attributes);
    PutText(bytes);
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

void RepairBackupWriter::PutValue(const BackupValue& value)
{
    PutText(value.name);
    PutU32(value.type);
    PutText(value.data);
}

bool RepairBackupWriter::WriteBlock(KeyContent& content, const std::string& path, ItemResult* result)
{
    bool complete = content.complete;
    for (std::string& left : content.notReadBack)
        result->notReadBack.push_back(std::move(left));
    PutU32(static_cast<std::uint32_t>(content.values.size()));
    for (const BackupValue& value : content.values)
        PutValue(value);
    content.values.clear();
    content.values.shrink_to_fit();

    // The count goes before the first subkey; each subkey's block follows its name.
    PutU32(static_cast<std::uint32_t>(content.subkeys.size()));
    KeyReadAhead::Level level(readAhead_, content, path);
    for (std::size_t i = 0; i < content.subkeys.size(); ++i) {
        PutText(content.subkeys[i]);
        KeyContent child;
        std::string childPath;
        level.Take(i, &child, &childPath);
        if (!child.opened) {
            // It opened a moment ago; keep the file well formed with an empty block.
            PutU32(0);
            PutU32(0);
            complete = false;
            continue;
        }
        if (!WriteBlock(child, childPath, result))
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
    KeyContent content;
    readAhead_.reader().Read(key, path, &content);
    result.complete = WriteBlock(content, path, &result) && !failed_;
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
        held.readAll = readAhead_.reader().ReadValues(key, &held.values);
        // Another value that reads as the same name (a substitute for a character outside
        // the code page) would make the name address either of them.
        held.unique.assign(held.values.size(), true);
        MarkSameNames(held.values, [](const BackupValue& v) -> const std::string& { return v.name; }, &held.unique);
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
        const BackupValue& value = held.values[match->second];
        readsBack = held.unique[match->second] && readAhead_.reader().ReadsBack(key, value);
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
        ToProcessText(&name_);
        if (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz)
            ToProcessText(&data_);
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
    if (!in_.ReadU32(&root))
        return Next::Damaged;
    // The marks are read in turn, never by calling again: a crafted file of nothing but marks
    // must not run the stack out. The text mark stands first, once; a kept mark before the
    // record of a registry item, which must follow it.
    if (!std::exchange(started_, true) && root == kUtf8TextMark) {
        legacyText_ = false;
        if (in_.AtEnd()) {
            damaged_ = false;
            return Next::End;
        }
        if (!in_.ReadU32(&root))
            return Next::Damaged;
    }
    if (root == kKeptItemMark) {
        if (!in_.ReadU32(&root) || !BackupRootName(root))
            return Next::Damaged;
        visitor.OnKept();
    }
    if (root == kFileRecordMark) {
        std::uint32_t attributes = 0;
        if (!in_.ReadText(&path) || !in_.ReadU32(&attributes) || !in_.ReadText(&data_))
            return Next::Damaged;
        ToProcessText(&path);
        visitor.OnFile(++row_, path, attributes, data_);
        damaged_ = false;
        return Next::Record;
    }
    if (!BackupRootName(root) || !in_.ReadText(&path))
        return Next::Damaged;
    ToProcessText(&path);
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
        ToProcessText(&name_);
        visitor.OnSubkeyBegin(++row_, name_);
        if (!ReadValues(visitor) || !in_.ReadU32(&count))
            return Next::Damaged;
        subkeysLeft.push_back(count);
    }
    visitor.OnRecordEnd();
    damaged_ = false;
    return Next::Record;
}

void RepairBackupReader::ToProcessText(std::string* text) const
{
    if (legacyText_)
        *text = LegacyToAnsi(*text);
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
