// The pre-repair backup file: a run of item records, each a root code, a subkey path and a
// KeyBlock (values, then subkeys with their own blocks, depth first). Integers are 32-bit
// little-endian; texts are ANSI bytes preceded by their length. A file whose texts are UTF-8
// begins with the four bytes "UTF8" (no root code has them); a file without them, as every
// earlier version wrote, holds text of the system's ANSI code page, and the reader hands its
// names, paths and string data on in the process code page. A file the repair deletes (a
// broken shortcut) is a record of its own after the registry's: the four bytes "FILE", its
// path, its attributes and its bytes. A record of an item the repair was told to leave (an
// unticked problem, saved as every listed one is) follows the four bytes "KEPT"; files
// written before hold no such mark and read as before.
//
// The writer reads each key from the registry with buffers sized from the key's own query
// and grown on "more data", so values and names of any size are saved; it tells its caller
// whether an item went into the file complete, since only a complete item may be deleted.
// Complete means that what was saved reads back as the same item (backup_key_reader.h says
// how that is proved): a character outside the code page becomes a substitute, so such a
// name or text would otherwise be saved as something else. What does not read back stays
// out of the file. Keys may be read on a second thread ahead of the writing
// (key_read_ahead.h); the file is the same either way.
// The parser never trusts a length: every length is bounded by the bytes left in the file,
// nesting is walked without recursion, and a field that does not fit ends the file.
#pragma once

#include "backup/key_read_ahead.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "registry/value_text.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tw {

// Root codes as the file stores them.
// The four roots a backup record may hold; HKEY_CURRENT_CONFIG has a name for the listing but
// is never written.
std::optional<std::uint32_t> BackupRootCode(std::string_view rootName);
// The root name of a stored code (0x80000000..0x80000003, 0x80000005); nothing otherwise.
std::optional<std::string> BackupRootName(std::uint32_t code);

// Appends the file's encodings to a byte string (for writers and for tests that build files).
void AppendU32(std::string& bytes, std::uint32_t value);
void AppendText(std::string& bytes, std::string_view text);
// The mark of a file whose texts are UTF-8.
inline constexpr std::uint32_t kUtf8TextMark = 0x38465455u;  // "UTF8"
// The mark of a record that holds a file.
inline constexpr std::uint32_t kFileRecordMark = 0x454C4946u;  // "FILE"
// The mark before the record of an item the repair left in place.
inline constexpr std::uint32_t kKeptItemMark = 0x5450454Bu;  // "KEPT"

// Writes item records to an open file, forward only.
class RepairBackupWriter {
public:
    RepairBackupWriter(Registry& registry, TextCodec& codec, File& file);
    RepairBackupWriter(const RepairBackupWriter&) = delete;
    RepairBackupWriter& operator=(const RepairBackupWriter&) = delete;

    // How one item went into the file.
    struct ItemResult {
        bool complete = false;    // every value and subkey of the item was read, read back and written
        bool valueFound = false;  // for a value item: the value was there and was saved
        // Values ("<key path> [<name>]") and subkeys ("<key path>\<name>") left out because
        // they do not read back as they were read.
        std::vector<std::string> notReadBack;
    };

    // A "KEY" item: the record and the key's whole block. `key` is open with read access.
    ItemResult WriteKeyItem(std::uint32_t rootCode, std::string_view subkeyPath, HKey key);
    // A "VAL" item: the record with the one value whose name equals `valueName` byte for
    // byte (empty: the unnamed value), or a value count of 0 when there is none or when it
    // does not read back. The values of the key are read once for all the value items of
    // that key (the same root code and path) that follow one another.
    ItemResult WriteValueItem(std::uint32_t rootCode, std::string_view subkeyPath, HKey key,
                              std::string_view valueName);

    // Marks the next record as that of an item the repair leaves in place.
    void MarkKept() { PutU32(kKeptItemMark); }
    // A file's record: its path, attributes and bytes.
    void WriteFileItem(std::string_view path, std::uint32_t attributes, std::string_view bytes);

    // Hands everything to the file. False once any write failed.
    bool Flush();
    bool failed() const { return failed_; }
    std::uint64_t bytesWritten() const { return written_; }

private:
    // The values of one key as the last value item read them, with what each value item of
    // that key needs: which names stand for one value only, and where each name is.
    struct KeyValues {
        bool held = false;
        std::uint32_t rootCode = 0;
        std::string subkeyPath;
        bool readAll = false;
        std::vector<BackupValue> values;
        std::vector<bool> unique;
        std::unordered_map<std::string, std::size_t> byName;  // the first value of each name
    };
    // Writes a key's block from its content, and its subkeys' blocks as the walk reaches them.
    bool WriteBlock(KeyContent& content, const std::string& path, ItemResult* result);
    void PutValue(const BackupValue& value);
    void Put(std::string_view bytes);
    void PutU32(std::uint32_t value);
    void PutText(std::string_view text);

    KeyReadAhead readAhead_;
    File& file_;
    std::string buffer_;
    KeyValues keyValues_;
    bool failed_ = false;
    std::uint64_t written_ = 0;
};

// What the parser reports, in file order. Rows are numbered from 0 across the whole file:
// a record's key, its values, each subkey followed by its own rows.
class RepairBackupVisitor {
public:
    virtual ~RepairBackupVisitor() = default;
    virtual void OnRecord(int row, std::uint32_t rootCode, const std::string& subkeyPath) = 0;
    virtual void OnValue(int row, const std::string& name, std::uint32_t type, const std::string& data) = 0;
    virtual void OnSubkeyBegin(int row, const std::string& name) = 0;
    virtual void OnSubkeyEnd() = 0;
    virtual void OnRecordEnd() = 0;
    // The next record is that of an item the repair left in place (called before OnRecord).
    virtual void OnKept() {}
    // A file's record (the only call for it).
    virtual void OnFile(int /*row*/, const std::string& /*path*/, std::uint32_t /*attributes*/,
                        const std::string& /*bytes*/)
    {
    }
};

enum class BackupParse {
    Complete,    // every record was read to its end
    Damaged,     // a field was cut short, a length did not fit, or a root code is unknown
};

// Reads the file from its current position to its end. Whatever was reported before a
// damage stays reported; nothing past it is.
BackupParse ParseRepairBackup(File& file, RepairBackupVisitor& visitor);

// A byte source over a file with every length checked against what is left.
class BoundedFileReader {
public:
    explicit BoundedFileReader(File& file);
    bool ReadU32(std::uint32_t* value);
    // A length followed by that many bytes; false when the bytes are not all there.
    bool ReadText(std::string* text);
    // True when no byte is left (reads one chunk ahead to know).
    bool AtEnd();

private:
    bool Fill();
    bool ReadBytes(std::size_t count, std::string* out);

    File& file_;
    std::int64_t left_ = -1;  // bytes not yet fetched from the file, or -1 when unknown
    std::string chunk_;
    std::size_t pos_ = 0;
    bool eof_ = false;
};

// ParseRepairBackup one record at a time, for a reader that keeps pace with another (the
// repair journal writes each record just before the deletion reaches it).
class RepairBackupReader {
public:
    explicit RepairBackupReader(File& file);
    enum class Next { Record, End, Damaged };
    // Reports the next record, rows numbered on from the last one. After a damage every call
    // answers Damaged.
    Next ReadRecord(RepairBackupVisitor& visitor);

private:
    bool ReadValues(RepairBackupVisitor& visitor);
    // A text read from the file, in the process code page.
    void ToProcessText(std::string* text) const;

    BoundedFileReader in_;
    int row_ = -1;
    bool damaged_ = false;
    bool started_ = false;
    bool legacyText_ = true;
    std::string name_;
    std::string data_;
};

}  // namespace tw
