// The text of a .reg file as regedit writes it ("Windows Registry Editor Version 5.00", here
// read as UTF-8), imported into a registry: keys, the unnamed value (@), strings, dword:,
// hex: and hex(N): values with their continuation lines. String data given as hex bytes of
// UTF-16 (hex(2), hex(7)) is written in the process code page, as an ANSI call writes it.
#pragma once

#include "platform/registry.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw::test {

struct RegImport {
    std::size_t keys = 0;
    std::size_t values = 0;
    std::string error;  // the first line that could not be read or written; empty when none
};

// `renames` moves keys: a key path beginning with `first` is written below `second` instead.
RegImport ImportRegText(Registry& registry, std::string_view text,
                        const std::vector<std::pair<std::string, std::string>>& renames = {});

// The output of `xz -dc` on a file; empty when it cannot be read.
std::string ReadXzFile(const std::string& path);

}  // namespace tw::test
