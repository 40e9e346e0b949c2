#include "scan_test_support.h"

namespace tw::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kShared = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::string kWindows = "SOFTWARE\\Microsoft\\Windows";
const std::string kFonts = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::string kDrivers = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";

TEST(SharedProgramFiles, NamesAreResolvedAndMissingOnesReported)
{
    ScanMachine s;
    s.File("C:\\WINDOWS\\system32\\here.dll");
    s.File("C:\\Tools\\onpath.dll");
    s.File("C:\\Apps\\app.dll");
    s.system.SetEnvironment("PATH", "C:\\Tools");
    for (const char* name : {"here.dll", "onpath.dll", "gone.dll", "\"C:\\Apps\\gone2.dll\" /x", "%SystemRoot%\\lost.dll",
                             "C:\\Apps\\app.dll"})
        SetValue(s.registry, kLocalMachine, kShared, name, kRegDword, B({1, 0, 0, 0}));
    auto completed = s.Run(ScanSection::SharedProgramFiles);
    // The quoted name keeps the blank before its switch; a bare name found on PATH is sound.
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\" + kShared + " | \"C:\\Apps\\gone2.dll\" /x | 0x00000001 (1) | C:\\Apps\\gone2.dll ",
                  "HKEY_LOCAL_MACHINE\\" + kShared + " | %SystemRoot%\\lost.dll | 0x00000001 (1) | C:\\WINDOWS\\lost.dll",
                  "HKEY_LOCAL_MACHINE\\" + kShared + " | gone.dll | 0x00000001 (1) | C:\\WINDOWS\\system32\\gone.dll",
              }),
              s.Found());
    EXPECT_EQ("VAL", s.engine.problems()[0]->deleteType);
    EXPECT_EQ("Shared Program Files", s.engine.problems()[0]->section);
    EXPECT_EQ("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs [onpath.dll]", s.progress.Status());
    EXPECT_EQ(1u, completed.size());
    auto order = SetterOrderIn(s.LogMessages());
    EXPECT_EQ((Strings{"value", "description", "key", "section", "delete"}), Strings(order.begin(), order.begin() + 5));
}

TEST(ApplicationPaths, BareNamesAreAlwaysReportedAndFoldersOrListsNever)
{
    ScanMachine s;
    s.File("C:\\Apps\\there.exe");
    s.File("C:\\WINDOWS\\system32\\bare.exe");
    s.Text(kLocalMachine, kAppPaths + "\\Bare.exe", nullptr, "bare.exe");
    s.Text(kLocalMachine, kAppPaths + "\\Folder.exe", nullptr, "C:\\Gone\\");
    s.Text(kLocalMachine, kAppPaths + "\\List.exe", nullptr, "C:\\Gone\\a.exe;C:\\Gone\\b.exe");
    s.Text(kLocalMachine, kAppPaths + "\\There.exe", nullptr, "\"C:\\Apps\\there.exe\"");
    s.Text(kLocalMachine, kAppPaths + "\\Gone.EXE", nullptr, "\"C:\\Apps\\gone.exe\"");
    s.Text(kLocalMachine, kAppPaths + "\\Gone.EXE", "Path", "C:\\Apps");
    s.Text(kLocalMachine, kAppPaths + "\\Var.exe", nullptr, "%ProgramFiles%\\Var\\var.exe");
    s.Run(ScanSection::ApplicationPaths);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\" + kAppPaths + "\\bare.exe | (Default) | bare.exe | bare.exe",
                  "HKEY_LOCAL_MACHINE\\" + kAppPaths + "\\gone.exe | (Default) | \"C:\\Apps\\gone.exe\" | C:\\Apps\\gone.exe",
                  "HKEY_LOCAL_MACHINE\\" + kAppPaths + "\\var.exe | (Default) | %ProgramFiles%\\Var\\var.exe | "
                                                       "C:\\Program Files\\Var\\var.exe",
              }),
              s.Found());
    EXPECT_EQ("KEY", s.engine.problems()[0]->deleteType);
    auto order = SetterOrderIn(s.LogMessages());
    EXPECT_EQ((Strings{"description", "value", "key", "section", "delete"}), Strings(order.begin(), order.begin() + 5));
    EXPECT_EQ("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Var.exe[(Default)]", s.progress.Status());
}

TEST(HelpFiles, DirectoryAndNameAreJoinedWithOneBackslash)
{
    ScanMachine s;
    s.File("C:\\Help\\a.hlp");
    s.File("C:\\Help\\b.hlp");
    s.File("C:\\WINDOWS\\system32\\c.hlp");
    s.Text(kLocalMachine, kWindows + "\\Help", "a.hlp", "C:\\Help\\");
    s.Text(kLocalMachine, kWindows + "\\Help", "b.hlp", "C:\\Help");
    s.Text(kLocalMachine, kWindows + "\\Help", "x.hlp", "C:\\Help");
    s.Text(kLocalMachine, kWindows + "\\HTML Help", "c.hlp", "");
    s.Text(kLocalMachine, kWindows + "\\HTML Help", "y.chm", "%SystemRoot%\\Help\\");
    s.Text(kLocalMachine, kWindows + "\\Other", "z.hlp", "C:\\Help");  // not a help key
    s.Run(ScanSection::HelpFiles);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\" + kWindows + "\\help | x.hlp | C:\\Help | C:\\Help\\x.hlp",
                  "HKEY_LOCAL_MACHINE\\" + kWindows + "\\html help | y.chm | %SystemRoot%\\Help\\ | "
                                                      "C:\\WINDOWS\\Help\\y.chm",
              }),
              s.Found());
    EXPECT_EQ("Windows Help Files", s.engine.problems()[0]->section);
    EXPECT_EQ("VAL", s.engine.problems()[0]->deleteType);
    EXPECT_EQ("SOFTWARE\\Microsoft\\Windows\\HTML Help [y.chm]", s.progress.Status());
}

TEST(Fonts, BareNamesAreLookedForInTheFontsFolderAndThe9xKeyIsUsedThere)
{
    ScanMachine s;
    s.File("C:\\WINDOWS\\fonts\\here.ttf");
    s.File("C:\\Other\\full.ttf");
    s.Text(kLocalMachine, kFonts, "Here (TrueType)", "here.ttf");
    s.Text(kLocalMachine, kFonts, "Full (TrueType)", "C:\\Other\\full.ttf");
    s.Text(kLocalMachine, kFonts, "Gone (TrueType)", "gone.ttf");
    s.Text(kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts", "Nine", "nine.fon");
    s.Run(ScanSection::Fonts);
    EXPECT_EQ(Strings{"HKEY_LOCAL_MACHINE\\" + kFonts + " | Gone (TrueType) | gone.ttf | C:\\WINDOWS\\fonts\\gone.ttf"},
              s.Found());
    EXPECT_EQ("Windows Fonts", s.engine.problems()[0]->section);
    EXPECT_EQ("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts[Here (TrueType)]", s.progress.Status());

    ScanMachine nine;
    nine.system.SetVersion(0xC0000A04);  // Windows 98
    ScanEngine engine(nine.registry, nine.system, nine.log);
    nine.Text(kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts", "Nine", "nine.fon");
    CompletedSectionList completed;
    engine.RunSection(ScanSection::Fonts, completed);
    ASSERT_EQ(1u, engine.problems().size());
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts", engine.problems()[0]->keyPath);
}

TEST(VxdDrivers, BareNamesAreTestedInTheSystemDirectoryWhereverItIs)
{
    ScanMachine s;
    s.system.SetSystemDir("C:\\WinNT\\System32");
    s.File("C:\\WinNT\\System32\\here.drv");
    s.File("C:\\windows\\system32\\elsewhere.drv");
    s.Text(kLocalMachine, kDrivers, "wave", "here.drv");
    s.Text(kLocalMachine, kDrivers, "midi", "elsewhere.drv");
    s.Text(kLocalMachine, kDrivers, "aux", "C:\\Gone\\full.drv");  // full paths are not tested
    s.Text(kLocalMachine, kDrivers, "mixer", "");                  // the directory itself
    s.Run(ScanSection::VxdDrivers);
    EXPECT_EQ(Strings{"HKEY_LOCAL_MACHINE\\" + kDrivers + " | midi | elsewhere.drv | C:\\WinNT\\System32\\elsewhere.drv"},
              s.Found());
    EXPECT_EQ("Vxd Drivers Section", s.engine.problems()[0]->section);
    EXPECT_EQ("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32 [wave]", s.progress.Status());
}

// Each rule says in plain words why it reported an entry, with the path it looked for.
TEST(FileReferenceReasons, EachRuleSaysWhatIsMissing)
{
    ScanMachine s;
    s.system.SetEnvironment("PATH", "C:\\Tools");
    SetValue(s.registry, kLocalMachine, kShared, "gone.dll", kRegDword, B({1, 0, 0, 0}));
    SetValue(s.registry, kLocalMachine, kShared, "C:\\Apps\\full.dll", kRegDword, B({1, 0, 0, 0}));
    s.Run(ScanSection::SharedProgramFiles);
    EXPECT_EQ((Strings{"The shared file C:\\Apps\\full.dll does not exist.",
                       "The shared file C:\\WINDOWS\\system32\\gone.dll does not exist, nor is gone.dll on the "
                       "search path."}),
              s.Reasons());

    ScanMachine apps;
    apps.Text(kLocalMachine, kAppPaths + "\\Bare.exe", nullptr, "bare.exe");
    apps.Text(kLocalMachine, kAppPaths + "\\Gone.exe", nullptr, "\"C:\\Apps\\gone.exe\"");
    apps.Run(ScanSection::ApplicationPaths);
    EXPECT_EQ((Strings{"The program bare.exe is named without its drive and folder.",
                       "The program C:\\Apps\\gone.exe does not exist."}),
              apps.Reasons());

    ScanMachine help;
    help.Text(kLocalMachine, kWindows + "\\Help", "x.hlp", "C:\\Help");
    help.Run(ScanSection::HelpFiles);
    EXPECT_EQ(Strings{"The help file C:\\Help\\x.hlp does not exist."}, help.Reasons());

    ScanMachine fonts;
    fonts.Text(kLocalMachine, kFonts, "Gone (TrueType)", "gone.ttf");
    fonts.Run(ScanSection::Fonts);
    EXPECT_EQ(Strings{"The font file C:\\WINDOWS\\fonts\\gone.ttf does not exist."}, fonts.Reasons());

    ScanMachine drivers;
    drivers.Text(kLocalMachine, kDrivers, "midi", "gone.drv");
    drivers.Run(ScanSection::VxdDrivers);
    EXPECT_EQ(Strings{"The driver C:\\WINDOWS\\system32\\gone.drv does not exist in the system folder."},
              drivers.Reasons());
    // The activity log has the reason after the problem's other lines.
    EXPECT_EQ("Error Reason: The driver C:\\WINDOWS\\system32\\gone.drv does not exist in the system folder.",
              drivers.LogMessages().back());
}

TEST(FileReferenceScanners, AMissingKeyStillCountsAsRun)
{
    for (ScanSection section : {ScanSection::SharedProgramFiles, ScanSection::ApplicationPaths, ScanSection::HelpFiles,
                                ScanSection::Fonts, ScanSection::VxdDrivers}) {
        ScanMachine s;
        EXPECT_EQ(1u, s.Run(section).size()) << SectionInfoOf(section).name;
        EXPECT_TRUE(s.engine.problems().empty());
    }
}

TEST(FileReferences, KeysThatRefuseWriteAccessAreExamined)
{
    ScanMachine s;
    SetValue(s.registry, kLocalMachine, kShared, "C:\\Gone\\s.dll", kRegDword, B({1, 0, 0, 0}));
    s.Text(kLocalMachine, kAppPaths + "\\gone.exe", nullptr, "C:\\Gone\\a.exe");
    s.Text(kLocalMachine, kWindows + "\\Help", "gone.hlp", "C:\\Gone\\");
    s.Text(kLocalMachine, kFonts, "Gone", "gone.ttf");
    s.Text(kLocalMachine, kDrivers, "wave", "gone.drv");
    s.RefuseWriteAccessEverywhere();
    for (ScanSection section : {ScanSection::SharedProgramFiles, ScanSection::ApplicationPaths, ScanSection::HelpFiles,
                                ScanSection::Fonts, ScanSection::VxdDrivers})
        s.Run(section);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\" + kShared + " | C:\\Gone\\s.dll | 0x00000001 (1) | C:\\Gone\\s.dll",
                  "HKEY_LOCAL_MACHINE\\" + kAppPaths + "\\gone.exe | (Default) | C:\\Gone\\a.exe | C:\\Gone\\a.exe",
                  "HKEY_LOCAL_MACHINE\\" + kWindows + "\\help | gone.hlp | C:\\Gone\\ | C:\\Gone\\gone.hlp",
                  "HKEY_LOCAL_MACHINE\\" + kFonts + " | Gone | gone.ttf | C:\\WINDOWS\\fonts\\gone.ttf",
                  "HKEY_LOCAL_MACHINE\\" + kDrivers + " | wave | gone.drv | C:\\WINDOWS\\system32\\gone.drv",
              }),
              s.Found());
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

// A key whose size cannot be queried ends a subkey scanner without its completed entry (so
// the repair is not offered for it); a key that does not open still counts as run. No
// scanner leaves a key open either way.
TEST(SubkeyScanners, AKeyThatCannotBeQueriedEndsTheSectionWithoutAnEntry)
{
    struct Case {
        ScanSection section;
        std::string key;
    };
    for (const Case& c : std::vector<Case>{
             {ScanSection::ApplicationPaths, kAppPaths + "\\x.exe"},
             {ScanSection::HelpFiles, kWindows + "\\Help"},
             {ScanSection::SystemServices, "SYSTEM\\CurrentControlSet\\Services\\x"},
             {ScanSection::AddRemovePrograms, "Software\\Microsoft\\Windows\\Currentversion\\Uninstall\\x"},
         }) {
        ScanMachine s;
        s.Key(kLocalMachine, c.key);
        s.registry.InjectFault(RegOp::QueryInfoKey, 1, kErrorAccessDenied);
        EXPECT_TRUE(s.Run(c.section).empty()) << SectionInfoOf(c.section).name;
        EXPECT_EQ(0u, s.registry.OpenHandleCount()) << SectionInfoOf(c.section).name;

        ScanMachine denied;
        denied.Key(kLocalMachine, c.key);
        denied.registry.InjectFault(RegOp::OpenKeyEx, 1, kErrorAccessDenied);
        EXPECT_EQ(1u, denied.Run(c.section).size()) << SectionInfoOf(c.section).name;
    }
}

}  // namespace
}  // namespace tw::test
