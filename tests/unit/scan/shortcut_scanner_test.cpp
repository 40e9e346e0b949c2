#include "scan/shortcut_scanner.h"

#include "platform/memory/shortcut_file.h"
#include "scan_test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>


namespace tw::test {
namespace {

using Strings = std::vector<std::string>;

Strings Paths(const CShortcut& shortcuts)
{
    Strings paths;
    for (const BrokenShortcut& b : shortcuts.brokenList)
        paths.push_back(b.path + (b.excluded ? " (excluded)" : ""));
    return paths;
}

class Shortcuts : public ::testing::Test {
protected:
    void Link(const std::string& at, const std::string& target) { machine.dir.WriteFile(at, AsText(LinkFileBytes(target))); }
    ScratchMachine machine;
};

TEST_F(Shortcuts, BrokenShortcutsInSubdirectoriesOfFixedDrivesAreListedOnce)
{
    machine.dir.WriteFile("C:\\Data\\there.txt", "x");
    Link("C:\\Users\\Desktop\\gone.lnk", "C:\\Apps\\gone.exe");
    Link("C:\\Users\\Desktop\\deep\\er\\gone2.lnk", "C:\\Apps\\gone2.exe");
    Link("C:\\Users\\Desktop\\there.lnk", "C:\\Data\\there.txt");
    Link("C:\\Users\\Desktop\\folder.lnk", "C:\\Data");
    Link("C:\\root.lnk", "C:\\Apps\\gone.exe");                                   // the root is not examined
    Link("C:\\System Volume Information\\x\\sv.lnk", "C:\\Apps\\gone.exe");       // skipped
    Link("C:\\Users\\Desktop\\net.lnk", "");                                      // shell item only
    machine.dir.WriteFile("C:\\Users\\Desktop\\net2.lnk", AsText(LinkFileBytes("", true, "\\\\server\\share")));
    Link("C:\\Users\\Desktop\\removable.lnk", "E:\\Gone\\x.exe");                 // E: is removable
    Link("C:\\Users\\Desktop\\absent.lnk", "Q:\\Gone\\x.exe");                    // no Q: drive
    machine.dir.WriteFile("C:\\Users\\Desktop\\junk.lnk", "not a shortcut at all");
    TempDir removable;
    machine.system.MapDrive('E', removable.path(), kDriveRemovable);
    removable.WriteFile("C:\\Stick\\gone.lnk", AsText(LinkFileBytes("C:\\Apps\\gone.exe")));
    CShortcut shortcuts(machine.system);
    ProgressTable progress;
    progress.AddRow();
    shortcuts.SetProgress(&progress, 0);
    shortcuts.FindBrokenShortcuts();
    // A folder's own shortcuts come before those of its subfolders.
    EXPECT_EQ((Strings{"C:\\Users\\Desktop\\gone.lnk", "C:\\Users\\Desktop\\deep\\er\\gone2.lnk"}), Paths(shortcuts));
    EXPECT_EQ(2, shortcuts.brokenCount);
    EXPECT_EQ("2", progress.Rows()[0][kColumnProblems]);
}

TEST_F(Shortcuts, ABrokenShortcutSaysWhichTargetIsMissing)
{
    Link("C:\\Users\\Desktop\\gone.lnk", "C:\\Apps\\gone.exe");
    CShortcut shortcuts(machine.system);
    shortcuts.FindBrokenShortcuts();
    ASSERT_EQ(1u, shortcuts.brokenList.size());
    EXPECT_EQ("The shortcut's target C:\\Apps\\gone.exe does not exist.", shortcuts.brokenList[0].reason);
}

TEST_F(Shortcuts, ShortcutsMadeByTheShellAreRead)
{
#ifndef TARNWICK_SOURCE_DIR
    GTEST_SKIP() << "the fixtures lie outside the Wine prefix; the Wine tests make their own links";
#else
    const std::string fixtures = std::string(TARNWICK_SOURCE_DIR) + "/tests/fixtures/shortcuts/";
    for (const char* name : {"target.lnk", "folder.lnk", "gone.lnk"}) {
        std::ifstream in(fixtures + name, std::ios::binary);
        ASSERT_TRUE(in) << fixtures + name;
        machine.dir.WriteFile(std::string("C:\\tarnwick-fixture\\links\\") + name,
                              std::string(std::istreambuf_iterator<char>(in), {}));
    }
    machine.dir.WriteFile("C:\\tarnwick-fixture\\target.txt", "x");
    std::filesystem::create_directories(machine.dir.Host("C:\\tarnwick-fixture\\folder"));
    std::string target;
    ASSERT_TRUE(machine.system.GetShortcutTarget("C:\\tarnwick-fixture\\links\\target.lnk", &target));
    EXPECT_EQ("C:\\tarnwick-fixture\\target.txt", target);
    CShortcut shortcuts(machine.system);
    shortcuts.FindBrokenShortcuts();
    EXPECT_EQ(Strings{"C:\\tarnwick-fixture\\links\\gone.lnk"}, Paths(shortcuts));
#endif
}

TEST_F(Shortcuts, DeletingRemovesOnlyTickedEntriesAndClearsReadOnly)
{
    Link("C:\\L\\a.lnk", "C:\\Gone\\a.exe");
    Link("C:\\L\\b.lnk", "C:\\Gone\\b.exe");
    machine.system.ChangeFileAttributes("C:\\L\\a.lnk", kFileAttributeReadOnly);
    CShortcut shortcuts(machine.system);
    shortcuts.FindBrokenShortcuts();
    ASSERT_EQ(2u, shortcuts.brokenList.size());
    for (BrokenShortcut& b : shortcuts.brokenList)
        b.excluded = 1;
    shortcuts.DeleteBrokenShortcuts({});
    EXPECT_EQ(0, shortcuts.deletedCount);
    EXPECT_FALSE(shortcuts.deleted);
    EXPECT_NE(0u, machine.system.FileAttributes("C:\\L\\a.lnk") & kFileAttributeReadOnly);

    shortcuts.brokenList[0].excluded = 0;
    shortcuts.DeleteBrokenShortcuts({true});  // saved in the backup
    EXPECT_EQ(1, shortcuts.deletedCount);
    EXPECT_TRUE(shortcuts.deleted);
    EXPECT_FALSE(machine.dir.Exists("C:\\L\\a.lnk"));
    EXPECT_TRUE(machine.dir.Exists("C:\\L\\b.lnk"));
}

// Missing means that the system says nothing is there: a target it cannot tell about (a
// folder the user may not read) leaves the shortcut alone, and the log says so.
TEST_F(Shortcuts, ATargetTheSystemCannotTellAboutIsLeftAloneAndLogged)
{
    Link("C:\\L\\denied.lnk", "C:\\Private\\x.exe");
    Link("C:\\L\\gone.lnk", "C:\\Gone\\x.exe");
    machine.system.RefuseAccess("C:\\Private");
    ActivityLog log(machine.system);
    log.Open();
    CShortcut shortcuts(machine.system);
    shortcuts.SetLog(&log);
    shortcuts.FindBrokenShortcuts();
    EXPECT_EQ(Strings{"C:\\L\\gone.lnk"}, Paths(shortcuts));
    log.Close();
    EXPECT_NE(std::string::npos,
              machine.dir.ReadFile(log.path())
                  .find("Shortcut left alone, as whether its target exists cannot be told: C:\\L\\denied.lnk -> "
                        "C:\\Private\\x.exe"));
}

TEST_F(Shortcuts, SignalledStopEventEndsTheSearchInsideAFolder)
{
    for (int i = 0; i < 50; ++i)
        Link("C:\\Many\\" + std::to_string(i) + ".lnk", "C:\\Gone\\x.exe");
    CShortcut shortcuts(machine.system);
    struct StopAfterFirst : ProgressTable {
        Event* stop = nullptr;
        void SetStatus(std::string_view) override { stop->Set(); }
    } progress;
    auto stop = machine.system.MakeEvent(StopEventName(machine.system), true, false, nullptr);
    progress.stop = stop.get();
    shortcuts.SetProgress(&progress, 0);
    shortcuts.FindBrokenShortcuts();
    EXPECT_EQ(1, shortcuts.brokenCount);
}

TEST(ShortcutFile, LinkInfoLocalPathIsReadAndDamagedBytesAreRefused)
{
    std::string target;
    ASSERT_TRUE(ReadShortcutTargetPath(LinkFileBytes("C:\\A\\b.exe"), &target));
    EXPECT_EQ("C:\\A\\b.exe", target);
    ASSERT_TRUE(ReadShortcutTargetPath(LinkFileBytes("C:\\A\\b.exe", false), &target));
    EXPECT_FALSE(ReadShortcutTargetPath(LinkFileBytes(""), &target));
    EXPECT_FALSE(ReadShortcutTargetPath(LinkFileBytes("", true, "\\\\srv\\share"), &target));
    auto bytes = LinkFileBytes("C:\\A\\b.exe");
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        ReadShortcutTargetPath(part, &target);  // must not read past the end
    }
    auto huge = bytes;
    huge[0x4C + 6] = 0xFF;  // link info size far beyond the file
    huge[0x4C + 7] = 0xFF;
    huge[0x4C + 8] = 0xFF;
    huge[0x4C + 9] = 0xFF;
    EXPECT_FALSE(ReadShortcutTargetPath(huge, &target));
}

}  // namespace
}  // namespace tw::test
