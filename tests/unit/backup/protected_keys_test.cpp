#include "backup/protected_keys.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

TEST(ProtectedKeys, ContainersRootsAndTheirParentsAreNeverDeletedWhole)
{
    struct Case {
        const char* path;
        bool isProtected;
    };
    const Case cases[] = {
        {"HKEY_LOCAL_MACHINE", true},
        {"HKEY_LOCAL_MACHINE\\", true},
        {"", true},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", true},
        {"hkey_local_machine\\software\\microsoft\\windows\\currentversion\\app paths\\", true},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\\\CurrentVersion\\App Paths", true},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall", true},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", true},  // above several
        {"HKEY_LOCAL_MACHINE\\SOFTWARE", true},
        {"HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services", true},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\TypeLib", true},  // HKEY_CLASSES_ROOT\TypeLib seen from HKLM
        {"HKEY_CLASSES_ROOT\\CLSID", true},
        {"HKEY_CLASSES_ROOT", true},
        {"HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\.Default", true},
        // What the sections name as problems: one entry inside a container.
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe", false},
        {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\OldDriver", false},
        {"HKEY_CLASSES_ROOT\\CLSID\\{00000000-0000-0000-0000-000000000001}", false},
        {"HKEY_CLASSES_ROOT\\TypeLib\\{1}", false},
        {"HKEY_CLASSES_ROOT\\abcfile", false},
        {"HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\.Default\\SystemAsterisk\\.Current", false},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App PathsX", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.isProtected, IsProtectedKeyPath(c.path)) << c.path;
}

// The user's own containers that the scan reads, and the 32-bit view of the machine's.
TEST(ProtectedKeys, TheUsersContainersAreGuardedAndTheirEntriesAreNot)
{
    const std::string user = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\";
    for (const std::string& container :
         {user + "RunOnce", user + "Uninstall", user + "App Paths",
          std::string("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"),
          std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths"),
          std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\Help")}) {
        EXPECT_TRUE(IsProtectedKeyPath(container)) << container;
        EXPECT_FALSE(IsProtectedKeyPath(container + "\\gone.exe")) << container;
    }
}

}  // namespace
}  // namespace tw::test
