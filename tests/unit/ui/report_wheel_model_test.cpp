// The report list's wheel setting, as read from the user's registry.
#include "ui/report_wheel_model.h"

#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace tw::test {
namespace {

TEST(ReportWheelSetting, ReadFromTheUsersDesktopKey)
{
    MemoryRegistry registry;
    EXPECT_EQ(3, ReadWheelScrollLines(registry));  // no key
    CreateKey(registry, kCurrentUser, "Control Panel\\Desktop");
    EXPECT_EQ(3, ReadWheelScrollLines(registry));  // no value

    const std::pair<std::string, int> texts[] = {{"5", 5}, {"0", 0}, {"-1", -1}, {"4294967295", -1},
                                                 {"abc", 3}, {"", 3}, {" 12", 12}};
    for (const auto& [text, expected] : texts) {
        SetValue(registry, kCurrentUser, "Control Panel\\Desktop", "WheelScrollLines", kRegSz, Str(text));
        EXPECT_EQ(expected, ReadWheelScrollLines(registry)) << text;
    }
    // Longer than the 128 bytes read: as if unreadable.
    SetValue(registry, kCurrentUser, "Control Panel\\Desktop", "WheelScrollLines", kRegSz, Str(std::string(200, '7')));
    EXPECT_EQ(3, ReadWheelScrollLines(registry));
    SetValue(registry, kCurrentUser, "Control Panel\\Desktop", "WheelScrollLines", kRegDword, B({7, 0, 0, 0}));
    EXPECT_EQ(7, ReadWheelScrollLines(registry));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

}  // namespace
}  // namespace tw::test
