// The version record over real files (the fixture library, through the memory platform's PE
// reader) and over hand-built blocks for the cases no compiler writes.
#include "managers/file_version_record.h"
#include "managers/version_block.h"
#include "platform/codepage.h"
#include "platform/memory/memory_system.h"
#include "platform/memory/pe_version.h"
#include "unit/managers/version_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tw::test {
namespace {

namespace fs = std::filesystem;

class VersionRecordTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() /
                ("tarnwick_version_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "WINDOWS" / "system32");
        fs::create_directories(root_ / "Tools");
        system_.MapDrive('C', root_.string());
        fixture_ = FixtureFolder() + "/version_fixture.dll";
        ASSERT_TRUE(fs::exists(fixture_)) << fixture_;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    void Place(const std::string& relative, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream out(root_ / relative, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void PlaceFixture(const std::string& relative) { Place(relative, ReadHostFile(fixture_)); }

    fs::path root_;
    std::string fixture_;
    MemorySystem system_;
};

TEST_F(VersionRecordTest, ReadsEveryFieldOfARealLibrary)
{
    PlaceFixture("Tools/fixture.dll");
    FileVersionRecord record(system_);
    record.setPath("C:\\Tools\\fixture.dll");
    ASSERT_TRUE(record.isAvailable());
    EXPECT_EQ("C:\\Tools\\fixture.dll", record.filePath());
    EXPECT_EQ("Tarnwick Fixture Works", record.companyName());
    EXPECT_EQ("Version fixture library", record.fileDescription());
    EXPECT_EQ("5.1.2600.1 (fixture)", record.fileVersion());
    EXPECT_EQ("version_fixture", record.internalName());
    EXPECT_EQ("version_fixture.dll", record.originalFileName());
    EXPECT_EQ("Tarnwick Caf\xC3\xA9 Fixture", record.productName());  // UTF-16 in the file, UTF-8 here
    EXPECT_EQ("2.6", record.productVersion());
    EXPECT_EQ("5.1.2600.1", record.formattedFileVersion());
    EXPECT_EQ("Win32 API on Windows NT", record.operatingSystem());
    EXPECT_EQ("Dynamic link library", record.fileType());
    EXPECT_EQ(0x0409, record.language());
    EXPECT_EQ(1252, record.codePage());
    EXPECT_EQ(0xFEEF04BDu, record.fixedInfo().signature);
}

TEST_F(VersionRecordTest, BareNamesResolveAlongTheLoadersFolders)
{
    PlaceFixture("WINDOWS/system32/insys.dll");
    PlaceFixture("WINDOWS/inwin.dll");
    PlaceFixture("Tools/onpath.dll");
    system_.SetEnvironment("PATH", "C:\\Missing; \"C:\\Tools\" ;");
    struct Case {
        const char* name;
        const char* resolved;  // empty: not found
    } cases[] = {
        {"insys.dll", "C:\\WINDOWS\\system32\\insys.dll"},
        {"INSYS", "C:\\WINDOWS\\system32\\INSYS.dll"},  // no extension: ".dll", as the loader adds
        {"inwin.dll", "C:\\WINDOWS\\inwin.dll"},
        {"onpath.dll", "C:\\Tools\\onpath.dll"},
        {"nowhere.dll", ""},
    };
    for (const Case& c : cases) {
        FileVersionRecord record(system_);
        record.setPath(c.name);
        EXPECT_EQ(*c.resolved != 0, record.isAvailable()) << c.name;
        EXPECT_EQ(c.resolved, record.resolvedPath()) << c.name;
        EXPECT_EQ(c.name, record.filePath()) << "the path handed in stays as it was";
        if (*c.resolved) {
            EXPECT_EQ("Tarnwick Fixture Works", record.companyName()) << c.name;
        }
    }
}

TEST_F(VersionRecordTest, FilesWithoutVersionInformationYieldNothing)
{
    Place("Tools/notes.txt", {'h', 'e', 'l', 'l', 'o'});
    std::vector<std::uint8_t> truncated = ReadHostFile(fixture_);
    truncated.resize(1024);  // the headers, without the sections
    Place("Tools/half.dll", truncated);
    for (const char* path : {"C:\\Tools\\notes.txt", "C:\\Tools\\half.dll", "C:\\Tools\\missing.exe", "", "C:\\Tools"}) {
        FileVersionRecord record(system_);
        record.setPath(path);
        EXPECT_FALSE(record.isAvailable()) << path;
        EXPECT_EQ("", record.companyName()) << path;
    }
}

TEST_F(VersionRecordTest, AnotherFilesDetailsNeverShowUnderThisOnesName)
{
    FileVersionRecord record(system_);
    PlaceFixture("Tools/first.dll");
    record.setPath("C:\\Tools\\first.dll");
    ASSERT_TRUE(record.isAvailable());

    // A file with no company and no translation table.
    BlockSpec shape;
    shape.translation = false;
    shape.language = 0;
    shape.codePage = 0;
    shape.strings = {{"ProductName", "Bare"}};
    ASSERT_TRUE(record.LoadFromBlock(BuildVersionBlock(shape)));
    EXPECT_EQ("", record.companyName());
    EXPECT_EQ("Bare", record.productName());
    EXPECT_EQ(0, record.language());
    EXPECT_EQ(0, record.codePage());

    // And a file that cannot be read leaves nothing behind either.
    record.setPath("C:\\Tools\\missing.dll");
    EXPECT_FALSE(record.isAvailable());
    EXPECT_EQ("", record.productName());
    EXPECT_EQ("", record.formattedFileVersion());
}

TEST_F(VersionRecordTest, TheSamePathIsNotReadAgain)
{
    PlaceFixture("Tools/a.dll");
    PlaceFixture("Tools/b.dll");
    FileVersionRecord record(system_);
    record.setPath("C:\\Tools\\a.dll");
    ASSERT_TRUE(record.isAvailable());
    Place("Tools/a.dll", {'x'});  // the file changes, the selection does not
    record.setPath("C:\\Tools\\a.dll");
    EXPECT_TRUE(record.isAvailable());
    EXPECT_EQ("Tarnwick Fixture Works", record.companyName());

    record.setPath("C:\\Tools\\b.dll");
    EXPECT_TRUE(record.isAvailable());
    record.setPath("C:\\Tools\\a.dll");  // a different path than the last one: read again
    EXPECT_FALSE(record.isAvailable());

    // A failed read stands too, until the path changes.
    PlaceFixture("Tools/a.dll");
    EXPECT_FALSE(record.isAvailable());
    record.setPath("c:\\tools\\a.dll");  // byte-wise another path
    EXPECT_TRUE(record.isAvailable());
}

TEST(FileVersionNames, TypesSystemsAndVersionsFollowTheTables)
{
    struct TypeCase {
        std::uint32_t type, subtype;
        const char* name;
    } types[] = {
        {0, 9, "Unknown type"},   {1, 0, "Application"},        {2, 5, "Dynamic link library"},
        {3, 0, "Unknown driver"}, {3, 4, "Display driver"},     {3, 9, "Sound driver"},
        {3, 10, ""},              {4, 3, "Truetype font"},      {4, 4, ""},
        {5, 1, "Virtual device"}, {6, 0, ""},                   {7, 2, "Static link library"},
    };
    for (const TypeCase& c : types)
        EXPECT_EQ(c.name, FileTypeName(c.type, c.subtype)) << c.type << "/" << c.subtype;
    EXPECT_EQ("Unknown OS", OperatingSystemName(0));
    EXPECT_EQ("16-bit windows running on MS-DOS", OperatingSystemName(0x10001));
    EXPECT_EQ("Windows NT", OperatingSystemName(0x40000));
    EXPECT_EQ("", OperatingSystemName(0x40005));
    EXPECT_EQ("5.1.2600.1", FormatFileVersion(0x00050001, 0x0A280001));
    EXPECT_EQ("65535.0.0.65535", FormatFileVersion(0xFFFF0000, 0x0000FFFF));
}

TEST(FileVersionRecordBlocks, ADriverWithAnUnknownSubtypeHasNoTypeName)
{
    MemorySystem system;
    FileVersionRecord record(system);
    BlockSpec shape;
    shape.fileType = 3;
    shape.fileSubtype = 10;
    shape.targetSystem = 0x12345;
    shape.strings = {{"CompanyName", "Drivers Inc"}};
    ASSERT_TRUE(record.LoadFromBlock(BuildVersionBlock(shape)));
    EXPECT_EQ("", record.fileType());
    EXPECT_EQ("", record.operatingSystem());
    EXPECT_EQ("1.2.3.4", record.formattedFileVersion());
    EXPECT_EQ("Drivers Inc", record.companyName());
}

TEST(FileVersionRecordBlocks, StringsComeFromTheFirstTranslationsTable)
{
    MemorySystem system;
    FileVersionRecord record(system);
    BlockSpec shape;
    shape.language = 0x0407;
    shape.codePage = 0x04B0;
    shape.strings = {{"companyname", "Lower Case GmbH"}, {"FileDescription", ""}};
    std::vector<std::uint8_t> block = BuildVersionBlock(shape);
    ASSERT_TRUE(record.LoadFromBlock(block));
    EXPECT_EQ(0x0407, record.language());
    EXPECT_EQ(0x04B0, record.codePage());
    EXPECT_EQ("Lower Case GmbH", record.companyName()) << "names match without regard to case";

    ProcessCodec codec;
    VersionBlock reader(block, codec);
    std::string text;
    EXPECT_TRUE(reader.QueryText("\\StringFileInfo\\040704b0\\CompanyName", &text));
    EXPECT_FALSE(reader.QueryText("\\StringFileInfo\\040904b0\\CompanyName", &text));
    EXPECT_FALSE(reader.QueryText("\\StringFileInfo\\040704b0\\CompanyName\\Deeper", &text));
}

TEST(VersionBlockReader, ReadsThe16BitLayout)
{
    // wLength, wValueLength, ANSI key, value: the layout of 16-bit files.
    auto node = [](const std::string& key, const std::string& value, std::vector<std::vector<std::uint8_t>> kids) {
        std::vector<std::uint8_t> out(4, 0);
        out.insert(out.end(), key.begin(), key.end());
        out.push_back(0);
        while (out.size() % 4)
            out.push_back(0);
        out.insert(out.end(), value.begin(), value.end());
        if (!value.empty())
            out.push_back(0);
        for (const auto& k : kids) {
            while (out.size() % 4)
                out.push_back(0);
            out.insert(out.end(), k.begin(), k.end());
        }
        out[0] = static_cast<std::uint8_t>(out.size());
        out[1] = static_cast<std::uint8_t>(out.size() >> 8);
        out[2] = static_cast<std::uint8_t>(value.empty() ? 0 : value.size() + 1);
        return out;
    };
    std::vector<std::uint8_t> block =
        node("VS_VERSION_INFO", "", {node("StringFileInfo", "", {node("040904E4", "", {node("CompanyName", "Old Co", {})})})});
    ProcessCodec codec;
    VersionBlock reader(block, codec);
    std::string text;
    ASSERT_TRUE(reader.QueryText("\\StringFileInfo\\040904e4\\CompanyName", &text));
    EXPECT_EQ("Old Co", text);
}

TEST(VersionBlockReader, MalformedBlocksFailTheQueryOnly)
{
    BlockSpec shape;
    shape.strings = {{"CompanyName", "Whole"}};
    std::vector<std::uint8_t> block = BuildVersionBlock(shape);
    ProcessCodec codec;
    // Every truncation, and a root that claims more than is there.
    for (std::size_t size = 0; size < block.size(); ++size) {
        std::vector<std::uint8_t> part(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(size));
        VersionBlock reader(part, codec);
        std::string text;
        EXPECT_FALSE(reader.QueryText("\\StringFileInfo\\040904e4\\CompanyName", &text)) << size;
    }
    std::vector<std::uint8_t> lying = block;
    lying[0] = 0xFF;
    lying[1] = 0xFF;
    VersionBlock reader(lying, codec);
    std::vector<std::uint8_t> fixed;
    EXPECT_FALSE(reader.QueryBinary("\\", &fixed));

    // A child of length zero must not stall the walk.
    std::vector<std::uint8_t> zero = block;
    std::size_t firstChild = 6 + 32 + 2 + 52;  // header, key, padding, fixed information
    zero[firstChild] = 0;
    zero[firstChild + 1] = 0;
    VersionBlock stalled(zero, codec);
    EXPECT_FALSE(stalled.QueryBinary("\\VarFileInfo\\Translation", &fixed));
}

TEST(PeVersionReader, FindsTheResourceOfARealLibraryAndSurvivesDamage)
{
    std::vector<std::uint8_t> file = ReadHostFile(FixtureFolder() + "/version_fixture.dll");
    ASSERT_GT(file.size(), 1000u);
    MemoryByteSource whole(file.data(), file.size());
    std::vector<std::uint8_t> block;
    ASSERT_TRUE(ReadPeVersionResource(whole, &block));
    ASSERT_GE(block.size(), 92u);
    EXPECT_EQ(block.size(), static_cast<std::size_t>(block[0] | (block[1] << 8)))
        << "the resource is exactly one VS_VERSIONINFO block";
    EXPECT_EQ('V', block[6]);

    for (std::size_t size = 0; size < file.size(); size += 61) {
        MemoryByteSource part(file.data(), size);
        std::vector<std::uint8_t> partial;
        // Either the whole resource is still there, or nothing is found.
        if (ReadPeVersionResource(part, &partial))
            EXPECT_EQ(block, partial) << size;
        else
            EXPECT_TRUE(partial.empty()) << size;
    }
    std::vector<std::uint8_t> farAway = file;
    farAway[0x3C] = 0xF0;
    farAway[0x3F] = 0x7F;  // e_lfanew beyond the file
    MemoryByteSource broken(farAway.data(), farAway.size());
    EXPECT_FALSE(ReadPeVersionResource(broken, &block));
}

}  // namespace
}  // namespace tw::test
