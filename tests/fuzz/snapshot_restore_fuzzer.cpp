// libFuzzer target: any file given to the snapshot restore, merged into an empty memory
// registry, ends without a crash, closes every key it opened exactly once (none left open,
// none closed twice) and leaves no memory behind.
#include "platform/memory/memory_registry.h"
#include "snapshot/snapshot_reader.h"
#include "snapshot_fuzz_input.h"
#include "strict_close_registry.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static tw::fuzz::InputFile input;
    static tw::XmlReader reader(input.system());
    if (!input.Put(data, size))
        return 0;
    tw::MemoryRegistry memory;
    tw::fuzz::StrictCloseRegistry registry(memory);
    tw::RestoreTarget target{registry, input.system(), {}};
    tw::RestoreReport report;
    tw::RestoreSnapshotFile(reader, input.Path(), target, &report);
    if (memory.OpenHandleCount() != 0)
        __builtin_trap();  // a key handle was left open
    // Every key made came from a name in the file.
    if (report.keys > size)
        __builtin_trap();
    return 0;
}
