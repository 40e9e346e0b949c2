// Fuzzes the PE resource reader and the version-block parser behind FileVersionRecord: the
// input is taken both as a whole file and as a version block of its own.
#include "managers/file_version_record.h"
#include "platform/memory/memory_system.h"
#include "platform/memory/pe_version.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static tw::MemorySystem system;
    tw::FileVersionRecord record(system);

    tw::MemoryByteSource file(data, size);
    std::vector<std::uint8_t> block;
    if (tw::ReadPeVersionResource(file, &block))
        record.LoadFromBlock(block);

    record.LoadFromBlock(std::vector<std::uint8_t>(data, data + size));
    return 0;
}
