// The registry interface's contract, run against every registry under test: the memory
// registry natively, and the memory and real registries inside the Windows test program.
// Where the two disagree, the real registry is right and the memory one is fixed.
#include "platform/calendar.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

namespace tw::test {
namespace {

class RegistryContract : public ::testing::TestWithParam<RegistryUnderTest> {
protected:
    void SetUp() override
    {
        registry_ = GetParam().make();
        base_ = std::string("Software\\TarnwickContract\\") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : base_)
            if (c == '/')
                c = '_';
        WipeKey(*registry_, kCurrentUser, base_);
        CreateKey(*registry_, kCurrentUser, base_);
    }
    void TearDown() override { WipeKey(*registry_, kCurrentUser, base_); }

    std::string P(const std::string& sub) const { return sub.empty() ? base_ : base_ + "\\" + sub; }
    Registry& R() { return *registry_; }
    // The name of an open key's first subkey; empty when it has none.
    std::string FirstSubkey(HKey key)
    {
        char name[256];
        std::uint32_t length = sizeof name;
        if (R().EnumKeyEx(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != kSuccess)
            return {};
        return std::string(name, length);
    }

    std::unique_ptr<Registry> registry_;
    std::string base_;
};

TEST_P(RegistryContract, OpenKeyFindsExistingKeysAndRefusesMissingOnes)
{
    CreateKey(R(), kCurrentUser, P("A\\B"));
    KeyHandle key(R());
    EXPECT_EQ(kSuccess, R().OpenKey(kCurrentUser, P("A\\B").c_str(), key.Put()));
    EXPECT_TRUE(key);
    HKey missing = nullptr;
    EXPECT_EQ(kErrorFileNotFound, R().OpenKey(kCurrentUser, P("A\\Nope").c_str(), &missing));
    EXPECT_EQ(kErrorFileNotFound, R().OpenKeyEx(kCurrentUser, P("Nope").c_str(), 0, kKeyRead, &missing));
}

TEST_P(RegistryContract, NamesAreFoundWithoutRegardToCaseAndKeepTheirCase)
{
    CreateKey(R(), kCurrentUser, P("MixedCase"));
    SetValue(R(), kCurrentUser, P("MixedCase"), "ValueName", kRegSz, Str("x"));
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("mIXEDcASE").c_str(), 0, kKeyRead, key.Put()));
    std::uint32_t type = 0, size = 0;
    EXPECT_EQ(kSuccess, R().QueryValueEx(key.get(), "VALUENAME", nullptr, &type, nullptr, &size));
    EXPECT_EQ(kRegSz, type);
    EXPECT_EQ(2u, size);

    KeyHandle parent(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeyRead, parent.Put()));
    char name[256];
    std::uint32_t length = sizeof name;
    ASSERT_EQ(kSuccess, R().EnumKeyEx(parent.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ("MixedCase", std::string(name, length));
    char valueName[64];
    std::uint32_t valueLength = sizeof valueName;
    ASSERT_EQ(kSuccess, R().EnumValue(key.get(), 0, valueName, &valueLength, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ("ValueName", std::string(valueName, valueLength));
}

TEST_P(RegistryContract, EmptySubkeyOpensTheKeyItself)
{
    SetValue(R(), kCurrentUser, P(""), "here", kRegDword, B({1, 0, 0, 0}));
    KeyHandle base(R());
    ASSERT_EQ(kSuccess, R().OpenKey(kCurrentUser, P("").c_str(), base.Put()));
    // RegOpenKeyA hands back the caller's own handle: whoever closes it closes `base`.
    HKey same = nullptr;
    ASSERT_EQ(kSuccess, R().OpenKey(base.get(), "", &same));
    EXPECT_EQ(base.get(), same);
    same = nullptr;
    ASSERT_EQ(kSuccess, R().OpenKey(base.get(), nullptr, &same));
    EXPECT_EQ(base.get(), same);
    // RegOpenKeyExA and RegCreateKeyA give a handle of their own to the same key.
    KeyHandle opened(R()), created(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(base.get(), "", 0, kKeyRead, opened.Put()));
    ASSERT_EQ(kSuccess, R().CreateKey(base.get(), "", created.Put()));
    EXPECT_NE(base.get(), opened.get());
    EXPECT_NE(base.get(), created.get());
    std::uint32_t size = 0;
    EXPECT_EQ(kSuccess, R().QueryValueEx(opened.get(), "here", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(4u, size);
    opened.Close();
    created.Close();
    EXPECT_EQ(kSuccess, R().QueryValueEx(base.get(), "here", nullptr, nullptr, nullptr, &size));
    HKey root = nullptr;
    EXPECT_EQ(kSuccess, R().OpenKey(kLocalMachine, "", &root));
    EXPECT_EQ(kLocalMachine, root);
}

TEST_P(RegistryContract, CreateKeyMakesEveryMissingComponentAndReportsDisposition)
{
    KeyHandle key(R());
    std::uint32_t disposition = 0;
    ASSERT_EQ(kSuccess, R().CreateKeyEx(kCurrentUser, P("X\\Y\\Z").c_str(), 0, nullptr, kRegOptionNonVolatile,
                                        kKeyAllAccess, nullptr, key.Put(), &disposition));
    EXPECT_EQ(kRegCreatedNewKey, disposition);
    EXPECT_TRUE(KeyExists(R(), kCurrentUser, P("X\\Y")));
    KeyHandle again(R());
    ASSERT_EQ(kSuccess, R().CreateKeyEx(kCurrentUser, P("x\\y\\z").c_str(), 0, nullptr, kRegOptionNonVolatile,
                                        kKeyAllAccess, nullptr, again.Put(), &disposition));
    EXPECT_EQ(kRegOpenedExistingKey, disposition);
}

TEST_P(RegistryContract, SubkeysEnumerateInNameOrderThenNoMoreItems)
{
    for (const char* name : {"delta", "Alpha", "charlie", "Bravo"})
        CreateKey(R(), kCurrentUser, P(name));
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeyRead, key.Put()));
    std::vector<std::string> names;
    for (std::uint32_t i = 0;; ++i) {
        char name[256];
        std::uint32_t length = sizeof name;
        long status = R().EnumKeyEx(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == kErrorNoMoreItems)
            break;
        ASSERT_EQ(kSuccess, status);
        EXPECT_EQ(std::strlen(name), length);
        names.emplace_back(name, length);
    }
    EXPECT_EQ((std::vector<std::string>{"Alpha", "Bravo", "charlie", "delta"}), names);
    char name[256];
    std::uint32_t length = sizeof name;
    EXPECT_EQ(kErrorNoMoreItems, R().EnumKeyEx(key.get(), 100, name, &length, nullptr, nullptr, nullptr, nullptr));
}

TEST_P(RegistryContract, NameOrderFoldsToLowerCase)
{
    // Folding to lower case puts '_' and the other characters between 'Z' and 'a' before
    // the letters; values are kept in the same order, not in the order they were made.
    for (const char* name : {"_under", "Zed", "apple", "[bracket", "1one"}) {
        CreateKey(R(), kCurrentUser, P(name));
        SetValue(R(), kCurrentUser, P(""), name, kRegSz, Str("x"));
    }
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeyRead, key.Put()));
    std::vector<std::string> keys, values;
    for (std::uint32_t i = 0;; ++i) {
        char name[256];
        std::uint32_t length = sizeof name;
        if (R().EnumKeyEx(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != kSuccess)
            break;
        keys.emplace_back(name, length);
    }
    for (std::uint32_t i = 0;; ++i) {
        char name[256];
        std::uint32_t length = sizeof name;
        if (R().EnumValue(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != kSuccess)
            break;
        values.emplace_back(name, length);
    }
    const std::vector<std::string> expected = {"1one", "[bracket", "_under", "apple", "Zed"};
    EXPECT_EQ(expected, keys);
    EXPECT_EQ(expected, values);
}

TEST_P(RegistryContract, EnumKeyGivesMoreDataWhenTheNameDoesNotFit)
{
    CreateKey(R(), kCurrentUser, P("LongerName"));
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeyRead, key.Put()));
    char name[10];
    std::uint32_t length = 10;  // exactly the name's length, no room for the NUL
    EXPECT_EQ(kErrorMoreData, R().EnumKeyEx(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr));
    char fits[11];
    length = 11;
    EXPECT_EQ(kSuccess, R().EnumKeyEx(key.get(), 0, fits, &length, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(10u, length);
}

TEST_P(RegistryContract, ValuesEnumerateInNameOrderWithTypeAndData)
{
    SetValue(R(), kCurrentUser, P(""), "zeta", kRegSz, Str("last"));
    SetValue(R(), kCurrentUser, P(""), "Alpha", kRegDword, B({1, 2, 3, 4}));
    SetValue(R(), kCurrentUser, P(""), nullptr, kRegSz, Str("unnamed"));
    SetValue(R(), kCurrentUser, P(""), "mid", kRegBinary, B({0xde, 0xad}));
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeyRead, key.Put()));
    struct Seen {
        std::string name;
        std::uint32_t type;
        Bytes data;
    };
    std::vector<Seen> seen;
    for (std::uint32_t i = 0;; ++i) {
        char name[64];
        std::uint8_t data[64];
        std::uint32_t nameLength = sizeof name, size = sizeof data, type = 0;
        long status = R().EnumValue(key.get(), i, name, &nameLength, nullptr, &type, data, &size);
        if (status == kErrorNoMoreItems)
            break;
        ASSERT_EQ(kSuccess, status);
        seen.push_back({std::string(name, nameLength), type, Bytes(data, data + size)});
    }
    ASSERT_EQ(4u, seen.size());
    EXPECT_EQ("", seen[0].name);
    EXPECT_EQ(Str("unnamed"), seen[0].data);
    EXPECT_EQ("Alpha", seen[1].name);
    EXPECT_EQ(kRegDword, seen[1].type);
    EXPECT_EQ(B({1, 2, 3, 4}), seen[1].data);
    EXPECT_EQ("mid", seen[2].name);
    EXPECT_EQ(B({0xde, 0xad}), seen[2].data);
    EXPECT_EQ("zeta", seen[3].name);
}

TEST_P(RegistryContract, EnumValueGivesMoreDataForASmallBufferAndTheSizeNeeded)
{
    SetValue(R(), kCurrentUser, P(""), "big", kRegBinary, Bytes(100, 7));
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeyRead, key.Put()));
    char name[64];
    std::uint8_t data[10];
    std::uint32_t nameLength = sizeof name, size = sizeof data, type = 0;
    EXPECT_EQ(kErrorMoreData, R().EnumValue(key.get(), 0, name, &nameLength, nullptr, &type, data, &size));
    EXPECT_EQ(100u, size);
    char shortName[3];
    nameLength = sizeof shortName;
    size = 0;
    EXPECT_EQ(kErrorMoreData, R().EnumValue(key.get(), 0, shortName, &nameLength, nullptr, &type, nullptr, &size));
}

TEST_P(RegistryContract, QueryInfoReportsCountsAndMaxima)
{
    CreateKey(R(), kCurrentUser, P("abc"));
    CreateKey(R(), kCurrentUser, P("abcdefg"));
    SetValue(R(), kCurrentUser, P(""), "n1", kRegBinary, Bytes(33, 1));
    SetValue(R(), kCurrentUser, P(""), "name_twelve_", kRegDword, B({0, 0, 0, 0}));
    SetValue(R(), kCurrentUser, P(""), "s", kRegSz, Str("0123456789"));  // 11 bytes here, 22 stored
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeyRead, key.Put()));
    std::uint32_t subkeys = 0, maxSub = 0, values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(kSuccess, R().QueryInfoKey(key.get(), nullptr, nullptr, nullptr, &subkeys, &maxSub, nullptr, &values,
                                         &maxName, &maxData, nullptr, nullptr));
    EXPECT_EQ(2u, subkeys);
    EXPECT_EQ(7u, maxSub);
    EXPECT_EQ(3u, values);
    EXPECT_EQ(12u, maxName);
    // The longest data is reported in the registry's stored (UTF-16) size for strings: an
    // upper bound for what the ANSI calls give.
    EXPECT_EQ(33u, maxData);
    SetValue(R(), kCurrentUser, P(""), "s", kRegSz, Str(std::string(20, 'x')));
    ASSERT_EQ(kSuccess, R().QueryInfoKey(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, &maxData, nullptr, nullptr));
    EXPECT_EQ(42u, maxData);
}

TEST_P(RegistryContract, EveryValueTypeKeepsItsRawBytes)
{
    struct Case {
        const char* name;
        std::uint32_t type;
        Bytes data;
    };
    const Case cases[] = {
        {"none", kRegNone, B({1, 2, 3})},
        {"sz", kRegSz, Str("text \xc3\xa9 \xd0\x81 \xf0\x9f\x8e\x89")},
        {"expand", kRegExpandSz, Str("%SystemRoot%\\x")},
        {"binary", kRegBinary, B({0, 0xff, 0x10})},
        {"emptybinary", kRegBinary, {}},
        {"dword", kRegDword, B({0x78, 0x56, 0x34, 0x12})},
        {"bigendian", kRegDwordBigEndian, B({0, 0, 1, 0})},
        {"link", kRegLink, B({'a', 0, 'b', 0})},
        {"multi", kRegMultiSz, B({'a', 0, 'b', 0, 0})},
        {"reslist", kRegResourceList, B({9, 8})},
        {"fullres", kRegFullResourceDescriptor, B({7})},
        {"reqlist", kRegResourceRequirementsList, B({6, 5, 4})},
        {"qword", kRegQword, B({1, 2, 3, 4, 5, 6, 7, 8})},
        {"odd", 0x1234, B({42})},
    };
    for (const Case& c : cases)
        SetValue(R(), kCurrentUser, P(""), c.name, c.type, c.data);
    for (const Case& c : cases) {
        std::uint32_t type = 0;
        Bytes data;
        ASSERT_TRUE(GetValue(R(), kCurrentUser, P(""), c.name, &type, &data)) << c.name;
        EXPECT_EQ(c.type, type) << c.name;
        EXPECT_EQ(c.data, data) << c.name;
    }
}

TEST_P(RegistryContract, QueryValueExReportsSizeMissingValuesAndSmallBuffers)
{
    SetValue(R(), kCurrentUser, P(""), "v", kRegBinary, Bytes(16, 3));
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeyRead, key.Put()));
    std::uint32_t size = 0, type = 0;
    EXPECT_EQ(kSuccess, R().QueryValueEx(key.get(), "v", nullptr, &type, nullptr, &size));
    EXPECT_EQ(16u, size);
    std::uint8_t small[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    size = sizeof small;
    EXPECT_EQ(kErrorMoreData, R().QueryValueEx(key.get(), "v", nullptr, &type, small, &size));
    EXPECT_EQ(16u, size);
    EXPECT_EQ(kErrorFileNotFound, R().QueryValueEx(key.get(), "missing", nullptr, &type, nullptr, &size));
    EXPECT_EQ(kErrorFileNotFound, R().QueryValueEx(key.get(), nullptr, nullptr, &type, nullptr, &size));
}

TEST_P(RegistryContract, TheWideQueryGivesTextAsTheRegistryKeepsIt)
{
    // Text of the process code page (UTF-8) written through the ANSI call is kept in UTF-16;
    // other data as is.
    SetValue(R(), kCurrentUser, P(""), "caf\xc3\xa9", kRegSz, Str("\xc3\xa9t\xc3\xa9"));
    SetValue(R(), kCurrentUser, P(""), "multi", kRegMultiSz, B({'a', 0, 0}));
    SetValue(R(), kCurrentUser, P(""), "bin", kRegBinary, B({0xe9, 0, 1}));
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeyRead, key.Put()));
    std::uint8_t data[32];
    std::uint32_t type = 0, size = sizeof data;
    ASSERT_EQ(kSuccess, R().QueryValueExW(key.get(), u"CAF\u00c9", nullptr, &type, data, &size));
    EXPECT_EQ(kRegSz, type);
    EXPECT_EQ(B({0xe9, 0, 't', 0, 0xe9, 0, 0, 0}), Bytes(data, data + size));
    size = sizeof data;
    ASSERT_EQ(kSuccess, R().QueryValueExW(key.get(), u"multi", nullptr, &type, data, &size));
    EXPECT_EQ(B({'a', 0, 0, 0, 0, 0}), Bytes(data, data + size));
    size = sizeof data;
    ASSERT_EQ(kSuccess, R().QueryValueExW(key.get(), u"bin", nullptr, &type, data, &size));
    EXPECT_EQ(B({0xe9, 0, 1}), Bytes(data, data + size));
    // Sizes in bytes of the stored form; no value has a name the code page cannot write.
    size = 2;
    EXPECT_EQ(kErrorMoreData, R().QueryValueExW(key.get(), u"caf\u00e9", nullptr, &type, data, &size));
    EXPECT_EQ(8u, size);
    size = 0;
    EXPECT_EQ(kSuccess, R().QueryValueExW(key.get(), u"caf\u00e9", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(8u, size);
    EXPECT_EQ(kErrorFileNotFound, R().QueryValueExW(key.get(), u"\u0418\u043c\u044f", nullptr, &type, nullptr, &size));
}

// The wide set stores string data exactly as given: UTF-16 with bytes after its terminator,
// an odd count, no terminator at all, nothing. The wide calls give it back as it is.
TEST_P(RegistryContract, TheWideSetKeepsStringDataExactly)
{
    struct Case {
        const char16_t* name;
        std::uint32_t type;
        Bytes data;
    };
    const Case cases[] = {
        {u"tail", kRegSz, B({'a', 0, 0, 0, 'b', 0, 'c', 0})},
        {u"odd", kRegSz, B({'a', 0, 'b', 0, 0, 0, 0x41})},
        {u"oddone", kRegExpandSz, B({0x41})},
        {u"unended", kRegSz, B({'x', 0, 'y', 0})},
        {u"empty", kRegSz, {}},
        {u"multi", kRegMultiSz, B({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0, 7, 0})},
        {u"none", kRegNone, B({'a', 0, 0, 0, 9})},
        {u"\u00e9t\u00e9", kRegSz, B({0x18, 0x04, 0, 0})},
    };
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeyAllAccess, key.Put()));
    for (const Case& c : cases)
        ASSERT_EQ(kSuccess, R().SetValueExW(key.get(), c.name, 0, c.type, c.data.data(),
                                            static_cast<std::uint32_t>(c.data.size())));
    for (const Case& c : cases) {
        std::uint8_t data[64];
        std::uint32_t type = 0, size = sizeof data;
        ASSERT_EQ(kSuccess, R().QueryValueExW(key.get(), c.name, nullptr, &type, data, &size));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.data, Bytes(data, data + size));
    }
    std::vector<std::pair<std::u16string, Bytes>> listed;
    for (std::uint32_t i = 0;; ++i) {
        char16_t name[64];
        std::uint8_t data[64];
        std::uint32_t nameLength = 64, size = sizeof data, type = 0;
        long status = R().EnumValueW(key.get(), i, name, &nameLength, nullptr, &type, data, &size);
        if (status == kErrorNoMoreItems)
            break;
        ASSERT_EQ(kSuccess, status);
        listed.emplace_back(std::u16string(name, nameLength), Bytes(data, data + size));
    }
    ASSERT_EQ(std::size(cases), listed.size());
    for (const Case& c : cases) {
        auto it = std::find_if(listed.begin(), listed.end(), [&](const auto& l) { return l.first == c.name; });
        ASSERT_NE(listed.end(), it);
        EXPECT_EQ(c.data, it->second);
    }
}

// The ANSI calls give string data through the code page: one byte a character (a character
// outside the code page as '?'), an odd last byte not read, and sizes of what they give.
TEST_P(RegistryContract, TheAnsiCallsGiveStoredTextThroughTheCodePage)
{
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeyAllAccess, key.Put()));
    const Bytes tail = B({'a', 0, 0, 0, 0xe9, 0, 0x18, 0x04, 0, 0});
    const Bytes odd = B({'a', 0, 'b', 0, 0x41});
    ASSERT_EQ(kSuccess, R().SetValueExW(key.get(), u"tail", 0, kRegSz, tail.data(), 10));
    ASSERT_EQ(kSuccess, R().SetValueExW(key.get(), u"odd", 0, kRegMultiSz, odd.data(), 5));
    ASSERT_EQ(kSuccess, R().SetValueExW(key.get(), u"bin", 0, kRegBinary, odd.data(), 5));

    std::uint8_t data[32];
    std::uint32_t type = 0, size = 0;
    // In the process code page (UTF-8): every character, its bytes counted.
    EXPECT_EQ(kSuccess, R().QueryValueEx(key.get(), "tail", nullptr, &type, nullptr, &size));
    EXPECT_EQ(7u, size);
    size = 4;
    EXPECT_EQ(kErrorMoreData, R().QueryValueEx(key.get(), "tail", nullptr, &type, data, &size));
    EXPECT_EQ(7u, size);
    size = sizeof data;
    ASSERT_EQ(kSuccess, R().QueryValueEx(key.get(), "tail", nullptr, &type, data, &size));
    EXPECT_EQ(B({'a', 0, 0xc3, 0xa9, 0xd0, 0x98, 0}), Bytes(data, data + size));
    size = sizeof data;
    ASSERT_EQ(kSuccess, R().QueryValueEx(key.get(), "odd", nullptr, &type, data, &size));
    EXPECT_EQ(kRegMultiSz, type);
    EXPECT_EQ(B({'a', 'b'}), Bytes(data, data + size));
    size = sizeof data;
    ASSERT_EQ(kSuccess, R().QueryValueEx(key.get(), "bin", nullptr, &type, data, &size));
    EXPECT_EQ(odd, Bytes(data, data + size));

    char name[16];
    std::uint32_t nameLength = sizeof name;
    size = sizeof data;
    ASSERT_EQ(kSuccess, R().EnumValue(key.get(), 1, name, &nameLength, nullptr, &type, data, &size));
    EXPECT_EQ("odd", std::string(name, nameLength));
    EXPECT_EQ(B({'a', 'b'}), Bytes(data, data + size));

    // The ANSI set converts from the code page; the wide query shows the UTF-16 it stored.
    const Bytes text = B({0xc3, 0xa9, 0xe2, 0x82, 0xac, 0, 'z', '!'});  // the byte after the data is not NUL
    ASSERT_EQ(kSuccess, R().SetValueEx(key.get(), "set", 0, kRegExpandSz, text.data(), 7));
    size = sizeof data;
    ASSERT_EQ(kSuccess, R().QueryValueExW(key.get(), u"set", nullptr, &type, data, &size));
    EXPECT_EQ(B({0xe9, 0, 0xac, 0x20, 0, 0, 'z', 0}), Bytes(data, data + size));
}

TEST_P(RegistryContract, QueryValueReadsTheUnnamedValueOfASubkey)
{
    SetValue(R(), kCurrentUser, P("Sub"), nullptr, kRegSz, Str("hello"));
    CreateKey(R(), kCurrentUser, P("Empty"));
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKey(kCurrentUser, P("").c_str(), key.Put()));
    char data[32];
    std::int32_t size = sizeof data;
    ASSERT_EQ(kSuccess, R().QueryValue(key.get(), "Sub", data, &size));
    EXPECT_EQ(6, size);
    EXPECT_STREQ("hello", data);
    // A key without an unnamed value reads as the empty text.
    size = sizeof data;
    data[0] = 'x';
    ASSERT_EQ(kSuccess, R().QueryValue(key.get(), "Empty", data, &size));
    EXPECT_EQ(1, size);
    EXPECT_EQ('\0', data[0]);
    size = sizeof data;
    EXPECT_EQ(kErrorFileNotFound, R().QueryValue(key.get(), "Missing", data, &size));
}

TEST_P(RegistryContract, SetValueOverwritesAndTheUnnamedValueHasTwoSpellings)
{
    SetValue(R(), kCurrentUser, P(""), "v", kRegSz, Str("one"));
    SetValue(R(), kCurrentUser, P(""), "V", kRegDword, B({2, 0, 0, 0}));
    std::uint32_t type = 0;
    Bytes data;
    ASSERT_TRUE(GetValue(R(), kCurrentUser, P(""), "v", &type, &data));
    EXPECT_EQ(kRegDword, type);
    EXPECT_EQ(B({2, 0, 0, 0}), data);
    SetValue(R(), kCurrentUser, P(""), "", kRegSz, Str("by empty name"));
    ASSERT_TRUE(GetValue(R(), kCurrentUser, P(""), nullptr, &type, &data));
    EXPECT_EQ(Str("by empty name"), data);
}

TEST_P(RegistryContract, DeleteValueRemovesOneValue)
{
    SetValue(R(), kCurrentUser, P(""), "a", kRegSz, Str("1"));
    SetValue(R(), kCurrentUser, P(""), "b", kRegSz, Str("2"));
    SetValue(R(), kCurrentUser, P(""), nullptr, kRegSz, Str("3"));
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeySetValue | kKeyQueryValue, key.Put()));
    EXPECT_EQ(kSuccess, R().DeleteValue(key.get(), "A"));
    EXPECT_EQ(kErrorFileNotFound, R().DeleteValue(key.get(), "a"));
    EXPECT_EQ(kSuccess, R().DeleteValue(key.get(), nullptr));
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_FALSE(GetValue(R(), kCurrentUser, P(""), "a", &type, &data));
    EXPECT_FALSE(GetValue(R(), kCurrentUser, P(""), nullptr, &type, &data));
    EXPECT_TRUE(GetValue(R(), kCurrentUser, P(""), "b", &type, &data));
}

TEST_P(RegistryContract, DeleteKeyRefusesAKeyWithSubkeys)
{
    CreateKey(R(), kCurrentUser, P("Parent\\Child"));
    EXPECT_EQ(kErrorAccessDenied, R().DeleteKey(kCurrentUser, P("Parent").c_str()));
    EXPECT_TRUE(KeyExists(R(), kCurrentUser, P("Parent\\Child")));
    EXPECT_EQ(kSuccess, R().DeleteKey(kCurrentUser, P("Parent\\Child").c_str()));
    EXPECT_EQ(kSuccess, R().DeleteKey(kCurrentUser, P("Parent").c_str()));
    EXPECT_FALSE(KeyExists(R(), kCurrentUser, P("Parent")));
    EXPECT_EQ(kErrorFileNotFound, R().DeleteKey(kCurrentUser, P("Parent").c_str()));
}

TEST_P(RegistryContract, DeleteKeyTakesItsValuesWithIt)
{
    SetValue(R(), kCurrentUser, P("K"), "v", kRegSz, Str("x"));
    EXPECT_EQ(kSuccess, R().DeleteKey(kCurrentUser, P("K").c_str()));
    CreateKey(R(), kCurrentUser, P("K"));
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_FALSE(GetValue(R(), kCurrentUser, P("K"), "v", &type, &data));
}

TEST_P(RegistryContract, HandlesToDeletedKeysStayValidAndReportTheDeletion)
{
    SetValue(R(), kCurrentUser, P("Gone"), "v", kRegSz, Str("x"));
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Gone").c_str(), 0, kKeyAllAccess, key.Put()));
    ASSERT_EQ(kSuccess, R().DeleteKey(kCurrentUser, P("Gone").c_str()));
    std::uint32_t size = 0;
    EXPECT_EQ(kErrorKeyDeleted, R().QueryValueEx(key.get(), "v", nullptr, nullptr, nullptr, &size));
    char name[64];
    std::uint32_t length = sizeof name;
    EXPECT_EQ(kErrorKeyDeleted, R().EnumKeyEx(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr));
    std::uint8_t one = 1;
    EXPECT_EQ(kErrorKeyDeleted, R().SetValueEx(key.get(), "w", 0, kRegBinary, &one, 1));
    EXPECT_EQ(kSuccess, R().CloseKey(key.Release()));
}

TEST_P(RegistryContract, AccessMaskOfAHandleIsEnforced)
{
    SetValue(R(), kCurrentUser, P(""), "v", kRegSz, Str("x"));
    KeyHandle setOnly(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeySetValue, setOnly.Put()));
    std::uint32_t size = 0;
    EXPECT_EQ(kErrorAccessDenied, R().QueryValueEx(setOnly.get(), "v", nullptr, nullptr, nullptr, &size));
    KeyHandle readOnly(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeyRead, readOnly.Put()));
    std::uint8_t one = 1;
    EXPECT_EQ(kErrorAccessDenied, R().SetValueEx(readOnly.get(), "w", 0, kRegBinary, &one, 1));
    EXPECT_EQ(kErrorAccessDenied, R().DeleteValue(readOnly.get(), "v"));
}

TEST_P(RegistryContract, CopyKeyCopiesValuesAndSubkeysIntoTheDestination)
{
    SetValue(R(), kCurrentUser, P("Src\\Item"), nullptr, kRegSz, Str("top"));
    SetValue(R(), kCurrentUser, P("Src\\Item"), "bin", kRegBinary, B({1, 2}));
    SetValue(R(), kCurrentUser, P("Src\\Item\\Deep\\Deeper"), "d", kRegDword, B({9, 0, 0, 0}));
    SetValue(R(), kCurrentUser, P("Dst\\Item"), "kept", kRegSz, Str("old"));
    KeyHandle src(R()), dst(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Src").c_str(), 0, kKeyAllAccess, src.Put()));
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Dst\\Item").c_str(), 0, kKeyAllAccess, dst.Put()));
    ASSERT_EQ(kSuccess, R().CopyKey(src.get(), "Item", dst.get(), 0));
    std::string copied = DumpBranch(R(), kCurrentUser, P("Dst\\Item"));
    std::string original = DumpBranch(R(), kCurrentUser, P("Src\\Item"));
    EXPECT_NE(std::string::npos, copied.find("\"kept\""));
    EXPECT_NE(std::string::npos, copied.find("[" + P("Dst\\Item") + "\\Deep\\Deeper]\n  \"d\" type 4 size 4: 09 00 00 00"));
    EXPECT_NE(std::string::npos, copied.find("\"bin\" type 3 size 2: 01 02"));
    EXPECT_TRUE(KeyExists(R(), kCurrentUser, P("Src\\Item\\Deep")));  // the source stays
    EXPECT_NE(original, "(missing)");
}

TEST_P(RegistryContract, ClassesRootIsAViewOfMachineClasses)
{
    const std::string cls = "Software\\Classes\\.tarnwickcontract";
    WipeKey(R(), kLocalMachine, cls);
    SetValue(R(), kLocalMachine, cls, nullptr, kRegSz, Str("tarnwickfile"));
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_TRUE(GetValue(R(), kClassesRoot, ".tarnwickcontract", nullptr, &type, &data));
    EXPECT_EQ(Str("tarnwickfile"), data);
    WipeKey(R(), kLocalMachine, cls);
    EXPECT_FALSE(KeyExists(R(), kClassesRoot, ".tarnwickcontract"));
}

TEST_P(RegistryContract, APathMayNotStartWithABackslash)
{
    CreateKey(R(), kCurrentUser, P("K"));
    HKey key = nullptr;
    EXPECT_EQ(161, R().OpenKey(kCurrentUser, ("\\" + P("K")).c_str(), &key));
}

TEST_P(RegistryContract, ClosingAnUnknownHandleFails)
{
    EXPECT_EQ(kSuccess, R().CloseKey(kLocalMachine));
    EXPECT_EQ(kErrorInvalidHandle, R().CloseKey(reinterpret_cast<HKey>(std::uintptr_t{0x7ff0})));
}

TEST_P(RegistryContract, AKeyThatRefusesWriteAccessOpensForReadingOnly)
{
    SetValue(R(), kCurrentUser, P("Locked\\Inner"), "Name", kRegSz, Str("text"));
    SetValue(R(), kCurrentUser, P("Locked"), "Own", kRegDword, B({5, 0, 0, 0}));
    CreateKey(R(), kCurrentUser, P("Leaf"));
    RefuseWriteAccess(R(), kCurrentUser, P("Locked"));
    RefuseWriteAccess(R(), kCurrentUser, P("Leaf"));

    HKey refused = nullptr;
    for (std::uint32_t access : {kKeyAllAccess, kKeySetValue, kKeyCreateSubKey, kKeyWrite})
        EXPECT_EQ(kErrorAccessDenied, R().OpenKeyEx(kCurrentUser, P("Locked").c_str(), 0, access, &refused)) << access;
    EXPECT_EQ(kErrorAccessDenied, R().CreateKeyEx(kCurrentUser, P("Locked").c_str(), 0, nullptr, kRegOptionNonVolatile,
                                                  kKeyAllAccess, nullptr, &refused, nullptr));

    KeyHandle read(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Locked").c_str(), 0, kKeyRead, read.Put()));
    EXPECT_EQ("Inner", FirstSubkey(read.get()));
    std::uint32_t size = 0;
    EXPECT_EQ(kSuccess, R().QueryValueEx(read.get(), "Own", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(4u, size);
    const Bytes text = Str("x");
    EXPECT_EQ(kErrorAccessDenied, R().SetValueEx(read.get(), "New", 0, kRegSz, text.data(), 2));

    // RegOpenKeyA and RegCreateKeyA ask for what is allowed: such a key opens, for reading.
    KeyHandle legacy(R());
    ASSERT_EQ(kSuccess, R().OpenKey(kCurrentUser, P("Locked").c_str(), legacy.Put()));
    EXPECT_EQ(kErrorAccessDenied, R().SetValueEx(legacy.get(), "New", 0, kRegSz, text.data(), 2));
    EXPECT_EQ(kErrorAccessDenied, R().DeleteValue(legacy.get(), "Own"));
    KeyHandle created(R());
    ASSERT_EQ(kSuccess, R().CreateKey(kCurrentUser, P("Locked").c_str(), created.Put()));
    EXPECT_EQ(kErrorAccessDenied, R().SetValueEx(created.get(), "New", 0, kRegSz, text.data(), 2));

    // Known difference: Windows also refuses the right to delete such a key, a subkey made in
    // it and its deletion; Wine grants them. The memory registry refuses them as Windows does.
    if (GetParam().name == "Memory") {
        EXPECT_EQ(kErrorAccessDenied, R().OpenKeyEx(kCurrentUser, P("Leaf").c_str(), 0, kDelete, &refused));
        EXPECT_EQ(kErrorAccessDenied, R().CreateKey(kCurrentUser, P("Locked\\New").c_str(), &refused));
        EXPECT_FALSE(KeyExists(R(), kCurrentUser, P("Locked\\New")));
        EXPECT_EQ(kErrorAccessDenied, R().DeleteKey(kCurrentUser, P("Leaf").c_str()));
        EXPECT_TRUE(KeyExists(R(), kCurrentUser, P("Leaf")));
    }
    // A subkey keeps its own security.
    KeyHandle inner(R());
    EXPECT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Locked\\Inner").c_str(), 0, kKeyAllAccess, inner.Put()));

    RefuseWriteAccess(R(), kCurrentUser, P("Locked"), false);
    RefuseWriteAccess(R(), kCurrentUser, P("Leaf"), false);
    KeyHandle writable(R());
    EXPECT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Locked").c_str(), 0, kKeyAllAccess, writable.Put()));
}

TEST_P(RegistryContract, ALinkLeadsToItsTargetUnlessItIsOpenedAsALink)
{
    const std::string target = "Software\\TarnwickContractTarget\\" + base_.substr(base_.rfind('\\') + 1);
    const std::string fullTarget = "\\REGISTRY\\MACHINE\\" + target;
    WipeKey(R(), kLocalMachine, target);
    SetValue(R(), kLocalMachine, target, "There", kRegDword, B({7, 0, 0, 0}));
    CreateKey(R(), kLocalMachine, target + "\\Below");
    CreateLink(R(), kCurrentUser, P("Link"), fullTarget);

    // The link is listed under its own name, and leads to the target and below it.
    KeyHandle parent(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("").c_str(), 0, kKeyRead, parent.Put()));
    EXPECT_EQ("Link", FirstSubkey(parent.get()));
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_TRUE(GetValue(R(), kCurrentUser, P("Link"), "There", &type, &data));
    EXPECT_EQ(B({7, 0, 0, 0}), data);
    EXPECT_TRUE(KeyExists(R(), kCurrentUser, P("Link\\Below")));
    KeyHandle through(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Link").c_str(), 0, kKeyRead, through.Put()));
    EXPECT_EQ("Below", FirstSubkey(through.get()));

    // Opened as a link, it is the link key: its target in UTF-16, and nothing of the target.
    KeyHandle link(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Link").c_str(), kRegOptionOpenLink, kKeyRead, link.Put()));
    std::uint32_t size = 0;
    ASSERT_EQ(kSuccess, R().QueryValueEx(link.get(), "SymbolicLinkValue", nullptr, &type, nullptr, &size));
    EXPECT_EQ(kRegLink, type);
    EXPECT_EQ(fullTarget.size() * 2, size);
    EXPECT_EQ(kErrorFileNotFound, R().QueryValueEx(link.get(), "There", nullptr, nullptr, nullptr, nullptr));
    // The option changes nothing for a key that is no link.
    KeyHandle plain(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kLocalMachine, target.c_str(), kRegOptionOpenLink, kKeyRead, plain.Put()));
    EXPECT_EQ(kSuccess, R().QueryValueEx(plain.get(), "There", nullptr, nullptr, nullptr, nullptr));

    // A link is made only where no key is.
    HKey again = nullptr;
    EXPECT_EQ(kErrorAlreadyExists, R().CreateKeyEx(kCurrentUser, P("Link").c_str(), 0, nullptr, kRegOptionCreateLink,
                                                   kKeyAllAccess | kKeyCreateLink, nullptr, &again, nullptr));

    link.Close();
    DeleteLink(R(), kCurrentUser, P("Link"));
    EXPECT_FALSE(KeyExists(R(), kCurrentUser, P("Link")));
    EXPECT_TRUE(KeyExists(R(), kLocalMachine, target + "\\Below"));
    WipeKey(R(), kLocalMachine, target);
}

// A repair trusts a key last written well before its backup began to be as the backup read
// it, so a change must stamp the key with the time of the change, and a read must not.
TEST_P(RegistryContract, AValueChangedStampsItsKeyWithTheTimeAndAReadDoesNot)
{
    // The clock ticks in steps of up to 16 ms on Windows.
    constexpr std::uint64_t kTick = 160000;
    auto lastWrite = [&](HKey key) {
        FileTime time;
        EXPECT_EQ(kSuccess, R().QueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, &time));
        return FileTimeTicks(time);
    };
    SetValue(R(), kCurrentUser, P("Stamped"), "Old", kRegSz, Str("x"));
    KeyHandle key(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Stamped").c_str(), 0, kKeyAllAccess, key.Put()));
    const std::uint64_t made = lastWrite(key.get());
    EXPECT_NE(0u, made);

    char name[16];
    std::uint32_t length = sizeof name, size = 0;
    EXPECT_EQ(kSuccess, R().EnumValue(key.get(), 0, name, &length, nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(kSuccess, R().QueryValueEx(key.get(), "Old", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(made, lastWrite(key.get()));

    std::uint64_t before = FileTimeTicks(HostFileTimeNow());
    const std::uint8_t dword[4] = {1, 0, 0, 0};
    ASSERT_EQ(kSuccess, R().SetValueEx(key.get(), "New", 0, kRegDword, dword, 4));
    std::uint64_t set = lastWrite(key.get());
    EXPECT_GE(set + kTick, before);
    EXPECT_LE(set, FileTimeTicks(HostFileTimeNow()) + kTick);

    before = FileTimeTicks(HostFileTimeNow());
    ASSERT_EQ(kSuccess, R().DeleteValue(key.get(), "Old"));
    std::uint64_t deleted = lastWrite(key.get());
    EXPECT_GE(deleted + kTick, before);
    EXPECT_GE(deleted, set);
}

// A key is deleted through its own handle when it has no subkeys and the handle may delete;
// the handle then answers 1018 until it is closed.
TEST_P(RegistryContract, AnOpenKeyWithoutSubkeysIsDeletedThroughItsHandle)
{
    SetValue(R(), kCurrentUser, P("Leaf"), "v", kRegSz, Str("x"));
    SetValue(R(), kCurrentUser, P("Parent\\Child"), "v", kRegSz, Str("y"));

    KeyHandle reading(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Leaf").c_str(), 0, kKeyRead, reading.Put()));
    EXPECT_EQ(kErrorAccessDenied, R().DeleteOpenKey(reading.get()));
    KeyHandle parent(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Parent").c_str(), 0, kKeyAllAccess, parent.Put()));
    EXPECT_EQ(kErrorAccessDenied, R().DeleteOpenKey(parent.get()));
    EXPECT_TRUE(KeyExists(R(), kCurrentUser, P("Parent\\Child")));
    EXPECT_EQ(kErrorAccessDenied, R().DeleteOpenKey(kCurrentUser));

    KeyHandle leaf(R());
    ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Leaf").c_str(), 0, kKeyAllAccess, leaf.Put()));
    EXPECT_EQ(kSuccess, R().DeleteOpenKey(leaf.get()));
    EXPECT_FALSE(KeyExists(R(), kCurrentUser, P("Leaf")));
    std::uint32_t values = 0;
    EXPECT_EQ(kErrorKeyDeleted, R().QueryInfoKey(leaf.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                 &values, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(kSuccess, R().CloseKey(leaf.Release()));
}

INSTANTIATE_TEST_SUITE_P(All, RegistryContract, ::testing::ValuesIn(RegistriesUnderTest()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tw::test
