// The snapshot format byte for byte, the text encoding, and the writer's failure rules.
#include "platform/codepage.h"
#include "platform/key_handle.h"
#include "snapshot/snapshot_writer.h"
#include "snapshot/xml_text.h"
#include "snapshot_test_support.h"
#include "support/counting_registry.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace tw::test {
namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

// A snapshot file as the full backup writes one, with the result of each branch.
std::string WriteFile(ScratchDrive& drive, Registry& registry, const std::vector<std::string>& branches,
                      std::vector<bool>* results = nullptr, const ValueEntry* single = nullptr)
{
    XmlWriter writer(drive.system());
    writer.SetFileName("C:\\snap.xml");
    XmlElement root("registry");
    root.WriteStartTag(writer, +1, true, true);
    for (const std::string& b : branches) {
        bool ok = WriteBranchSnapshot(writer, registry, drive.system(), b, single);
        if (results)
            results->push_back(ok);
    }
    root.WriteEndTag(writer, -1, true, true);
    EXPECT_TRUE(writer.Close());
    return drive.Read("snap.xml");
}

// The branch HKEY_CURRENT_USER\`base` written as the repair journal writes a key it has read:
// through the stream, fed in enumeration order.
std::string WriteThroughStream(ScratchDrive& drive, Registry& r, const std::string& base)
{
    std::function<void(KeySnapshotStream&, HKey, std::string_view)> feed = [&](KeySnapshotStream& stream, HKey key,
                                                                                 std::string_view name) {
        stream.BeginKey(name);
        KeyCounts counts;
        ASSERT_TRUE(QueryKeyCounts(r, key, &counts));
        ListKeyValues(r, key, drive.system(), counts,
                      [&](std::string_view n, std::uint32_t type, const std::uint8_t* data, std::uint32_t size) {
                          stream.Value(n, type, data, size);
                      });
        char sub[256];
        for (std::uint32_t i = 0;; ++i) {
            std::uint32_t length = sizeof sub;
            if (r.EnumKeyEx(key, i, sub, &length, nullptr, nullptr, nullptr, nullptr) != kSuccess)
                break;
            KeyHandle child(r);
            ASSERT_EQ(kSuccess, r.OpenKey(key, sub, child.Put()));
            feed(stream, child.get(), std::string_view(sub, length));
        }
        stream.EndKey();
    };
    XmlWriter writer(drive.system());
    writer.SetFileName("C:\\snap.xml");
    XmlElement root("registry");
    root.WriteStartTag(writer, +1, true, true);
    KeyHandle key(r);
    EXPECT_EQ(kSuccess, r.OpenKey(kCurrentUser, base.c_str(), key.Put()));
    EXPECT_TRUE(WriteBranchFrom(writer, drive.system(), "HKEY_CURRENT_USER\\" + base, [&](KeySnapshotStream& stream) {
        feed(stream, key.get(), {});
        return true;
    }));
    root.WriteEndTag(writer, -1, true, true);
    EXPECT_TRUE(writer.Close());
    return drive.Read("snap.xml");
}

void SeedDemo(Registry& r)
{
    SetValue(r, kCurrentUser, "Software\\Demo", "Count", kRegDword, B({3, 0, 0, 0}));
    SetValue(r, kCurrentUser, "Software\\Demo", nullptr, kRegSz, Str("hello"));
    CreateKey(r, kCurrentUser, "Software\\Demo\\Sub");
}

TEST(SnapshotWriter, WritesTheDemoBranchByteForByte)
{
    ScratchDrive drive;
    MemoryRegistry registry;
    SeedDemo(registry);
    std::vector<bool> results;
    EXPECT_EQ(kDeclaration +
                  " <registry>\r\n"
                  "  <k name=\"HKEY_CURRENT_USER\">\r\n"
                  "   <k name=\"Software\">\r\n"
                  "    <k name=\"Demo\">\r\n"
                  "     <v name=\"(Default)\" value=\"hello\"/>\r\n"
                  "     <v name=\"Count\" value=\"0x00000003 (3)\" type=\"REG_DWORD\"/>\r\n"
                  "     <k name=\"Sub\"/>\r\n"
                  "    </k>\r\n"
                  "   </k>\r\n"
                  "  </k>\r\n"
                  " </registry>\r\n",
              WriteFile(drive, registry, {"HKEY_CURRENT_USER\\Software\\Demo"}, &results));
    EXPECT_EQ(std::vector<bool>{true}, results);
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

TEST(SnapshotWriter, EscapesOnlyAmpersandQuoteAndLessThanThenWritesUtf8)
{
    // Text of the code page 1252 (a Windows before UTF-8 process code pages) becomes UTF-8 in
    // the file; UTF-8 text stays as it is, every character of any script kept.
    ScopedProcessCodePage legacy(AnsiCodePage::Windows1252);
    ProcessCodec codec;
    const struct {
        std::string ansi;
        std::string file;
    } cases[] = {
        {"a&b\"c<d", "a&amp;b&quot;c&lt;d"},
        {"x>y 'z'\t\r\n", "x>y 'z'\t\r\n"},
        {"caf\xE9 \x80 \xFF", "caf\xC3\xA9 \xE2\x82\xAC \xC3\xBF"},
        {"&lt;", "&amp;lt;"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.file, EscapeXmlText(c.ansi, codec)) << c.ansi;
        EXPECT_EQ(c.ansi, UnescapeXmlText(c.file, codec)) << c.file;
    }
    // Other entities are left as they are; each pass does not look at what it produced.
    EXPECT_EQ("&gt;&#65;&apos;", UnescapeXmlText("&gt;&#65;&apos;", codec));
    EXPECT_EQ("&quot;", UnescapeXmlText("&amp;quot;", codec));
    EXPECT_EQ("<\"&", UnescapeXmlText("&lt;&quot;&amp;", codec));

    SetProcessCodePage(AnsiCodePage::Utf8);
    const std::string anyScript = "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0 \xE6\x95\xB0\xE6\x8D\xAE \xCE\xB1 \xF0\x9F\x8E\x89 &";
    EXPECT_EQ(anyScript.substr(0, anyScript.size() - 1) + "&amp;", EscapeXmlText(anyScript, codec));
    EXPECT_EQ(anyScript, UnescapeXmlText(anyScript.substr(0, anyScript.size() - 1) + "&amp;", codec));
}

TEST(SnapshotWriter, EscapesEachCharacterWhereverItStandsInTextsOfEveryLength)
{
    // Texts are scanned eight bytes at a time: a character that needs care must be caught in
    // every position of a word and of the bytes after the last whole word, and no other
    // character (those next to it in value, '!' '%' '$' ';' '=' '>', or 0x7F) may be taken
    // for one.
    ScopedProcessCodePage legacy(AnsiCodePage::Windows1252);
    ProcessCodec codec;
    const struct {
        char ansi;
        std::string file;
    } specials[] = {{'&', "&amp;"}, {'"', "&quot;"}, {'<', "&lt;"}, {'\xE9', "\xC3\xA9"}, {'\x80', "\xE2\x82\xAC"},
                    {'!', "!"},     {'%', "%"},      {'$', "$"},    {';', ";"},           {'=', "="},
                    {'>', ">"},     {'\x7F', "\x7F"}, {'\x06', "\x06"}};
    for (std::size_t length = 1; length <= 19; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
            for (const auto& special : specials) {
                std::string ansi(length, 'a');
                ansi[at] = special.ansi;
                std::string expected = std::string(at, 'a') + special.file + std::string(length - at - 1, 'a');
                std::string out = "kept ";
                AppendXmlText(ansi, codec, out);
                ASSERT_EQ("kept " + expected, out) << "length " << length << ", at " << at;
            }
        }
    }
}

TEST(SnapshotWriter, WritesTypesKeysAndTheUnnamedValueAsTheFormatSays)
{
    ScratchDrive drive;
    MemoryRegistry r;
    const std::string base = "Software\\Kinds";
    SetValue(r, kCurrentUser, base, "none", kRegNone, Str("n"));
    SetValue(r, kCurrentUser, base, "expand", kRegExpandSz, Str("%PATH%"));
    SetValue(r, kCurrentUser, base, "full", kRegFullResourceDescriptor, Str("f"));
    SetValue(r, kCurrentUser, base, "odd", 77, Str("o"));
    SetValue(r, kCurrentUser, base, "bin", kRegBinary, B({1, 0xab, 0xff}));
    SetValue(r, kCurrentUser, base, "q&\"<", kRegSz, Str("v>'"));
    SetValue(r, kCurrentUser, base + "\\NoDataDefault", nullptr, kRegSz, {});
    EXPECT_EQ(kDeclaration +
                  " <registry>\r\n"
                  "  <k name=\"HKEY_CURRENT_USER\">\r\n"
                  "   <k name=\"Software\">\r\n"
                  "    <k name=\"Kinds\">\r\n"
                  "     <v name=\"bin\" value=\"01 ab ff\" type=\"REG_BINARY\"/>\r\n"
                  "     <v name=\"expand\" value=\"%PATH%\" type=\"REG_EXPAND_SZ\"/>\r\n"
                  "     <v name=\"full\" data=\"hex(9):66 00\"/>\r\n"
                  "     <v name=\"none\" data=\"hex(0):6e 00\"/>\r\n"
                  "     <v name=\"odd\" data=\"hex(4d):6f 00\"/>\r\n"
                  "     <v name=\"q&amp;&quot;&lt;\" value=\"v>'\"/>\r\n"
                  "     <k name=\"NoDataDefault\">\r\n"
                  "      <v name=\"(Default)\" data=\"hex(1):\"/>\r\n"
                  "     </k>\r\n"
                  "    </k>\r\n"
                  "   </k>\r\n"
                  "  </k>\r\n"
                  " </registry>\r\n",
              WriteFile(drive, r, {"HKEY_CURRENT_USER\\Software\\Kinds"}));
}

TEST(SnapshotWriter, RootAloneAndSingleValueBranches)
{
    ScratchDrive drive;
    MemoryRegistry r;
    SetValue(r, kUsers, "", "top", kRegSz, Str("1"));
    SetValue(r, kUsers, "S", "a", kRegSz, Str("2"));
    SetValue(r, kUsers, "S", "b", kRegSz, Str("3"));
    SetValue(r, kUsers, "S\\T", "c", kRegSz, Str("4"));
    EXPECT_EQ(kDeclaration +
                  " <registry>\r\n"
                  "  <k name=\"HKEY_USERS\">\r\n"
                  "   <v name=\"top\" value=\"1\"/>\r\n"
                  "   <k name=\"S\">\r\n"
                  "    <v name=\"a\" value=\"2\"/>\r\n"
                  "    <v name=\"b\" value=\"3\"/>\r\n"
                  "    <k name=\"T\">\r\n"
                  "     <v name=\"c\" value=\"4\"/>\r\n"
                  "    </k>\r\n"
                  "   </k>\r\n"
                  "  </k>\r\n"
                  " </registry>\r\n",
              WriteFile(drive, r, {"HKEY_USERS"}));

    // One value of the named key; its subkeys still in full.
    ValueEntry single{"b", "3", kRegSz};
    EXPECT_EQ(kDeclaration +
                  " <registry>\r\n"
                  "  <k name=\"HKEY_USERS\">\r\n"
                  "   <k name=\"S\">\r\n"
                  "    <v name=\"b\" value=\"3\"/>\r\n"
                  "    <k name=\"T\">\r\n"
                  "     <v name=\"c\" value=\"4\"/>\r\n"
                  "    </k>\r\n"
                  "   </k>\r\n"
                  "  </k>\r\n"
                  " </registry>\r\n",
              WriteFile(drive, r, {"HKEY_USERS\\S"}, nullptr, &single));
}

TEST(SnapshotWriter, BranchThatCannotBeOpenedWritesNothing)
{
    ScratchDrive drive;
    MemoryRegistry r;
    std::vector<bool> results;
    EXPECT_EQ(kDeclaration + " <registry>\r\n </registry>\r\n",
              WriteFile(drive, r, {"", "HKEY_CURRENT_USER\\Missing", "HKEY_DYN_DATA\\X"}, &results));
    EXPECT_EQ((std::vector<bool>{false, false, false}), results);
}

TEST(SnapshotWriter, LeavesOutSubkeysThatCannotBeOpenedOrQueriedAndWritesTheRest)
{
    ScratchDrive drive;
    MemoryRegistry r;
    SetValue(r, kCurrentUser, "Software\\B\\One", "x", kRegSz, Str("1"));
    SetValue(r, kCurrentUser, "Software\\B\\Two", "y", kRegSz, Str("2"));
    SetValue(r, kCurrentUser, "Software\\B\\Two\\Deep", "z", kRegSz, Str("3"));

    // "One" cannot be opened: left out with its subtree, the branch is complete otherwise.
    r.InjectFault(RegOp::OpenKey, 2, kErrorAccessDenied);  // the 1st opens the branch
    std::vector<bool> results;
    std::string file = WriteFile(drive, r, {"HKEY_CURRENT_USER\\Software\\B"}, &results);
    EXPECT_EQ(std::string::npos, file.find("One"));
    EXPECT_NE(std::string::npos, file.find("<k name=\"Deep\">"));
    EXPECT_EQ(std::vector<bool>{true}, results);

    // "One" cannot be queried: it is left out with its subtree, and "Two" follows.
    // The registry is asked once a key: the branch, One, then Two and Deep.
    r.InjectFault(RegOp::QueryInfoKey, 2, kErrorAccessDenied);
    results.clear();
    EXPECT_EQ(kDeclaration +
                  " <registry>\r\n"
                  "  <k name=\"HKEY_CURRENT_USER\">\r\n"
                  "   <k name=\"Software\">\r\n"
                  "    <k name=\"B\">\r\n"
                  "     <k name=\"Two\">\r\n"
                  "      <v name=\"y\" value=\"2\"/>\r\n"
                  "      <k name=\"Deep\">\r\n"
                  "       <v name=\"z\" value=\"3\"/>\r\n"
                  "      </k>\r\n"
                  "     </k>\r\n"
                  "    </k>\r\n"
                  "   </k>\r\n"
                  "  </k>\r\n"
                  " </registry>\r\n",
              WriteFile(drive, r, {"HKEY_CURRENT_USER\\Software\\B"}, &results));
    EXPECT_EQ(std::vector<bool>{true}, results);
    EXPECT_EQ(0u, r.OpenHandleCount());
    EXPECT_EQ(3u + 4u, r.CallCount(RegOp::QueryInfoKey));  // one question a key: B, Two, Deep; B, One, Two, Deep
}

TEST(SnapshotWriter, SubkeyNameLongerThanReportedDoesNotEndTheWalk)
{
    ScratchDrive drive;
    MemoryRegistry r;
    CreateKey(r, kCurrentUser, "Software\\W\\A");
    CreateKey(r, kCurrentUser, "Software\\W\\B");
    // The second enumeration says "more data", as it does when a longer name appeared since
    // the key was queried.
    r.InjectFault(RegOp::EnumKeyEx, 2, kErrorMoreData);
    std::string file = WriteFile(drive, r, {"HKEY_CURRENT_USER\\Software\\W"});
    EXPECT_NE(std::string::npos, file.find("<k name=\"A\"/>"));
    EXPECT_NE(std::string::npos, file.find("<k name=\"B\"/>"));
}

TEST(SnapshotWriter, BranchFailsWhenTheFileCannotBeWritten)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs /dev/full";
#else
    MemoryRegistry r;
    for (int i = 0; i < 50; ++i)
        SetValue(r, kCurrentUser, "Software\\Big\\K" + std::to_string(i), "v", kRegSz, Str(std::string(2000, 'x')));
    MemorySystem system;
    system.MapDrive('D', "/dev");
    XmlWriter writer(system);
    writer.SetFileName("D:\\full");
    XmlElement("registry").WriteStartTag(writer, +1, true, true);
    EXPECT_FALSE(WriteBranchSnapshot(writer, r, system, "HKEY_CURRENT_USER\\Software\\Big"));
    EXPECT_FALSE(writer.Close());
    EXPECT_EQ(0u, r.OpenHandleCount());
#endif
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

// The repair journal writes a key from what the backup read of it (KeySnapshotStream); the
// full backup writes it from the registry. A key holding every kind of value comes out the
// same both ways, and as the format gives each kind.
TEST(SnapshotWriter, TheRegistryWalkAndTheJournalStreamWriteEveryKindAlike)
{
    ScratchDrive drive;
    MemoryRegistry r;
    const std::string base = "Software\\Every";
    SetValue(r, kCurrentUser, base, "sz", kRegSz, Str("a&b\"c<d>\xc3\xa9"));
    SetValue(r, kCurrentUser, base, "Multi", kRegMultiSz, B({'x', '&', 0, 0xc3, 0xa9, 0, 0}));
    SetValue(r, kCurrentUser, base, "link", kRegLink, B({'L', 0, 0xe9, 0, '<', 0, 0, 0}));
    SetValue(r, kCurrentUser, base, "big", kRegDwordBigEndian, B({0, 0, 1, 2}));
    SetValue(r, kCurrentUser, base, "neg", kRegDword, B({0xff, 0xff, 0xff, 0xff}));
    SetValue(r, kCurrentUser, base, "q", kRegQword, B({1, 2, 3, 4, 5, 6, 7, 8}));
    SetValue(r, kCurrentUser, base, "res", kRegResourceList, B({0xde, 0xad}));
    SetValue(r, kCurrentUser, base, "nul", kRegSz, B({'t', 0, 'u', 0}));
    SetValue(r, kCurrentUser, base, "unended", kRegExpandSz, B({'%', 'X', '%'}));
    SetValue(r, kCurrentUser, base, "empty", kRegBinary, {});
    // Named as the unnamed value is shown, and reading as an unset one does: left out. The
    // unnamed value without data is written, by its bytes.
    SetValue(r, kCurrentUser, base, "(Default)", kRegSz, Str("(value not set)"));
    SetValue(r, kCurrentUser, base + "\\Unset", nullptr, kRegSz, {});
    SetValue(r, kCurrentUser, base + "\\Unset", "after", kRegSz, Str("1"));
    SetValue(r, kCurrentUser, base + "\\Set", nullptr, kRegDword, B({7, 0, 0, 0}));

    const std::string walked = WriteFile(drive, r, {"HKEY_CURRENT_USER\\" + base});
    EXPECT_NE(std::string::npos, walked.find("<v name=\"sz\" value=\"a&amp;b&quot;c&lt;d>\xc3\xa9\"/>\r\n")) << walked;
    EXPECT_NE(std::string::npos, walked.find("<v name=\"Multi\" value=\"x&amp;\r\n\xc3\xa9\" type=\"REG_MULTI_SZ\"/>"));
    EXPECT_NE(std::string::npos, walked.find("<v name=\"link\" data=\"hex(6):4c 00 e9 00 3c 00 00 00\"/>"));
    EXPECT_NE(std::string::npos, walked.find("<v name=\"big\" data=\"hex(5):00 00 01 02\"/>"));
    EXPECT_NE(std::string::npos, walked.find("<v name=\"neg\" value=\"0xffffffff (-1)\" type=\"REG_DWORD\"/>"));
    EXPECT_NE(std::string::npos, walked.find("<v name=\"q\" value=\"0x0807060504030201\" type=\"REG_QWORD\"/>"));
    EXPECT_NE(std::string::npos, walked.find("<v name=\"res\" value=\"de ad\" type=\"REG_RESOURCE_LIST\"/>"));
    EXPECT_NE(std::string::npos, walked.find("<v name=\"nul\" data=\"hex(1):74 00 00 00 75 00 00 00\"/>"));
    EXPECT_NE(std::string::npos, walked.find("<v name=\"unended\" data=\"hex(2):25 00 58 00 25 00\"/>"));
    EXPECT_NE(std::string::npos, walked.find("<v name=\"empty\" data=\"hex(3):\"/>"));
    EXPECT_EQ(std::string::npos, walked.find("(value not set)"));
    EXPECT_NE(std::string::npos, walked.find("<k name=\"Unset\">\r\n      <v name=\"(Default)\" data=\"hex(1):\"/>\r\n"
                                             "      <v name=\"after\""));
    EXPECT_NE(std::string::npos, walked.find("<v name=\"(Default)\" value=\"0x00000007 (7)\" type=\"REG_DWORD\"/>"));

    // The same key through the stream, fed in enumeration order as the backup reads it.
    EXPECT_EQ(walked, WriteThroughStream(drive, r, base));
}

// Values far longer than the writer's buffer: binary data, a string with characters to
// escape, and one that is not ASCII, each on one whole line in the file, with the same text
// a listing gives it, whether walked or streamed.
TEST(SnapshotWriter, ValuesLongerThanTheBufferAreWrittenWhole)
{
    ScratchDrive drive;
    MemoryRegistry r;
    const std::string base = "Software\\Long";
    std::vector<std::uint8_t> binary(70001);
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<std::uint8_t>(i * 7);
    std::string escaped;
    for (int i = 0; i < 9000; ++i)
        escaped += "ab&c\"d<";
    std::string accented;
    for (int i = 0; i < 30000; ++i)
        accented += i % 3 ? 'x' : '\xe9';
    SetValue(r, kCurrentUser, base, "bin", kRegBinary, binary);
    SetValue(r, kCurrentUser, base, "esc", kRegSz, Str(escaped));
    SetValue(r, kCurrentUser, base, "acc", kRegSz, Str(accented));
    // A number of another size than its type's is written by its bytes, all of them.
    std::vector<std::uint8_t> longNumber(70000, 0x11);
    SetValue(r, kCurrentUser, base, "num", kRegDword, longNumber);

    const std::string walked = WriteFile(drive, r, {"HKEY_CURRENT_USER\\" + base});
    const std::string indent(5, ' ');
    EXPECT_NE(std::string::npos, walked.find(indent + "<v name=\"bin\" value=\"" +
                                             FormatValueText(kRegBinary, binary.data(), binary.size(), drive.system()) +
                                             "\" type=\"REG_BINARY\"/>\r\n"));
    EXPECT_NE(std::string::npos,
              walked.find(indent + "<v name=\"esc\" value=\"" + EscapeXmlText(escaped, drive.system()) + "\"/>\r\n"));
    EXPECT_NE(std::string::npos,
              walked.find(indent + "<v name=\"acc\" value=\"" + EscapeXmlText(accented, drive.system()) + "\"/>\r\n"));
    EXPECT_NE(std::string::npos,
              walked.find(indent + "<v name=\"num\" data=\"hex(4):" +
                          FormatValueText(kRegBinary, longNumber.data(), longNumber.size(), drive.system()) +
                          "\"/>\r\n"));
    EXPECT_EQ(walked, WriteThroughStream(drive, r, base));
}

// Under Wine every registry call is a round trip: the writer asks each key once, lists its
// values from that answer and enumerates subkeys only of a key that counts some.
TEST(SnapshotWriter, EachKeyIsAskedOnceAndALeafIsNotEnumerated)
{
    ScratchDrive drive;
    MemoryRegistry registry;
    for (int g = 0; g < 3; ++g)
        for (int k = 0; k < 4; ++k)
            SetValue(registry, kCurrentUser, "Software\\Many\\G" + std::to_string(g) + "\\K" + std::to_string(k), "v",
                     kRegDword, B({std::uint8_t(k), 0, 0, 0}));
    CountingRegistry counting(registry);
    std::string text = WriteFile(drive, counting, {"HKEY_CURRENT_USER\\Software\\Many"});
    EXPECT_EQ(12u, [&] {
        std::size_t n = 0;
        for (std::size_t at = text.find("<v name=\"v\""); at != std::string::npos; at = text.find("<v name=\"v\"", at + 1))
            ++n;
        return n;
    }());
    const std::size_t keys = 1 + 3 + 12;
    EXPECT_EQ(keys, counting.count(CountingRegistry::kQueryInfo));
    EXPECT_EQ(12u, counting.count(CountingRegistry::kEnumValue));
    // The branch key and the three groups: a call per subkey and the one that ends the list.
    EXPECT_EQ((3u + 1) + 3 * (4 + 1), counting.count(CountingRegistry::kEnumKey));
}

}  // namespace
}  // namespace tw::test
