#include "platform/memory/pe_version.h"

#include <cstring>

namespace tw {

namespace {

constexpr std::uint32_t kResourceTypeVersion = 16;
constexpr std::uint32_t kVersionResourceName = 1;
// A version block's length is a 16-bit field: nothing beyond 64 KiB belongs to it.
constexpr std::uint32_t kMaxVersionResource = 0x10000;
constexpr std::uint16_t kMaxSections = 96;  // the loader's own limit

struct Section {
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawOffset = 0;
};

class PeReader {
public:
    explicit PeReader(ByteSource& file) : file_(file) {}

    bool U16(std::uint64_t offset, std::uint16_t* v)
    {
        std::uint8_t b[2];
        if (!file_.ReadAt(offset, b, 2))
            return false;
        *v = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
        return true;
    }
    bool U32(std::uint64_t offset, std::uint32_t* v)
    {
        std::uint8_t b[4];
        if (!file_.ReadAt(offset, b, 4))
            return false;
        *v = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
             (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
        return true;
    }

    bool ReadHeaders()
    {
        std::uint16_t magic = 0;
        std::uint32_t peOffset = 0;
        if (!U16(0, &magic) || magic != 0x5A4D || !U32(0x3C, &peOffset))
            return false;
        std::uint32_t signature = 0;
        if (!U32(peOffset, &signature) || signature != 0x00004550)
            return false;
        std::uint64_t coff = static_cast<std::uint64_t>(peOffset) + 4;
        std::uint16_t sectionCount = 0, optionalSize = 0;
        if (!U16(coff + 2, &sectionCount) || !U16(coff + 16, &optionalSize))
            return false;
        if (sectionCount > kMaxSections)
            return false;
        std::uint64_t optional = coff + 20;
        std::uint16_t optionalMagic = 0;
        if (!U16(optional, &optionalMagic))
            return false;
        // The data directories start at 96 (PE32) or 112 (PE32+), after their count.
        std::uint64_t countOffset;
        if (optionalMagic == 0x10B)
            countOffset = 92;
        else if (optionalMagic == 0x20B)
            countOffset = 108;
        else
            return false;
        std::uint32_t directoryCount = 0;
        if (!U32(optional + countOffset, &directoryCount) || directoryCount < 3)
            return false;
        std::uint64_t resourceEntry = optional + countOffset + 4 + 2 * 8;
        if (resourceEntry + 8 > optional + optionalSize)
            return false;
        if (!U32(resourceEntry, &resourceRva_) || !U32(resourceEntry + 4, &resourceSize_))
            return false;
        if (resourceRva_ == 0 || resourceSize_ == 0)
            return false;
        std::uint64_t table = optional + optionalSize;
        for (std::uint16_t i = 0; i < sectionCount; ++i) {
            std::uint64_t s = table + static_cast<std::uint64_t>(i) * 40;
            Section section;
            if (!U32(s + 8, &section.virtualSize) || !U32(s + 12, &section.virtualAddress) ||
                !U32(s + 16, &section.rawSize) || !U32(s + 20, &section.rawOffset))
                return false;
            sections_.push_back(section);
        }
        return true;
    }

    // The file offset of `size` bytes at a relative virtual address, when they all lie in one
    // section's raw data.
    bool FileOffset(std::uint32_t rva, std::uint64_t size, std::uint64_t* offset) const
    {
        for (const Section& s : sections_) {
            std::uint64_t start = s.virtualAddress;
            std::uint64_t extent = s.virtualSize ? s.virtualSize : s.rawSize;
            if (rva < start || rva >= start + extent)
                continue;
            std::uint64_t delta = rva - start;
            if (delta + size > s.rawSize)
                return false;
            *offset = static_cast<std::uint64_t>(s.rawOffset) + delta;
            return *offset + size <= file_.Size();
        }
        return false;
    }

    // A directory entry of the resource tree, by its offset from the tree's start.
    struct Entry {
        std::uint32_t id = 0;
        bool named = false;
        bool directory = false;
        std::uint32_t target = 0;
    };

    bool Entries(std::uint32_t directoryOffset, std::vector<Entry>* entries)
    {
        entries->clear();
        std::uint64_t base = 0;
        if (directoryOffset > resourceSize_ || resourceSize_ - directoryOffset < 16 ||
            !FileOffset(resourceRva_ + directoryOffset, 16, &base))
            return false;
        std::uint16_t named = 0, ids = 0;
        if (!U16(base + 12, &named) || !U16(base + 14, &ids))
            return false;
        std::uint64_t count = static_cast<std::uint64_t>(named) + ids;
        // Entries must lie inside the resource directory.
        if (16 + count * 8 > resourceSize_ - directoryOffset)
            return false;
        std::uint64_t first = 0;
        if (!FileOffset(resourceRva_ + directoryOffset + 16, count * 8, &first))
            return false;
        for (std::uint64_t i = 0; i < count; ++i) {
            Entry e;
            std::uint32_t name = 0, target = 0;
            if (!U32(first + i * 8, &name) || !U32(first + i * 8 + 4, &target))
                return false;
            e.named = (name & 0x80000000u) != 0;
            e.id = name & 0x7FFFFFFFu;
            e.directory = (target & 0x80000000u) != 0;
            e.target = target & 0x7FFFFFFFu;
            entries->push_back(e);
        }
        return true;
    }

    // The subdirectory for a numeric id at one level of the tree.
    bool FindId(std::uint32_t directoryOffset, std::uint32_t id, std::uint32_t* subdirectory)
    {
        std::vector<Entry> entries;
        if (!Entries(directoryOffset, &entries))
            return false;
        for (const Entry& e : entries)
            if (!e.named && e.id == id && e.directory) {
                *subdirectory = e.target;
                return true;
            }
        return false;
    }

    // The data entry of the language level, chosen as the loader chooses for a user of US
    // English (the portable platform's locale): the neutral language, the default
    // languages, US English, any English, and otherwise the first one listed.
    bool FindLanguage(std::uint32_t directoryOffset, std::uint32_t* dataEntry)
    {
        std::vector<Entry> entries;
        if (!Entries(directoryOffset, &entries))
            return false;
        auto rank = [](const Entry& e) {
            if (e.named)
                return 6;
            switch (e.id) {
            case 0x0000: return 0;
            case 0x0400: return 1;
            case 0x0800: return 2;
            case 0x0409: return 3;
            default: return (e.id & 0x3FF) == 0x09 ? 4 : 5;
            }
        };
        const Entry* chosen = nullptr;
        for (const Entry& e : entries)
            if (!e.directory && (!chosen || rank(e) < rank(*chosen)))
                chosen = &e;
        if (!chosen)
            return false;
        *dataEntry = chosen->target;
        return true;
    }

    bool ReadVersion(std::vector<std::uint8_t>* block)
    {
        if (!ReadHeaders())
            return false;
        std::uint32_t types = 0, names = 0, data = 0;
        if (!FindId(0, kResourceTypeVersion, &types) || !FindId(types, kVersionResourceName, &names) ||
            !FindLanguage(names, &data))
            return false;
        std::uint64_t entry = 0;
        if (data > resourceSize_ || resourceSize_ - data < 16 || !FileOffset(resourceRva_ + data, 16, &entry))
            return false;
        std::uint32_t rva = 0, size = 0;
        if (!U32(entry, &rva) || !U32(entry + 4, &size) || size < 6)
            return false;
        if (size > kMaxVersionResource)
            size = kMaxVersionResource;
        std::uint64_t offset = 0;
        if (!FileOffset(rva, size, &offset))
            return false;
        std::vector<std::uint8_t> bytes(size);
        if (!file_.ReadAt(offset, bytes.data(), bytes.size()))
            return false;
        *block = std::move(bytes);
        return true;
    }

private:
    ByteSource& file_;
    std::uint32_t resourceRva_ = 0;
    std::uint32_t resourceSize_ = 0;
    std::vector<Section> sections_;
};

}  // namespace

bool MemoryByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size)
{
    if (offset > size_ || size > size_ - offset)
        return false;
    if (size)
        std::memcpy(buffer, data_ + offset, size);
    return true;
}

bool ReadPeVersionResource(ByteSource& file, std::vector<std::uint8_t>* block)
{
    PeReader reader(file);
    return reader.ReadVersion(block);
}

}  // namespace tw
