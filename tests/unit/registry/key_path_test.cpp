#include "registry/key_path.h"

#include "support/registry_fixture.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

TEST(SplitRootFromPath, SplitsAtTheFirstBackslashOnly)
{
    struct Case {
        std::string path, root, rest;
    } cases[] = {
        {"HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE", ""},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes", "HKEY_LOCAL_MACHINE", "SOFTWARE\\Classes"},
        {"HKEY_CURRENT_USER\\\\Software", "HKEY_CURRENT_USER", "\\Software"},
        {"HKEY_USERS\\x\\", "HKEY_USERS", "x\\"},
        {"", "", ""},
    };
    for (Case c : cases) {
        std::string path = c.path;
        EXPECT_EQ(c.root, SplitRootFromPath(path)) << c.path;
        EXPECT_EQ(c.rest, path) << c.path;
    }
}

TEST(RootKeys, NamesMapToPredefinedHandlesWithoutRegardToCase)
{
    EXPECT_EQ(kClassesRoot, RootKeyFromName("HKEY_CLASSES_ROOT"));
    EXPECT_EQ(kCurrentUser, RootKeyFromName("hkey_current_user"));
    EXPECT_EQ(kLocalMachine, RootKeyFromName("Hkey_Local_Machine"));
    EXPECT_EQ(kUsers, RootKeyFromName("HKEY_USERS"));
    EXPECT_EQ(kCurrentConfig, RootKeyFromName("HKEY_CURRENT_CONFIG"));
    EXPECT_FALSE(RootKeyFromName("HKEY_DYN_DATA"));
    EXPECT_FALSE(RootKeyFromName("HKEY_PERFORMANCE_DATA"));
    EXPECT_FALSE(RootKeyFromName("HKLM"));
    EXPECT_FALSE(RootKeyFromName(""));

    EXPECT_EQ("HKEY_CLASSES_ROOT", RootNameFromKey(kClassesRoot));
    EXPECT_EQ("HKEY_USERS", RootNameFromKey(kUsers));
    EXPECT_EQ("", RootNameFromKey(kCurrentConfig));
    EXPECT_EQ("", RootNameFromKey(nullptr));
    // Roots are stored in backup files by the low 32 bits of their handle.
    EXPECT_EQ(0x80000002u, KeyValue32(kLocalMachine));
}

TEST(DeletionStyle, Bit31OfTheVersionMarksWindows9x)
{
    EXPECT_EQ(DeletionStyle::Windows9x, DeletionStyleFromVersion(0xC0000A04u));
    EXPECT_EQ(DeletionStyle::WindowsNT, DeletionStyleFromVersion(0x0A280105u));
}

class KeyOperationsTest : public ::testing::Test {
protected:
    MemoryRegistry registry;
    KeyOperations ops{registry, DeletionStyle::WindowsNT};
};

TEST_F(KeyOperationsTest, OpenKeyByNameOpensRootsAndSubkeys)
{
    CreateKey(registry, kCurrentUser, "Software\\X");
    HKey key = nullptr;
    EXPECT_EQ(kSuccess, ops.OpenKeyByName("hkey_current_user", "Software\\X", &key));
    ASSERT_NE(nullptr, key);
    registry.CloseKey(key);
    EXPECT_EQ(kSuccess, ops.OpenKeyByName("HKEY_LOCAL_MACHINE", "", &key));
    EXPECT_EQ(kLocalMachine, key);
    EXPECT_EQ(kErrorFileNotFound, ops.OpenKeyByName("HKEY_CURRENT_USER", "Software\\Missing", &key));
    key = reinterpret_cast<HKey>(std::uintptr_t{0x44});
    EXPECT_EQ(kUnknownRoot, ops.OpenKeyByName("HKEY_DYN_DATA", "x", &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(kUnknownRoot, ops.OpenKeyByName("HKEY_CURRENT_USER", "Software", nullptr));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

TEST_F(KeyOperationsTest, DeleteKeyTreeRemovesEverythingBelowTheKey)
{
    for (const char* p : {"S\\T\\A\\B\\C", "S\\T\\A\\B2", "S\\T\\D", "S\\Keep"})
        SetValue(registry, kLocalMachine, p, "v", kRegSz, Str("x"));
    EXPECT_EQ(kSuccess, ops.DeleteKeyTree("HKEY_LOCAL_MACHINE", "S\\T"));
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, "S\\T"));
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, "S\\Keep"));
    EXPECT_EQ(0u, registry.OpenHandleCount());
    EXPECT_EQ(kErrorFileNotFound, ops.DeleteKeyTree("HKEY_LOCAL_MACHINE", "S\\T"));
}

TEST_F(KeyOperationsTest, DeleteKeyTreeNeverDeletesARootOrAnUnknownRoot)
{
    CreateKey(registry, kCurrentUser, "Software");
    EXPECT_EQ(kNoSubkeyPath, ops.DeleteKeyTree("HKEY_CURRENT_USER", ""));
    EXPECT_EQ(kUnknownRoot, ops.DeleteKeyTree("HKEY_DYN_DATA", "x"));
    EXPECT_TRUE(KeyExists(registry, kCurrentUser, "Software"));
}

TEST_F(KeyOperationsTest, DeleteKeyTreeStopsAtTheFirstKeyItCannotOpen)
{
    for (const char* p : {"S\\T\\A\\B", "S\\T\\Z"})
        CreateKey(registry, kLocalMachine, p);
    // The opens go T, A, B: fail the one for B.
    registry.InjectFault(RegOp::OpenKeyEx, 3, kErrorAccessDenied);
    EXPECT_EQ(kErrorAccessDenied, ops.DeleteKeyTree("HKEY_LOCAL_MACHINE", "S\\T"));
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, "S\\T\\A\\B"));
    EXPECT_TRUE(KeyExists(registry, kLocalMachine, "S\\T\\Z"));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

TEST_F(KeyOperationsTest, DeleteKeyTreeOfHkeyCurrentConfigWorks)
{
    CreateKey(registry, kCurrentConfig, "X\\Y");
    EXPECT_EQ(kSuccess, ops.DeleteKeyTree("HKEY_CURRENT_CONFIG", "X"));
    EXPECT_FALSE(KeyExists(registry, kCurrentConfig, "X"));
}

TEST(KeyOperations9x, OneDeletionTakesTheWholeSubtree)
{
    MemoryRegistry registry(DeletionStyle::Windows9x);
    KeyOperations ops(registry, DeletionStyle::Windows9x);
    CreateKey(registry, kLocalMachine, "S\\T\\A\\B");
    EXPECT_EQ(kSuccess, ops.DeleteKeyTree("HKEY_LOCAL_MACHINE", "S\\T"));
    EXPECT_EQ(1u, registry.CallCount(RegOp::DeleteKey));
    EXPECT_EQ(0u, registry.CallCount(RegOp::OpenKeyEx));
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, "S\\T"));
}

TEST_F(KeyOperationsTest, DeleteKeyValueRemovesOneNamedValue)
{
    SetValue(registry, kCurrentUser, "K", "a", kRegSz, Str("1"));
    SetValue(registry, kCurrentUser, "K", "(Default)", kRegSz, Str("named like the display name"));
    SetValue(registry, kCurrentUser, "K", nullptr, kRegSz, Str("unnamed"));
    EXPECT_EQ(kSuccess, ops.DeleteKeyValue("HKEY_CURRENT_USER", "K", "a"));
    EXPECT_EQ(kErrorFileNotFound, ops.DeleteKeyValue("HKEY_CURRENT_USER", "K", "a"));
    // "(Default)" is a name like any other here, not the unnamed value.
    EXPECT_EQ(kSuccess, ops.DeleteKeyValue("HKEY_CURRENT_USER", "K", "(Default)"));
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_TRUE(GetValue(registry, kCurrentUser, "K", nullptr, &type, &data));
    EXPECT_EQ(kErrorFileNotFound, ops.DeleteKeyValue("HKEY_CURRENT_USER", "Missing", "a"));
    EXPECT_EQ(kUnknownRoot, ops.DeleteKeyValue("HKEY_DYN_DATA", "K", "a"));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

}  // namespace
}  // namespace tw::test
