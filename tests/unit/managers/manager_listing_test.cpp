// What each manager lists: the rules that decide which registry entries become rows, against
// every registry under test. Each test lists a scratch key of its own.
#include "managers/add_remove_manager.h"
#include "managers/bho_manager.h"
#include "managers/removed_entry_store.h"
#include "managers/startup_manager.h"
#include "platform/codepage.h"
#include "platform/memory/memory_system.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tw::test {
namespace {

class ManagerListing : public ::testing::TestWithParam<RegistryUnderTest> {
protected:
    void SetUp() override
    {
        registry_ = GetParam().make();
        name_ = std::string("TarnwickTest_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name_)
            if (c == '/')
                c = '_';
        base_ = "Software\\TarnwickListing\\" + name_;
        Clean();
    }
    void TearDown() override { Clean(); }
    void Clean()
    {
        WipeKey(R(), kLocalMachine, base_);
        WipeKey(R(), kCurrentUser, base_);
        WipeKey(R(), kClassesRoot, "CLSID\\{" + name_ + "-1}");
        WipeKey(R(), kClassesRoot, "CLSID\\{" + name_ + "-3}");
        WipeKey(R(), kClassesRoot, "CLSID\\{" + name_ + "-4}");
        for (HKey root : {kLocalMachine, kCurrentUser}) {
            KeyHandle k(R());
            if (R().OpenKeyEx(root, kRunKeyPath, 0, kKeyAllAccess, k.Put()) == kSuccess)
                R().DeleteValue(k.get(), name_.c_str());
        }
    }
    Registry& R() { return *registry_; }
    // A place of the test's own, with the store of the Run keys.
    static ManagerPlace Place(HKey root, const std::string& subkey)
    {
        return ManagerPlace{RegistryPlace{root, subkey, false}, kStartupStoreKeyPath, "test"};
    }

    std::unique_ptr<Registry> registry_;
    MemorySystem system_;
    Cp1252Codec codec_;
    std::string name_;
    std::string base_;
};

TEST_P(ManagerListing, StartupValuesSkipTheUnnamedOneAndStopAtLongData)
{
    // Wine and the memory registry enumerate values in name order.
    SetValue(R(), kCurrentUser, base_, nullptr, kRegSz, Str("C:\\default.exe"));
    SetValue(R(), kCurrentUser, base_, "a first", kRegSz, Str("\"C:\\Program Files\\A\\a.exe\" /min"));
    SetValue(R(), kCurrentUser, base_, "b dword", kRegDword, B({'6', '4', 0, 0}));
    SetValue(R(), kCurrentUser, base_, "c fits", kRegSz, Str(std::string(259, 'c')));
    SetValue(R(), kCurrentUser, base_, "d too long", kRegSz, Str(std::string(260, 'd')));
    SetValue(R(), kCurrentUser, base_, "e after", kRegSz, Str("C:\\e.exe"));

    std::vector<StartupEntry> entries;
    ListStartupValues(R(), codec_, Place(kCurrentUser, base_), false, &entries);
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ("a first", entries[0].name);
    EXPECT_EQ("\"C:\\Program Files\\A\\a.exe\" /min", entries[0].command);
    EXPECT_EQ(kCurrentUser, entries[0].root);
    EXPECT_EQ("b dword", entries[1].name);
    EXPECT_EQ("64", entries[1].command) << "the data is taken as text whatever its type";
    EXPECT_EQ(std::string(259, 'c'), entries[2].command);

    std::vector<StartupEntry> none;
    ListStartupValues(R(), codec_, Place(kCurrentUser, base_ + "\\Missing"), false, &none);
    EXPECT_TRUE(none.empty());
}

TEST_P(ManagerListing, StartupNamesTooLongForTheBufferEndTheListing)
{
    SetValue(R(), kLocalMachine, base_, "a", kRegSz, Str("a.exe"));
    SetValue(R(), kLocalMachine, base_, ("b" + std::string(259, 'x')).c_str(), kRegSz, Str("b.exe"));
    SetValue(R(), kLocalMachine, base_, "c", kRegSz, Str("c.exe"));
    std::vector<StartupEntry> entries;
    ListStartupValues(R(), codec_, Place(kLocalMachine, base_), false, &entries);
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ("a", entries[0].name);
}

TEST_P(ManagerListing, TheSameProgramUnderBothRootsGivesTwoRowsMachineFirst)
{
    SetValue(R(), kCurrentUser, kRunKeyPath, name_.c_str(), kRegSz, Str("C:\\user.exe"));
    SetValue(R(), kLocalMachine, kRunKeyPath, name_.c_str(), kRegSz, Str("C:\\machine.exe"));
    std::vector<StartupEntry> all = ListStartupPrograms(R(), system_);
    std::vector<StartupEntry> ours;
    std::copy_if(all.begin(), all.end(), std::back_inserter(ours), [&](const auto& e) { return e.name == name_; });
    ASSERT_EQ(2u, ours.size());
    EXPECT_EQ(kLocalMachine, ours[0].root);
    EXPECT_EQ("C:\\machine.exe", ours[0].command);
    EXPECT_EQ(kCurrentUser, ours[1].root);

    // Removing the user's row moves that value alone; the store lists the user's root first.
    ASSERT_EQ(MoveResult::Moved, RemoveStartupProgram(R(), ours[1]));
    ASSERT_EQ(MoveResult::Moved, RemoveStartupProgram(R(), ours[0]));
    std::vector<StartupEntry> stored = ListStoredStartupPrograms(R(), codec_);
    std::vector<StartupEntry> ourStored;
    std::copy_if(stored.begin(), stored.end(), std::back_inserter(ourStored),
                 [&](const auto& e) { return e.name == name_; });
    ASSERT_EQ(2u, ourStored.size());
    EXPECT_EQ(kCurrentUser, ourStored[0].root);
    EXPECT_EQ("C:\\user.exe", ourStored[0].command);
    EXPECT_EQ(kLocalMachine, ourStored[1].root);
    for (const StartupEntry& e : ourStored)
        EXPECT_EQ(MoveResult::Moved, RestoreStartupProgram(R(), e));
    Bytes data;
    std::uint32_t type = 0;
    ASSERT_TRUE(GetValue(R(), kCurrentUser, kRunKeyPath, name_.c_str(), &type, &data));
    EXPECT_EQ(Str("C:\\user.exe"), data);
    ASSERT_TRUE(GetValue(R(), kLocalMachine, kRunKeyPath, name_.c_str(), &type, &data));
    EXPECT_EQ(Str("C:\\machine.exe"), data);
}

TEST_P(ManagerListing, BrowserHelperObjectsNeedAReadableClassRegistration)
{
    const std::string objects = base_ + "\\Browser Helper Objects";
    std::string ids[] = {"{" + name_ + "-1}", "{" + name_ + "-2}", "{" + name_ + "-3}", "{" + name_ + "-4}"};
    for (const std::string& id : ids)
        CreateKey(R(), kLocalMachine, objects + "\\" + id);
    // 1: registered, with a quoted path and an argument; 2: no class registration;
    // 3: a class without a library; 4: a library path too long for the buffer.
    SetValue(R(), kClassesRoot, "CLSID\\" + ids[0] + "\\InprocServer32", nullptr, kRegSz,
             Str("\"C:\\Program Files\\Bar\\bar.dll\" -x"));
    CreateKey(R(), kClassesRoot, "CLSID\\" + ids[2]);
    SetValue(R(), kClassesRoot, "CLSID\\" + ids[3] + "\\InprocServer32", nullptr, kRegSz, Str(std::string(260, 'p')));

    std::vector<BhoEntry> entries;
    ListBrowserHelperObjects(R(), codec_, objects, &entries);
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(ids[0], entries[0].classId);
    EXPECT_EQ("\"C:\\Program Files\\Bar\\bar.dll\" -x", entries[0].libraryPath) << "shown unchanged";

    std::vector<BhoEntry> none;
    ListBrowserHelperObjects(R(), codec_, base_ + "\\Missing", &none);
    EXPECT_TRUE(none.empty());
}

TEST_P(ManagerListing, UninstallEntriesNeedBothValues)
{
    const std::string uninstall = base_ + "\\Uninstall";
    SetValue(R(), kLocalMachine, uninstall + "\\Both", "DisplayName", kRegSz, Str("Both Values"));
    SetValue(R(), kLocalMachine, uninstall + "\\Both", "UninstallString", kRegSz, Str("C:\\un.exe /x"));
    SetValue(R(), kLocalMachine, uninstall + "\\NameOnly", "DisplayName", kRegSz, Str("Name Only"));
    SetValue(R(), kLocalMachine, uninstall + "\\StringOnly", "UninstallString", kRegSz, Str("C:\\u.exe"));
    SetValue(R(), kLocalMachine, uninstall + "\\TooLong", "DisplayName", kRegSz, Str(std::string(260, 'n')));
    SetValue(R(), kLocalMachine, uninstall + "\\TooLong", "UninstallString", kRegSz, Str("C:\\t.exe"));
    SetValue(R(), kLocalMachine, uninstall + "\\Zeta", "DisplayName", kRegExpandSz, Str("Zeta"));
    SetValue(R(), kLocalMachine, uninstall + "\\Zeta", "UninstallString", kRegExpandSz, Str("%SystemRoot%\\z.exe"));

    std::vector<UninstallEntry> entries;
    ListUninstallEntries(R(), codec_, ManagerPlace{RegistryPlace{kLocalMachine, uninstall, false}, kAddRemoveStoreKeyPath, "test"},
                         false, &entries);
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ("Both", entries[0].subkey);
    EXPECT_EQ("Both Values", entries[0].displayName);
    EXPECT_EQ("C:\\un.exe /x", entries[0].uninstallString);
    EXPECT_EQ("Zeta", entries[1].subkey);
    EXPECT_EQ("%SystemRoot%\\z.exe", entries[1].uninstallString);
}

INSTANTIATE_TEST_SUITE_P(Registries, ManagerListing, ::testing::ValuesIn(RegistriesUnderTest()),
                         [](const auto& info) { return info.param.name; });

TEST(StartupRunPath, CommandTextsReduceToTheProgramFile)
{
    struct Case {
        const char* command;
        const char* path;
    } cases[] = {
        {"\"C:\\Program Files\\App\\app.exe\" /background", "C:\\Program Files\\App\\app.exe"},
        {"  C:\\Tools\\agent.exe -silent", "C:\\Tools\\agent.exe"},
        {"C:\\Tools\\agent.exe", "C:\\Tools\\agent.exe"},
        {"C:\\Tools\\agent.exe   ", "C:\\Tools\\agent.exe"},
        {"rundll32.exe shell32.dll,Control_RunDLL", "rundll32.exe"},
        {"\"C:\\Program Files\\unterminated.exe /x", "C:\\Program Files\\unterminated.exe"},
        // No ".exe" (another extension, or one in capitals): the first word, or the quoted path.
        {"C:\\WINDOWS\\SYSTEM\\SCANREGW.EXE /AUTORUN", "C:\\WINDOWS\\SYSTEM\\SCANREGW.EXE"},
        {"C:\\scripts\\logon.bat", "C:\\scripts\\logon.bat"},
        {"\"C:\\Program Files\\Tool\\start.cmd\" now", "C:\\Program Files\\Tool\\start.cmd"},
        {"", ""},
        {"   ", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.path, ReduceRunPath(c.command)) << c.command;
}

}  // namespace
}  // namespace tw::test
