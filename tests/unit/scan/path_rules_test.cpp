#include "scan/path_rules.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

struct Case {
    std::string in;
    std::string out;
};

TEST(PathRules, CutAtSwitchCutsOnlyPastTheFirstCharacter)
{
    for (const Case& c : std::vector<Case>{
             {"/quiet", "/quiet"},
             {"C:\\A\\b.exe /s", "C:\\A\\b.exe "},
             {"C:\\A\\b.exe -k x", "C:\\A\\b.exe"},
             {" -k", " -k"},
             {"C:\\A\\b.exe /s -k", "C:\\A\\b.exe "},
         })
        EXPECT_EQ(c.out, CutAtSwitch(c.in)) << c.in;
}

TEST(PathRules, QuotesAreStrippedEverywhereOrTrimmedAtTheEnds)
{
    EXPECT_EQ("C:\\P\\a.exe x", StripQuotes("\"C:\\P\\a.exe\" \"x\""));
    EXPECT_EQ("C:\\P\\a.exe\" -x", TrimQuotes("\"C:\\P\\a.exe\" -x"));
    EXPECT_EQ("a\"b", TrimQuotes("\"\"a\"b\"\""));
    EXPECT_EQ("", TrimQuotes("\"\""));
}

TEST(PathRules, CutAfterExeKeepsTheFirstLowerThenTheFirstUpperExtension)
{
    for (const Case& c : std::vector<Case>{
             {"C:\\P\\A.EXE x.exe", "C:\\P\\A.EXE"},
             {"C:\\P\\a.exe /x", "C:\\P\\a.exe"},
             {"C:\\P\\a.Exe /x", "C:\\P\\a.Exe /x"},
             {"C:\\P\\a.com", "C:\\P\\a.com"},
         })
        EXPECT_EQ(c.out, CutAfterExe(c.in)) << c.in;
}

TEST(PathRules, LastComponentIsWhatFollowsTheLastBackslash)
{
    EXPECT_EQ("b.sys", LastComponent("C:\\a\\b.sys"));
    EXPECT_EQ("plain", LastComponent("plain"));
    EXPECT_EQ("", LastComponent("C:\\a\\"));
}

TEST(PathRules, ExpandFirstVariableReplacesEveryOccurrenceOfTheFirstReferenceOnly)
{
    MemorySystem system;
    system.SetEnvironment("SystemRoot", "C:\\WINDOWS");
    system.SetEnvironment("Other", "X");
    EXPECT_EQ("C:\\WINDOWS\\a;C:\\WINDOWS\\b", ExpandFirstVariable(system, "%SystemRoot%\\a;%SystemRoot%\\b"));
    EXPECT_EQ("C:\\WINDOWS\\a;%Other%\\b", ExpandFirstVariable(system, "%SystemRoot%\\a;%Other%\\b"));
    EXPECT_EQ("50% off", ExpandFirstVariable(system, "50% off"));
    EXPECT_EQ("%Nowhere%\\x", ExpandFirstVariable(system, "%Nowhere%\\x"));
}

TEST(PathRules, ExpandFirstVariableTakesALongExpansionWhole)
{
    MemorySystem system;
    std::string longFolder = "C:\\" + std::string(400, 'd');
    system.SetEnvironment("Deep", longFolder);
    EXPECT_EQ(longFolder + "\\f.dll", ExpandFirstVariable(system, "%Deep%\\f.dll"));
}

TEST(PathRules, PrefixesUseTheSystemsOwnFolders)
{
    MemorySystem system;
    system.SetSystemDir("D:\\WinNT\\System32");
    system.SetWindowsDir("D:\\WinNT");
    EXPECT_EQ("D:\\WinNT\\System32\\x.dll", PrefixSystemDirectory(system, "x.dll"));
    EXPECT_EQ("D:\\WinNT\\fonts\\a.ttf", PrefixWindowsDirectory(system, "a.ttf", "\\fonts\\"));
}

TEST(PathRules, FoundOnSearchPathLooksInTheSystemAndWindowsFoldersAndPath)
{
    ScratchMachine m;
    m.system.SetEnvironment("PATH", "C:\\Tools;\"C:\\Quoted Tools\"");
    m.dir.WriteFile("C:\\WINDOWS\\system32\\sys.dll", "x");
    m.dir.WriteFile("C:\\WINDOWS\\win.exe", "x");
    m.dir.WriteFile("C:\\Tools\\tool.exe", "x");
    m.dir.WriteFile("C:\\Quoted Tools\\q.exe", "x");
    for (const char* name : {"sys.dll", "win.exe", "tool.exe", "q.exe"})
        EXPECT_TRUE(FoundOnSearchPath(m.system, name)) << name;
    EXPECT_FALSE(FoundOnSearchPath(m.system, "nowhere.exe"));
    EXPECT_FALSE(FoundOnSearchPath(m.system, ""));
}

}  // namespace
}  // namespace tw::test
