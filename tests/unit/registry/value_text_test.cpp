#include "registry/value_text.h"

#include "platform/codepage.h"
#include "platform/key_handle.h"
#include "platform/memory/memory_registry.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

std::string Format(std::uint32_t type, const Bytes& data)
{
    ProcessCodec codec;
    return FormatValueText(type, data.data(), data.size(), codec);
}

Bytes Parse(const std::string& text, std::uint32_t type)
{
    auto data = ParseValueText(text, type);
    EXPECT_TRUE(data.has_value()) << text;
    return data.value_or(Bytes{});
}

TEST(TypeNames, EveryCodeHasItsNameAndNamesComeBackAsTheirCode)
{
    const char* names[] = {"REG_SZ",       "REG_SZ", "REG_EXPAND_SZ",     "REG_BINARY", "REG_DWORD",
                           "REG_DWORD",    "REG_SZ", "REG_MULTI_SZ",      "REG_RESOURCE_LIST",
                           "",             "REG_RESOURCE_REQUIREMENTS_LIST", "REG_QWORD"};
    for (std::uint32_t code = 0; code < 12; ++code)
        EXPECT_EQ(names[code], TypeNameFromCode(code)) << code;
    EXPECT_EQ("", TypeNameFromCode(12));
    EXPECT_EQ("", TypeNameFromCode(0xFFFFFFFFu));

    EXPECT_EQ(kRegBinary, TypeCodeFromName("reg_binary"));
    EXPECT_EQ(kRegDword, TypeCodeFromName("REG_DWORD"));
    EXPECT_EQ(kRegExpandSz, TypeCodeFromName("REG_EXPAND_SZ"));
    EXPECT_EQ(kRegMultiSz, TypeCodeFromName("Reg_Multi_Sz"));
    EXPECT_EQ(kRegQword, TypeCodeFromName("REG_QWORD"));
    EXPECT_EQ(kRegResourceList, TypeCodeFromName("REG_RESOURCE_LIST"));
    EXPECT_EQ(kRegResourceRequirementsList, TypeCodeFromName("REG_RESOURCE_REQUIREMENTS_LIST"));
    EXPECT_EQ(kRegSz, TypeCodeFromName(""));
    EXPECT_EQ(kRegSz, TypeCodeFromName("REG_NONE"));
    EXPECT_EQ(kRegSz, TypeCodeFromName("REG_DWORD_BIG_ENDIAN"));
}

TEST(FormatValueText, EachTypeHasItsTextForm)
{
    struct Case {
        std::uint32_t type;
        Bytes data;
        std::string text;
    } cases[] = {
        {kRegBinary, B({0x01, 0xAB, 0xFF}), "01 ab ff"},
        {kRegBinary, {}, ""},
        {kRegResourceList, B({0x10}), "10"},
        {kRegResourceRequirementsList, B({0, 1}), "00 01"},
        {kRegDword, B({10, 0, 0, 0}), "0x0000000a (10)"},
        {kRegDword, B({1, 0, 0, 0}), "0x00000001 (1)"},
        {kRegDword, B({0xff, 0xff, 0xff, 0xff}), "0xffffffff (-1)"},
        {kRegDword, B({0, 0, 0, 0x80}), "0x80000000 (-2147483648)"},
        {kRegDword, B({0xff, 0xff, 0xff, 0x7f}), "0x7fffffff (2147483647)"},
        {kRegDword, B({0, 0, 0, 0}), "0x00000000 (0)"},
        {kRegDword, B({0x2a}), "0x0000002a (42)"},
        {kRegBinary, B({0x00, 0x7f, 0x80, 0x0f, 0xf0}), "00 7f 80 0f f0"},
        {kRegMultiSz, B({'a', 'b', 0, 0, 'c', 0, 0}), "ab\r\n\r\nc"},
        {kRegDwordBigEndian, B({0, 0, 1, 0}), "0x00000100 (256)"},
        {kRegQword, B({1, 2, 3, 4, 5, 6, 7, 8}), "0x0807060504030201"},
        {kRegLink, B({'a', 0, 0xe9, 0, 0, 0, 'z', 0}), "a\xc3\xa9"},
        {kRegMultiSz, B({'a', 0, 'b', 0, 0}), "a\r\nb"},
        {kRegMultiSz, B({'a', 0}), ""},
        {kRegSz, Str("C:\\x.exe"), "C:\\x.exe"},
        {kRegExpandSz, Str("%SystemRoot%"), "%SystemRoot%"},
        {kRegNone, Str("none"), "none"},
        {kRegFullResourceDescriptor, B({'h', 'i', 0, 'x'}), "hi"},
        {0x99, Str("odd"), "odd"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, Format(c.type, c.data)) << "type " << c.type;
}

TEST(FormatValueText, ShortOrUnterminatedDataIsReadOnlyAsFarAsItGoes)
{
    EXPECT_EQ("0x00000201 (513)", Format(kRegDword, B({1, 2})));
    EXPECT_EQ("0x00000000 (0)", Format(kRegDword, {}));
    EXPECT_EQ("0x01020000 (16908288)", Format(kRegDwordBigEndian, B({1, 2})));
    EXPECT_EQ("0x0000000000030201", Format(kRegQword, B({1, 2, 3})));
    EXPECT_EQ("abc", Format(kRegSz, B({'a', 'b', 'c'})));
    EXPECT_EQ("ab", Format(kRegLink, B({'a', 0, 'b', 0, 'c'})));
}

TEST(ParseValueText, TextBecomesDataAgain)
{
    EXPECT_EQ(Str("text"), Parse("text", kRegSz));
    EXPECT_EQ(Str(""), Parse("", kRegExpandSz));
    EXPECT_EQ(B({0x01}), Parse("01ab", kRegBinary));
    EXPECT_EQ(B({0x01, 0xab}), Parse("01 ab", kRegBinary));
    EXPECT_EQ(B({0x01, 0xab, 0xff}), Parse("01:AB-Ff", kRegBinary));
    EXPECT_EQ(B({0x0}), Parse("", kRegBinary));
    EXPECT_EQ(B({0x0f, 0x00}), Parse("zf g0", kRegResourceList));  // non-hex characters count as 0
    EXPECT_EQ(B({1, 0, 0, 0}), Parse("0x00000001 (1)", kRegDword));
    EXPECT_EQ(B({0, 1, 0, 0}), Parse("0x00000100 (256)", kRegDword));
    EXPECT_EQ(B({0xff, 0xff, 0xff, 0xff}), Parse("0xffffffff (-1)", kRegDword));
    EXPECT_EQ(B({0, 0, 0, 0}), Parse("", kRegDword));
    EXPECT_EQ(B({0, 0, 0, 0x20}), Parse("0x2", kRegDword));  // missing digits count as 0
    EXPECT_EQ(B({1, 2, 3, 4, 5, 6, 7, 8}), Parse("0x0807060504030201", kRegQword));
    EXPECT_EQ(Bytes(8, 0), Parse("", kRegQword));
    EXPECT_EQ(B({'a', 0, 'b', 0, 0}), Parse("a\r\nb", kRegMultiSz));
    EXPECT_EQ(B({'a', 0, 0, 'b', 0, 0}), Parse("a\n\nb", kRegMultiSz));
    EXPECT_EQ(B({0}), Parse("", kRegMultiSz));
    for (std::uint32_t type : {std::uint32_t{kRegNone}, std::uint32_t{kRegDwordBigEndian}, std::uint32_t{kRegLink},
                               std::uint32_t{kRegFullResourceDescriptor}, std::uint32_t{12}})
        EXPECT_FALSE(ParseValueText("x", type).has_value()) << type;
}

TEST(ParseValueText, EveryTextFormRoundTrips)
{
    Bytes binary;
    for (int i = 0; i < 256; ++i)
        binary.push_back(static_cast<std::uint8_t>(i));
    EXPECT_EQ(binary, Parse(Format(kRegBinary, binary), kRegBinary));
    for (Bytes d : {B({0, 0, 0, 0x80}), B({0x78, 0x56, 0x34, 0x12})})
        EXPECT_EQ(d, Parse(Format(kRegDword, d), kRegDword));
    Bytes q = B({0xef, 0xcd, 0xab, 0x89, 0x67, 0x45, 0x23, 0x01});
    EXPECT_EQ(q, Parse(Format(kRegQword, q), kRegQword));
    Bytes multi = B({'o', 'n', 'e', 0, 't', 'w', 'o', 0, 0});
    EXPECT_EQ(multi, Parse(Format(kRegMultiSz, multi), kRegMultiSz));
}

// A value as a snapshot's text gives it: what the restore writes.
TEST(TextValue, TypesComeBackAsTheirNamesSay)
{
    std::optional<TextValue> big = ParseTextValue("big", "0x00000100 (256)", "REG_DWORD");
    ASSERT_TRUE(big);
    EXPECT_EQ("big", big->name);
    EXPECT_EQ(kRegDword, big->type);
    EXPECT_EQ(B({0, 1, 0, 0}), big->data);
    std::optional<TextValue> link = ParseTextValue("link", "target", "REG_SZ");
    ASSERT_TRUE(link);
    EXPECT_EQ(kRegSz, link->type);
    EXPECT_EQ(Str("target"), link->data);
    // No type is text; an empty binary is one zero byte.
    EXPECT_EQ(kRegSz, ParseTextValue("full", "x", "")->type);
    EXPECT_EQ(B({0}), ParseTextValue("bin", "", "REG_BINARY")->data);
}

TEST(TextValue, DefaultNamesTheUnnamedValueInAnyCase)
{
    EXPECT_EQ("", ParseTextValue("(default)", "first", "REG_SZ")->name);
    EXPECT_EQ("", ParseTextValue("(Default)", "second", "REG_EXPAND_SZ")->name);
    EXPECT_EQ("(Default) ", ParseTextValue("(Default) ", "x", "REG_SZ")->name);
}

class Listing : public ::testing::Test {
protected:
    std::vector<std::string> Names(const ValueListing& l)
    {
        std::vector<std::string> out;
        for (const auto& e : l)
            out.push_back(e.name);
        return out;
    }
    ValueListing List(bool sorted)
    {
        KeyHandle key(registry);
        EXPECT_EQ(kSuccess, registry.OpenKey(kCurrentUser, "K", key.Put()));
        return sorted ? ListKeyValuesSorted(registry, key.get(), codec) : ListKeyValues(registry, key.get(), codec);
    }
    MemoryRegistry registry;
    ProcessCodec codec;
};

TEST_F(Listing, AKeyWithoutValuesListsTheDefaultEntryAlone)
{
    CreateKey(registry, kCurrentUser, "K");
    ValueListing l = List(false);
    ASSERT_EQ(1u, l.size());
    EXPECT_EQ("(Default)", l[0].name);
    EXPECT_EQ("(value not set)", l[0].text);
    EXPECT_EQ(kRegSz, l[0].type);
}

TEST_F(Listing, TheUnnamedValueIsListedAsDefaultWithItsText)
{
    SetValue(registry, kCurrentUser, "K", nullptr, kRegSz, Str("x"));
    ValueListing l = List(false);
    ASSERT_EQ(1u, l.size());
    EXPECT_EQ("(Default)", l[0].name);
    EXPECT_EQ("x", l[0].text);

    SetValue(registry, kCurrentUser, "K", nullptr, kRegDword, B({5, 0, 0, 0}));
    l = List(false);
    ASSERT_EQ(1u, l.size());
    EXPECT_EQ("0x00000005 (5)", l[0].text);
    EXPECT_EQ(kRegDword, l[0].type);

    SetValue(registry, kCurrentUser, "K", nullptr, kRegBinary, {});
    l = List(false);
    ASSERT_EQ(1u, l.size());
    EXPECT_EQ("(value not set)", l[0].text);
    EXPECT_EQ(kRegBinary, l[0].type);
}

TEST_F(Listing, NamedValuesFollowTheInsertedDefaultEntry)
{
    SetValue(registry, kCurrentUser, "K", "b", kRegSz, Str("2"));
    SetValue(registry, kCurrentUser, "K", "a", kRegBinary, B({0xaa}));
    ValueListing l = List(false);
    EXPECT_EQ((std::vector<std::string>{"(Default)", "a", "b"}), Names(l));
    EXPECT_EQ("aa", l[1].text);
}

TEST_F(Listing, SortedListingPutsDefaultFirstThenNamesWithoutRegardToCase)
{
    SetValue(registry, kCurrentUser, "K", "b", kRegSz, Str("1"));
    SetValue(registry, kCurrentUser, "K", "A", kRegSz, Str("2"));
    SetValue(registry, kCurrentUser, "K", nullptr, kRegSz, Str("3"));
    SetValue(registry, kCurrentUser, "K", "c", kRegSz, Str("4"));
    EXPECT_EQ((std::vector<std::string>{"(Default)", "A", "b", "c"}), Names(List(true)));
}

TEST_F(Listing, NamesThatSortBelowDefaultStayAheadOfIt)
{
    SetValue(registry, kCurrentUser, "K", "!bang", kRegSz, Str("1"));
    SetValue(registry, kCurrentUser, "K", " blank", kRegSz, Str("2"));
    SetValue(registry, kCurrentUser, "K", nullptr, kRegSz, Str("3"));
    SetValue(registry, kCurrentUser, "K", "zed", kRegSz, Str("4"));
    SetValue(registry, kCurrentUser, "K", "_under", kRegSz, Str("5"));
    // Enumerated: "", " blank", "!bang", "_under", "zed" (the unnamed value first); the
    // entries below "(Default)" are behind it and stay there.
    EXPECT_EQ((std::vector<std::string>{"(Default)", " blank", "!bang", "_under", "zed"}), Names(List(true)));
}

TEST_F(Listing, AValueThatCannotBeEnumeratedIsLeftOut)
{
    for (const char* n : {"a", "b", "c"})
        SetValue(registry, kCurrentUser, "K", n, kRegSz, Str(n));
    registry.InjectFault(RegOp::EnumValue, 2, kErrorAccessDenied);
    EXPECT_EQ((std::vector<std::string>{"(Default)", "a", "c"}), Names(List(false)));
}

TEST_F(Listing, AKeyThatCannotBeQueriedListsOnlyTheDefaultEntry)
{
    SetValue(registry, kCurrentUser, "K", "a", kRegSz, Str("1"));
    registry.InjectFault(RegOp::QueryInfoKey, 1, kErrorAccessDenied);
    ValueListing l = List(false);
    ASSERT_EQ(1u, l.size());
    EXPECT_EQ("(value not set)", l[0].text);
}

TEST_F(Listing, LargeValuesAndLongNamesAreListedWhole)
{
    std::string longName(16000, 'n');
    Bytes big(1 << 20, 0x5a);
    SetValue(registry, kCurrentUser, "K", longName.c_str(), kRegBinary, big);
    ValueListing l = List(false);
    ASSERT_EQ(2u, l.size());
    EXPECT_EQ(longName, l[1].name);
    EXPECT_EQ(big.size() * 3 - 1, l[1].text.size());
}

TEST(ReadStringValue, ReadsStringsOfAnyLengthUpToTheirFirstNulAndNothingElse)
{
    MemoryRegistry registry;
    const std::string long_(5000, 'p');
    SetValue(registry, kCurrentUser, "T", "long", kRegExpandSz, Str(long_));
    SetValue(registry, kCurrentUser, "T", "cut", kRegSz, B({'a', 0, 'b', 0}));
    SetValue(registry, kCurrentUser, "T", "number", kRegDword, B({1, 0, 0, 0}));
    KeyHandle key(registry);
    ASSERT_EQ(kSuccess, registry.OpenKeyEx(kCurrentUser, "T", 0, kKeyRead, key.Put()));
    EXPECT_EQ(long_, ReadStringValue(registry, key.get(), "long"));
    EXPECT_EQ("a", ReadStringValue(registry, key.get(), "cut"));
    EXPECT_EQ(std::nullopt, ReadStringValue(registry, key.get(), "number"));
    EXPECT_EQ(std::nullopt, ReadStringValue(registry, key.get(), "missing"));

    EXPECT_EQ(std::nullopt, ReadDefaultText(registry, kCurrentUser, "T\\Missing"));
    SetValue(registry, kCurrentUser, "T\\D", "", kRegSz, Str(long_));
    EXPECT_EQ(long_, ReadDefaultText(registry, kCurrentUser, "T\\D"));
}

}  // namespace
}  // namespace tw::test
