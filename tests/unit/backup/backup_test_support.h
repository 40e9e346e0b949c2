// Seeds shared by the backup tests: a registry holding what every section may find (deep
// subtrees, every value type, large values and names, the unnamed value).
#pragma once

#include "platform/registry.h"
#include "support/registry_fixture.h"

#include <string>

namespace tw::test {

inline void SeedEveryKind(Registry& r, HKey root, const std::string& base, std::size_t largeSize = 100000)
{
    SetValue(r, root, base, nullptr, kRegSz, Str("unnamed"));
    SetValue(r, root, base, "Sz", kRegSz, Str("C:\\Program Files\\x.exe"));
    SetValue(r, root, base, "Expand", kRegExpandSz, Str("%SystemRoot%\\a.dll"));
    SetValue(r, root, base, "Binary", kRegBinary, B({0, 1, 0xff}));
    SetValue(r, root, base, "Empty", kRegBinary, {});
    SetValue(r, root, base, "Dword", kRegDword, B({1, 2, 3, 4}));
    SetValue(r, root, base, "Big", kRegDwordBigEndian, B({0, 0, 1, 0}));
    SetValue(r, root, base, "Multi", kRegMultiSz, B({'a', 0, 'b', 0, 0}));
    SetValue(r, root, base, "Qword", kRegQword, B({1, 2, 3, 4, 5, 6, 7, 8}));
    SetValue(r, root, base, "None", kRegNone, B({'n', 0}));
    SetValue(r, root, base, "caf\xe9", kRegSz, Str("\xe9t\xe9"));
    Bytes large(largeSize);
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = std::uint8_t(i * 7);
    SetValue(r, root, base, "Large", kRegBinary, large);
    SetValue(r, root, base, std::string(300, 'n').c_str(), kRegSz, Str("long name"));
    SetValue(r, root, base + "\\A\\B\\C\\D", "Deep", kRegDword, B({9, 0, 0, 0}));
    SetValue(r, root, base + "\\A\\B", nullptr, kRegSz, Str("b"));
    CreateKey(r, root, base + "\\A\\Empty");
    SetValue(r, root, base + "\\Other", "x", kRegSz, Str("y"));
}

}  // namespace tw::test
