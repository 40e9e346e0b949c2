// Shortcut files come from anywhere on the disk: the reader must refuse damaged ones without
// reading outside the bytes it was given, and a path it gives must come from them: a base
// path and a suffix, each a run of those bytes (they may overlap, so together they can be
// longer than the file, never more than twice as long).
#include "platform/memory/shortcut_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> bytes(data, data + size);
    std::string target;
    if (tw::ReadShortcutTargetPath(bytes, &target)) {
        if (target.empty() || target.size() > 2 * size)
            std::abort();
    }
    return 0;
}
