#include "platform/memory/memory_system.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

TEST(MemorySystem, PathsFollowWindowsRules)
{
    ScratchMachine m;
    m.dir.WriteFile("C:\\Program Files\\App\\Tool.EXE", "x");
    for (const char* path : {"C:\\Program Files\\App\\Tool.EXE", "c:\\program files\\app\\tool.exe",
                             "C:/Program Files/App/Tool.exe", "C:\\Program Files\\App\\Tool.exe ",
                             "C:\\Program Files\\App\\Tool.exe.", "C:\\Program Files\\App\\..\\App\\Tool.exe"})
        EXPECT_TRUE(PathExists(m.system, path)) << path;
    EXPECT_FALSE(PathExists(m.system, "C:\\Program Files\\App\\Other.exe"));
    EXPECT_FALSE(PathExists(m.system, "D:\\Tool.exe"));
    m.system.SetCurrentDir("C:\\Program Files\\App");
    EXPECT_TRUE(PathExists(m.system, "tool.exe"));
    EXPECT_TRUE(PathExists(m.system, "\\Program Files"));
}

TEST(MemorySystem, EnvironmentExpandsTheWindowsWay)
{
    MemorySystem system;
    system.SetEnvironment("Name", "value");
    EXPECT_EQ("C:\\WINDOWS\\x", system.ExpandEnvironment("%SystemRoot%\\x"));
    EXPECT_EQ("value value", system.ExpandEnvironment("%NAME% %name%"));
    EXPECT_EQ("%UNKNOWN%\\value", system.ExpandEnvironment("%UNKNOWN%\\%Name%"));
    EXPECT_EQ("50% off", system.ExpandEnvironment("50% off"));
    EXPECT_EQ("%%", system.ExpandEnvironment("%%"));
}

TEST(MemorySystem, FindFilesListsDotEntriesOutsideRootsAndMatchesWildcards)
{
    ScratchMachine m;
    m.dir.WriteFile("C:\\d\\a.lnk", "");
    m.dir.WriteFile("C:\\d\\B.LNK", "");
    m.dir.WriteFile("C:\\d\\c.txt", "");
    std::vector<std::string> names;
    for (const DirEntry& e : m.system.FindFiles("C:\\d\\*.lnk"))
        names.push_back(e.name);
    EXPECT_EQ((std::vector<std::string>{"B.LNK", "a.lnk"}), names);
    names.clear();
    for (const DirEntry& e : m.system.FindFiles("C:\\d\\*.*"))
        names.push_back(e.name);
    EXPECT_EQ((std::vector<std::string>{".", "..", "B.LNK", "a.lnk", "c.txt"}), names);
}

TEST(MemorySystem, NamedEventsAreSharedByNameAndReportThatTheyExisted)
{
    MemorySystem system;
    bool existed = true;
    auto first = system.MakeEvent("Tarnwick", true, true, &existed);
    EXPECT_FALSE(existed);
    auto second = system.MakeEvent("TARNWICK", true, false, &existed);
    EXPECT_TRUE(existed);
    EXPECT_TRUE(second->IsSignalled());
    second->Reset();
    EXPECT_FALSE(first->IsSignalled());
}

// A writer shares its file for reading only, as CreateFileA with FILE_SHARE_READ does: a
// second writer of the same file is refused until the first has closed it; readers are not.
TEST(MemorySystem, ASecondWriterOfAFileIsRefusedWhileTheFirstHasItOpen)
{
    ScratchMachine m;
    const std::string path = "C:\\held.txt";
    auto writer = m.system.OpenFile(path, FileMode::Append);
    ASSERT_NE(nullptr, writer);
    EXPECT_EQ(nullptr, m.system.OpenFile(path, FileMode::Append));
    EXPECT_EQ(nullptr, m.system.OpenFile(path, FileMode::Write));
    EXPECT_NE(nullptr, m.system.OpenFile(path, FileMode::Read));
    EXPECT_NE(nullptr, m.system.OpenFile("C:\\other.txt", FileMode::Write));
    ASSERT_TRUE(writer->Write("a", 1));
    writer->Close();
    auto next = m.system.OpenFile(path, FileMode::Append);
    ASSERT_NE(nullptr, next);
    EXPECT_TRUE(next->Write("b", 1));
    next.reset();
    EXPECT_EQ("ab", m.dir.ReadFile(path));
}

}  // namespace
}  // namespace tw::test
