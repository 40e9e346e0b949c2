// Feeds arbitrary bytes to the pre-repair backup reader: the listing of rows and a restore
// into an empty memory registry must end cleanly, whatever the lengths and counts say, and
// close every key it opened exactly once; the listing keeps within its budget of memory.
#include "backup/backup_restore.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_system.h"
#include "platform/system.h"
#include "strict_close_registry.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

class BytesFile final : public tw::File {
public:
    BytesFile(const std::uint8_t* data, std::size_t size, bool sizeKnown) : data_(data), size_(size), sizeKnown_(sizeKnown) {}
    std::size_t Read(void* buffer, std::size_t size) override
    {
        std::size_t n = std::min(size, size_ - pos_);
        if (n)
            std::memcpy(buffer, data_ + pos_, n);
        pos_ += n;
        return n;
    }
    bool Write(const void*, std::size_t) override { return false; }
    bool Flush() override { return true; }
    bool Close() override { return true; }
    std::int64_t Size() override { return sizeKnown_ ? std::int64_t(size_) : -1; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool sizeKnown_;
};

}  // namespace

// Inputs up to 1 MiB from the start, unless the run says otherwise: a crafted file's harm
// (rows that each copy a long key path) shows only at sizes well past libFuzzer's default.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static std::vector<char*> args;
    static char maxLen[] = "-max_len=1048576";
    static char lenControl[] = "-len_control=0";
    args.assign(*argv, *argv + *argc);
    auto given = [&](const char* flag) {
        return std::any_of(args.begin(), args.end(),
                           [flag](const char* a) { return std::strncmp(a, flag, std::strlen(flag)) == 0; });
    };
    const bool maxLenGiven = given("-max_len="), lenControlGiven = given("-len_control=");
    if (!maxLenGiven)
        args.insert(args.begin() + 1, maxLen);
    if (!lenControlGiven)
        args.insert(args.begin() + 1, lenControl);
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size()) - 1;
    *argv = args.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    BytesFile listed(data, size, true);
    tw::BackupListing listing = tw::ListRepairBackupItems(listed);
    // A file whose size the platform cannot tell must be just as safe.
    BytesFile unsized(data, size, false);
    tw::ListRepairBackupItems(unsized);
    std::size_t kept = 0;
    for (const tw::BackupItem& item : listing.items)
        kept += item.path.size() + item.name.size() + item.data.size();
    if (kept > tw::kListingBaseBytes + tw::kListingBytesPerFileByte * size)
        __builtin_trap();  // the rows outgrew what the file's size allows
    if (listing.items.size() < 2000) {
        tw::MemoryRegistry memory;
        tw::fuzz::StrictCloseRegistry registry(memory);
        BytesFile restored(data, size, true);
        std::vector<bool> ticks;
        for (std::size_t i = 0; i < listing.items.size(); ++i)
            ticks.push_back(i % 3 != 1);
        // No drive is mapped: a file record is judged, never written anywhere.
        tw::MemorySystem system;
        tw::RestoreRepairBackup(registry, system, restored, ticks);
        if (memory.OpenHandleCount() != 0)
            __builtin_trap();  // a key handle was left open
    }
    return 0;
}
