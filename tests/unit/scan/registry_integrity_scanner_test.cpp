#include "scan_test_support.h"

namespace tw::test {
namespace {

using Strings = std::vector<std::string>;

const std::string kProfileList = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const std::string kFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const std::string kDefaultFolders = ".DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const std::string kSid = "S-1-5-21-1000-2000-3000-1001";  // the memory system's user

TEST(RegistryIntegrity, FoldersAreResolvedAgainstTheProfileListOfOlderSystems)
{
    ScanMachine s;
    s.system.SetUser("Ann");
    s.Text(kLocalMachine, kProfileList, "ProfilesDirectory", "%SystemDrive%\\Documents and Settings");
    s.Text(kLocalMachine, kProfileList, "AllUsersProfile", "All Users");
    s.Text(kLocalMachine, kProfileList, "DefaultUserProfile", "Default User");
    s.Expand(kLocalMachine, kProfileList + "\\" + kSid, "ProfileImagePath", "%SystemDrive%\\Documents and Settings\\Ann");
    s.dir.WriteFile("C:\\Documents and Settings\\Ann\\My Documents\\keep", "x");
    s.dir.WriteFile("C:\\Documents and Settings\\All Users\\Desktop\\keep", "x");
    s.Text(kCurrentUser, kFolders, "Personal", "%USERPROFILE%\\My Documents");
    s.Text(kCurrentUser, kFolders, "Favorites", "%USERPROFILE%\\Favorites");
    s.Text(kCurrentUser, kFolders, "Lower", "%userprofile%\\Lower");           // not tested
    s.Text(kCurrentUser, kFolders, "Root", "%SystemRoot%\\Gone");             // not tested
    s.Text(kCurrentUser, kFolders, "Zed", "%USERPROFILE%\\Zed");              // still examined after those
    s.Text(kLocalMachine, kFolders, "Common Desktop", "%ALLUSERSPROFILE%\\Desktop");
    s.Text(kLocalMachine, kFolders, "Common Music", "%ALLUSERSPROFILE%\\Music");
    s.Text(kUsers, kDefaultFolders, "Personal", "%USERPROFILE%\\My Documents");
    auto completed = s.Run(ScanSection::RegistryIntegrity);
    EXPECT_EQ((Strings{
                  "HKEY_CURRENT_USER\\" + kFolders + " | Favorites | %USERPROFILE%\\Favorites | "
                                                     "C:\\Documents and Settings\\Ann\\Favorites",
                  "HKEY_CURRENT_USER\\" + kFolders + " | Zed | %USERPROFILE%\\Zed | C:\\Documents and Settings\\Ann\\Zed",
                  "HKEY_LOCAL_MACHINE\\" + kFolders + " | Common Music | %ALLUSERSPROFILE%\\Music | "
                                                      "C:\\Documents and Settings\\All Users\\Music",
                  "HKEY_USERS\\" + kDefaultFolders + " | Personal | %USERPROFILE%\\My Documents | "
                                                     "C:\\Documents and Settings\\Default User\\My Documents",
              }),
              s.Found());
    EXPECT_EQ("Registry Integrity", s.engine.problems()[0]->section);
    EXPECT_EQ("VAL", s.engine.problems()[0]->deleteType);
    EXPECT_TRUE(completed.empty());
    auto order = SetterOrderIn(s.LogMessages());
    EXPECT_EQ((Strings{"value", "key", "description", "section", "delete"}), Strings(order.begin(), order.begin() + 5));
}

TEST(RegistryIntegrityReasons, AMissingFolderIsNamedAsResolved)
{
    ScanMachine s;
    s.Text(kLocalMachine, kProfileList, "ProfilesDirectory", "%SystemDrive%\\Users");
    s.Expand(kLocalMachine, kProfileList + "\\" + kSid, "ProfileImagePath", "C:\\Users\\Ann");
    s.Text(kCurrentUser, kFolders, "Favorites", "%USERPROFILE%\\Favorites");
    s.Run(ScanSection::RegistryIntegrity);
    EXPECT_EQ(Strings{"The folder C:\\Users\\Ann\\Favorites does not exist."}, s.Reasons());
}

// The folders Windows gives the variables: the current user's from the profile list entry of
// the user's security identifier (a renamed account, a name.DOMAIN folder), all users' the
// ProgramData folder.
TEST(RegistryIntegrity, NewerSystemsProfileFoldersAreTheOnesWindowsUses)
{
    ScanMachine s;
    s.system.SetUser("Bo");
    s.Text(kLocalMachine, kProfileList, "ProfilesDirectory", "%SystemDrive%\\Users");
    s.Expand(kLocalMachine, kProfileList, "ProgramData", "%SystemDrive%\\ProgramData");
    s.Text(kLocalMachine, kProfileList, "Public", "%SystemDrive%\\Users\\Public");
    s.Text(kLocalMachine, kProfileList, "Default", "%SystemDrive%\\Users\\Default");
    s.Expand(kLocalMachine, kProfileList + "\\" + kSid, "ProfileImagePath", "%SystemDrive%\\Users\\bo.CORP");
    s.Expand(kLocalMachine, kProfileList + "\\S-1-5-21-9", "ProfileImagePath", "%SystemDrive%\\Users\\Bo");
    s.dir.WriteFile("C:\\ProgramData\\Start Menu\\keep", "x");
    s.dir.WriteFile("C:\\Users\\Public\\Gone\\keep", "x");
    s.dir.WriteFile("C:\\Users\\Default\\Documents\\keep", "x");
    s.dir.WriteFile("C:\\Users\\bo.CORP\\Desktop\\keep", "x");
    s.dir.WriteFile("C:\\Users\\Bo\\Gone\\keep", "x");
    s.Text(kCurrentUser, kFolders, "Desktop", "%USERPROFILE%\\Desktop");
    s.Text(kCurrentUser, kFolders, "Gone", "%USERPROFILE%\\Gone");
    s.Text(kLocalMachine, kFolders, "Common Start Menu", "%ALLUSERSPROFILE%\\Start Menu");
    s.Text(kLocalMachine, kFolders, "Common Gone", "%ALLUSERSPROFILE%\\Gone");
    s.Text(kUsers, kDefaultFolders, "Personal", "%USERPROFILE%\\Documents");
    // Each variable stands for its own profile, wherever it is used.
    s.Text(kLocalMachine, kFolders, "Common Favorites", "%USERPROFILE%\\Desktop");
    s.Text(kCurrentUser, kFolders, "Shared", "%ALLUSERSPROFILE%\\Start Menu");
    s.Run(ScanSection::RegistryIntegrity);
    EXPECT_EQ((Strings{
                  "HKEY_CURRENT_USER\\" + kFolders + " | Gone | %USERPROFILE%\\Gone | C:\\Users\\bo.CORP\\Gone",
                  "HKEY_LOCAL_MACHINE\\" + kFolders + " | Common Gone | %ALLUSERSPROFILE%\\Gone | C:\\ProgramData\\Gone",
              }),
              s.Found());
}

TEST(RegistryIntegrity, TheEnvironmentGivesTheFoldersTheProfileListDoesNotName)
{
    ScanMachine s;
    s.system.SetUser("Di");
    s.system.SetEnvironment("USERPROFILE", "C:\\Users\\Di.Renamed");
    s.system.SetEnvironment("ALLUSERSPROFILE", "C:\\ProgramData");
    s.Text(kLocalMachine, kProfileList, "ProfilesDirectory", "%SystemDrive%\\Users");
    s.Text(kLocalMachine, kProfileList, "ProgramData", "C:\\Elsewhere");
    s.dir.WriteFile("C:\\Users\\Di.Renamed\\Desktop\\keep", "x");
    s.dir.WriteFile("C:\\Users\\Di\\Gone\\keep", "x");
    s.dir.WriteFile("C:\\ProgramData\\Start Menu\\keep", "x");
    s.Text(kCurrentUser, kFolders, "Desktop", "%USERPROFILE%\\Desktop");
    s.Text(kCurrentUser, kFolders, "Gone", "%USERPROFILE%\\Gone");
    s.Text(kLocalMachine, kFolders, "Common Start Menu", "%ALLUSERSPROFILE%\\Start Menu");
    s.Run(ScanSection::RegistryIntegrity);
    EXPECT_EQ(Strings{"HKEY_CURRENT_USER\\" + kFolders + " | Gone | %USERPROFILE%\\Gone | C:\\Users\\Di.Renamed\\Gone"},
              s.Found());
}

// Wine's profile list names a "Public" all-users profile while the variable holds the
// ProgramData folder: the variable is what Windows gives the folders.
TEST(RegistryIntegrity, AllUsersFoldersAreWhereTheVariablePointsWhateverTheProfileListNames)
{
    ScanMachine s;
    s.system.SetEnvironment("ALLUSERSPROFILE", "C:\\ProgramData");
    s.Text(kLocalMachine, kProfileList, "ProfilesDirectory", "%SystemDrive%\\users");
    s.Text(kLocalMachine, kProfileList, "AllUsersProfile", "Public");
    s.Text(kLocalMachine, kProfileList, "DefaultUserProfile", "Default");
    s.Expand(kLocalMachine, kProfileList + "\\" + kSid, "ProfileImagePath", "%SystemDrive%\\users\\User");
    s.dir.WriteFile("C:\\ProgramData\\Start Menu\\keep", "x");
    s.dir.WriteFile("C:\\users\\Public\\Gone\\keep", "x");
    s.Text(kLocalMachine, kFolders, "Common Start Menu", "%ALLUSERSPROFILE%\\Start Menu");
    s.Text(kLocalMachine, kFolders, "Common Gone", "%ALLUSERSPROFILE%\\Gone");
    s.Text(kCurrentUser, kFolders, "Shared", "%ALLUSERSPROFILE%\\Start Menu");
    s.Run(ScanSection::RegistryIntegrity);
    EXPECT_EQ(Strings{"HKEY_LOCAL_MACHINE\\" + kFolders + " | Common Gone | %ALLUSERSPROFILE%\\Gone | C:\\ProgramData\\Gone"},
              s.Found());
}

TEST(RegistryIntegrity, KeysThatRefuseWriteAccessAreChecked)
{
    ScanMachine s;
    s.Text(kLocalMachine, kProfileList, "ProfilesDirectory", "%SystemDrive%\\Users");
    s.Expand(kLocalMachine, kProfileList + "\\" + kSid, "ProfileImagePath", "%SystemDrive%\\Users\\User");
    s.Text(kCurrentUser, kFolders, "Gone", "%USERPROFILE%\\Gone");
    RefuseWriteAccess(s.registry, kLocalMachine, kProfileList);
    RefuseWriteAccess(s.registry, kLocalMachine, kProfileList + "\\" + kSid);
    RefuseWriteAccess(s.registry, kCurrentUser, kFolders);
    s.Run(ScanSection::RegistryIntegrity);
    EXPECT_EQ(Strings{"HKEY_CURRENT_USER\\" + kFolders + " | Gone | %USERPROFILE%\\Gone | C:\\Users\\User\\Gone"},
              s.Found());
}

TEST(RegistryIntegrity, AKeyWithoutAProfileFolderIsSkippedAndTheOthersChecked)
{
    ScanMachine s;
    s.system.SetUser("Cy");
    s.system.SetEnvironment("USERPROFILE", "C:\\Users\\Cy");
    s.Text(kLocalMachine, kProfileList, "ProfilesDirectory", "C:\\Users");
    s.Text(kCurrentUser, kFolders, "Desktop", "%USERPROFILE%\\Desktop");
    s.Text(kLocalMachine, kFolders, "Common Desktop", "%ALLUSERSPROFILE%\\Desktop");
    s.Run(ScanSection::RegistryIntegrity);
    EXPECT_EQ(Strings{"HKEY_CURRENT_USER\\" + kFolders + " | Desktop | %USERPROFILE%\\Desktop | C:\\Users\\Cy\\Desktop"},
              s.Found());

    ScanMachine none;  // no profile list at all: nothing to resolve against
    none.Text(kCurrentUser, kFolders, "Desktop", "%USERPROFILE%\\Desktop");
    none.Run(ScanSection::RegistryIntegrity);
    EXPECT_TRUE(none.engine.problems().empty());
}

}  // namespace
}  // namespace tw::test
