// tarnwick-cli's startup, bho, programs and version commands on the memory platform.
#include "cli/cli.h"
#include "managers/removed_entry_store.h"
#include "platform/memory/memory_system.h"
#include "support/registry_fixture.h"
#include "unit/managers/version_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace tw::test {
namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class ManagerCommands : public ::testing::Test {
protected:
    Outcome Run(std::vector<std::string> arguments)
    {
        std::ostringstream out, err;
        cli::Context context{registry_, system_, out, err};
        int status = cli::Run(context, arguments);
        return {status, out.str(), err.str()};
    }
    MemoryRegistry registry_;
    MemorySystem system_;
};

TEST_F(ManagerCommands, StartupListsBothRootsAndMovesOneEntryAtATime)
{
    SetValue(registry_, kCurrentUser, kRunKeyPath, "Updater", kRegSz, Str("C:\\u\\upd.exe /q"));
    SetValue(registry_, kLocalMachine, kRunKeyPath, "Updater", kRegSz, Str("\"C:\\m\\upd.exe\""));
    Outcome listed = Run({"startup", "list"});
    EXPECT_EQ(0, listed.status);
    // Each entry by its full path, which says where it lives.
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Updater\t\"C:\\m\\upd.exe\"\n"
              "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Updater\tC:\\u\\upd.exe /q\n",
              listed.out);

    Outcome removed = Run({"startup", "remove", "hkey_current_user\\updater"});
    EXPECT_EQ(0, removed.status) << removed.err;
    EXPECT_EQ("removed HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Updater\n", removed.out);
    EXPECT_EQ("{\"programName\":\"Updater\",\"runPath\":\"C:\\\\u\\\\upd.exe /q\",\"root\":\"HKEY_CURRENT_USER\","
              "\"name\":\"Updater\",\"key\":\"HKEY_CURRENT_USER\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion"
              "\\\\Run\",\"location\":\"HKCU Run\"}\n",
              Run({"startup", "list", "--store", "--json"}).out);
    EXPECT_EQ(1, Run({"startup", "remove", "HKEY_CURRENT_USER\\Updater"}).status) << "no longer listed";

    EXPECT_EQ(0, Run({"startup", "restore", "HKEY_CURRENT_USER\\Updater"}).status);
    EXPECT_EQ(listed.out, Run({"startup", "list"}).out);
    EXPECT_EQ("", Run({"startup", "list", "--store"}).out);
}

TEST_F(ManagerCommands, StartupRefusesMalformedEntries)
{
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"startup"}, {"startup", "remove"}, {"startup", "remove", "HKEY_USERS\\x"},
             {"startup", "remove", "Updater"}, {"startup", "list", "extra"}, {"startup", "list", "--sorted"},
             {"startup", "frobnicate"}}) {
        Outcome o = Run(args);
        EXPECT_EQ(2, o.status) << args.back();
        EXPECT_NE(std::string::npos, o.err.find("usage:")) << args.back();
    }
    Outcome missing = Run({"startup", "remove", "HKEY_LOCAL_MACHINE\\Nothing"});
    EXPECT_EQ(1, missing.status);
    EXPECT_EQ("tarnwick-cli: no startup program HKEY_LOCAL_MACHINE\\Nothing\n", missing.err);
}

TEST_F(ManagerCommands, BhoAndProgramsRoundTrips)
{
    const std::string bho = std::string(kBrowserHelperObjectsKeyPath) + "\\{B0}";
    SetValue(registry_, kLocalMachine, bho, "NoExplorer", kRegDword, B({1, 0, 0, 0}));
    SetValue(registry_, kClassesRoot, "CLSID\\{B0}\\InprocServer32", nullptr, kRegSz, Str("C:\\bho.dll"));
    const std::string app = std::string(kUninstallKeyPath) + "\\App";
    SetValue(registry_, kLocalMachine, app, "DisplayName", kRegSz, Str("App \"Pro\""));
    SetValue(registry_, kLocalMachine, app, "UninstallString", kRegSz, Str("C:\\un.exe"));
    SetValue(registry_, kLocalMachine, app + "\\Sub", "x", kRegSz, Str("y"));
    const std::string bhoBefore = DumpBranch(registry_, kLocalMachine, bho);
    const std::string appBefore = DumpBranch(registry_, kLocalMachine, app);

    EXPECT_EQ("{\"bhoPath\":\"C:\\\\bho.dll\",\"classId\":\"{B0}\"}\n", Run({"bho", "list", "--json"}).out);
    EXPECT_EQ("{\"programName\":\"App \\\"Pro\\\"\",\"uninstallPath\":\"C:\\\\un.exe\",\"subkey\":\"App\","
              "\"key\":\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall"
              "\\\\App\","
              "\"location\":\"HKLM\"}\n",
              Run({"programs", "list", "--json"}).out);

    EXPECT_EQ(0, Run({"bho", "remove", "{b0}"}).status);
    EXPECT_EQ(0, Run({"programs", "remove", "App"}).status);
    EXPECT_EQ("", Run({"bho", "list"}).out);
    EXPECT_EQ("", Run({"programs", "list"}).out);
    EXPECT_EQ("{B0}\tC:\\bho.dll\n", Run({"bho", "list", "--store"}).out);
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App"
              "\tApp \"Pro\"\tC:\\un.exe\n",
              Run({"programs", "list", "--store"}).out);
    EXPECT_TRUE(KeyExists(registry_, kClassesRoot, "CLSID\\{B0}\\InprocServer32"));

    EXPECT_EQ(0, Run({"bho", "restore", "{B0}"}).status);
    EXPECT_EQ(0, Run({"programs", "restore", "app"}).status);
    EXPECT_EQ(bhoBefore, DumpBranch(registry_, kLocalMachine, bho));
    EXPECT_EQ(appBefore, DumpBranch(registry_, kLocalMachine, app));
    EXPECT_EQ(1, Run({"programs", "restore", "App"}).status) << "nothing left in the store";
    EXPECT_EQ(2, Run({"bho", "remove"}).status);
}

// The other places: each row names its place, the full path moves exactly that entry, a
// short name that several places share is refused, and a deletion that fails is reported.
TEST_F(ManagerCommands, EntriesOfOneNameInSeveralPlacesAreNamedByTheirFullPath)
{
    const std::string once32 = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    SetValue(registry_, kLocalMachine, once32, "Agent", kRegExpandSz, Str("%TEMP%\\a32.exe"));
    SetValue(registry_, kLocalMachine, kRunOnceKeyPath, "Agent", kRegSz, Str("C:\\a.exe"));
    const std::string full32 = "HKEY_LOCAL_MACHINE\\" + once32 + "\\Agent";
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Agent\tC:\\a.exe\n" + full32 +
                  "\t%TEMP%\\a32.exe\n",
              Run({"startup", "list"}).out);
    EXPECT_NE(std::string::npos,
              Run({"startup", "list", "--json"}).out.find("\"location\":\"HKLM RunOnce (32-bit)\"}"));

    Outcome removed = Run({"startup", "remove", full32});
    EXPECT_EQ(0, removed.status) << removed.err;
    EXPECT_EQ("removed " + full32 + "\n", removed.out);
    std::uint32_t type = 0;
    Bytes data;
    ASSERT_TRUE(GetValue(registry_, kLocalMachine, kStartupRunOnce32StoreKeyPath, "Agent", &type, &data));
    EXPECT_EQ(kRegExpandSz, type);
    EXPECT_TRUE(GetValue(registry_, kLocalMachine, kRunOnceKeyPath, "Agent", &type, &data)) << "its namesake stays";
    Outcome removedToo =
        Run({"startup", "remove", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\agent"});
    EXPECT_EQ(0, removedToo.status) << removedToo.err;
    EXPECT_EQ(full32 + "\t%TEMP%\\a32.exe\n", Run({"startup", "list", "--store"}).out.substr(
                  Run({"startup", "list", "--store"}).out.find(full32)));
    EXPECT_EQ(0, Run({"startup", "restore", full32}).status);
    ASSERT_TRUE(GetValue(registry_, kLocalMachine, once32, "Agent", &type, &data));
    EXPECT_EQ(kRegExpandSz, type);
    EXPECT_EQ(Str("%TEMP%\\a32.exe"), data);

    // Two uninstall entries called App: the bare name names neither.
    for (HKey root : {kLocalMachine, kCurrentUser}) {
        const std::string app = std::string(kUninstallKeyPath) + "\\App";
        SetValue(registry_, root, app, "DisplayName", kRegSz, Str("App"));
        SetValue(registry_, root, app, "UninstallString", kRegSz, Str("C:\\un.exe"));
    }
    Outcome ambiguous = Run({"programs", "remove", "App"});
    EXPECT_EQ(1, ambiguous.status);
    EXPECT_EQ("tarnwick-cli: App names more than one uninstall entry; give the full path that the listing shows\n",
              ambiguous.err);
    const std::string userApp = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App";
    registry_.InjectFault(RegOp::DeleteKey, 1, kErrorAccessDenied);
    Outcome refused = Run({"programs", "remove", userApp});
    EXPECT_EQ(1, refused.status);
    EXPECT_EQ("tarnwick-cli: could not remove " + userApp +
                  ": it could not be deleted from where it was, so it stays there and nothing was moved\n",
              refused.err);
    EXPECT_EQ("", refused.out) << "never reported removed";
    EXPECT_TRUE(KeyExists(registry_, kCurrentUser, std::string(kUninstallKeyPath) + "\\App"));
    EXPECT_EQ(0, Run({"programs", "remove", userApp}).status);
    EXPECT_TRUE(KeyExists(registry_, kCurrentUser, std::string(kAddRemoveStoreKeyPath) + "\\App"));
    EXPECT_TRUE(KeyExists(registry_, kLocalMachine, std::string(kUninstallKeyPath) + "\\App"));
    EXPECT_EQ(0, Run({"programs", "restore", "App"}).status) << "one stored App: the short name will do";
    EXPECT_TRUE(KeyExists(registry_, kCurrentUser, std::string(kUninstallKeyPath) + "\\App"));
}

TEST_F(ManagerCommands, VersionPrintsTheRecord)
{
    namespace fs = std::filesystem;
    fs::path root = fs::temp_directory_path() / "tarnwick_version_command";
    fs::remove_all(root);
    fs::create_directories(root / "WINDOWS" / "system32");
    fs::copy_file(FixtureFolder() + "/version_fixture.dll", root / "WINDOWS" / "system32" / "fixture.dll");
    system_.MapDrive('C', root.string());

    Outcome json = Run({"version", "fixture.dll", "--json"});
    EXPECT_EQ(0, json.status) << json.err;
    EXPECT_EQ("{\"filePath\":\"fixture.dll\",\"companyName\":\"Tarnwick Fixture Works\","
              "\"fileDescription\":\"Version fixture library\",\"fileVersion\":\"5.1.2600.1 (fixture)\","
              "\"internalName\":\"version_fixture\",\"originalFileName\":\"version_fixture.dll\","
              "\"productName\":\"Tarnwick Caf\xC3\xA9 Fixture\",\"productVersion\":\"2.6\","
              "\"formattedFileVersion\":\"5.1.2600.1\",\"operatingSystem\":\"Win32 API on Windows NT\","
              "\"fileType\":\"Dynamic link library\",\"language\":1033,\"codePage\":1252}\n",
              json.out);
    Outcome text = Run({"version", "C:\\WINDOWS\\system32\\fixture.dll"});
    EXPECT_NE(std::string::npos, text.out.find("Formatted file version: 5.1.2600.1\n"));
    EXPECT_NE(std::string::npos, text.out.find("Language / code page: 0x0409 / 1252\n"));

    Outcome missing = Run({"version", "C:\\nothing.dll"});
    EXPECT_EQ(1, missing.status);
    EXPECT_EQ("tarnwick-cli: no version information in C:\\nothing.dll\n", missing.err);
    EXPECT_EQ(2, Run({"version"}).status);
    fs::remove_all(root);
}

}  // namespace
}  // namespace tw::test
