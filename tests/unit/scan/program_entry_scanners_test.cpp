#include "scan_test_support.h"

namespace tw::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kServices = "SYSTEM\\CurrentControlSet\\Services";
const std::string kRun = "Software\\Microsoft\\Windows\\Currentversion\\Run";
const std::string kSounds = "AppEvents\\Schemes\\Apps\\.Default";
const std::string kUninstall = "Software\\Microsoft\\Windows\\Currentversion\\Uninstall";

TEST(SystemServices, ImagePathFormsAreResolvedTheWayWindowsResolvesThem)
{
    ScanMachine s;
    s.File("C:\\WINDOWS\\system32\\svchost.exe");
    s.File("C:\\WINDOWS\\system32\\drivers\\here.sys");
    s.File("C:\\Tools\\onpath.exe");
    s.system.SetEnvironment("PATH", "C:\\Tools");
    struct Service {
        const char* name;
        const char* imagePath;
    };
    for (const Service& service : std::vector<Service>{
             {"Host", "%SystemRoot%\\system32\\svchost.exe -k netsvcs"},
             {"Here1", "system32\\drivers\\here.sys"},
             {"Here2", "\\SystemRoot\\System32\\drivers\\here.sys"},
             {"Here3", "SystemRoot\\System32\\drivers\\here.sys"},
             {"Here4", "\\??\\C:\\WINDOWS\\system32\\drivers\\here.sys"},
             {"OnPath", "onpath.exe"},
             {"NoDot", "C:\\Gone\\program"},
             {"Gone1", "system32\\drivers\\gone.sys"},
             {"Gone2", "SystemRoot\\System32\\drivers\\gone.sys"},
             {"Gone3", "\"C:\\Gone\\svc.exe\" /run"},
             {"Gone4", "bare.exe"},
             {"Gone5", "C:\\Gone\\indexer.exe /Embedding"},
         })
        s.Text(kLocalMachine, kServices + "\\" + service.name, "ImagePath", service.imagePath);
    s.Text(kLocalMachine, kServices + "\\NoImage", "DisplayName", "x");
    s.Run(ScanSection::SystemServices);
    const std::string key = "HKEY_LOCAL_MACHINE\\" + kServices;
    EXPECT_EQ((Strings{
                  key + "\\Gone1 | ImagePath | system32\\drivers\\gone.sys | C:\\WINDOWS\\system32\\drivers\\gone.sys",
                  key + "\\Gone2 | ImagePath | SystemRoot\\System32\\drivers\\gone.sys | "
                        "C:\\WINDOWS\\\\System32\\drivers\\gone.sys",
                  key + "\\Gone3 | ImagePath | \"C:\\Gone\\svc.exe\" /run | C:\\Gone\\svc.exe",
                  key + "\\Gone4 | ImagePath | bare.exe | C:\\WINDOWS\\system32\\bare.exe",
                  key + "\\Gone5 | ImagePath | C:\\Gone\\indexer.exe /Embedding | C:\\Gone\\indexer.exe",
              }),
              s.Found());
    EXPECT_EQ("System Services", s.engine.problems()[0]->section);
    EXPECT_EQ("KEY", s.engine.problems()[0]->deleteType);
    auto order = SetterOrderIn(s.LogMessages());
    EXPECT_EQ((Strings{"value", "key", "description", "section", "delete"}), Strings(order.begin(), order.begin() + 5));
    EXPECT_EQ("SYSTEM\\CurrentControlSet\\Services\\OnPath[ImagePath]", s.progress.Status());
}

// A quoted program is the text between its quotes, whatever its arguments look like.
TEST(ProgramEntries, AQuotedProgramEndsAtItsClosingQuote)
{
    ScanMachine s;
    s.File("C:\\Program Files\\Vendor\\svc.exe");
    s.File("C:\\Program Files\\My - Tools\\agent.exe");
    s.File("C:\\Program Files\\Vendor\\start.cmd");
    s.File("C:\\Program Files\\Vendor\\uninstall.cmd");
    s.Text(kLocalMachine, kServices + "\\Sound", "ImagePath", "\"C:\\Program Files\\Vendor\\svc.exe\" run");
    s.Text(kLocalMachine, kServices + "\\Dash", "ImagePath", "\"C:\\Program Files\\My - Tools\\agent.exe\" -k x");
    s.Text(kLocalMachine, kServices + "\\Broken", "ImagePath", "\"C:\\Program Files\\Vendor\\gone.exe\" run");
    s.Text(kLocalMachine, kRun, "Sound", "\"C:\\Program Files\\Vendor\\start.cmd\" run");
    s.Text(kLocalMachine, kRun, "Broken", "\"C:\\Program Files\\Vendor\\gone.cmd\" run");
    s.Text(kLocalMachine, kUninstall + "\\Sound", "UninstallString", "\"C:\\Program Files\\Vendor\\uninstall.cmd\" /quiet");
    s.Text(kLocalMachine, kUninstall + "\\Broken", "UninstallString", "\"C:\\Program Files\\Vendor\\gone.cmd\" /quiet");
    // Unquoted, with a quoted argument: still no stray quote in the description.
    s.Text(kLocalMachine, kUninstall + "\\Inner", "UninstallString", "C:\\Vendor\\gone.cmd /log \"C:\\x.log\"");
    for (ScanSection section : {ScanSection::SystemServices, ScanSection::StartupPrograms, ScanSection::AddRemovePrograms})
        s.Run(section);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\" + kServices + "\\Broken | ImagePath | \"C:\\Program Files\\Vendor\\gone.exe\" run | "
                      "C:\\Program Files\\Vendor\\gone.exe",
                  "HKEY_LOCAL_MACHINE\\" + kRun + " | Broken | \"C:\\Program Files\\Vendor\\gone.cmd\" run | "
                      "C:\\Program Files\\Vendor\\gone.cmd",
                  "HKEY_LOCAL_MACHINE\\" + kUninstall + "\\broken | UninstallString | \"C:\\Program Files\\Vendor\\gone.cmd\" "
                      "/quiet | C:\\Program Files\\Vendor\\gone.cmd",
                  "HKEY_LOCAL_MACHINE\\" + kUninstall + "\\inner | UninstallString | C:\\Vendor\\gone.cmd /log \"C:\\x.log\" | "
                      "C:\\Vendor\\gone.cmd /log C:\\x.log",
              }),
              s.Found());
}

TEST(StartupPrograms, CommandLinesAreCutToTheProgram)
{
    ScanMachine s;
    s.File("C:\\Apps\\there.exe");
    s.File("C:\\WINDOWS\\inwin.exe");
    s.File("C:\\Tools\\onpath.exe");
    s.system.SetEnvironment("PATH", "C:\\Tools");
    s.Text(kLocalMachine, kRun, "There", "\"C:\\Apps\\there.exe\" /background");
    s.Text(kLocalMachine, kRun, "InWin", "inwin.exe -s");
    s.Text(kLocalMachine, kRun, "OnPath", "onpath.exe");
    s.Text(kLocalMachine, kRun, "Dll", "rundll32.exe C:\\Gone\\x.dll,Start");
    s.Text(kLocalMachine, kRun, "Dll2", "C:\\WINDOWS\\RunDll32.exe C:\\Gone\\x.dll,Start");
    s.Text(kLocalMachine, kRun, "Gone", "C:\\Apps\\gone.exe /s");
    s.Text(kLocalMachine, kRun, "GoneBare", "gonebare.exe");
    s.Run(ScanSection::StartupPrograms);
    const std::string key = "HKEY_LOCAL_MACHINE\\" + kRun;
    EXPECT_EQ((Strings{
                  key + " | Gone | C:\\Apps\\gone.exe /s | C:\\Apps\\gone.exe",
                  key + " | GoneBare | gonebare.exe | C:\\WINDOWS\\gonebare.exe",
              }),
              s.Found());
    EXPECT_EQ("Startup Programs", s.engine.problems()[0]->section);
    EXPECT_EQ("VAL", s.engine.problems()[0]->deleteType);
    auto order = SetterOrderIn(s.LogMessages());
    EXPECT_EQ((Strings{"value", "description", "key", "section", "delete"}), Strings(order.begin(), order.begin() + 5));
    EXPECT_EQ("Software\\Microsoft\\Windows\\Currentversion\\Run [There]", s.progress.Status());
}

TEST(Sounds, OnlyTheCurrentAndDefaultSchemesAreExamined)
{
    ScanMachine s;
    s.File("C:\\WINDOWS\\Media\\ding.wav");
    s.Text(kCurrentUser, kSounds + "\\SystemAsterisk\\.Current", nullptr, "C:\\WINDOWS\\Media\\ding.wav");
    s.Text(kCurrentUser, kSounds + "\\SystemAsterisk\\.DEFAULT", nullptr, "%SystemRoot%\\Media\\gone.wav");
    s.Text(kCurrentUser, kSounds + "\\SystemExit\\.current", nullptr, "C:\\Media\\exit.wav");
    s.Text(kCurrentUser, kSounds + "\\SystemExit\\.None", nullptr, "C:\\Media\\none.wav");
    s.Text(kCurrentUser, kSounds + "\\SystemExit\\MyScheme", nullptr, "C:\\Media\\mine.wav");
    s.Key(kCurrentUser, kSounds + "\\SystemStart\\.Current");  // no sound set
    s.Run(ScanSection::Sounds);
    const std::string key = "HKEY_CURRENT_USER\\" + kSounds;
    EXPECT_EQ((Strings{
                  key + "\\SystemAsterisk | (Default) | %SystemRoot%\\Media\\gone.wav | C:\\WINDOWS\\Media\\gone.wav",
                  key + "\\SystemExit | (Default) | C:\\Media\\exit.wav | C:\\Media\\exit.wav",
              }),
              s.Found());
    EXPECT_EQ("Sound Section", s.engine.problems()[0]->section);
    EXPECT_EQ("KEY", s.engine.problems()[0]->deleteType);
    EXPECT_EQ("AppEvents\\Schemes\\Apps\\.Default\\SystemExit[(Default)]", s.progress.Status());
}

TEST(AddRemovePrograms, OnlyUninstallersWithADriveAreTested)
{
    ScanMachine s;
    s.File("C:\\Apps\\uninst.exe");
    auto product = [&](const std::string& name, const std::string& command) {
        s.Text(kLocalMachine, kUninstall + "\\" + name, "DisplayName", name);
        s.Text(kLocalMachine, kUninstall + "\\" + name, "UninstallString", command);
    };
    product("There", "\"C:\\Apps\\uninst.exe\" /remove");
    product("Msi", "MsiExec.exe /X{12345678-1234-1234-1234-123456789012}");
    product("Bare", "gone.exe /x");
    product("Reg", "C:\\WINDOWS\\system32\\regsvr32.exe /u C:\\Gone\\x.dll");
    product("Gone App", "\"C:\\Gone App\\uninst.EXE\" /S");
    s.Run(ScanSection::AddRemovePrograms);
    const std::string key = "HKEY_LOCAL_MACHINE\\" + kUninstall;
    EXPECT_EQ(Strings{key + "\\gone app | UninstallString | \"C:\\Gone App\\uninst.EXE\" /S | C:\\Gone App\\uninst.EXE"},
              s.Found());
    EXPECT_EQ("Add/Remove Program Section", s.engine.problems()[0]->section);
    EXPECT_EQ("VAL", s.engine.problems()[0]->deleteType);
    auto order = SetterOrderIn(s.LogMessages());
    EXPECT_EQ((Strings{"description", "value", "key", "section", "delete"}), Strings(order.begin(), order.begin() + 5));
    EXPECT_EQ("Software\\Microsoft\\Windows\\Currentversion\\Uninstall\\There[UninstallString]", s.progress.Status());
}

// Each rule says in plain words why it reported an entry, with the path it looked for.
TEST(ProgramEntryReasons, EachRuleSaysWhatIsMissing)
{
    ScanMachine services;
    services.Text(kLocalMachine, kServices + "\\Full", "ImagePath", "\"C:\\Apps\\svc.exe\" -k x");
    services.Text(kLocalMachine, kServices + "\\Bare", "ImagePath", "bare.sys");
    services.Run(ScanSection::SystemServices);
    EXPECT_EQ((Strings{"The service's file C:\\WINDOWS\\system32\\bare.sys does not exist, nor is bare.sys on the "
                       "search path.",
                       "The service's file C:\\Apps\\svc.exe does not exist."}),
              services.Reasons());

    ScanMachine run;
    run.Text(kLocalMachine, kRun, "Gone", "C:\\Apps\\gone.exe /s");
    run.Text(kLocalMachine, kRun, "GoneBare", "gonebare.exe");
    run.Run(ScanSection::StartupPrograms);
    EXPECT_EQ((Strings{"The program C:\\Apps\\gone.exe started at log-on does not exist.",
                       "The program C:\\WINDOWS\\gonebare.exe started at log-on does not exist, nor is gonebare.exe "
                       "on the search path."}),
              run.Reasons());

    ScanMachine sounds;
    sounds.Text(kCurrentUser, kSounds + "\\A\\.Current", nullptr, "C:\\Media\\gone.wav");
    sounds.Text(kCurrentUser, kSounds + "\\B\\.Current", nullptr, "bare.wav");
    sounds.Run(ScanSection::Sounds);
    EXPECT_EQ((Strings{"The sound file C:\\Media\\gone.wav does not exist.",
                       "The sound file C:\\WINDOWS\\system32\\bare.wav does not exist, nor is bare.wav on the "
                       "search path."}),
              sounds.Reasons());

    ScanMachine uninstall;
    uninstall.Text(kLocalMachine, kUninstall + "\\Gone", "UninstallString", "\"C:\\Gone App\\uninst.exe\" /S");
    uninstall.Run(ScanSection::AddRemovePrograms);
    EXPECT_EQ(Strings{"The uninstaller C:\\Gone App\\uninst.exe does not exist."}, uninstall.Reasons());
}

TEST(ProgramEntries, KeysThatRefuseWriteAccessAreExamined)
{
    ScanMachine s;
    s.Text(kLocalMachine, kServices + "\\Gone", "ImagePath", "C:\\Gone\\svc.exe");
    s.Text(kLocalMachine, kRun, "Gone", "C:\\Gone\\run.exe");
    s.Text(kCurrentUser, kSounds + "\\Gone\\.Current", nullptr, "C:\\Gone\\s.wav");
    s.Text(kLocalMachine, kUninstall + "\\Gone", "UninstallString", "C:\\Gone\\un.exe");
    s.RefuseWriteAccessEverywhere();
    for (ScanSection section : {ScanSection::SystemServices, ScanSection::StartupPrograms, ScanSection::Sounds,
                                ScanSection::AddRemovePrograms})
        s.Run(section);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\" + kServices + "\\Gone | ImagePath | C:\\Gone\\svc.exe | C:\\Gone\\svc.exe",
                  "HKEY_LOCAL_MACHINE\\" + kRun + " | Gone | C:\\Gone\\run.exe | C:\\Gone\\run.exe",
                  "HKEY_CURRENT_USER\\" + kSounds + "\\Gone | (Default) | C:\\Gone\\s.wav | C:\\Gone\\s.wav",
                  "HKEY_LOCAL_MACHINE\\" + kUninstall + "\\gone | UninstallString | C:\\Gone\\un.exe | C:\\Gone\\un.exe",
              }),
              s.Found());
}

}  // namespace
}  // namespace tw::test
