// End to end: the three manager windows of Tarnwick.exe, opened from the "Settings" page and
// driven through their lists and buttons, with the effects checked in the registry.
#include "gui_driver.h"

#include "platform/win32/win32_registry.h"
#include "support/registry_fixture.h"

#include "../../resources/resource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace tw::test::gui {
namespace {

const char* const kPageTitle = "Tarnwick version 2.6";
const char* const kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kRunOnceKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char* const kRun32Key = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kRunOnce32Key = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char* const kStartupStore = "SOFTWARE\\Tarnwick\\StartupManager";
const char* const kObjectsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const char* const kBhoStore = "SOFTWARE\\Tarnwick\\BhoManager";
const char* const kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char* const kProgramStore = "SOFTWARE\\Tarnwick\\AddRemoveProgram";
const char* const kObjectId = "{7A3F0C11-5D2E-4B8A-9C61-0E2F4A6B8D13}";
const char* const kProgramKey = "Tarnwick Fixture App";
const char* const kHalfProgramKey = "Tarnwick Half Entry";

std::string Text(HWND dialog, int id)
{
    return ControlText(Control(dialog, id));
}

// A branch's keys and values with its own path left out, so that an entry compares equal
// wherever it lies.
std::string EntryDump(Registry& registry, HKey root, const std::string& path)
{
    std::string dump = DumpBranch(registry, root, path);
    for (std::size_t at = dump.find(path); at != std::string::npos; at = dump.find(path, at))
        dump.erase(at, path.size());
    return dump;
}

// Makes a key read-only for everyone while it lives (the old access list comes back through a
// handle opened before, which keeps the right to change it).
class ReadOnlyKey {
public:
    ReadOnlyKey(HKEY root, const char* path)
    {
        if (RegOpenKeyExA(root, path, 0, KEY_READ | READ_CONTROL | WRITE_DAC, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        DWORD size = 0;
        RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
        saved_.resize(size);
        if (size == 0 || RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS)
            saved_.clear();
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone_))
            return;
        acl_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(everyone_));
        auto* acl = reinterpret_cast<ACL*>(acl_.data());
        SECURITY_DESCRIPTOR descriptor;
        applied_ = InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) &&
                   AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone_) &&
                   InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                   SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
                   RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
    }
    ~ReadOnlyKey()
    {
        if (key_ && applied_ && !saved_.empty())
            RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data());
        if (key_)
            RegCloseKey(key_);
        if (everyone_)
            FreeSid(everyone_);
    }
    ReadOnlyKey(const ReadOnlyKey&) = delete;
    ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;
    bool applied() const { return applied_ && !saved_.empty(); }

private:
    HKEY key_ = nullptr;
    PSID everyone_ = nullptr;
    std::vector<BYTE> acl_;
    std::vector<BYTE> saved_;
    bool applied_ = false;
};

// Row of `list` whose `column` reads `text`, or -1.
int FindRow(HWND list, int column, const std::string& text)
{
    for (int row = 0; row < ListRowCount(list); ++row)
        if (ListText(list, row, column) == text)
            return row;
    return -1;
}

class GuiManagersTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean()
    {
        WipeKey(registry, kCurrentUser, "Software\\Tarnwick");
        WipeKey(registry, kLocalMachine, "SOFTWARE\\Tarnwick");
        for (const char* key : {kRunKey, kRunOnceKey})
            for (HKey root : {kCurrentUser, kLocalMachine})
                WipeKey(registry, root, key);
        WipeKey(registry, kLocalMachine, kRun32Key);
        WipeKey(registry, kLocalMachine, kRunOnce32Key);
        WipeKey(registry, kLocalMachine, std::string(kObjectsKey) + "\\" + kObjectId);
        WipeKey(registry, kClassesRoot, std::string("CLSID\\") + kObjectId);
        WipeKey(registry, kLocalMachine, std::string(kUninstallKey) + "\\" + kProgramKey);
        WipeKey(registry, kLocalMachine, std::string(kUninstallKey) + "\\" + kHalfProgramKey);
        DeleteFileA(marker.c_str());
    }

    // Opens a manager from the "Settings" page; its window.
    HWND OpenManager(TarnwickRun& run, HWND main, int button)
    {
        Click(main, IDC_USER_SETTINGS);
        if (!WaitFor([&] { return Visible(main, button); }))
            return nullptr;
        Click(main, button);
        return run.WaitForWindow(kPageTitle);
    }

    // Presses a button that answers with one message box; the box's text, after OK.
    static std::string PressForMessage(TarnwickRun& run, HWND dialog, int button)
    {
        Click(dialog, button);
        HWND box = run.WaitForWindow("Tarnwick");
        if (!box)
            return "(no message)";
        std::string text = MessageBoxText(box);
        PressOk(box);
        WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); });
        return text;
    }

    Win32Registry registry;
    const std::string fixture = TestFolder() + "\\startup_fixture.exe";
    const std::string marker = TestFolder() + "\\startup_fixture.ran";
};

// A program path with a blank, written without quotes, is started as the one file it names:
// never "Space.exe" beside the folder "Space Dir", which an unquoted command line would try
// first.
TEST_F(GuiManagersTest, RunStartsTheFileThePathNamesThoughItHasBlanks)
{
    const std::string folder = TestFolder() + "\\Space Dir";
    const std::string wanted = folder + "\\startup_fixture.exe";
    const std::string decoy = TestFolder() + "\\Space.exe";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(fixture.c_str(), wanted.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(fixture.c_str(), decoy.c_str(), FALSE));
    const std::string wantedMarker = folder + "\\startup_fixture.ran";
    const std::string decoyMarker = TestFolder() + "\\Space.ran";
    DeleteFileA(wantedMarker.c_str());
    DeleteFileA(decoyMarker.c_str());
    SetValue(registry, kCurrentUser, kRunKey, "Blanks", kRegSz, Str(wanted + " /tray"));

    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    HWND dialog = OpenManager(run, main, IDC_STARTUP_MANAGER);
    ASSERT_NE(nullptr, dialog);
    // The list is made as the window fills it: asked for again until it holds the row.
    HWND list = nullptr;
    ASSERT_TRUE(WaitFor([&] { return ListRowCount(list = Control(dialog, IDC_MGR_LIST)) == 1; }));
    EXPECT_EQ(wanted + " /tray", ListText(list, 0, 2));
    SelectListRow(list, 0);
    EXPECT_TRUE(WaitFor([&] { return !Text(dialog, IDC_MGR_VALUE_FILE).empty(); }));
    Click(dialog, IDC_STARTUP_RUN);
    EXPECT_TRUE(WaitFor([&] { return GetFileAttributesA(wantedMarker.c_str()) != INVALID_FILE_ATTRIBUTES; }));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(decoyMarker.c_str()));
    Click(dialog, IDC_MGR_CLOSE);
    for (const std::string& path : {wantedMarker, decoyMarker, wanted, decoy})
        DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(GuiManagersTest, StartupProgramsBothRootsDetailsRunRemoveAndRestore)
{
    const std::string machineCommand = "\"" + fixture + "\" /tray";
    const std::string userCommand = "C:\\nowhere\\user twin.exe -min";
    SetValue(registry, kLocalMachine, kRunKey, "Twin", kRegSz, Str(machineCommand));
    SetValue(registry, kCurrentUser, kRunKey, "Twin", kRegSz, Str(userCommand));
    const std::string machineBefore = DumpBranch(registry, kLocalMachine, kRunKey);
    const std::string userBefore = DumpBranch(registry, kCurrentUser, kRunKey);

    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    HWND dialog = OpenManager(run, main, IDC_STARTUP_MANAGER);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(main); })) << "the page takes the main window's place";
    EXPECT_EQ("Manage Startup Programs", Text(dialog, IDC_PAGE_TITLE_LINE));
    EXPECT_EQ("Startup Programs are applications that run each time you start your computer. You can view details "
              "about each item by highlighting an entry below, including the company behind the application as "
              "well as the Product Name so you can make an informed decision on what you wish to remove.",
              Text(dialog, IDC_MGR_DESCRIPTION));
    EXPECT_EQ("Note: Removal of items below will prevent them from running when you start your computer but will "
              "not remove the actual application from your PC.",
              Text(dialog, IDC_MGR_NOTE));
    EXPECT_EQ("Details", WindowText(Control(dialog, IDC_MGR_DETAILS_GROUP)));
    EXPECT_EQ("File Name:", WindowText(Control(dialog, IDC_MGR_LABEL_FILE)));
    EXPECT_EQ("Product Name:", WindowText(Control(dialog, IDC_MGR_LABEL_PRODUCT)));
    EXPECT_EQ("Desctiption:", WindowText(Control(dialog, IDC_MGR_LABEL_DESCRIPTION)));
    EXPECT_EQ("Company:", WindowText(Control(dialog, IDC_MGR_LABEL_COMPANY)));
    for (int id : {IDC_STARTUP_RUN, IDC_STARTUP_REMOVE, IDC_STARTUP_RESTORE, IDC_MGR_CLOSE})
        EXPECT_TRUE(Visible(dialog, id)) << id;

    // The same name under both roots: two rows, HKEY_LOCAL_MACHINE's first.
    HWND list = Control(dialog, IDC_MGR_LIST);
    ASSERT_NE(nullptr, list);
    ASSERT_EQ(2, ListRowCount(list));
    EXPECT_EQ("Twin", ListText(list, 0, 1));
    EXPECT_EQ(machineCommand, ListText(list, 0, 2));
    EXPECT_EQ("Twin", ListText(list, 1, 1));
    EXPECT_EQ(userCommand, ListText(list, 1, 2));

    // The details of the quoted program, without its argument.
    SelectListRow(list, 0);
    EXPECT_TRUE(WaitFor([&] { return Text(dialog, IDC_MGR_VALUE_FILE) == "startup_fixture.exe (Version: 3.4.5.6)"; }))
        << Text(dialog, IDC_MGR_VALUE_FILE);
    EXPECT_EQ("Tarnwick Startup Fixture (Version: 1.2)", Text(dialog, IDC_MGR_VALUE_PRODUCT));
    EXPECT_EQ("Startup fixture program", Text(dialog, IDC_MGR_VALUE_DESCRIPTION));
    EXPECT_EQ("Tarnwick Fixture Works", Text(dialog, IDC_MGR_VALUE_COMPANY));
    EXPECT_TRUE(SaveScreenshot(dialog, "startup-manager"));

    // The same row again is not read again: a text put over the value stays.
    SendMessageA(Control(dialog, IDC_MGR_VALUE_COMPANY), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("kept"));
    SelectListRow(list, 0);
    EXPECT_TRUE(SaveScreenshot(dialog, "startup-manager-same-row"));  // lets several polls pass
    EXPECT_EQ("kept", Text(dialog, IDC_MGR_VALUE_COMPANY));
    // Another row is: its program has no version information, so the panel empties.
    SelectListRow(list, 1);
    EXPECT_TRUE(WaitFor([&] { return Text(dialog, IDC_MGR_VALUE_FILE).empty(); }));
    EXPECT_EQ("", Text(dialog, IDC_MGR_VALUE_COMPANY));

    // Run starts the program without its argument.
    SelectListRow(list, 0);
    EXPECT_TRUE(WaitFor([&] { return !Text(dialog, IDC_MGR_VALUE_FILE).empty(); }));
    Click(dialog, IDC_STARTUP_RUN);
    ASSERT_TRUE(WaitFor([&] { return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }));
    std::string ranWith;
    EXPECT_TRUE(WaitFor([&] {
        std::ifstream in(marker, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        ranWith = text.str();
        return static_cast<bool>(in);
    }));
    EXPECT_EQ(std::string::npos, ranWith.find("/tray")) << ranWith;
    // A program that is not there: Run says so, with the system's reason.
    SelectListRow(list, 1);
    EXPECT_TRUE(WaitFor([&] { return Text(dialog, IDC_MGR_VALUE_FILE).empty(); }));
    const std::string failed = PressForMessage(run, dialog, IDC_STARTUP_RUN);
    EXPECT_EQ(0u, failed.find("The program could not be started: C:\\nowhere\\user twin.exe\n\n")) << failed;
    EXPECT_GT(failed.size(), std::string("The program could not be started: C:\\nowhere\\user twin.exe\n\n").size())
        << "the system's reason follows";

    // Removing the user's twin moves only that value, into the user's store.
    SetListChecked(list, 1, true);
    Click(dialog, IDC_STARTUP_REMOVE);
    // The list is filled again row by row: wait for the last text.
    ASSERT_TRUE(WaitFor([&] { return ListRowCount(list) == 1 && ListText(list, 0, 2) == machineCommand; }))
        << ListText(list, 0, 2);
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_FALSE(GetValue(registry, kCurrentUser, kRunKey, "Twin", &type, &data));
    ASSERT_TRUE(GetValue(registry, kCurrentUser, kStartupStore, "Twin", &type, &data));
    EXPECT_EQ(kRegSz, type);
    EXPECT_EQ(Str(userCommand), data);
    EXPECT_EQ(machineBefore, DumpBranch(registry, kLocalMachine, kRunKey));
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, kStartupStore));

    // The restore view lists it.
    Click(dialog, IDC_STARTUP_RESTORE);
    ASSERT_TRUE(WaitFor([&] { return Text(dialog, IDC_PAGE_TITLE_LINE) == "Restore Removed Registry Entries"; }));
    EXPECT_EQ("\r\nSelect Item to Restore:", Text(dialog, IDC_MGR_NOTE));
    EXPECT_EQ("", Text(dialog, IDC_MGR_DESCRIPTION));
    EXPECT_FALSE(Visible(dialog, IDC_STARTUP_REMOVE));
    EXPECT_FALSE(Visible(dialog, IDC_STARTUP_RUN));
    EXPECT_TRUE(Visible(dialog, IDC_STARTUP_RESTORE));
    EXPECT_EQ("", Text(dialog, IDC_MGR_VALUE_FILE)) << "the details are cleared";
    ASSERT_EQ(1, ListRowCount(list));
    EXPECT_EQ(userCommand, ListText(list, 0, 2));
    EXPECT_TRUE(SaveScreenshot(dialog, "startup-manager-restore"));

    // Restoring puts it back under the same root, exactly, and returns to the list view.
    SetListChecked(list, 0, true);
    Click(dialog, IDC_STARTUP_RESTORE);
    ASSERT_TRUE(WaitFor([&] { return Text(dialog, IDC_PAGE_TITLE_LINE) == "Manage Startup Programs"; }));
    EXPECT_TRUE(Visible(dialog, IDC_STARTUP_REMOVE));
    EXPECT_TRUE(Visible(dialog, IDC_STARTUP_RUN));
    EXPECT_EQ(2, ListRowCount(list));
    EXPECT_EQ(userBefore, DumpBranch(registry, kCurrentUser, kRunKey));
    EXPECT_EQ(machineBefore, DumpBranch(registry, kLocalMachine, kRunKey));
    EXPECT_FALSE(GetValue(registry, kCurrentUser, kStartupStore, "Twin", &type, &data));

    // A move the registry refuses is not shown as done: the row stays and one warning says so.
    {
        ReadOnlyKey locked(HKEY_CURRENT_USER, kRunKey);
        ASSERT_TRUE(locked.applied());
        HKEY probe = nullptr;
        ASSERT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_ALL_ACCESS, &probe));
        SetListChecked(list, 1, true);
        EXPECT_EQ("Some entries could not be moved. They are still listed.\n"
                  "Twin (HKCU Run): it could not be opened for moving, or not copied.",
                  PressForMessage(run, dialog, IDC_STARTUP_REMOVE));
        EXPECT_EQ(nullptr, FindProcessWindow(run.processId(), "Tarnwick"));
        ASSERT_EQ(2, ListRowCount(list));
        EXPECT_EQ(userCommand, ListText(list, 1, 2));
        EXPECT_TRUE(ListChecked(list, 1));
        SetListChecked(list, 1, false);
    }
    EXPECT_EQ(userBefore, DumpBranch(registry, kCurrentUser, kRunKey));
    EXPECT_FALSE(GetValue(registry, kCurrentUser, kStartupStore, "Twin", &type, &data));

    // Close ends the page and gives the window back to the main window.
    Click(dialog, IDC_MGR_CLOSE);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main); }));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
}

// One entry in each place current 64-bit Windows starts programs from: each row says where
// it lives, and a removed entry goes to the store of its own place and back, with its type.
TEST_F(GuiManagersTest, StartupRowsSayWhereEachLivesAndGoBackToTheirOwnPlace)
{
    struct Seed {
        HKey root;
        const char* key;
        const char* name;
        std::uint32_t type;
        const char* command;
        const char* location;
    } seeds[] = {
        {kLocalMachine, kRunKey, "Agent", kRegSz, "C:\\Program Files\\Agent\\agent.exe /tray", "HKLM Run"},
        {kLocalMachine, kRunOnceKey, "Agent", kRegExpandSz, "%SystemRoot%\\agent-once.exe", "HKLM RunOnce"},
        {kLocalMachine, kRun32Key, "Agent", kRegSz, "C:\\Program Files (x86)\\Agent\\agent32.exe", "HKLM Run (32-bit)"},
        {kLocalMachine, kRunOnce32Key, "Agent", kRegExpandSz, "%ProgramFiles(x86)%\\setup32.exe /finish",
         "HKLM RunOnce (32-bit)"},
        {kCurrentUser, kRunKey, "Agent", kRegSz, "C:\\Users\\me\\agent.exe", "HKCU Run"},
        {kCurrentUser, kRunOnceKey, "Agent", kRegExpandSz, "%LOCALAPPDATA%\\once.exe", "HKCU RunOnce"},
    };
    for (const Seed& s : seeds)
        SetValue(registry, s.root, s.key, s.name, s.type, Str(s.command));

    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);
    HWND dialog = OpenManager(run, main, IDC_STARTUP_MANAGER);
    ASSERT_NE(nullptr, dialog);
    HWND list = nullptr;  // made once the window is up
    ASSERT_TRUE(WaitFor([&] { return (list = Control(dialog, IDC_MGR_LIST)) != nullptr; }));
    ASSERT_TRUE(WaitFor([&] { return ListRowCount(list) == 6 && ListText(list, 5, 3) == "HKCU RunOnce"; }))
        << ListRowCount(list);
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ("Agent", ListText(list, row, 1)) << row;
        EXPECT_EQ(seeds[row].command, ListText(list, row, 2)) << row;
        EXPECT_EQ(seeds[row].location, ListText(list, row, 3)) << row;
    }
    EXPECT_TRUE(SaveScreenshot(dialog, "startup-manager-places"));

    // The 32-bit RunOnce entry and the user's RunOnce entry go, each into its own store.
    SetListChecked(list, 3, true);
    SetListChecked(list, 5, true);
    Click(dialog, IDC_STARTUP_REMOVE);
    ASSERT_TRUE(WaitFor([&] { return ListRowCount(list) == 4; }));
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_FALSE(GetValue(registry, kLocalMachine, kRunOnce32Key, "Agent", &type, &data));
    ASSERT_TRUE(
        GetValue(registry, kLocalMachine, "SOFTWARE\\Tarnwick\\StartupManager\\RunOnce32", "Agent", &type, &data));
    EXPECT_EQ(kRegExpandSz, type);
    EXPECT_EQ(Str(seeds[3].command), data);
    ASSERT_TRUE(GetValue(registry, kCurrentUser, "SOFTWARE\\Tarnwick\\StartupManager\\RunOnce", "Agent", &type, &data));
    EXPECT_EQ(kRegExpandSz, type);
    EXPECT_TRUE(GetValue(registry, kLocalMachine, kRunOnceKey, "Agent", &type, &data)) << "the namesakes stay";

    // The restore view says where each stored entry goes back to.
    Click(dialog, IDC_STARTUP_RESTORE);
    ASSERT_TRUE(WaitFor([&] { return Text(dialog, IDC_PAGE_TITLE_LINE) == "Restore Removed Registry Entries"; }));
    ASSERT_TRUE(WaitFor([&] { return ListRowCount(list) == 2 && ListText(list, 1, 3) == "HKLM RunOnce (32-bit)"; }));
    EXPECT_EQ("HKCU RunOnce", ListText(list, 0, 3));
    EXPECT_TRUE(SaveScreenshot(dialog, "startup-manager-places-restore"));
    SetListChecked(list, 0, true);
    SetListChecked(list, 1, true);
    Click(dialog, IDC_STARTUP_RESTORE);
    ASSERT_TRUE(WaitFor([&] { return Text(dialog, IDC_PAGE_TITLE_LINE) == "Manage Startup Programs"; }));
    ASSERT_TRUE(WaitFor([&] { return ListRowCount(list) == 6; }));
    for (const Seed& s : seeds) {
        ASSERT_TRUE(GetValue(registry, s.root, s.key, s.name, &type, &data)) << s.location;
        EXPECT_EQ(s.type, type) << s.location;
        EXPECT_EQ(Str(s.command), data) << s.location;
    }

    Click(dialog, IDC_MGR_CLOSE);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    Click(main, IDC_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
}

TEST_F(GuiManagersTest, HelperObjectsAndInstalledProgramsGoToTheStoreAndBackExactly)
{
    const std::string object = std::string(kObjectsKey) + "\\" + kObjectId;
    const std::string library = TestFolder() + "\\version_fixture.dll";
    SetValue(registry, kLocalMachine, object, "NoExplorer", kRegDword, B({1, 0, 0, 0}));
    SetValue(registry, kLocalMachine, object + "\\Settings", "Mode", kRegBinary, B({0, 0xFF, 7}));
    SetValue(registry, kClassesRoot, std::string("CLSID\\") + kObjectId + "\\InprocServer32", nullptr, kRegSz,
             Str(library));
    const std::string program = std::string(kUninstallKey) + "\\" + kProgramKey;
    SetValue(registry, kLocalMachine, program, "DisplayName", kRegSz, Str("Tarnwick Fixture App"));
    SetValue(registry, kLocalMachine, program, "UninstallString", kRegExpandSz, Str("%SystemRoot%\\un.exe /x"));
    SetValue(registry, kLocalMachine, program, "EstimatedSize", kRegDword, B({0x10, 0x27, 0, 0}));
    SetValue(registry, kLocalMachine, program + "\\Parts\\Deep", "List", kRegMultiSz, B({'a', 0, 'b', 0, 0}));
    SetValue(registry, kLocalMachine, std::string(kUninstallKey) + "\\" + kHalfProgramKey, "DisplayName", kRegSz,
             Str("Tarnwick Half Entry"));
    const std::string objectBefore = EntryDump(registry, kLocalMachine, object);
    const std::string programBefore = EntryDump(registry, kLocalMachine, program);

    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    ASSERT_NE(nullptr, main);

    // ---- browser helper objects
    HWND dialog = OpenManager(run, main, IDC_BHO_MANAGER);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("Manage Browser Helper Object (BHO)", Text(dialog, IDC_PAGE_TITLE_LINE));
    EXPECT_EQ(0u, Text(dialog, IDC_MGR_DESCRIPTION).find("Browser Helper Objects are objects that attach tyhemselves"));
    HWND list = Control(dialog, IDC_MGR_LIST);
    int row = FindRow(list, 1, library);
    ASSERT_LE(0, row);
    SelectListRow(list, row);
    EXPECT_TRUE(WaitFor([&] { return Text(dialog, IDC_MGR_VALUE_FILE) == "version_fixture.dll (Version: 5.1.2600.1)"; }))
        << Text(dialog, IDC_MGR_VALUE_FILE);
    EXPECT_EQ("Tarnwick Fixture Works", Text(dialog, IDC_MGR_VALUE_COMPANY));
    EXPECT_TRUE(SaveScreenshot(dialog, "bho-manager"));

    const int rows = ListRowCount(list);
    SetListChecked(list, row, true);
    Click(dialog, IDC_BHO_REMOVE);
    ASSERT_TRUE(WaitFor([&] { return ListRowCount(list) == rows - 1; }));
    EXPECT_EQ(-1, FindRow(list, 1, library));
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, object));
    EXPECT_EQ(objectBefore, EntryDump(registry, kLocalMachine, std::string(kBhoStore) + "\\" + kObjectId));
    EXPECT_TRUE(KeyExists(registry, kClassesRoot, std::string("CLSID\\") + kObjectId + "\\InprocServer32"));

    Click(dialog, IDC_BHO_RESTORE);
    ASSERT_TRUE(WaitFor([&] { return Text(dialog, IDC_PAGE_TITLE_LINE) == "Restore Removed Registry Entries"; }));
    EXPECT_FALSE(Visible(dialog, IDC_BHO_REMOVE));
    ASSERT_EQ(1, ListRowCount(list));
    EXPECT_EQ(library, ListText(list, 0, 1));
    EXPECT_TRUE(SaveScreenshot(dialog, "bho-manager-restore"));
    SetListChecked(list, 0, true);
    Click(dialog, IDC_BHO_RESTORE);
    ASSERT_TRUE(WaitFor([&] { return Text(dialog, IDC_PAGE_TITLE_LINE) == "Manage Browser Helper Object (BHO)"; }));
    EXPECT_EQ(objectBefore, EntryDump(registry, kLocalMachine, object));
    EXPECT_EQ(rows, ListRowCount(list));

    // An empty store says so once; the header's "Show main page" then ends the page at once.
    EXPECT_EQ("No backups present for restore.", PressForMessage(run, dialog, IDC_BHO_RESTORE));
    EXPECT_EQ(nullptr, FindProcessWindow(run.processId(), "Tarnwick"));
    EXPECT_EQ("Restore Removed Registry Entries", Text(dialog, IDC_PAGE_TITLE_LINE));
    EXPECT_EQ(0, ListRowCount(list));
    Click(dialog, IDC_MAIN_PAGE);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) && Visible(main, IDC_SCAN_NOW); }));

    // ---- Add/Remove Programs
    dialog = OpenManager(run, main, IDC_ADDREMOVE_MANAGER);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("Manage Installed Programs", Text(dialog, IDC_PAGE_TITLE_LINE));
    const std::string description = Text(dialog, IDC_MGR_DESCRIPTION);
    EXPECT_EQ(0u, description.find("Add/Remove Programs items are entries"));
    EXPECT_EQ(nullptr, Control(dialog, IDC_MGR_DETAILS_GROUP)) << "no details panel";
    list = Control(dialog, IDC_MGR_LIST);
    row = FindRow(list, 1, "Tarnwick Fixture App");
    ASSERT_LE(0, row);
    EXPECT_EQ("%SystemRoot%\\un.exe /x", ListText(list, row, 2));
    EXPECT_EQ(-1, FindRow(list, 1, "Tarnwick Half Entry")) << "listed without an UninstallString";
    EXPECT_TRUE(SaveScreenshot(dialog, "addremove-manager"));

    SetListChecked(list, row, true);
    Click(dialog, IDC_ADDREMOVE_REMOVE);
    ASSERT_TRUE(WaitFor([&] { return FindRow(list, 1, "Tarnwick Fixture App") == -1; }));
    EXPECT_FALSE(KeyExists(registry, kLocalMachine, program));
    EXPECT_EQ(programBefore, EntryDump(registry, kLocalMachine, std::string(kProgramStore) + "\\" + kProgramKey));

    Click(dialog, IDC_ADDREMOVE_RESTORE);
    ASSERT_TRUE(WaitFor([&] { return Text(dialog, IDC_PAGE_TITLE_LINE) == "Restore Removed Registry Entries"; }));
    EXPECT_EQ("\r\nSelect items to restore:", Text(dialog, IDC_MGR_NOTE));
    EXPECT_EQ(description, Text(dialog, IDC_MGR_DESCRIPTION)) << "this manager keeps its description";
    EXPECT_FALSE(Visible(dialog, IDC_ADDREMOVE_REMOVE));
    ASSERT_EQ(1, ListRowCount(list));
    EXPECT_EQ("Tarnwick Fixture App", ListText(list, 0, 1));
    EXPECT_TRUE(SaveScreenshot(dialog, "addremove-manager-restore"));
    SetListChecked(list, 0, true);
    Click(dialog, IDC_ADDREMOVE_RESTORE);
    ASSERT_TRUE(WaitFor([&] { return Text(dialog, IDC_PAGE_TITLE_LINE) == "Manage Installed Programs"; }));
    EXPECT_EQ(programBefore, EntryDump(registry, kLocalMachine, program));
    EXPECT_LE(0, FindRow(list, 1, "Tarnwick Fixture App"));

    // The exit button (1030 here) ends the program.
    Click(dialog, IDC_ADDREMOVE_EXIT);
    EXPECT_EQ(0, run.WaitForExit());
}

}  // namespace
}  // namespace tw::test::gui
