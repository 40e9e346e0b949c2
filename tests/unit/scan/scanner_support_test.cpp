#include "backup/backup_restore.h"
#include "backup/repair.h"
#include "registry/key_path.h"
#include "scan/shortcut_scanner.h"
#include "scan_test_support.h"

#include <algorithm>

namespace tw::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kCv = "Software\\Microsoft\\Windows\\Currentversion";
const std::string kWowCv = "Software\\Wow6432Node\\Microsoft\\Windows\\Currentversion";
const std::string kCV = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const std::string kWowCV = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion";

// A key a section reads, spelt as its findings spell it.
struct Place {
    ScanSection section;
    HKey root;
    std::string key;
};

// The places the sections read besides the machine's 64-bit keys.
const std::vector<Place> kAddedPlaces = {
    {ScanSection::StartupPrograms, kCurrentUser, kCv + "\\Run"},
    {ScanSection::StartupPrograms, kLocalMachine, kCv + "\\RunOnce"},
    {ScanSection::StartupPrograms, kCurrentUser, kCv + "\\RunOnce"},
    {ScanSection::StartupPrograms, kLocalMachine, kWowCv + "\\Run"},
    {ScanSection::StartupPrograms, kLocalMachine, kWowCv + "\\RunOnce"},
    {ScanSection::AddRemovePrograms, kCurrentUser, kCv + "\\Uninstall"},
    {ScanSection::AddRemovePrograms, kLocalMachine, kWowCv + "\\Uninstall"},
    {ScanSection::ApplicationPaths, kCurrentUser, kCV + "\\App Paths"},
    {ScanSection::ApplicationPaths, kLocalMachine, kWowCV + "\\App Paths"},
    {ScanSection::SharedProgramFiles, kLocalMachine, kWowCV + "\\SharedDLLs"},
    {ScanSection::Fonts, kCurrentUser, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
    {ScanSection::HelpFiles, kLocalMachine, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows"},
};

// The machine's 64-bit keys, as the sections have always read them.
const std::vector<Place> kMachinePlaces = {
    {ScanSection::StartupPrograms, kLocalMachine, kCv + "\\Run"},
    {ScanSection::AddRemovePrograms, kLocalMachine, kCv + "\\Uninstall"},
    {ScanSection::ApplicationPaths, kLocalMachine, kCV + "\\App Paths"},
    {ScanSection::SharedProgramFiles, kLocalMachine, kCV + "\\SharedDLLs"},
    {ScanSection::Fonts, kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
    {ScanSection::HelpFiles, kLocalMachine, "SOFTWARE\\Microsoft\\Windows"},
};

const std::vector<ScanSection> kSections = {ScanSection::SharedProgramFiles, ScanSection::HelpFiles,
                                            ScanSection::ApplicationPaths,   ScanSection::Fonts,
                                            ScanSection::StartupPrograms,    ScanSection::AddRemovePrograms};

const std::string kFontsFolder = "C:\\Users\\User\\AppData\\Local\\Microsoft\\Windows\\Fonts";

// An item of a place: a value of the key or of a subkey, or a whole subkey (no value).
struct Item {
    std::string subkey;  // below the place's key; empty for the key itself
    const char* value;
};

// One broken and one sound entry of the section's own kind, in one place.
struct Seeded {
    std::string finding;  // the line the broken one is reported with
    Item broken, sound;   // what a repair takes, and what it leaves
};

Seeded Seed(ScanMachine& s, const Place& p)
{
    const std::string at = RootNameFromKey(p.root) + "\\" + p.key;
    switch (p.section) {
    case ScanSection::StartupPrograms:
        s.Text(p.root, p.key, "TwGone", "C:\\Gone\\run.exe /s");
        s.Text(p.root, p.key, "TwThere", "\"C:\\Apps\\there.exe\" -x");
        return {at + " | TwGone | C:\\Gone\\run.exe /s | C:\\Gone\\run.exe", {"", "TwGone"}, {"", "TwThere"}};
    case ScanSection::AddRemovePrograms:
        s.Text(p.root, p.key + "\\TwGone", "DisplayName", "Gone");
        s.Text(p.root, p.key + "\\TwGone", "UninstallString", "\"C:\\Gone\\un.exe\" /S");
        s.Text(p.root, p.key + "\\TwThere", "UninstallString", "C:\\Apps\\there.exe");
        return {at + "\\twgone | UninstallString | \"C:\\Gone\\un.exe\" /S | C:\\Gone\\un.exe",
                {"TwGone", "UninstallString"},
                {"TwThere", "UninstallString"}};
    case ScanSection::ApplicationPaths:
        s.Text(p.root, p.key + "\\TwGone.exe", nullptr, "C:\\Gone\\app.exe");
        s.Text(p.root, p.key + "\\TwGone.exe", "Path", "C:\\Gone");
        s.Text(p.root, p.key + "\\TwThere.exe", nullptr, "C:\\Apps\\there.exe");
        return {at + "\\twgone.exe | (Default) | C:\\Gone\\app.exe | C:\\Gone\\app.exe", {"TwGone.exe", nullptr},
                {"TwThere.exe", nullptr}};
    case ScanSection::SharedProgramFiles:
        SetValue(s.registry, p.root, p.key, "C:\\Gone\\shared.dll", kRegDword, B({2, 0, 0, 0}));
        SetValue(s.registry, p.root, p.key, "C:\\Apps\\there.dll", kRegDword, B({1, 0, 0, 0}));
        return {at + " | C:\\Gone\\shared.dll | 0x00000002 (2) | C:\\Gone\\shared.dll", {"", "C:\\Gone\\shared.dll"},
                {"", "C:\\Apps\\there.dll"}};
    case ScanSection::Fonts:
        s.Text(p.root, p.key, "TwGone (TrueType)", kFontsFolder + "\\gone.ttf");
        s.Text(p.root, p.key, "TwThere (TrueType)", kFontsFolder + "\\there.ttf");
        return {at + " | TwGone (TrueType) | " + kFontsFolder + "\\gone.ttf | " + kFontsFolder + "\\gone.ttf",
                {"", "TwGone (TrueType)"},
                {"", "TwThere (TrueType)"}};
    case ScanSection::HelpFiles:
        s.Text(p.root, p.key + "\\Help", "twgone.hlp", "C:\\Gone\\");
        s.Text(p.root, p.key + "\\Help", "twthere.hlp", "C:\\Apps\\");
        return {at + "\\help | twgone.hlp | C:\\Gone\\ | C:\\Gone\\twgone.hlp", {"Help", "twgone.hlp"},
                {"Help", "twthere.hlp"}};
    default:
        ADD_FAILURE() << "no entries of this section";
        return {};
    }
}

bool Holds(Registry& registry, const Place& p, const Item& item)
{
    const std::string key = item.subkey.empty() ? p.key : p.key + "\\" + item.subkey;
    Bytes data;
    return item.value ? GetValue(registry, p.root, key, item.value, nullptr, &data) : KeyExists(registry, p.root, key);
}

void SeedFiles(ScanMachine& s)
{
    for (const char* file : {"C:\\Apps\\there.exe", "C:\\Apps\\there.dll", "C:\\Apps\\twthere.hlp"})
        s.File(file);
    s.File(kFontsFolder + "\\there.ttf");
}

std::vector<std::string> Sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string Dump(Registry& registry)
{
    return DumpBranch(registry, kLocalMachine, "SOFTWARE") + DumpBranch(registry, kCurrentUser, "Software");
}

// The user's keys and the 32-bit view are judged as the machine's keys are: each broken
// entry reported against the key it lives in, no sound one. A repair of the findings takes
// exactly the broken entries, and its backup puts them back byte for byte.
TEST(ScanPlaces, EveryPlaceIsJudgedAndRepairedLikeTheMachinesKeys)
{
    ScanMachine s;
    s.SixtyFourBitWindows();
    SeedFiles(s);
    Strings expected;
    std::vector<Seeded> seeded;
    for (const Place& p : kAddedPlaces) {
        seeded.push_back(Seed(s, p));
        expected.push_back(seeded.back().finding);
    }
    const std::string before = Dump(s.registry);

    CompletedSectionList completed;
    for (ScanSection section : kSections)
        s.engine.RunSection(section, completed);
    EXPECT_EQ(Sorted(expected), Sorted(s.Found()));
    EXPECT_EQ(kSections.size(), completed.size());
    EXPECT_EQ(0u, s.registry.OpenHandleCount());

    CShortcut shortcuts(s.system);
    RepairOutcome outcome = Repair(s.engine, shortcuts, "C:\\Program Files\\Tarnwick");
    ASSERT_FALSE(outcome.backupFailed);
    EXPECT_EQ(2, outcome.counts.keys);     // the App Paths entries
    EXPECT_EQ(10, outcome.counts.values);  // the others
    EXPECT_EQ(0, outcome.counts.left);
    for (std::size_t i = 0; i < kAddedPlaces.size(); ++i) {
        const Place& p = kAddedPlaces[i];
        EXPECT_FALSE(Holds(s.registry, p, seeded[i].broken)) << p.key;
        EXPECT_TRUE(Holds(s.registry, p, seeded[i].sound)) << p.key;
    }
    // A product keeps its key and its other values; only the uninstall command goes.
    EXPECT_TRUE(KeyExists(s.registry, kCurrentUser, kCv + "\\Uninstall\\TwGone"));

    RestoreOutcome restored = RestoreRepairBackup(s.registry, s.system, outcome.backup.path, {});
    EXPECT_TRUE(restored.restored);
    EXPECT_EQ(before, Dump(s.registry));
}

// A 32-bit program that names the system folder gets the 32-bit one on 64-bit Windows:
// in the 32-bit view a path in the system folder, a bare name looked for there and a
// variable that leads there are tested in SysWOW64; the 64-bit view keeps system32.
TEST(ScanPlaces, TheThirtyTwoBitViewNamesTheThirtyTwoBitSystemFolder)
{
    ScanMachine s;
    s.SixtyFourBitWindows();
    for (const char* file : {"C:\\WINDOWS\\SysWOW64\\only32.exe", "C:\\WINDOWS\\SysWOW64\\only32.dll",
                             "C:\\WINDOWS\\system32\\only64.exe", "C:\\WINDOWS\\system32\\only64.dll"})
        s.File(file);
    const std::string shared = kCV + "\\SharedDLLs", wowShared = kWowCV + "\\SharedDLLs";
    s.Text(kLocalMachine, kCv + "\\Run", "Sound", "C:\\WINDOWS\\system32\\only64.exe");
    s.Text(kLocalMachine, kCv + "\\Run", "Broken", "C:\\WINDOWS\\system32\\only32.exe");
    s.Text(kLocalMachine, kWowCv + "\\Run", "Sound", "C:\\Windows\\System32\\only32.exe");
    s.Text(kLocalMachine, kWowCv + "\\Run", "Broken", "C:\\WINDOWS\\system32\\only64.exe");
    for (const char* name : {"only32.dll", "%SystemRoot%\\System32\\only32.dll", "only64.dll"})
        SetValue(s.registry, kLocalMachine, wowShared, name, kRegDword, B({1, 0, 0, 0}));
    for (const char* name : {"only64.dll", "only32.dll"})
        SetValue(s.registry, kLocalMachine, shared, name, kRegDword, B({1, 0, 0, 0}));
    s.Expand(kLocalMachine, kWowCV + "\\App Paths\\only32.exe", nullptr, "%SystemRoot%\\system32\\only32.exe");
    s.Expand(kLocalMachine, kWowCV + "\\App Paths\\only64.exe", nullptr, "%SystemRoot%\\system32\\only64.exe");
    s.Text(kLocalMachine, kWowCv + "\\Uninstall\\Tool", "UninstallString", "C:\\WINDOWS\\system32\\only64.exe /x");
    for (ScanSection section : kSections)
        s.Run(section);
    EXPECT_EQ(Sorted({
                  "HKEY_LOCAL_MACHINE\\" + kCv + "\\Run | Broken | C:\\WINDOWS\\system32\\only32.exe | "
                                                 "C:\\WINDOWS\\system32\\only32.exe",
                  "HKEY_LOCAL_MACHINE\\" + kWowCv + "\\Run | Broken | C:\\WINDOWS\\system32\\only64.exe | "
                                                    "C:\\WINDOWS\\SysWOW64\\only64.exe",
                  "HKEY_LOCAL_MACHINE\\" + shared + " | only32.dll | 0x00000001 (1) | C:\\WINDOWS\\system32\\only32.dll",
                  "HKEY_LOCAL_MACHINE\\" + wowShared + " | only64.dll | 0x00000001 (1) | C:\\WINDOWS\\SysWOW64\\only64.dll",
                  "HKEY_LOCAL_MACHINE\\" + kWowCV + "\\App Paths\\only64.exe | (Default) | "
                                                    "%SystemRoot%\\system32\\only64.exe | C:\\WINDOWS\\SysWOW64\\only64.exe",
                  "HKEY_LOCAL_MACHINE\\" + kWowCv + "\\Uninstall\\tool | UninstallString | "
                                                    "C:\\WINDOWS\\system32\\only64.exe /x | C:\\WINDOWS\\SysWOW64\\only64.exe",
              }),
              Sorted(s.Found()));
}

// A 32-bit program's %ProgramFiles% is "Program Files (x86)": an entry of the 32-bit view is
// judged there, an entry of the 64-bit view in "Program Files".
TEST(ScanPlaces, TheThirtyTwoBitViewExpandsProgramFilesToTheX86Folder)
{
    ScanMachine s;
    s.SixtyFourBitWindows();
    s.system.SetEnvironment("ProgramFiles", "C:\\Program Files");
    s.system.SetEnvironment("CommonProgramFiles", "C:\\Program Files\\Common Files");
    s.system.SetEnvironment("CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files");
    s.File("C:\\Program Files (x86)\\Old\\old32.exe");
    s.File("C:\\Program Files\\New\\new64.exe");
    s.File("C:\\Program Files (x86)\\Common Files\\Old\\c32.exe");
    s.Expand(kLocalMachine, kWowCv + "\\Run", "Sound32", "\"%ProgramFiles%\\Old\\old32.exe\" /min");
    s.Expand(kLocalMachine, kWowCv + "\\Run", "Broken32", "%ProgramFiles%\\New\\new64.exe");
    s.Expand(kLocalMachine, kWowCv + "\\Run", "Common32", "%CommonProgramFiles%\\Old\\c32.exe");
    s.Expand(kLocalMachine, kCv + "\\Run", "Sound64", "%ProgramFiles%\\New\\new64.exe");
    s.Expand(kLocalMachine, kCv + "\\Run", "Broken64", "%ProgramFiles%\\Old\\old32.exe");
    s.Run(ScanSection::StartupPrograms);
    EXPECT_EQ(Sorted({
                  "HKEY_LOCAL_MACHINE\\" + kWowCv + "\\Run | Broken32 | %ProgramFiles%\\New\\new64.exe | "
                                                    "C:\\Program Files (x86)\\New\\new64.exe",
                  "HKEY_LOCAL_MACHINE\\" + kCv + "\\Run | Broken64 | %ProgramFiles%\\Old\\old32.exe | "
                                                 "C:\\Program Files\\Old\\old32.exe",
              }),
              Sorted(s.Found()));
}

// 32-bit Windows has no 32-bit view of its own, and a user may have none of the keys: the
// places that are missing are passed over, and every section still counts as run.
TEST(ScanPlaces, MissingPlacesArePassedOver)
{
    ScanMachine s;
    SeedFiles(s);
    Strings expected;
    for (const Place& p : kMachinePlaces)
        expected.push_back(Seed(s, p).finding);
    CompletedSectionList completed;
    for (ScanSection section : kSections)
        s.engine.RunSection(section, completed);
    EXPECT_EQ(Sorted(expected), Sorted(s.Found()));
    EXPECT_EQ(kSections.size(), completed.size());
    EXPECT_EQ(0u, s.registry.OpenHandleCount());
}

// 64-bit Windows shows some keys in both views through a link: such a key is examined once,
// under the name of its 64-bit place, whether the link is the key itself or a key above it.
TEST(ScanPlaces, AKeyShownInBothViewsThroughALinkIsExaminedOnce)
{
    ScanMachine s;
    s.SixtyFourBitWindows();
    SeedFiles(s);
    Strings expected;
    for (const Place& p : kMachinePlaces)
        expected.push_back(Seed(s, p).finding);
    CreateLink(s.registry, kLocalMachine, "SOFTWARE\\Wow6432Node\\Microsoft", "\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft");
    for (ScanSection section : kSections)
        s.Run(section);
    EXPECT_EQ(Sorted(expected), Sorted(s.Found()));

    ScanMachine one;
    one.SixtyFourBitWindows();
    one.Text(kLocalMachine, kCv + "\\Run", "Gone", "C:\\Gone\\a.exe");
    one.Text(kLocalMachine, kWowCv + "\\RunOnce", "Gone", "C:\\Gone\\b.exe");
    CreateLink(one.registry, kLocalMachine, kWowCv + "\\Run",
               "\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    one.Run(ScanSection::StartupPrograms);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\" + kCv + "\\Run | Gone | C:\\Gone\\a.exe | C:\\Gone\\a.exe",
                  "HKEY_LOCAL_MACHINE\\" + kWowCv + "\\RunOnce | Gone | C:\\Gone\\b.exe | C:\\Gone\\b.exe",
              }),
              one.Found());
}

}  // namespace
}  // namespace tw::test
