#include "app/settings_model.h"

#include "support/registry_fixture.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

const char* const kSectionKey = "Software\\Tarnwick\\Tarnwick\\SectionToScan";

TEST(SettingsModel, AFreshAccountHasEverySectionTickedAndBothOptionsOff)
{
    MemoryRegistry registry;
    SettingsModel model(registry, "Tarnwick", "Tarnwick");
    model.Load();
    for (bool on : model.settings().sections)
        EXPECT_TRUE(on);
    EXPECT_FALSE(model.settings().scanOnStartup);
    EXPECT_FALSE(model.settings().restoreFromLatestBackup);
}

TEST(SettingsModel, SectionValuesLandAtTheirScanPositions)
{
    MemoryRegistry registry;
    SetValue(registry, kCurrentUser, kSectionKey, "chk_progid_", kRegDword, B({0, 0, 0, 0}));
    SetValue(registry, kCurrentUser, kSectionKey, "chk_shortcuts_", kRegDword, B({0, 0, 0, 0}));
    SetValue(registry, kCurrentUser, kSectionKey, "chk_vxd_", kRegDword, B({1, 0, 0, 0}));
    // Not a four-byte DWORD: read as selected.
    SetValue(registry, kCurrentUser, kSectionKey, "chk_sounds_", kRegSz, Str("0"));
    SetValue(registry, kCurrentUser, kSectionKey, "chk_regint_", kRegBinary, B({0, 0}));
    SettingsModel model(registry, "Tarnwick", "Tarnwick");
    model.Load();
    SectionSelection expected;
    expected.fill(true);
    expected[6] = false;   // ProgramID Section
    expected[11] = false;  // Invalid Shortcuts
    EXPECT_EQ(expected, model.settings().sections);
}

TEST(SettingsModel, TheProgramNameNamesTheSectionKey)
{
    MemoryRegistry registry;
    SetValue(registry, kCurrentUser, "Software\\Tarnwick\\Cleaner\\SectionToScan", "chk_comregscan_", kRegDword,
             B({0, 0, 0, 0}));
    SettingsModel other(registry, "Tarnwick", "Tarnwick");
    other.Load();
    EXPECT_TRUE(other.settings().sections[0]);
    SettingsModel renamed(registry, "Tarnwick", "Cleaner");
    renamed.Load();
    EXPECT_FALSE(renamed.settings().sections[0]);
}

TEST(SettingsModel, OptionIsOnExactlyWhenItsTextBeginsWithOne)
{
    struct Case {
        Bytes data;
        bool on;
    };
    const Case cases[] = {
        {Str("1"), true},   {Str("1 "), true},  {Str("10"), true},          {Str(""), false},
        {Str("0"), false},  {Str("yes"), false}, {Str("1 and a long tail of text"), true},
        {B({}), false},
    };
    for (const Case& c : cases) {
        MemoryRegistry registry;
        SetValue(registry, kLocalMachine, "SOFTWARE\\Tarnwick", "scanonstartup", kRegSz, c.data);
        SetValue(registry, kLocalMachine, "SOFTWARE\\Tarnwick", "restorebackopt", kRegSz, c.data);
        SettingsModel model(registry, "Tarnwick", "Tarnwick");
        model.Load();
        std::string text(c.data.begin(), c.data.end());
        EXPECT_EQ(c.on, model.settings().scanOnStartup) << '"' << text << '"';
        EXPECT_EQ(c.on, model.settings().restoreFromLatestBackup) << '"' << text << '"';
    }
}

TEST(SettingsModel, SavingWritesOptionsAsTwoByteTextAndSectionsAsDwords)
{
    MemoryRegistry registry;
    CreateKey(registry, kLocalMachine, "SOFTWARE\\Tarnwick");
    SettingsModel model(registry, "Tarnwick", "Tarnwick");
    model.Load();
    model.settings().scanOnStartup = true;
    model.settings().sections[3] = false;  // VXD Sections
    model.Save();

    std::uint32_t type = 0;
    Bytes data;
    ASSERT_TRUE(GetValue(registry, kLocalMachine, "SOFTWARE\\Tarnwick", "scanonstartup", &type, &data));
    EXPECT_EQ(kRegSz, type);
    EXPECT_EQ(B({'1', 0}), data);
    ASSERT_TRUE(GetValue(registry, kLocalMachine, "SOFTWARE\\Tarnwick", "restorebackopt", &type, &data));
    EXPECT_EQ(B({'0', 0}), data);
    ASSERT_TRUE(GetValue(registry, kCurrentUser, kSectionKey, "chk_vxd_", &type, &data));
    EXPECT_EQ(kRegDword, type);
    EXPECT_EQ(B({0, 0, 0, 0}), data);
    ASSERT_TRUE(GetValue(registry, kCurrentUser, kSectionKey, "chk_comregscan_", &type, &data));
    EXPECT_EQ(B({1, 0, 0, 0}), data);

    SettingsModel next(registry, "Tarnwick", "Tarnwick");
    next.Load();
    EXPECT_FALSE(next.settings().sections[3]);
    EXPECT_TRUE(next.settings().scanOnStartup);
}

TEST(SettingsModel, SavingWritesTheOptionsFirstThenTheSectionsInTheirFixedOrder)
{
    // The n-th write fails: the value it would have written is the one missing afterwards.
    const std::pair<int, const char*> cases[] = {
        {1, "scanonstartup"}, {2, "restorebackopt"}, {3, "chk_vxd_"}, {4, "chk_helpfiles_"},
        {10, "chk_shortcuts_"}, {15, "chk_regint_"}, {16, "chk_comregscan_"},
    };
    for (const auto& [nth, missing] : cases) {
        MemoryRegistry registry;
        CreateKey(registry, kLocalMachine, "SOFTWARE\\Tarnwick");
        SettingsModel model(registry, "Tarnwick", "Tarnwick");
        model.Load();
        registry.InjectFault(RegOp::SetValueEx, static_cast<std::uint64_t>(nth), kErrorWriteFault);
        model.Save();
        std::uint32_t type = 0;
        Bytes data;
        bool option = std::string(missing).rfind("chk_", 0) != 0;
        const char* path = option ? "SOFTWARE\\Tarnwick" : kSectionKey;
        HKey root = option ? kLocalMachine : kCurrentUser;
        EXPECT_FALSE(GetValue(registry, root, path, missing, &type, &data)) << nth;
        EXPECT_TRUE(GetValue(registry, kCurrentUser, kSectionKey, nth == 16 ? "chk_vxd_" : "chk_comregscan_", &type,
                             &data))
            << nth;
    }
}

TEST(SettingsModel, OnANewCopySavingMakesTheMachineKeyAndTheOptionsAreKept)
{
    MemoryRegistry registry;
    SettingsModel model(registry, "Tarnwick", "Tarnwick");
    model.Load();
    model.settings().scanOnStartup = true;
    model.settings().restoreFromLatestBackup = true;
    EXPECT_EQ(kSuccess, model.Save());
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, "SOFTWARE\\Tarnwick"));
    EXPECT_TRUE(KeyExists(registry, kCurrentUser, kSectionKey));
    SettingsModel next(registry, "Tarnwick", "Tarnwick");
    next.Load();
    EXPECT_TRUE(next.settings().scanOnStartup);
    EXPECT_TRUE(next.settings().restoreFromLatestBackup);
}

TEST(SettingsModel, WithBothOptionsOffANewCopyGetsNoMachineKey)
{
    MemoryRegistry registry;
    SettingsModel model(registry, "Tarnwick", "Tarnwick");
    model.Load();
    EXPECT_EQ(kSuccess, model.Save());
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, "SOFTWARE\\Tarnwick"));
    EXPECT_TRUE(KeyExists(registry, kCurrentUser, kSectionKey));
}

TEST(SettingsModel, AMachineKeyThatCannotBeWrittenIsReportedAndTheSectionsAreStillKept)
{
    MemoryRegistry registry;
    SetValue(registry, kLocalMachine, "SOFTWARE\\Tarnwick", "scanonstartup", kRegSz, Str("0"));
    RefuseWriteAccess(registry, kLocalMachine, "SOFTWARE\\Tarnwick");
    SettingsModel model(registry, "Tarnwick", "Tarnwick");
    model.settings().scanOnStartup = true;
    model.settings().sections[0] = false;
    EXPECT_EQ(kErrorAccessDenied, model.SaveOptions());
    EXPECT_EQ(kErrorAccessDenied, model.Save());
    std::uint32_t type = 0;
    Bytes data;
    ASSERT_TRUE(GetValue(registry, kLocalMachine, "SOFTWARE\\Tarnwick", "scanonstartup", &type, &data));
    EXPECT_EQ(B({'0', 0}), data);
    ASSERT_TRUE(GetValue(registry, kCurrentUser, kSectionKey, "chk_comregscan_", &type, &data));
    EXPECT_EQ(B({0, 0, 0, 0}), data);
    EXPECT_EQ("The options could not be saved: HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick cannot be written without "
              "administrator rights. They apply until Tarnwick is closed.",
              OptionsNotSavedText(kErrorAccessDenied));
    EXPECT_NE(std::string::npos, OptionsNotSavedText(1021).find("(error 1021)"));
}

TEST(SettingsModel, AMachineKeyThatCannotBeOpenedForFullAccessLeavesOptionsOff)
{
    MemoryRegistry registry;
    SetValue(registry, kLocalMachine, "SOFTWARE\\Tarnwick", "scanonstartup", kRegSz, Str("1"));
    registry.InjectFault(RegOp::OpenKeyEx, 1, kErrorAccessDenied, true);
    SettingsModel model(registry, "Tarnwick", "Tarnwick");
    model.Load();
    EXPECT_FALSE(model.settings().scanOnStartup);
    for (bool on : model.settings().sections)
        EXPECT_TRUE(on);
}

}  // namespace
}  // namespace tw::test
