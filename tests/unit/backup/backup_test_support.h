// What the backup tests share: a registry holding what every section may find (deep
// subtrees, every value type, large values and names, the unnamed value), and a system on
// which two repairs start in the same second.
#pragma once

#include "platform/calendar.h"
#include "platform/codepage.h"
#include "platform/registry.h"
#include "support/forwarding_system.h"
#include "support/registry_fixture.h"

#include <functional>
#include <string>
#include <utility>

namespace tw::test {

// An hour before now: keys written then are untouched since long before a repair begins.
inline FileTime AnHourAgo()
{
    return FileTimeFromTicks(FileTimeTicks(HostFileTimeNow()) - 3600ull * 10000000ull);
}

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
    // Names and texts of other scripts, in the process code page.
    SetValue(r, root, base, Utf16ToAnsi(u"café").c_str(), kRegSz, Str(Utf16ToAnsi(u"été")));
    SetValue(r, root, base, Utf16ToAnsi(u"数据 Ключ Ωμέγα 🎉").c_str(), kRegExpandSz,
             Str(Utf16ToAnsi(u"%SystemDrive%\\Программы\\工具.exe -ключ")));
    SetValue(r, root, base + "\\" + Utf16ToAnsi(u"Ёлка 键 🎉"), Utf16ToAnsi(u"Ωμέγα").c_str(), kRegMultiSz,
             Str(Utf16ToAnsi(u"α") + std::string(1, '\0') + Utf16ToAnsi(u"β") + std::string(1, '\0')));
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

// A clock that stands still, so that repairs run on it start in the same second. `before`,
// when set, runs once just before the first backup file is created: another repair (the
// command line, while the window repairs) that gets there first.
class SameSecond final : public ForwardingSystem {
public:
    SameSecond(System& inner, const LocalTime& now) : ForwardingSystem(inner), now_(now) {}
    std::function<void()> before;

    LocalTime GetLocalTime() override { return now_; }
    std::unique_ptr<File> OpenFile(std::string_view path, FileMode mode) override
    {
        if (mode != FileMode::Read && path.ends_with(".reg") && before)
            std::exchange(before, nullptr)();
        return ForwardingSystem::OpenFile(path, mode);
    }

private:
    LocalTime now_;
};

}  // namespace tw::test
