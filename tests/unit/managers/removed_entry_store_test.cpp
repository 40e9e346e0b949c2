// Moving entries into the removed-entry store and back gives back exactly what was there,
// against every registry under test (the real one too, in the Windows test program).
#include "managers/removed_entry_store.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

std::string Relative(std::string dump, const std::string& prefix)
{
    std::string from = "[" + prefix;
    for (std::size_t at = dump.find(from); at != std::string::npos; at = dump.find(from, at + 1))
        dump.replace(at, from.size(), "[");
    return dump;
}

class RemovedEntryStore : public ::testing::TestWithParam<RegistryUnderTest> {
protected:
    void SetUp() override
    {
        registry_ = GetParam().make();
        name_ = std::string("TarnwickTest_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name_)
            if (c == '/')
                c = '_';
        Clean();
    }
    void TearDown() override { Clean(); }
    void Clean()
    {
        for (const char* parent : {kUninstallKeyPath, kAddRemoveStoreKeyPath})
            WipeKey(R(), kLocalMachine, std::string(parent) + "\\" + name_);
        for (HKey root : {kLocalMachine, kCurrentUser})
            for (const char* key : {kRunKeyPath, kStartupStoreKeyPath}) {
                KeyHandle k(R());
                if (R().OpenKeyEx(root, key, 0, kKeyAllAccess, k.Put()) == kSuccess)
                    R().DeleteValue(k.get(), name_.c_str());
            }
    }
    Registry& R() { return *registry_; }
    std::string Source() const { return std::string(kUninstallKeyPath) + "\\" + name_; }
    std::string Stored() const { return std::string(kAddRemoveStoreKeyPath) + "\\" + name_; }
    std::string RunValue(HKey root, const char* key, std::uint32_t* type = nullptr)
    {
        Bytes data;
        std::uint32_t t = 0;
        if (!GetValue(R(), root, key, name_.c_str(), &t, &data))
            return "(missing)";
        if (type)
            *type = t;
        return std::string(data.begin(), data.end());
    }

    std::unique_ptr<Registry> registry_;
    std::string name_;
};

TEST_P(RemovedEntryStore, AKeyWithValuesAndSubkeysComesBackExactly)
{
    SetValue(R(), kLocalMachine, Source(), "DisplayName", kRegSz, Str("Thing"));
    SetValue(R(), kLocalMachine, Source(), "UninstallString", kRegExpandSz, Str("%ProgramFiles%\\un.exe"));
    SetValue(R(), kLocalMachine, Source(), "EstimatedSize", kRegDword, B({0x10, 0x27, 0, 0}));
    SetValue(R(), kLocalMachine, Source() + "\\Deeper\\Deepest", "Blob", kRegBinary, B({1, 2, 3}));
    SetValue(R(), kLocalMachine, Source() + "\\Deeper", nullptr, kRegSz, Str("default"));
    const std::string before = Relative(DumpBranch(R(), kLocalMachine, Source()), Source());

    ASSERT_EQ(MoveResult::Moved, MoveRegistryKey(R(), kAddRemoveStoreKeyPath, kUninstallKeyPath, name_));
    EXPECT_FALSE(KeyExists(R(), kLocalMachine, Source())) << "the whole subtree leaves the source";
    EXPECT_EQ(before, Relative(DumpBranch(R(), kLocalMachine, Stored()), Stored()));

    ASSERT_EQ(MoveResult::Moved, MoveRegistryKey(R(), kUninstallKeyPath, kAddRemoveStoreKeyPath, name_));
    EXPECT_FALSE(KeyExists(R(), kLocalMachine, Stored()));
    EXPECT_TRUE(KeyExists(R(), kLocalMachine, kAddRemoveStoreKeyPath)) << "the store key itself stays";
    EXPECT_EQ(before, Relative(DumpBranch(R(), kLocalMachine, Source()), Source()));
}

// An entry that came back since it was removed (the program put it there again) is not
// overwritten by a restore, and the stored copy is not overwritten by a second removal: both
// stay, each where it is, and the move says why it did not happen.
TEST_P(RemovedEntryStore, AMoveOntoAnEntryOfTheSameNameIsRefusedAndBothStay)
{
    SetValue(R(), kLocalMachine, Source(), "DisplayName", kRegSz, Str("Old"));
    SetValue(R(), kLocalMachine, Source(), "OnlyOld", kRegSz, Str("1"));
    ASSERT_EQ(MoveResult::Moved, MoveRegistryKey(R(), kAddRemoveStoreKeyPath, kUninstallKeyPath, name_));
    SetValue(R(), kLocalMachine, Source(), "DisplayName", kRegSz, Str("New"));
    const std::string stored = Relative(DumpBranch(R(), kLocalMachine, Stored()), Stored());
    const std::string live = Relative(DumpBranch(R(), kLocalMachine, Source()), Source());

    EXPECT_EQ(MoveResult::NameTaken, MoveRegistryKey(R(), kUninstallKeyPath, kAddRemoveStoreKeyPath, name_));
    EXPECT_EQ(MoveResult::NameTaken, MoveRegistryKey(R(), kAddRemoveStoreKeyPath, kUninstallKeyPath, name_));
    EXPECT_EQ(stored, Relative(DumpBranch(R(), kLocalMachine, Stored()), Stored()));
    EXPECT_EQ(live, Relative(DumpBranch(R(), kLocalMachine, Source()), Source()));

    SetValue(R(), kCurrentUser, kRunKeyPath, name_.c_str(), kRegSz, Str("first.exe"));
    ASSERT_EQ(MoveResult::Moved, MoveRegistryValue(R(), kCurrentUser, kStartupStoreKeyPath, kRunKeyPath, name_));
    SetValue(R(), kCurrentUser, kRunKeyPath, name_.c_str(), kRegSz, Str("second.exe"));
    EXPECT_EQ(MoveResult::NameTaken,
              MoveRegistryValue(R(), kCurrentUser, kStartupStoreKeyPath, kRunKeyPath, name_));
    EXPECT_EQ(MoveResult::NameTaken,
              MoveRegistryValue(R(), kCurrentUser, kRunKeyPath, kStartupStoreKeyPath, name_));
    EXPECT_EQ(std::string("first.exe") + '\0', RunValue(kCurrentUser, kStartupStoreKeyPath));
    EXPECT_EQ(std::string("second.exe") + '\0', RunValue(kCurrentUser, kRunKeyPath));
    EXPECT_STREQ("an entry of this name was removed before and is still stored; restore that one first",
                 MoveResultText(MoveResult::NameTaken, true));
}

TEST_P(RemovedEntryStore, MovingAMissingKeyChangesNothing)
{
    EXPECT_NE(MoveResult::Moved, MoveRegistryKey(R(), kAddRemoveStoreKeyPath, kUninstallKeyPath, name_));
    EXPECT_FALSE(KeyExists(R(), kLocalMachine, Stored()));
    EXPECT_NE(MoveResult::Moved, MoveRegistryKey(R(), kAddRemoveStoreKeyPath, kUninstallKeyPath, ""));
}

TEST_P(RemovedEntryStore, AStartupValueStaysUnderItsOwnRootAndComesBackWithItsOwnType)
{
    SetValue(R(), kLocalMachine, kRunKeyPath, name_.c_str(), kRegSz, Str("C:\\machine.exe"));
    SetValue(R(), kCurrentUser, kRunKeyPath, name_.c_str(), kRegExpandSz, Str("%windir%\\user.exe /q"));

    ASSERT_EQ(MoveResult::Moved, MoveRegistryValue(R(), kCurrentUser, kStartupStoreKeyPath, kRunKeyPath, name_));
    EXPECT_EQ("(missing)", RunValue(kCurrentUser, kRunKeyPath));
    EXPECT_EQ(std::string("%windir%\\user.exe /q") + '\0', RunValue(kCurrentUser, kStartupStoreKeyPath));
    EXPECT_EQ("(missing)", RunValue(kLocalMachine, kStartupStoreKeyPath)) << "never under the other root";
    EXPECT_EQ(std::string("C:\\machine.exe") + '\0', RunValue(kLocalMachine, kRunKeyPath)) << "the twin stays";

    ASSERT_EQ(MoveResult::Moved, MoveRegistryValue(R(), kCurrentUser, kRunKeyPath, kStartupStoreKeyPath, name_));
    std::uint32_t type = 0;
    EXPECT_EQ(std::string("%windir%\\user.exe /q") + '\0', RunValue(kCurrentUser, kRunKeyPath, &type));
    EXPECT_EQ(kRegExpandSz, type) << "a value comes back with its own type, never as the listing's text";
    EXPECT_EQ("(missing)", RunValue(kCurrentUser, kStartupStoreKeyPath));
    EXPECT_EQ(std::string("C:\\machine.exe") + '\0', RunValue(kLocalMachine, kRunKeyPath));
}

INSTANTIATE_TEST_SUITE_P(Registries, RemovedEntryStore, ::testing::ValuesIn(RegistriesUnderTest()),
                         [](const auto& info) { return info.param.name; });

// Failures injected into the memory registry: nothing may be lost.
TEST(RemovedEntryStoreFailures, AFailedCopyOrWriteDeletesNothing)
{
    MemoryRegistry registry;
    const std::string source = std::string(kUninstallKeyPath) + "\\App";
    SetValue(registry, kLocalMachine, source + "\\Sub", "v", kRegSz, Str("x"));
    const std::string before = DumpBranch(registry, kLocalMachine, source);

    registry.InjectFault(RegOp::CopyKey, 1, kErrorWriteFault);
    EXPECT_NE(MoveResult::Moved, MoveRegistryKey(registry, kAddRemoveStoreKeyPath, kUninstallKeyPath, "App"));
    EXPECT_EQ(before, DumpBranch(registry, kLocalMachine, source));

    registry.InjectFault(RegOp::OpenKeyEx, 1, kErrorAccessDenied);  // a restricted account
    EXPECT_NE(MoveResult::Moved, MoveRegistryKey(registry, kAddRemoveStoreKeyPath, kUninstallKeyPath, "App"));
    EXPECT_EQ(before, DumpBranch(registry, kLocalMachine, source));

    SetValue(registry, kCurrentUser, kRunKeyPath, "Prog", kRegSz, Str("p.exe"));
    registry.InjectFault(RegOp::SetValueEx, 1, kErrorAccessDenied);
    EXPECT_NE(MoveResult::Moved, MoveRegistryValue(registry, kCurrentUser, kStartupStoreKeyPath, kRunKeyPath, "Prog"));
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_TRUE(GetValue(registry, kCurrentUser, kRunKeyPath, "Prog", &type, &data));
    registry.InjectFault(RegOp::OpenKeyEx, 1, kErrorAccessDenied);
    EXPECT_NE(MoveResult::Moved, MoveRegistryValue(registry, kCurrentUser, kStartupStoreKeyPath, kRunKeyPath, "Prog"));
    EXPECT_TRUE(GetValue(registry, kCurrentUser, kRunKeyPath, "Prog", &type, &data));
}

TEST(RemovedEntryStoreFailures, KeysWithSubkeysMoveWholeOnBothDeletionStyles)
{
    for (auto style : {DeletionStyle::WindowsNT, DeletionStyle::Windows9x}) {
        MemoryRegistry registry(style);
        const std::string source = std::string(kBrowserHelperObjectsKeyPath) + "\\{1}";
        SetValue(registry, kLocalMachine, source + "\\a\\b", "v", kRegSz, Str("x"));
        ASSERT_EQ(MoveResult::Moved, MoveRegistryKey(registry, kBhoStoreKeyPath, kBrowserHelperObjectsKeyPath, "{1}"));
        EXPECT_FALSE(KeyExists(registry, kLocalMachine, source));
        EXPECT_TRUE(KeyExists(registry, kLocalMachine, std::string(kBhoStoreKeyPath) + "\\{1}\\a\\b"));
    }
}

// A source the registry will not delete: the entry is not reported moved, it is whole where
// it was, and no copy is left in the store.
TEST(RemovedEntryStoreFailures, ASourceThatCannotBeDeletedStaysWholeAndNothingIsStored)
{
    MemoryRegistry registry;
    const std::string source = std::string(kUninstallKeyPath) + "\\App";
    SetValue(registry, kLocalMachine, source, "v", kRegSz, Str("x"));
    SetValue(registry, kLocalMachine, source + "\\A", "a", kRegSz, Str("1"));
    SetValue(registry, kLocalMachine, source + "\\B", "b", kRegSz, Str("2"));
    const std::string before = DumpBranch(registry, kLocalMachine, source);
    // The second deletion fails: one subkey has gone by then, and comes back from the copy.
    registry.InjectFault(RegOp::DeleteKey, 2, kErrorAccessDenied);
    EXPECT_EQ(MoveResult::SourceStayed, MoveRegistryKey(registry, kAddRemoveStoreKeyPath, kUninstallKeyPath, "App"));
    EXPECT_EQ(before, DumpBranch(registry, kLocalMachine, source));
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, std::string(kAddRemoveStoreKeyPath) + "\\App"));

    SetValue(registry, kCurrentUser, kRunKeyPath, "Prog", kRegSz, Str("p.exe"));
    registry.InjectFault(RegOp::DeleteValue, 1, kErrorAccessDenied);
    EXPECT_EQ(MoveResult::SourceStayed,
              MoveRegistryValue(registry, kCurrentUser, kStartupStoreKeyPath, kRunKeyPath, "Prog"));
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_TRUE(GetValue(registry, kCurrentUser, kRunKeyPath, "Prog", &type, &data));
    EXPECT_FALSE(GetValue(registry, kCurrentUser, kStartupStoreKeyPath, "Prog", &type, &data));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

// A value is moved as the registry holds it, whatever a listing made of it.
TEST(RemovedEntryStoreBytes, AValueKeepsItsTypeAndEveryByte)
{
    struct Case {
        const char* name;
        std::uint32_t type;
        Bytes data;
    } cases[] = {
        {"expand", kRegExpandSz, Str("%SystemRoot%\\system32\\x.exe")},
        {"odd", kRegSz, B({'a', 0, 'b'})},                     // odd length, a NUL inside, none at the end
        {"unterminated", kRegSz, B({'C', ':', '\\', 'x'})},
        {"empty", kRegSz, B({})},
        {"multi", kRegMultiSz, B({'a', 0, 'b', 0, 0})},
        {"dword", kRegDword, B({1, 2, 3, 4})},
    };
    MemoryRegistry registry;
    Bytes big(100000);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 7 + 1);
    SetValue(registry, kCurrentUser, kRunOnceKeyPath, "big", kRegBinary, big);
    for (const Case& c : cases)
        SetValue(registry, kCurrentUser, kRunOnceKeyPath, c.name, c.type, c.data);
    const std::string before = DumpBranch(registry, kCurrentUser, kRunOnceKeyPath);

    for (const Case& c : cases)
        ASSERT_EQ(MoveResult::Moved,
                  MoveRegistryValue(registry, kCurrentUser, kStartupRunOnceStoreKeyPath, kRunOnceKeyPath, c.name))
            << c.name;
    ASSERT_EQ(MoveResult::Moved,
              MoveRegistryValue(registry, kCurrentUser, kStartupRunOnceStoreKeyPath, kRunOnceKeyPath, "big"));
    for (const Case& c : cases) {
        std::uint32_t type = 0;
        Bytes data;
        ASSERT_TRUE(GetValue(registry, kCurrentUser, kStartupRunOnceStoreKeyPath, c.name, &type, &data)) << c.name;
        EXPECT_EQ(c.type, type) << c.name;
        EXPECT_EQ(c.data, data) << c.name;
    }
    for (const Case& c : cases)
        ASSERT_EQ(MoveResult::Moved,
                  MoveRegistryValue(registry, kCurrentUser, kRunOnceKeyPath, kStartupRunOnceStoreKeyPath, c.name));
    ASSERT_EQ(MoveResult::Moved,
              MoveRegistryValue(registry, kCurrentUser, kRunOnceKeyPath, kStartupRunOnceStoreKeyPath, "big"));
    EXPECT_EQ(before, DumpBranch(registry, kCurrentUser, kRunOnceKeyPath));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

// A removal whose deletion the registry refuses is reported, and the entry is whole where it
// was, in every place (here a user's uninstall entry and a 32-bit RunOnce value).
TEST(RemovedEntryStoreBytes, ADeletionThatFailsIsReportedAndUndone)
{
    MemoryRegistry registry;
    const std::string uninstall = std::string(kUninstallKeyPath) + "\\App";
    SetValue(registry, kCurrentUser, uninstall, "DisplayName", kRegSz, Str("App"));
    const std::string before = DumpBranch(registry, kCurrentUser, uninstall);
    registry.InjectFault(RegOp::DeleteKey, 1, kErrorAccessDenied);
    EXPECT_EQ(MoveResult::SourceStayed,
              MoveRegistryKey(registry, kCurrentUser, kAddRemoveStoreKeyPath, kUninstallKeyPath, "App"));
    EXPECT_EQ(before, DumpBranch(registry, kCurrentUser, uninstall));
    EXPECT_FALSE(KeyExists(registry, kCurrentUser, std::string(kAddRemoveStoreKeyPath) + "\\App"));

    const std::string run32 = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    SetValue(registry, kLocalMachine, run32, "Once", kRegExpandSz, Str("%TEMP%\\o.exe"));
    registry.InjectFault(RegOp::DeleteValue, 1, kErrorAccessDenied);
    EXPECT_EQ(MoveResult::SourceStayed,
              MoveRegistryValue(registry, kLocalMachine, kStartupRunOnce32StoreKeyPath, run32, "Once"));
    std::uint32_t type = 0;
    Bytes data;
    ASSERT_TRUE(GetValue(registry, kLocalMachine, run32, "Once", &type, &data));
    EXPECT_EQ(kRegExpandSz, type);
    EXPECT_FALSE(GetValue(registry, kLocalMachine, kStartupRunOnce32StoreKeyPath, "Once", &type, &data));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

}  // namespace
}  // namespace tw::test
