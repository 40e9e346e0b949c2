// Restoring snapshots: merging into the registry, the attribute order rule, the failure
// table, and the round trip of random branches through a file (on every registry under
// test: the memory registry natively, the real one too under Wine).
#include "platform/codepage.h"
#include "snapshot/snapshot_reader.h"
#include "snapshot/snapshot_writer.h"
#include "snapshot_test_support.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <random>

namespace tw::test {
namespace {

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n";
const std::string kTail = " </registry>\r\n";

class SnapshotRestore : public ::testing::TestWithParam<RegistryUnderTest> {
protected:
    void SetUp() override
    {
        registry_ = GetParam().make();
        base_ = std::string("Software\\TarnwickSnapshot\\") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : base_)
            if (c == '/')
                c = '_';
        WipeKey(R(), kCurrentUser, base_);
        CreateKey(R(), kCurrentUser, base_);
    }
    void TearDown() override { WipeKey(R(), kCurrentUser, base_); }

    Registry& R() { return *registry_; }
    std::string Full(const std::string& sub = "") const
    {
        return "HKEY_CURRENT_USER\\" + base_ + (sub.empty() ? "" : "\\" + sub);
    }
    std::string P(const std::string& sub = "") const { return sub.empty() ? base_ : base_ + "\\" + sub; }
    // Opening tags of the test's base key, as a file would hold them, and their end tags.
    std::string Open() const
    {
        std::string s;
        std::size_t start = 0;
        std::string path = Full();
        for (;;) {
            std::size_t slash = path.find('\\', start);
            s += "<k name=\"" + path.substr(start, slash - start) + "\">\r\n";
            if (slash == std::string::npos)
                return s;
            start = slash + 1;
        }
    }
    std::string Close() const
    {
        std::string s;
        for (char c : Full())
            if (c == '\\')
                s += "</k>\r\n";
        return s + "</k>\r\n";
    }

    bool Restore(const std::string& bytes, RestoreReport* report = nullptr)
    {
        drive_.Put("in.xml", bytes);
        RestoreTarget target{R(), drive_.system(), [this] { ++arrows_; }};
        return RestoreSnapshotFile(reader_, "C:\\in.xml", target, report);
    }
    std::string Value(const std::string& sub, const char* name, std::uint32_t* type = nullptr)
    {
        std::uint32_t t = 0;
        Bytes data;
        if (!GetValue(R(), kCurrentUser, P(sub), name, &t, &data))
            return "(missing)";
        if (type)
            *type = t;
        return std::string(data.begin(), data.end());
    }

    std::unique_ptr<Registry> registry_;
    std::string base_;
    ScratchDrive drive_;
    XmlReader reader_{drive_.system()};
    int arrows_ = 0;
};

// ---- random branches

struct GenValue {
    bool unnamed = false;
    std::string name;
    std::uint32_t type = kRegSz;
    Bytes data;
};
struct GenKey {
    std::string name;
    std::vector<GenValue> values;
    std::vector<GenKey> subkeys;
};

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    GenKey Key(const std::string& name, int depth)
    {
        GenKey key{name, {}, {}};
        int values = Below(6);
        for (int i = 0; i < values; ++i)
            key.values.push_back(Value(i));
        if (Below(3) == 0) {
            GenValue unnamed = Value(0);
            unnamed.unnamed = true;
            key.values.push_back(unnamed);
        }
        if (depth < 3) {
            int subkeys = Below(4);
            for (int i = 0; i < subkeys; ++i)
                key.subkeys.push_back(Key(Text(false) + "_k" + std::to_string(i), depth + 1));
        }
        return key;
    }

private:
    int Below(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
    // Letters, the characters the format escapes or leaves alone, and characters of other
    // scripts in the process code page (UTF-8): Latin-1, the euro sign, Cyrillic, Greek, CJK
    // and one outside the BMP; line breaks (CR LF) only where asked for.
    std::string Text(bool lineBreaks)
    {
        static const std::vector<std::string> pieces = {
            "a", "Z", "7", " ", "&", "\"", "<", ">", "'", "\t", "=", "/", "\xC3\xA9", "\xE2\x82\xAC", "\xC3\xBF",
            "\xC3\x9F", "\xD0\x81", "\xD1\x8F", "\xCE\xA9", "\xE6\x95\xB0", "\xF0\x9F\x8E\x89", "&amp;", "]]>", "%"};
        std::string text;
        int n = Below(8);
        for (int i = 0; i < n; ++i)
            text += (lineBreaks && Below(6) == 0) ? std::string("\r\n") : pieces[static_cast<std::size_t>(Below(static_cast<int>(pieces.size())))];
        return text;
    }
    Bytes RandomBytes(std::size_t n)
    {
        Bytes b(n);
        for (auto& x : b)
            x = static_cast<std::uint8_t>(random_());
        return b;
    }
    GenValue Value(int index)
    {
        static const std::uint32_t types[] = {kRegNone, kRegSz, kRegExpandSz, kRegBinary, kRegDword,
                                              kRegDwordBigEndian, kRegLink, kRegMultiSz, kRegResourceList,
                                              kRegFullResourceDescriptor, kRegResourceRequirementsList, kRegQword, 0x20};
        GenValue v;
        v.name = Text(true) + "_v" + std::to_string(index);
        v.type = types[Below(13)];
        bool empty = Below(8) == 0;
        if (empty)
            return v;
        switch (v.type) {
        case kRegBinary:
        case kRegResourceList:
        case kRegResourceRequirementsList: v.data = RandomBytes(static_cast<std::size_t>(1 + Below(9))); break;
        case kRegDword:
        case kRegDwordBigEndian: v.data = RandomBytes(4); break;
        case kRegQword: v.data = RandomBytes(8); break;
        case kRegMultiSz: {
            int n = 1 + Below(3);
            for (int i = 0; i < n; ++i) {
                std::string s = Text(false) + "m";
                v.data.insert(v.data.end(), s.begin(), s.end());
                v.data.push_back(0);
            }
            v.data.push_back(0);
            break;
        }
        case kRegLink: {
            std::string s = "link" + Text(false);
            for (char16_t w : Utf8ToUtf16(s)) {
                v.data.push_back(static_cast<std::uint8_t>(w & 0xFF));
                v.data.push_back(static_cast<std::uint8_t>(w >> 8));
            }
            v.data.push_back(0);
            v.data.push_back(0);
            break;
        }
        default: v.data = Str(Text(v.type == kRegSz || v.type == kRegExpandSz)); break;
        }
        return v;
    }

    std::mt19937 random_;
};

// What comes back for a value: the value itself, type and bytes. A value whose text form
// would change it (REG_NONE, REG_DWORD_BIG_ENDIAN, REG_LINK, type 9 and unknown codes, data
// missing or of another size, the unnamed value without data) is written by its bytes.
bool Expected(const GenValue& v, std::uint32_t* type, Bytes* data)
{
    *type = v.type;
    *data = v.data;
    return true;
}

// Every key and value of a branch, one line each, sorted: registries may enumerate in
// different orders (Wine keeps values in the order they were made).
void Collect(Registry& r, HKey key, const std::string& path, std::vector<std::string>* lines)
{
    lines->push_back("[" + path + "]");
    for (std::uint32_t i = 0;; ++i) {
        char name[1024];
        std::uint32_t length = sizeof name, type = 0, size = 0;
        if (r.EnumValue(key, i, name, &length, nullptr, &type, nullptr, &size) != kSuccess)
            break;
        Bytes data;
        std::string n(name, length);
        if (!GetValue(r, key, "", n.c_str(), &type, &data))
            continue;
        std::string line = "[" + path + "] \"" + n + "\" type " + std::to_string(type) + ":";
        for (std::uint8_t b : data)
            line += " " + std::to_string(b);
        lines->push_back(line);
    }
    for (std::uint32_t i = 0;; ++i) {
        char name[1024];
        std::uint32_t length = sizeof name;
        if (r.EnumKeyEx(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != kSuccess)
            break;
        std::string n(name, length);
        KeyHandle sub(r);
        if (r.OpenKey(key, n.c_str(), sub.Put()) == kSuccess)
            Collect(r, sub.get(), path + "\\" + n, lines);
    }
}

std::string Contents(Registry& r, const std::string& path)
{
    KeyHandle key(r);
    if (r.OpenKey(kCurrentUser, path.c_str(), key.Put()) != kSuccess)
        return "(missing)";
    std::vector<std::string> lines;
    Collect(r, key.get(), path, &lines);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

void Seed(Registry& r, const std::string& path, const GenKey& key, bool expected)
{
    CreateKey(r, kCurrentUser, path);
    for (const GenValue& v : key.values) {
        std::uint32_t type = v.type;
        Bytes data = v.data;
        if (expected && !Expected(v, &type, &data))
            continue;
        SetValue(r, kCurrentUser, path, v.unnamed ? nullptr : v.name.c_str(), type, data);
    }
    for (const GenKey& k : key.subkeys)
        Seed(r, path + "\\" + k.name, k, expected);
}

TEST_P(SnapshotRestore, RandomBranchesComeBackTypeForTypeAndByteForByte)
{
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        GenKey tree = Generator(seed).Key("Tree", 0);
        Seed(R(), P("Tree"), tree, false);

        XmlWriter writer(drive_.system());
        writer.SetFileName("C:\\round.xml");
        XmlElement root("registry");
        root.WriteStartTag(writer, +1, true, true);
        ASSERT_TRUE(WriteBranchSnapshot(writer, R(), drive_.system(), Full("Tree")));
        root.WriteEndTag(writer, -1, true, true);
        ASSERT_TRUE(writer.Close());

#ifndef _WIN32
        // An independent parser finds the file well-formed.
        std::string command = "xmllint --noout '" + drive_.HostFile("round.xml") + "'";
        EXPECT_EQ(0, std::system(command.c_str())) << drive_.Read("round.xml");
#endif
        WipeKey(R(), kCurrentUser, P("Tree"));
        RestoreReport report;
        EXPECT_TRUE(RestoreSnapshotFile(reader_, "C:\\round.xml", RestoreTarget{R(), drive_.system(), {}}, &report));
        EXPECT_EQ("", reader_.Error());
        EXPECT_EQ(0u, report.valuesFailed);

        MemoryRegistry expected;
        Seed(expected, P("Tree"), tree, true);
        EXPECT_EQ(Contents(expected, P("Tree")), Contents(R(), P("Tree")));
        WipeKey(R(), kCurrentUser, P("Tree"));
    }
}

TEST_P(SnapshotRestore, MergesIntoExistingKeysAndMapsDefaultToTheUnnamedValue)
{
    SetValue(R(), kCurrentUser, P("M"), "same", kRegSz, Str("old"));
    SetValue(R(), kCurrentUser, P("M"), "kept", kRegSz, Str("untouched"));
    CreateKey(R(), kCurrentUser, P("M\\Other"));
    ASSERT_TRUE(Restore(kHead + Open() +
                        "<k name=\"M\">\r\n"
                        " <v name=\"same\" value=\"new\"/>\r\n"
                        " <v name=\"(default)\" value=\"unnamed &amp; &lt;b&gt;\"/>\r\n"
                        " <v name=\"lines\" value=\"one\r\ntwo 'x' >\"/>\r\n"
                        " <k name=\"New\"><k name=\"Deeper\"/></k>\r\n"
                        "</k>\r\n" +
                        Close() + kTail));
    EXPECT_EQ(std::string("new\0", 4), Value("M", "same"));
    EXPECT_EQ(std::string("untouched\0", 10), Value("M", "kept"));
    EXPECT_EQ(std::string("unnamed & <b&gt;\0", 17), Value("M", nullptr));
    EXPECT_EQ(std::string("one\r\ntwo 'x' >\0", 15), Value("M", "lines"));
    EXPECT_TRUE(KeyExists(R(), kCurrentUser, P("M\\Other")));
    EXPECT_TRUE(KeyExists(R(), kCurrentUser, P("M\\New\\Deeper")));
    EXPECT_EQ(0, arrows_);
}

TEST_P(SnapshotRestore, AttributesTakeEffectOnlyInTheOrderNameValueType)
{
    ASSERT_TRUE(Restore(kHead + Open() +
                        "<v name=\"a\" value=\"0x00000005 (5)\" type=\"REG_DWORD\"/>\r\n"
                        "<v value=\"lost\" name=\"b\"/>\r\n"
                        "<v name=\"c\" type=\"REG_DWORD\" value=\"text\"/>\r\n"
                        "<v name=\"d\" type=\"REG_BINARY\"/>\r\n"
                        "<v name=\"e\"/>\r\n" +
                        Close() + kTail));
    std::uint32_t type = 0;
    EXPECT_EQ(std::string("\5\0\0\0", 4), Value("", "a", &type));
    EXPECT_EQ(kRegDword, type);
    EXPECT_EQ(std::string("\0", 1), Value("", "b", &type));  // "name" emptied the value
    EXPECT_EQ(std::string("text\0", 5), Value("", "c", &type));  // "value" emptied the type
    EXPECT_EQ(kRegSz, type);
    EXPECT_EQ(std::string("\0", 1), Value("", "d", &type));  // no value: the empty text
    EXPECT_EQ(kRegBinary, type);
    EXPECT_EQ(std::string("\0", 1), Value("", "e", &type));
    EXPECT_EQ(kRegSz, type);
}

// Every value of a key as the registry keeps it, through the wide listing: one line each,
// sorted, with its type and bytes.
std::string StoredValues(Registry& r, const std::string& path)
{
    KeyHandle key(r);
    if (r.OpenKey(kCurrentUser, path.c_str(), key.Put()) != kSuccess)
        return "(missing)";
    std::vector<std::string> lines;
    for (std::uint32_t i = 0;; ++i) {
        char16_t name[256];
        std::uint8_t data[512];
        std::uint32_t length = 256, type = 0, size = sizeof data;
        if (r.EnumValueW(key.get(), i, name, &length, nullptr, &type, data, &size) != kSuccess)
            break;
        std::string line = "\"" + Utf16ToUtf8(std::u16string_view(name, length)) + "\" " + std::to_string(type) + ":";
        for (std::uint32_t b = 0; b < size; ++b)
            line += " " + std::to_string(data[b]);
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

// Values whose text form would change them (their type, or bytes that the text does not
// show) come back as the registry kept them, written by their bytes; the others are written
// as text, as they always were.
TEST_P(SnapshotRestore, OddValuesComeBackTypeForTypeAndByteForByte)
{
    struct Case {
        const char16_t* name;
        std::uint32_t type;
        Bytes data;
    };
    const Case odd[] = {
        {u"none", kRegNone, B({'a', 0, 0, 0, 'b', 0})},
        {u"none empty", kRegNone, {}},
        {u"full resource", kRegFullResourceDescriptor, B({1, 0, 0, 0, 0xff, 0x20})},
        {u"resource list", kRegResourceList, {}},
        {u"requirements", kRegResourceRequirementsList, {}},
        {u"big endian", kRegDwordBigEndian, B({0x12, 0x34, 0x56, 0x78})},
        {u"link", kRegLink, B({'x', 0, 'y', 0})},
        {u"unknown", 0x4711, B({5})},
        {u"sz tail", kRegSz, B({'a', 0, 0, 0, 'z', 0, 0, 0})},
        {u"sz odd", kRegSz, B({'a', 0, 'b', 0, 0, 0, 0x33})},
        {u"sz one byte", kRegSz, B({0x33})},
        {u"sz unended", kRegSz, B({'a', 0, 'b', 0})},
        {u"sz empty", kRegSz, {}},
        {u"sz line feed", kRegSz, B({'a', 0, '\n', 0, 'b', 0, 0, 0})},
        {u"expand odd", kRegExpandSz, B({'%', 0, 'x', 0, '%'})},
        {u"multi tail", kRegMultiSz, B({'a', 0, 0, 0, 0, 0, 'q', 0})},
        {u"multi odd", kRegMultiSz, B({'a', 0, 0, 0, 0, 0, 1})},
        {u"multi one end", kRegMultiSz, B({'a', 0, 0, 0})},
        {u"multi cr", kRegMultiSz, B({'a', 0, '\r', 0, 0, 0, 0, 0})},
        {u"binary empty", kRegBinary, {}},
        {u"dword short", kRegDword, B({1, 2, 3})},
        {u"qword long", kRegQword, B({1, 2, 3, 4, 5, 6, 7, 8, 9})},
    };
    const Case plain[] = {
        {u"sz", kRegSz, B({'p', 0, 0xe9, 0, 0, 0})},
        // Text of any script is exact as text in the process code page (UTF-8).
        {u"sz outside", kRegSz, B({0x18, 0x04, 'x', 0, 0, 0})},
        {u"crlf", kRegSz, B({'a', 0, '\r', 0, '\n', 0, 'b', 0, 0, 0})},
        {u"expand", kRegExpandSz, B({'%', 0, 'x', 0, '%', 0, 0, 0})},
        {u"multi", kRegMultiSz, B({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0})},
        {u"binary", kRegBinary, B({0, 1, 2})},
        {u"dword", kRegDword, B({1, 2, 3, 4})},
        {u"qword", kRegQword, B({1, 2, 3, 4, 5, 6, 7, 8})},
    };
    CreateKey(R(), kCurrentUser, P("Odd\\Unset"));
    CreateKey(R(), kCurrentUser, P("Odd\\NoneUnnamed"));
    {
        KeyHandle key(R()), unset(R()), none(R());
        ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Odd").c_str(), 0, kKeyAllAccess, key.Put()));
        for (const Case* list : {&odd[0], &plain[0]}) {
            const std::size_t n = list == odd ? std::size(odd) : std::size(plain);
            for (std::size_t i = 0; i < n; ++i)
                ASSERT_EQ(kSuccess, R().SetValueExW(key.get(), list[i].name, 0, list[i].type, list[i].data.data(),
                                                    static_cast<std::uint32_t>(list[i].data.size())));
        }
        // The unnamed value without data, and one of a type without a text form.
        ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Odd\\Unset").c_str(), 0, kKeyAllAccess, unset.Put()));
        ASSERT_EQ(kSuccess, R().SetValueExW(unset.get(), u"", 0, kRegSz, nullptr, 0));
        ASSERT_EQ(kSuccess, R().OpenKeyEx(kCurrentUser, P("Odd\\NoneUnnamed").c_str(), 0, kKeyAllAccess, none.Put()));
        const Bytes two = B({2, 0});
        ASSERT_EQ(kSuccess, R().SetValueExW(none.get(), nullptr, 0, kRegNone, two.data(), 2));
    }
    const std::string before = StoredValues(R(), P("Odd"));
    const std::string beforeUnset = StoredValues(R(), P("Odd\\Unset"));
    const std::string beforeNone = StoredValues(R(), P("Odd\\NoneUnnamed"));
    ASSERT_NE("", beforeUnset);

    XmlWriter writer(drive_.system());
    writer.SetFileName("C:\\odd.xml");
    XmlElement root("registry");
    root.WriteStartTag(writer, +1, true, true);
    ASSERT_TRUE(WriteBranchSnapshot(writer, R(), drive_.system(), Full("Odd")));
    root.WriteEndTag(writer, -1, true, true);
    ASSERT_TRUE(writer.Close());
    const std::string file = drive_.Read("odd.xml");
    // Written by bytes, each as the registry keeps it ...
    EXPECT_NE(std::string::npos, file.find("<v name=\"none\" data=\"hex(0):61 00 00 00 62 00\"/>")) << file;
    EXPECT_NE(std::string::npos, file.find("<v name=\"full resource\" data=\"hex(9):01 00 00 00 ff 20\"/>"));
    EXPECT_NE(std::string::npos, file.find("<v name=\"big endian\" data=\"hex(5):12 34 56 78\"/>"));
    EXPECT_NE(std::string::npos, file.find("<v name=\"unknown\" data=\"hex(4711):05\"/>"));
    EXPECT_NE(std::string::npos, file.find("<v name=\"sz odd\" data=\"hex(1):61 00 62 00 00 00 33\"/>"));
    EXPECT_NE(std::string::npos, file.find("<v name=\"binary empty\" data=\"hex(3):\"/>"));
    EXPECT_NE(std::string::npos, file.find("<v name=\"(Default)\" data=\"hex(1):\"/>"));
    EXPECT_NE(std::string::npos, file.find("<v name=\"(Default)\" data=\"hex(0):02 00\"/>"));
    // ... and the rest as text, as before.
    EXPECT_NE(std::string::npos, file.find("<v name=\"sz\" value=\"p\xc3\xa9\"/>"));
    EXPECT_NE(std::string::npos, file.find("<v name=\"sz outside\" value=\"\xd0\x98x\"/>"));
    EXPECT_NE(std::string::npos, file.find("<v name=\"crlf\" value=\"a\r\nb\"/>"));
    EXPECT_NE(std::string::npos, file.find("<v name=\"expand\" value=\"%x%\" type=\"REG_EXPAND_SZ\"/>"));
    EXPECT_NE(std::string::npos, file.find("<v name=\"multi\" value=\"a\r\nb\" type=\"REG_MULTI_SZ\"/>"));
    EXPECT_NE(std::string::npos, file.find("<v name=\"binary\" value=\"00 01 02\" type=\"REG_BINARY\"/>"));
    EXPECT_NE(std::string::npos, file.find("<v name=\"dword\" value=\"0x04030201 (67305985)\" type=\"REG_DWORD\"/>"));
    EXPECT_NE(std::string::npos, file.find("<v name=\"qword\" value=\"0x0807060504030201\" type=\"REG_QWORD\"/>"));
    std::size_t exact = 0;
    for (std::size_t at = 0; (at = file.find(" data=\"", at)) != std::string::npos; ++at)
        ++exact;
    EXPECT_EQ(std::size(odd) + 2, exact);

    WipeKey(R(), kCurrentUser, P("Odd"));
    RestoreReport report;
    EXPECT_TRUE(RestoreSnapshotFile(reader_, "C:\\odd.xml", RestoreTarget{R(), drive_.system(), {}}, &report));
    EXPECT_EQ(0u, report.valuesFailed);
    EXPECT_EQ(std::size(odd) + std::size(plain) + 2, report.values);
    EXPECT_EQ(before, StoredValues(R(), P("Odd")));
    EXPECT_EQ(beforeUnset, StoredValues(R(), P("Odd\\Unset")));
    EXPECT_EQ(beforeNone, StoredValues(R(), P("Odd\\NoneUnnamed")));
}

// A file written before the exact form existed reads as it always did: the text form's
// conversions, strings through the code page with one terminator.
TEST_P(SnapshotRestore, AFileOfTheTextFormAloneReadsAsItAlwaysDid)
{
    RestoreReport report;
    EXPECT_TRUE(Restore(kHead + Open() +
                            "<v name=\"none\" value=\"n\"/>\r\n"
                            "<v name=\"sz\" value=\"\xc3\xa9t\xc3\xa9\"/>\r\n"
                            "<v name=\"big\" value=\"0x00000102 (258)\" type=\"REG_DWORD\"/>\r\n"
                            "<v name=\"bin\" value=\"\" type=\"REG_BINARY\"/>\r\n"
                            "<v name=\"multi\" value=\"a\r\nb\" type=\"REG_MULTI_SZ\"/>\r\n"
                            "<v name=\"full\" value=\"f\" type=\"\"/>\r\n" +
                            Close() + kTail,
                        &report));
    EXPECT_EQ(0u, report.valuesFailed);
    EXPECT_EQ("\"big\" 4: 2 1 0 0\n"
              "\"bin\" 3: 0\n"
              "\"full\" 1: 102 0 0 0\n"
              "\"multi\" 7: 97 0 0 0 98 0 0 0 0 0\n"
              "\"none\" 1: 110 0 0 0\n"
              "\"sz\" 1: 233 0 116 0 233 0 0 0\n",
              StoredValues(R(), P()));
}

// An exact form that does not read is refused like text whose hex digits are not hex; the
// values around it are written.
TEST_P(SnapshotRestore, AnExactFormThatDoesNotReadIsRefused)
{
    RestoreReport report;
    EXPECT_TRUE(Restore(kHead + Open() +
                            "<v name=\"good\" data=\"hex(9):0a 0B\"/>\r\n"
                            "<v name=\"digits\" data=\"hex(3):0a zz\"/>\r\n"
                            "<v name=\"half\" data=\"hex(3):0a 0\"/>\r\n"
                            "<v name=\"blanks\" data=\"hex(3):0a  0b\"/>\r\n"
                            "<v name=\"type\" data=\"hex(x):00\"/>\r\n"
                            "<v name=\"long\" data=\"hex(123456789):00\"/>\r\n"
                            "<v name=\"prefix\" data=\"bin(3):00\"/>\r\n"
                            "<v name=\"over\" value=\"text\" data=\"hex(0):\"/>\r\n" +
                            Close() + kTail,
                        &report));
    EXPECT_EQ("\"good\" 9: 10 11\n"
              "\"over\" 0:\n",
              StoredValues(R(), P()));
    EXPECT_EQ(6u, report.valuesFailed);
    EXPECT_EQ(2u, report.values);
}

// Digits that are not hex would be read as 0: such a value is refused, not written changed.
TEST_P(SnapshotRestore, AValueWhoseHexDigitsAreNotHexIsRefused)
{
    RestoreReport report;
    EXPECT_TRUE(Restore(kHead + Open() +
                            "<v name=\"good\" value=\"0a 0B ff\" type=\"REG_BINARY\"/>\r\n"
                            "<v name=\"bin\" value=\"0a zz ff\" type=\"REG_BINARY\"/>\r\n"
                            "<v name=\"num\" value=\"0x0000g02a (42)\" type=\"REG_DWORD\"/>\r\n"
                            "<v name=\"big\" value=\"0x00000000000000-1\" type=\"REG_QWORD\"/>\r\n"
                            "<v name=\"dword\" value=\"0x0000002a (42)\" type=\"REG_DWORD\"/>\r\n" +
                            Close() + kTail,
                        &report));
    EXPECT_EQ(std::string("\x0a\x0b\xff", 3), Value("", "good"));
    EXPECT_EQ(std::string("\x2a\0\0\0", 4), Value("", "dword"));
    EXPECT_EQ("(missing)", Value("", "bin"));
    EXPECT_EQ("(missing)", Value("", "num"));
    EXPECT_EQ("(missing)", Value("", "big"));
    EXPECT_EQ(3u, report.valuesFailed);
    EXPECT_EQ(2u, report.values);
}

TEST_P(SnapshotRestore, TwoBranchesOfOneRootInOneFileAreBothRestored)
{
    ASSERT_TRUE(Restore(kHead + Open() + "<k name=\"One\"><v name=\"x\" value=\"1\"/></k>\r\n" + Close() + Open() +
                        "<k name=\"Two\"><v name=\"y\" value=\"2\"/></k>\r\n" + Close() + kTail));
    EXPECT_EQ(std::string("1\0", 2), Value("One", "x"));
    EXPECT_EQ(std::string("2\0", 2), Value("Two", "y"));
}

TEST_P(SnapshotRestore, AnEmptyKeyNameLeavesItsParentOpenForTheRest)
{
    // An empty name opens the parent itself: its values land in the parent, and closing it
    // must not close the parent, whose later values and keys are still to come. "E" exists
    // (it is opened: RegOpenKeyA hands back the parent's handle), "Made" is made here.
    SetValue(R(), kCurrentUser, P("E"), "old", kRegSz, Str("0"));
    ASSERT_TRUE(Restore(kHead + Open() +
                        "<k name=\"E\">\r\n"
                        " <v name=\"before\" value=\"1\"/>\r\n"
                        " <k name=\"\"><v name=\"inner\" value=\"2\"/><k name=\"\"/></k>\r\n"
                        " <v name=\"after\" value=\"3\"/>\r\n"
                        " <k name=\"Sub\"><v name=\"deeper\" value=\"4\"/></k>\r\n"
                        "</k>\r\n"
                        "<k name=\"Made\"><k name=\"\"><v name=\"x\" value=\"5\"/></k><v name=\"y\" value=\"6\"/></k>\r\n" +
                        Close() + kTail));
    EXPECT_EQ(std::string("1\0", 2), Value("E", "before"));
    EXPECT_EQ(std::string("2\0", 2), Value("E", "inner"));
    EXPECT_EQ(std::string("3\0", 2), Value("E", "after"));
    EXPECT_EQ(std::string("4\0", 2), Value("E\\Sub", "deeper"));
    EXPECT_EQ(std::string("5\0", 2), Value("Made", "x"));
    EXPECT_EQ(std::string("6\0", 2), Value("Made", "y"));
    EXPECT_EQ(0, arrows_);
    if (auto* memory = dynamic_cast<MemoryRegistry*>(&R())) {
        EXPECT_EQ(0u, memory->OpenHandleCount());
    }
}

TEST_P(SnapshotRestore, AKeyElementWithoutANameStopsTheRestoreBeforeAnythingLandsElsewhere)
{
    // Its end tag would close "A" instead, and "late" and "B" would land in the base key.
    RestoreReport report;
    const std::string file = kHead + Open() +
                             "<k name=\"A\">\r\n"
                             " <v name=\"early\" value=\"1\"/>\r\n"
                             " <k><v name=\"inner\" value=\"2\"/></k>\r\n"
                             " <v name=\"late\" value=\"3\"/>\r\n"
                             "</k>\r\n"
                             "<k name=\"B\"><v name=\"x\" value=\"4\"/></k>\r\n" +
                             Close() + kTail;
    EXPECT_FALSE(Restore(file, &report));
    EXPECT_EQ("a key element without a name", report.malformed);
    EXPECT_EQ(7 + static_cast<int>(std::count(base_.begin(), base_.end(), '\\')), report.failedLine);
    EXPECT_EQ(std::string("1\0", 2), Value("A", "early"));
    EXPECT_EQ("(missing)", Value("A", "late"));
    EXPECT_EQ("(missing)", Value("", "inner"));
    EXPECT_EQ("(missing)", Value("", "late"));
    EXPECT_EQ("(missing)", Value("", "x"));
    EXPECT_FALSE(KeyExists(R(), kCurrentUser, P("B")));
    if (auto* memory = dynamic_cast<MemoryRegistry*>(&R())) {
        EXPECT_EQ(0u, memory->OpenHandleCount());
    }
}

TEST_P(SnapshotRestore, FailureTable)
{
    XmlReader& reader = reader_;
    RestoreReport report;

    // Missing file: nothing restored, true.
    RestoreTarget target{R(), drive_.system(), {}};
    EXPECT_TRUE(RestoreSnapshotFile(reader, "C:\\missing.xml", target, &report));
    EXPECT_FALSE(report.fileOpened);

    // Parse error: what came before stays, the text stays in the reader, true.
    EXPECT_TRUE(Restore(kHead + Open() + "<k name=\"P\"><v name=\"before\" value=\"1\"/>\r\n<>\r\n" +
                            "<v name=\"after\" value=\"2\"/></k>\r\n" + Close() + kTail,
                        &report));
    EXPECT_EQ(std::string("1\0", 2), Value("P", "before"));
    EXPECT_EQ("(missing)", Value("P", "after"));
    EXPECT_EQ("Parse error in line " + std::to_string(6 + std::count(base_.begin(), base_.end(), '\\')) +
                  " : (Empty element name)",
              reader.Error());

    // Values outside any key and extra end tags are ignored.
    EXPECT_TRUE(Restore(kHead + "<v name=\"stray\" value=\"1\"/>\r\n</k></k>\r\n" + Open() +
                        "<v name=\"inside\" value=\"2\"/>\r\n" + Close() + "</k></k>\r\n" + kTail));
    EXPECT_EQ(std::string("2\0", 2), Value("", "inside"));
    EXPECT_EQ(0, arrows_);
}

TEST(SnapshotRestoreFaults, KeyOrValueTheRegistryRefuses)
{
    ScratchDrive drive;
    MemoryRegistry r;
    XmlReader reader(drive.system());
    int arrows = 0;
    RestoreTarget target{r, drive.system(), [&] { ++arrows; }};
    RestoreReport report;

    // An outermost key that is not a root: false before anything is written.
    drive.Put("a.xml", kHead + "<k name=\"HKEY_NOWHERE\"><k name=\"X\"><v name=\"v\" value=\"1\"/></k></k>\r\n" + kTail);
    EXPECT_FALSE(RestoreSnapshotFile(reader, "C:\\a.xml", target, &report));
    EXPECT_EQ(0u, r.CallCount(RegOp::CreateKey));
    EXPECT_EQ(0u, r.CallCount(RegOp::SetValueEx));
    EXPECT_EQ("HKEY_NOWHERE", report.failedKeyPath);
    EXPECT_EQ(3, report.failedLine);
    EXPECT_EQ(1, arrows);

    // A key that cannot be created stops the file at once; what came before stays.
    std::string file = kHead +
                       "<k name=\"HKEY_CURRENT_USER\"><k name=\"Software\">\r\n"
                       "<k name=\"A\"><v name=\"v\" value=\"1\"/></k>\r\n"
                       "<k name=\"B\"><v name=\"v\" value=\"2\"/></k>\r\n"
                       "<k name=\"C\"><v name=\"v\" value=\"3\"/></k>\r\n"
                       "</k></k>\r\n" +
                       kTail;
    drive.Put("b.xml", file);
    r.InjectFault(RegOp::CreateKey, 3, kErrorAccessDenied);  // Software and A are created, B is refused
    EXPECT_FALSE(RestoreSnapshotFile(reader, "C:\\b.xml", target, &report));
    EXPECT_EQ("HKEY_CURRENT_USER\\Software\\B", report.failedKeyPath);
    EXPECT_EQ(kErrorAccessDenied, report.failedStatus);
    EXPECT_EQ(5, report.failedLine);
    EXPECT_TRUE(KeyExists(r, kCurrentUser, "Software\\A"));
    EXPECT_FALSE(KeyExists(r, kCurrentUser, "Software\\B"));
    EXPECT_FALSE(KeyExists(r, kCurrentUser, "Software\\C"));
    EXPECT_EQ(2, arrows);

    // A value that cannot be written is skipped; the rest goes on.
    WipeKey(r, kCurrentUser, "Software\\A");
    r.InjectFault(RegOp::SetValueEx, 2, kErrorAccessDenied);
    EXPECT_TRUE(RestoreSnapshotFile(reader, "C:\\b.xml", target, &report));
    EXPECT_EQ(1u, report.valuesFailed);
    EXPECT_EQ(2u, report.values);
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_TRUE(GetValue(r, kCurrentUser, "Software\\A", "v", &type, &data));
    EXPECT_FALSE(GetValue(r, kCurrentUser, "Software\\B", "v", &type, &data));
    EXPECT_TRUE(GetValue(r, kCurrentUser, "Software\\C", "v", &type, &data));
    EXPECT_EQ(3, arrows);
    EXPECT_EQ(0u, r.OpenHandleCount());
}

// Where the registry takes calls from several threads, values are written on a second
// thread while the restore goes on opening keys: the registry and the report come out as
// from a restore on one thread, refusals and keys that share their parent's handle included.
TEST(SnapshotRestoreFaults, ARestoreOnTwoThreadsEndsAsOneOnOneThread)
{
    ScratchDrive drive;
    std::string file = kHead + "<k name=\"HKEY_CURRENT_USER\"><k name=\"Software\"><k name=\"Many\">\r\n";
    for (int i = 0; i < 600; ++i) {
        std::string n = std::to_string(i);
        file += "<k name=\"K" + n + "\"><v name=\"(Default)\" value=\"text " + n + "\"/>";
        file += "<v name=\"v\" value=\"" + n + "\" type=\"REG_DWORD\"/>";
        if (i % 10 == 0)
            file += "<k name=\"\"><v name=\"shared\" value=\"on the parent\"/></k><v name=\"after\" value=\"x\"/>";
        file += "</k>\r\n";
    }
    file += "</k></k></k>\r\n" + kTail;
    drive.Put("many.xml", file);

    std::string contents[2];
    RestoreReport reports[2];
    for (bool concurrent : {false, true}) {
        MemoryRegistry r;
        r.AllowConcurrentCalls(concurrent);
        for (int i = 3; i < 600; i += 50) {
            CreateKey(r, kCurrentUser, "Software\\Many\\K" + std::to_string(i));
            r.RefuseWriteAccess(kCurrentUser, "Software\\Many\\K" + std::to_string(i));
        }
        XmlReader reader(drive.system());
        int arrows = 0;
        RestoreTarget target{r, drive.system(), [&] { ++arrows; }};
        EXPECT_TRUE(RestoreSnapshotFile(reader, "C:\\many.xml", target, &reports[concurrent]));
        EXPECT_GT(arrows, 0);
        EXPECT_EQ(0u, r.OpenHandleCount());
        contents[concurrent] = Contents(r, "Software\\Many");
    }
    EXPECT_EQ(contents[0], contents[1]);
    EXPECT_NE(std::string::npos, contents[1].find("[Software\\Many\\K590] \"shared\""));
    EXPECT_EQ(reports[0].keys, reports[1].keys);
    EXPECT_EQ(reports[0].values, reports[1].values);
    // Two values in each of twelve refused keys.
    EXPECT_EQ(24u, reports[1].valuesFailed);
    EXPECT_EQ(600u * 2 + 60 * 2 - 24, reports[1].values);
}

TEST(SnapshotRestoreFaults, OpenOrCreateKeyPathNamesTheStacksPath)
{
    MemoryRegistry r;
    KeyStack stack;
    EXPECT_EQ(nullptr, OpenOrCreateKeyPath(r, stack));
    stack.push_back({"hkey_local_machine", KeyHandle(r), false});
    EXPECT_EQ(kLocalMachine, OpenOrCreateKeyPath(r, stack));  // a stack of one: the root itself
    stack.push_back({"SOFTWARE", KeyHandle(r), false});
    stack.push_back({"Made\\Here", KeyHandle(r), false});
    long status = -1;
    KeyHandle made(r, OpenOrCreateKeyPath(r, stack, &status));
    EXPECT_TRUE(made);
    EXPECT_EQ(kSuccess, status);
    EXPECT_TRUE(KeyExists(r, kLocalMachine, "SOFTWARE\\Made\\Here"));
    EXPECT_EQ("hkey_local_machine\\SOFTWARE\\Made\\Here", KeyStackPath(stack));
}

INSTANTIATE_TEST_SUITE_P(Registries, SnapshotRestore, ::testing::ValuesIn(RegistriesUnderTest()),
                         [](const ::testing::TestParamInfo<RegistryUnderTest>& info) { return info.param.name; });

}  // namespace
}  // namespace tw::test
