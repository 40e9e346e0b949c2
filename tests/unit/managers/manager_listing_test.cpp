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
    ProcessCodec codec_;
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
    const ManagerPlace place{RegistryPlace{kLocalMachine, uninstall, false}, kAddRemoveStoreKeyPath, "test"};
    ListUninstallEntries(R(), codec_, place, false, &entries);
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

namespace tw::test {
namespace {

// The places of current 64-bit Windows, on the memory registry.
class ManagerPlaces : public ::testing::Test {
protected:
    static std::string Wow(const char* key) { return SoftwarePlace(key, kMachine32View).subkey; }
    static std::vector<std::string> Locations(const std::vector<StartupEntry>& entries)
    {
        std::vector<std::string> locations;
        for (const StartupEntry& e : entries)
            locations.push_back(e.place.location);
        return locations;
    }
    MemoryRegistry registry_;
    MemorySystem system_;
    ProcessCodec codec_;
};

// The same name in each of the six places: six rows, each saying where it lives; each goes
// into a store of its own and back to exactly its own place, with its type and bytes.
TEST_F(ManagerPlaces, StartupEntriesOfOneNameInEveryPlaceGoEachToItsOwnStoreAndBack)
{
    struct Seed {
        HKey root;
        std::string key;
        std::uint32_t type;
        Bytes data;
    } seeds[] = {
        {kLocalMachine, kRunKeyPath, kRegSz, Str("C:\\m\\run.exe")},
        {kLocalMachine, kRunOnceKeyPath, kRegExpandSz, Str("%SystemRoot%\\m\\once.exe /x")},
        {kLocalMachine, Wow(kRunKeyPath), kRegSz, B({'C', ':', '\\', '3', '2', '.', 'e', 'x', 'e'})},  // no NUL
        {kLocalMachine, Wow(kRunOnceKeyPath), kRegExpandSz, Str("%ProgramFiles(x86)%\\once32.exe")},
        {kCurrentUser, kRunKeyPath, kRegSz, B({'u', '.', 'e', 'x', 'e', 0, 'z', 0, 0})},  // text after a NUL
        {kCurrentUser, kRunOnceKeyPath, kRegBinary, B({1, 2, 3})},
    };
    for (const Seed& s : seeds)
        SetValue(registry_, s.root, s.key, "Agent", s.type, s.data);
    auto dumps = [&] {
        std::string all;
        for (const Seed& s : seeds)
            all += DumpBranch(registry_, s.root, s.key);
        return all;
    };
    const std::string before = dumps();

    std::vector<StartupEntry> listed = ListStartupPrograms(registry_, system_);
    ASSERT_EQ(6u, listed.size());
    EXPECT_EQ((std::vector<std::string>{"HKLM Run", "HKLM RunOnce", "HKLM Run (32-bit)", "HKLM RunOnce (32-bit)",
                                        "HKCU Run", "HKCU RunOnce"}),
              Locations(listed));
    EXPECT_EQ("C:\\32.exe", listed[2].command);
    EXPECT_EQ("u.exe", listed[4].command);
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Agent",
              StartupEntryPath(listed[3]));

    for (const StartupEntry& e : listed)
        ASSERT_EQ(MoveResult::Moved, RemoveStartupProgram(registry_, e)) << e.place.location;
    EXPECT_TRUE(ListStartupPrograms(registry_, system_).empty());
    // Six stored values, none written over another.
    const std::pair<HKey, const char*> stores[] = {
        {kLocalMachine, kStartupStoreKeyPath},        {kLocalMachine, kStartupRunOnceStoreKeyPath},
        {kLocalMachine, kStartupRun32StoreKeyPath},   {kLocalMachine, kStartupRunOnce32StoreKeyPath},
        {kCurrentUser, kStartupStoreKeyPath},         {kCurrentUser, kStartupRunOnceStoreKeyPath},
    };
    for (std::size_t i = 0; i < 6; ++i) {
        std::uint32_t type = 0;
        Bytes data;
        ASSERT_TRUE(GetValue(registry_, stores[i].first, stores[i].second, "Agent", &type, &data)) << i;
        EXPECT_EQ(seeds[i].type, type) << i;
        EXPECT_EQ(seeds[i].data, data) << i;
    }

    std::vector<StartupEntry> stored = ListStoredStartupPrograms(registry_, codec_);
    EXPECT_EQ((std::vector<std::string>{"HKCU Run", "HKCU RunOnce", "HKLM Run", "HKLM RunOnce", "HKLM Run (32-bit)",
                                        "HKLM RunOnce (32-bit)"}),
              Locations(stored))
        << "the user's stores first";
    for (const StartupEntry& e : stored)
        ASSERT_EQ(MoveResult::Moved, RestoreStartupProgram(registry_, e)) << e.place.location;
    EXPECT_EQ(before, dumps());
    EXPECT_TRUE(ListStoredStartupPrograms(registry_, codec_).empty());
}

// 32-bit Windows has no Wow6432Node: the places that exist are read, and listing makes no key.
TEST_F(ManagerPlaces, WithoutThe32BitViewOnlyThePlacesThatExistAreRead)
{
    SetValue(registry_, kLocalMachine, kRunKeyPath, "Machine", kRegSz, Str("m.exe"));
    SetValue(registry_, kCurrentUser, kRunOnceKeyPath, "Once", kRegSz, Str("o.exe"));
    std::vector<StartupEntry> listed = ListStartupPrograms(registry_, system_);
    EXPECT_EQ((std::vector<std::string>{"HKLM Run", "HKCU RunOnce"}), Locations(listed));
    EXPECT_FALSE(KeyExists(registry_, kLocalMachine, "SOFTWARE\\Wow6432Node"));
    EXPECT_TRUE(ListInstalledPrograms(registry_, system_).empty());
    EXPECT_FALSE(KeyExists(registry_, kLocalMachine, "SOFTWARE\\Wow6432Node"));
}

// A 32-bit key that is a link to the 64-bit one is the same key: its entries are listed once,
// under the place listed first.
TEST_F(ManagerPlaces, A32BitRunKeyLinkedToThe64BitOneIsListedOnce)
{
    SetValue(registry_, kLocalMachine, kRunKeyPath, "Shared", kRegSz, Str("s.exe"));
    CreateKey(registry_, kLocalMachine, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion");
    CreateLink(registry_, kLocalMachine, Wow(kRunKeyPath),
               "\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    std::vector<StartupEntry> listed = ListStartupPrograms(registry_, system_);
    ASSERT_EQ(1u, listed.size());
    EXPECT_EQ("HKLM Run", listed[0].place.location);
}

TEST_F(ManagerPlaces, UninstallEntriesOfOneNameInEachPlaceMoveToTheirOwnStoresAndBack)
{
    const std::string places[] = {kUninstallKeyPath, Wow(kUninstallKeyPath), kUninstallKeyPath};
    const HKey roots[] = {kLocalMachine, kLocalMachine, kCurrentUser};
    for (int i = 0; i < 3; ++i) {
        const std::string key = places[i] + "\\App";
        SetValue(registry_, roots[i], key, "DisplayName", kRegSz, Str("App " + std::to_string(i)));
        SetValue(registry_, roots[i], key, "UninstallString", kRegExpandSz,
                 Str("%ProgramFiles%\\un" + std::to_string(i)));
        SetValue(registry_, roots[i], key + "\\Sub", "Size", kRegDword, B({i, 0, 0, 0}));
    }
    auto dumps = [&] {
        std::string all;
        for (int i = 0; i < 3; ++i)
            all += DumpBranch(registry_, roots[i], places[i]);
        return all;
    };
    const std::string before = dumps();

    std::vector<UninstallEntry> listed = ListInstalledPrograms(registry_, system_);
    ASSERT_EQ(3u, listed.size());
    EXPECT_EQ("HKLM", listed[0].place.location);
    EXPECT_EQ("HKLM (32-bit)", listed[1].place.location);
    EXPECT_EQ("App 1", listed[1].displayName);
    EXPECT_EQ("HKCU", listed[2].place.location);
    EXPECT_EQ("HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App",
              UninstallEntryPath(listed[2]));
    for (const UninstallEntry& e : listed)
        ASSERT_EQ(MoveResult::Moved, RemoveInstalledProgram(registry_, e)) << e.place.location;
    EXPECT_TRUE(ListInstalledPrograms(registry_, system_).empty());
    EXPECT_TRUE(KeyExists(registry_, kLocalMachine, std::string(kAddRemoveStoreKeyPath) + "\\App\\Sub"));
    EXPECT_TRUE(KeyExists(registry_, kLocalMachine, std::string(kAddRemove32StoreKeyPath) + "\\App\\Sub"));
    EXPECT_TRUE(KeyExists(registry_, kCurrentUser, std::string(kAddRemoveStoreKeyPath) + "\\App\\Sub"));

    std::vector<UninstallEntry> stored = ListStoredInstalledPrograms(registry_, codec_);
    ASSERT_EQ(3u, stored.size());
    for (const UninstallEntry& e : stored)
        ASSERT_EQ(MoveResult::Moved, RestoreInstalledProgram(registry_, e)) << e.place.location;
    EXPECT_EQ(before, dumps());
}

// The shipped programs run with UTF-8 as their code page: a name or text may take up to three
// bytes a character, and the listing limit stays one of characters.
class Utf8Codec final : public TextCodec {
public:
    std::u16string AnsiToUtf16(std::string_view text) override { return Utf8ToUtf16(text); }
    std::string Utf16ToAnsi(std::u16string_view text) override { return Utf16ToUtf8(text); }
};

std::string Repeat(const std::string& piece, std::size_t times)
{
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

TEST_F(ManagerPlaces, TheListingLimitCountsCharactersNotBytes)
{
    Utf8Codec utf8;
    const std::string e = "\xC3\xA9";  // one character, two bytes
    const std::string base = "Software\\TarnwickUtf8";
    SetValue(registry_, kCurrentUser, base, "a", kRegSz, Str(Repeat(e, 259)));  // 518 bytes
    SetValue(registry_, kCurrentUser, base, "b", kRegSz, Str("b.exe"));
    SetValue(registry_, kCurrentUser, base, "c", kRegSz, Str(Repeat(e, 260)));  // one character too many
    SetValue(registry_, kCurrentUser, base, "d", kRegSz, Str("d.exe"));
    std::vector<StartupEntry> entries;
    const ManagerPlace place{RegistryPlace{kCurrentUser, base, false}, kStartupStoreKeyPath, "test"};
    ListStartupValues(registry_, utf8, place, false, &entries);
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(Repeat(e, 259), entries[0].command) << "never cut";
    EXPECT_EQ("b", entries[1].name);

    const std::string uninstall = "Software\\TarnwickUtf8Uninstall";
    SetValue(registry_, kLocalMachine, uninstall + "\\Long", "DisplayName", kRegSz, Str(Repeat(e, 200)));
    SetValue(registry_, kLocalMachine, uninstall + "\\Long", "UninstallString", kRegSz, Str("C:\\u.exe"));
    SetValue(registry_, kLocalMachine, uninstall + "\\TooLong", "DisplayName", kRegSz, Str(Repeat(e, 260)));
    SetValue(registry_, kLocalMachine, uninstall + "\\TooLong", "UninstallString", kRegSz, Str("C:\\u.exe"));
    std::vector<UninstallEntry> programs;
    ListUninstallEntries(registry_, utf8,
                         ManagerPlace{RegistryPlace{kLocalMachine, uninstall, false}, kAddRemoveStoreKeyPath, "test"},
                         false, &programs);
    ASSERT_EQ(1u, programs.size());
    EXPECT_EQ(Repeat(e, 200), programs[0].displayName);
}

}  // namespace
}  // namespace tw::test
