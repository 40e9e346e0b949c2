// The manager windows' models: the two views with their texts, remove and restore through
// the ticked rows, the empty-store message, the details of the selected row and running it.
#include "managers/add_remove_manager.h"
#include "managers/bho_manager.h"
#include "managers/removed_entry_store.h"
#include "managers/startup_manager.h"
#include "platform/memory/memory_system.h"
#include "support/registry_fixture.h"
#include "unit/managers/version_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tw::test {
namespace {

namespace fs = std::filesystem;

class ManagerModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() /
                ("tarnwick_models_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "Program Files" / "Fix");
        fs::copy_file(FixtureFolder() + "/version_fixture.dll", root_ / "Program Files" / "Fix" / "fixture.exe");
        fs::copy_file(FixtureFolder() + "/version_fixture.dll", root_ / "Program Files" / "Fix" / "helper.dll");
        system_.MapDrive('C', root_.string());
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    static std::vector<std::string> Column(const ManagerModel& model, std::size_t column)
    {
        std::vector<std::string> texts;
        for (const ManagerRow& row : model.rows())
            texts.push_back(row.texts.at(column));
        return texts;
    }

    fs::path root_;
    MemorySystem system_;
    MemoryRegistry registry_;
};

using Texts = std::vector<std::string>;

TEST_F(ManagerModelTest, StartupRemoveAndRestoreThroughTheTwoViews)
{
    SetValue(registry_, kCurrentUser, kRunKeyPath, "Same", kRegSz, Str("C:\\user.exe"));
    SetValue(registry_, kLocalMachine, kRunKeyPath, "Same", kRegSz, Str("C:\\machine.exe"));
    SetValue(registry_, kLocalMachine, kRunKeyPath, "Other", kRegDword, B({'7', 0, 0, 0}));
    StartupManagerModel model(registry_, system_);
    model.Open();
    EXPECT_EQ("Manage Startup Programs", model.title());
    EXPECT_EQ(0u, model.description().find("Startup Programs are applications"));
    EXPECT_TRUE(model.removeShown());
    EXPECT_TRUE(model.runShown());
    EXPECT_EQ((Texts{"Other", "Same", "Same"}), Column(model, 1));
    EXPECT_EQ((Texts{"7", "C:\\machine.exe", "C:\\user.exe"}), Column(model, 2));

    model.SetTicked(0, true);
    model.SetTicked(2, true);
    EXPECT_EQ(ManagerAction::None, model.PressRemove());
    EXPECT_EQ((Texts{"C:\\machine.exe"}), Column(model, 2));
    EXPECT_EQ(0u, model.failedMoves());
    EXPECT_EQ(1u, model.rows()[0].entry) << "the remaining row keeps its entry";

    EXPECT_EQ(ManagerAction::None, model.PressRestore());
    EXPECT_FALSE(model.inListView());
    EXPECT_EQ("Restore Removed Registry Entries", model.title());
    EXPECT_EQ("\r\nSelect Item to Restore:", model.note());
    EXPECT_EQ("", model.description());
    EXPECT_FALSE(model.removeShown());
    EXPECT_FALSE(model.runShown());
    EXPECT_EQ((Texts{"C:\\user.exe", "7"}), Column(model, 2)) << "the user's store comes first";

    model.SetTicked(1, true);
    EXPECT_EQ(ManagerAction::None, model.PressRestore());
    EXPECT_TRUE(model.inListView());
    EXPECT_EQ("Manage Startup Programs", model.title());
    EXPECT_EQ((Texts{"7", "C:\\machine.exe"}), Column(model, 2));
    std::uint32_t type = 0;
    Bytes data;
    ASSERT_TRUE(GetValue(registry_, kLocalMachine, kRunKeyPath, "Other", &type, &data));
    EXPECT_EQ(kRegDword, type) << "back with its own type, not as the text the row shows";
    EXPECT_EQ(B({'7', 0, 0, 0}), data);
    EXPECT_TRUE(GetValue(registry_, kCurrentUser, kStartupStoreKeyPath, "Same", &type, &data)) << "not restored";
    EXPECT_EQ(ManagerAction::EndDialog, model.PressClose());
}

// The last column says where each entry lives, in both views; a ticked row moves only its
// own entry, and the restore view lists it with the place it goes back to.
TEST_F(ManagerModelTest, EachRowSaysWhereItsEntryLives)
{
    for (HKey root : {kCurrentUser, kLocalMachine}) {
        SetValue(registry_, root, kUninstallKeyPath + std::string("\\App"), "DisplayName", kRegSz, Str("App"));
        SetValue(registry_, root, kUninstallKeyPath + std::string("\\App"), "UninstallString", kRegSz, Str("u.exe"));
    }
    SetValue(registry_, kLocalMachine, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old",
             "DisplayName", kRegSz, Str("Old"));
    SetValue(registry_, kLocalMachine, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old",
             "UninstallString", kRegSz, Str("o.exe"));
    AddRemoveManagerModel programs(registry_, system_);
    programs.Open();
    ASSERT_EQ(4u, programs.columns().size());
    EXPECT_STREQ("Location", programs.columns()[3].title);
    EXPECT_EQ((Texts{"App", "Old", "App"}), Column(programs, 1));
    EXPECT_EQ((Texts{"HKLM", "HKLM (32-bit)", "HKCU"}), Column(programs, 3));
    programs.SetTicked(2, true);
    EXPECT_EQ(ManagerAction::None, programs.PressRemove());
    EXPECT_EQ((Texts{"HKLM", "HKLM (32-bit)"}), Column(programs, 3));
    EXPECT_TRUE(KeyExists(registry_, kCurrentUser, std::string(kAddRemoveStoreKeyPath) + "\\App"));
    EXPECT_FALSE(KeyExists(registry_, kLocalMachine, std::string(kAddRemoveStoreKeyPath) + "\\App"));
    EXPECT_EQ(ManagerAction::None, programs.PressRestore());
    EXPECT_EQ((Texts{"HKCU"}), Column(programs, 3));

    SetValue(registry_, kCurrentUser, kRunOnceKeyPath, "Once", kRegSz, Str("C:\\once.exe"));
    StartupManagerModel startup(registry_, system_);
    startup.Open();
    ASSERT_EQ(4u, startup.columns().size());
    EXPECT_STREQ("Location", startup.columns()[3].title);
    EXPECT_EQ((Texts{"HKCU RunOnce"}), Column(startup, 3));
    EXPECT_EQ((Texts{"C:\\once.exe"}), Column(startup, 2)) << "the command stays in its column";
}

TEST_F(ManagerModelTest, AnEmptyStoreSaysSoOnceAndCloseReturnsToTheList)
{
    SetValue(registry_, kLocalMachine, kUninstallKeyPath + std::string("\\App"), "DisplayName", kRegSz, Str("App"));
    SetValue(registry_, kLocalMachine, kUninstallKeyPath + std::string("\\App"), "UninstallString", kRegSz,
             Str("un.exe"));
    AddRemoveManagerModel model(registry_, system_);
    model.Open();
    const std::string description = model.description();
    EXPECT_EQ("Manage Installed Programs", model.title());
    EXPECT_EQ(ManagerAction::ShowNoBackupsMessage, model.PressRestore());
    EXPECT_STREQ("No backups present for restore.", kNoBackupsMessage);
    EXPECT_TRUE(model.rows().empty());
    EXPECT_FALSE(model.inListView());
    EXPECT_EQ("\r\nSelect items to restore:", model.note());
    EXPECT_EQ(description, model.description()) << "this manager keeps its description";
    EXPECT_EQ(ManagerAction::None, model.PressClose());
    EXPECT_TRUE(model.inListView());
    EXPECT_EQ((Texts{"App"}), Column(model, 1));

    // An entry in the store that has lost a value is not offered.
    model.SetTicked(0, true);
    model.PressRemove();
    KeyHandle stored(registry_);
    ASSERT_EQ(kSuccess, registry_.OpenKey(kLocalMachine, (kAddRemoveStoreKeyPath + std::string("\\App")).c_str(),
                                          stored.Put()));
    registry_.DeleteValue(stored.get(), "UninstallString");
    EXPECT_EQ(ManagerAction::ShowNoBackupsMessage, model.PressRestore());
}

TEST_F(ManagerModelTest, AFailedMoveKeepsItsRowTickedAndWarnsOnce)
{
    const std::string uninstall = kUninstallKeyPath;
    for (const char* name : {"A", "B", "C"}) {
        SetValue(registry_, kLocalMachine, uninstall + "\\" + name, "DisplayName", kRegSz, Str(name));
        SetValue(registry_, kLocalMachine, uninstall + "\\" + name, "UninstallString", kRegSz, Str("un.exe"));
    }
    AddRemoveManagerModel model(registry_, system_);
    model.Open();
    model.SetTicked(0, true);
    model.SetTicked(1, true);
    model.SetTicked(2, true);
    // Each move copies once: the second copy is refused.
    registry_.InjectFault(RegOp::CopyKey, 2, kErrorAccessDenied);
    EXPECT_EQ(ManagerAction::ShowMoveFailedMessage, model.PressRemove());
    EXPECT_STREQ("Some entries could not be moved. They are still listed.", kMoveFailedMessage);
    EXPECT_EQ("Some entries could not be moved. They are still listed.\n"
              "B (HKLM): it could not be opened for moving, or not copied.",
              model.moveFailedText());
    EXPECT_EQ(1u, model.failedMoves());
    ASSERT_EQ((Texts{"B"}), Column(model, 1)) << "only the refused entry stays listed";
    EXPECT_TRUE(model.rows()[0].ticked) << "ready to try again";
    EXPECT_EQ(1u, model.rows()[0].entry);
    EXPECT_TRUE(KeyExists(registry_, kLocalMachine, uninstall + "\\B"));
    EXPECT_FALSE(KeyExists(registry_, kLocalMachine, uninstall + "\\A"));
    EXPECT_TRUE(KeyExists(registry_, kLocalMachine, kAddRemoveStoreKeyPath + std::string("\\C")));

    // A second press succeeds and says nothing.
    EXPECT_EQ(ManagerAction::None, model.PressRemove());
    EXPECT_TRUE(model.rows().empty());

    // A refused restore keeps the restore view with what is still stored.
    EXPECT_EQ(ManagerAction::None, model.PressRestore());
    ASSERT_EQ((Texts{"A", "B", "C"}), Column(model, 1));
    model.SetTicked(0, true);
    model.SetTicked(2, true);
    registry_.InjectFault(RegOp::CopyKey, 1, kErrorAccessDenied);
    EXPECT_EQ(ManagerAction::ShowMoveFailedMessage, model.PressRestore());
    EXPECT_FALSE(model.inListView());
    EXPECT_EQ((Texts{"A", "B"}), Column(model, 1));
    EXPECT_TRUE(KeyExists(registry_, kLocalMachine, uninstall + "\\C"));
    model.SetTicked(0, true);
    EXPECT_EQ(ManagerAction::None, model.PressRestore());
    EXPECT_TRUE(model.inListView());
    EXPECT_EQ((Texts{"A", "C"}), Column(model, 1));
}

TEST_F(ManagerModelTest, ARefusedStartupMoveLeavesBothRootsAsTheyWere)
{
    SetValue(registry_, kLocalMachine, kRunKeyPath, "Same", kRegSz, Str("C:\\machine.exe"));
    SetValue(registry_, kCurrentUser, kRunKeyPath, "Same", kRegSz, Str("C:\\user.exe"));
    StartupManagerModel model(registry_, system_);
    model.Open();
    model.SetTicked(1, true);
    // The user's Run key cannot be opened for writing.
    registry_.InjectFault(RegOp::OpenKeyEx, 1, kErrorAccessDenied);
    EXPECT_EQ(ManagerAction::ShowMoveFailedMessage, model.PressRemove());
    EXPECT_EQ((Texts{"C:\\machine.exe", "C:\\user.exe"}), Column(model, 2));
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_TRUE(GetValue(registry_, kCurrentUser, kRunKeyPath, "Same", &type, &data));
    EXPECT_FALSE(GetValue(registry_, kCurrentUser, kStartupStoreKeyPath, "Same", &type, &data));
}

TEST_F(ManagerModelTest, ButtonsTooltipsAndWhichShowInEachView)
{
    MemoryRegistry registry;
    StartupManagerModel startup(registry, system_);
    BhoManagerModel bho(registry, system_);
    AddRemoveManagerModel programs(registry, system_);
    auto ids = [](const ManagerModel& model) {
        std::vector<int> list;
        for (const ManagerButton& b : model.buttons())
            list.push_back(b.id);
        return list;
    };
    EXPECT_EQ((std::vector<int>{1029, 1083, 1082, 1079}), ids(startup));
    EXPECT_EQ((std::vector<int>{1029, 1030, 1031}), ids(bho));
    EXPECT_EQ((std::vector<int>{1029, 1052, 1046}), ids(programs));
    for (const ManagerButton& b : startup.buttons()) {
        switch (b.role) {
        case ManagerButtonRole::Close:
            EXPECT_STREQ("Close the dialog", b.tooltip);
            EXPECT_EQ(191, b.normalBitmap);
            break;
        case ManagerButtonRole::Restore:
            EXPECT_STREQ("Restore programs", b.tooltip);
            EXPECT_EQ(227, b.normalBitmap);
            break;
        case ManagerButtonRole::Remove:
            EXPECT_STREQ("Remove selected programs", b.tooltip);
            EXPECT_EQ(226, b.hotBitmap);
            break;
        case ManagerButtonRole::Run:
            EXPECT_STREQ("Run selected program", b.tooltip);
            EXPECT_EQ(268, b.hotBitmap);
            break;
        }
    }
    startup.Open();
    EXPECT_TRUE(startup.ButtonShown(ManagerButtonRole::Run));
    EXPECT_TRUE(startup.ButtonShown(ManagerButtonRole::Remove));
    startup.PressRestore();
    EXPECT_FALSE(startup.ButtonShown(ManagerButtonRole::Run));
    EXPECT_FALSE(startup.ButtonShown(ManagerButtonRole::Remove));
    EXPECT_TRUE(startup.ButtonShown(ManagerButtonRole::Close));
    EXPECT_TRUE(startup.ButtonShown(ManagerButtonRole::Restore));
    programs.Open();
    EXPECT_FALSE(programs.ButtonShown(ManagerButtonRole::Run));

    EXPECT_STREQ("Details", kDetailsCaption);
    EXPECT_EQ((std::vector<std::string>{"File Name:", "Product Name:", "Desctiption:", "Company:"}),
              std::vector<std::string>(std::begin(kDetailLabels), std::end(kDetailLabels)));
    EXPECT_TRUE(startup.HasDetailsPanel());
    EXPECT_TRUE(bho.HasDetailsPanel());
    EXPECT_FALSE(programs.HasDetailsPanel());
}

TEST_F(ManagerModelTest, StartupDetailsFollowTheSelectionAndRunDropsArguments)
{
    SetValue(registry_, kLocalMachine, kRunKeyPath, "a fixture", kRegSz,
             Str("\"C:\\Program Files\\Fix\\fixture.exe\" /tray"));
    SetValue(registry_, kLocalMachine, kRunKeyPath, "b missing", kRegSz, Str("C:\\gone\\gone.exe -x"));
    StartupManagerModel model(registry_, system_);
    model.Open();
    EXPECT_FALSE(model.FollowSelection(-1));
    ASSERT_TRUE(model.FollowSelection(0));
    EXPECT_EQ("fixture.exe (Version: 5.1.2600.1)", model.details().fileName);
    EXPECT_EQ("Tarnwick Caf\xC3\xA9 Fixture (Version: 2.6)", model.details().productName);
    EXPECT_EQ("Version fixture library", model.details().description);
    EXPECT_EQ("Tarnwick Fixture Works", model.details().company);
    EXPECT_EQ((Texts{"fixture.exe (Version: 5.1.2600.1)", "Tarnwick Caf\xC3\xA9 Fixture (Version: 2.6)",
                     "Version fixture library", "Tarnwick Fixture Works"}),
              DetailValues(model.details()));
    EXPECT_TRUE(model.TakeDetailsRepaint());
    EXPECT_FALSE(model.TakeDetailsRepaint()) << "one repaint per change";
    EXPECT_FALSE(model.FollowSelection(0)) << "the same row is not shown again";
    EXPECT_FALSE(model.TakeDetailsRepaint());
    EXPECT_TRUE(model.FollowSelection(1));
    EXPECT_EQ(VersionDetails{}, model.details()) << "no version information: the panel empties";

    EXPECT_EQ("", model.RunSelected(0));
    EXPECT_EQ("", model.RunSelected(1));
    EXPECT_EQ("", model.RunSelected(-1));  // nothing selected, nothing to say
    EXPECT_EQ((Texts{"C:\\Program Files\\Fix\\fixture.exe", "C:\\gone\\gone.exe"}), system_.StartedPrograms());
    // A program the system cannot start is told, with the system's reason.
    system_.SetRunFailure("The system cannot find the file specified.");
    EXPECT_EQ("The program could not be started: C:\\gone\\gone.exe\n\nThe system cannot find the file specified.",
              model.RunSelected(1));
    system_.SetRunFailure("");

    model.FollowSelection(0);
    model.TakeDetailsRepaint();
    model.PressRestore();  // entering the restore view clears the details
    EXPECT_EQ(VersionDetails{}, model.details());
    EXPECT_TRUE(model.TakeDetailsRepaint()) << "the emptied panel is repainted";
}

TEST_F(ManagerModelTest, BhoDetailsEmptyWhenTheNewSelectionHasNone)
{
    const std::string objects = kBrowserHelperObjectsKeyPath;
    CreateKey(registry_, kLocalMachine, objects + "\\{A}");
    CreateKey(registry_, kLocalMachine, objects + "\\{B}");
    SetValue(registry_, kClassesRoot, "CLSID\\{A}\\InprocServer32", nullptr, kRegSz,
             Str("C:\\Program Files\\Fix\\helper.dll"));
    SetValue(registry_, kClassesRoot, "CLSID\\{B}\\InprocServer32", nullptr, kRegSz, Str("C:\\nothing.dll"));
    BhoManagerModel model(registry_, system_);
    model.Open();
    EXPECT_EQ("Manage Browser Helper Object (BHO)", model.title());
    ASSERT_EQ(2u, model.rows().size());
    ASSERT_TRUE(model.FollowSelection(0));
    EXPECT_EQ("helper.dll (Version: 5.1.2600.1)", model.details().fileName);
    ASSERT_TRUE(model.FollowSelection(1));
    EXPECT_EQ(VersionDetails{}, model.details());

    // Removing moves only the object's subkey; the class registration stays.
    model.SetTicked(0, true);
    model.PressRemove();
    EXPECT_FALSE(KeyExists(registry_, kLocalMachine, objects + "\\{A}"));
    EXPECT_TRUE(KeyExists(registry_, kClassesRoot, "CLSID\\{A}\\InprocServer32"));
    model.PressRestore();
    EXPECT_EQ((Texts{"C:\\Program Files\\Fix\\helper.dll"}), Column(model, 1));
    model.SetTicked(0, true);
    model.PressRestore();
    EXPECT_TRUE(KeyExists(registry_, kLocalMachine, objects + "\\{A}"));
    EXPECT_EQ(2u, model.rows().size());
}

// A program put its entry back after it was removed: removing it again would replace the
// stored copy, restoring the stored one would replace the live one. Both are refused, the
// message says why, and both copies stay.
TEST_F(ManagerModelTest, AnEntryRemovedTwiceOrRestoredOverItsReturnKeepsBothCopies)
{
    const std::string live = std::string(kUninstallKeyPath) + "\\App";
    const std::string stored = std::string(kAddRemoveStoreKeyPath) + "\\App";
    SetValue(registry_, kLocalMachine, live, "DisplayName", kRegSz, Str("App 1"));
    SetValue(registry_, kLocalMachine, live, "UninstallString", kRegSz, Str("un.exe"));
    AddRemoveManagerModel model(registry_, system_);
    model.Open();
    model.SetTicked(0, true);
    ASSERT_EQ(ManagerAction::None, model.PressRemove());
    SetValue(registry_, kLocalMachine, live, "DisplayName", kRegSz, Str("App 2"));
    SetValue(registry_, kLocalMachine, live, "UninstallString", kRegSz, Str("un.exe"));

    AddRemoveManagerModel again(registry_, system_);
    again.Open();
    again.SetTicked(0, true);
    EXPECT_EQ(ManagerAction::ShowMoveFailedMessage, again.PressRemove());
    EXPECT_EQ("Some entries could not be moved. They are still listed.\n"
              "App 2 (HKLM): an entry of this name was removed before and is still stored; restore that one first.",
              again.moveFailedText());

    EXPECT_EQ(ManagerAction::None, again.PressRestore());  // the restore view
    again.SetTicked(0, true);
    EXPECT_EQ(ManagerAction::ShowMoveFailedMessage, again.PressRestore());
    EXPECT_EQ("Some entries could not be moved. They are still listed.\n"
              "App 1 (HKLM): an entry of this name is in its place again; the stored one is kept.",
              again.moveFailedText());
    std::uint32_t type = 0;
    Bytes data;
    ASSERT_TRUE(GetValue(registry_, kLocalMachine, stored, "DisplayName", &type, &data));
    EXPECT_EQ(Str("App 1"), data);
    ASSERT_TRUE(GetValue(registry_, kLocalMachine, live, "DisplayName", &type, &data));
    EXPECT_EQ(Str("App 2"), data);
}

}  // namespace
}  // namespace tw::test
