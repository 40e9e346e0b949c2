// Registry integrity: the "User Shell Folders" of the current user, of all users and of the
// default user. A folder given relative to a profile is resolved against the profile folder
// that variable stands for, and one that does not exist is reported. Each variable is
// resolved to the folder Windows gives it: %USERPROFILE% to the profile the key belongs to
// (the current user's in the machine-wide key, which has no profile of its own), and
// %ALLUSERSPROFILE% to the all-users folder wherever it stands.
//
// The current user's profile is the folder the profile list records for the user's
// security identifier, or the USERPROFILE variable: the profiles directory followed by the
// user name is wrong for renamed accounts and for name.DOMAIN folders. The all-users folder
// is the one the ALLUSERSPROFILE variable holds where this process has it: ProgramData on
// newer systems, whatever the profile list's "AllUsersProfile" says (Wine names "Public"
// there). Without the variable it lies in the profiles directory on older systems (the
// profile list names it), and is the profile list's "ProgramData" on newer ones. The
// default user's profile lies in the profiles directory on older systems and is the
// profile list's "Default" on newer ones. A key whose profile folder cannot be made out is
// skipped; the others are still checked.
#include "registry/key_path.h"
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

#include <optional>

namespace tw {
namespace {

constexpr std::string_view kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct ProfileFolders {
    std::optional<std::string> user;      // the key's own user: %USERPROFILE%
    std::optional<std::string> allUsers;  // %ALLUSERSPROFILE%
};

void CheckShellFolders(SectionRun& run, HKey root, const std::string& subkey, const ProfileFolders& folders)
{
    Registry& registry = run.registry();
    KeyHandle key = OpenForReading(registry, root, subkey);
    if (!key)
        return;
    const std::string keyPath = RootNameFromKey(root) + "\\" + subkey;
    for (const ValueEntry& entry : ListKeyValues(registry, key.get(), run.system())) {
        if (run.Stopped())
            break;
        if (entry.name == kDefaultValueName)
            continue;
        const std::optional<std::string>* profile = nullptr;
        std::string rest;
        if (StartsWith(entry.text, "%ALLUSERSPROFILE%")) {
            profile = &folders.allUsers;
            rest = entry.text.substr(17);
        } else if (StartsWith(entry.text, "%USERPROFILE%")) {
            profile = &folders.user;
            rest = entry.text.substr(13);
        }
        if (!profile || !*profile)
            continue;
        std::string folder = **profile + rest;
        if (!PathExists(run.system(), folder))
            run.Report(entry, keyPath, folder, "The folder " + folder + " does not exist.");
    }
}

}  // namespace

void ScanRegistryIntegrity(ScanEngine& engine, CompletedSectionList&)
{
    static constexpr std::string_view kProfileList = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    SectionRun run(engine, ScanSection::RegistryIntegrity);
    if (run.StopAtStart())
        return;
    Registry& registry = engine.registry();
    System& system = engine.system();
    KeyHandle profiles = OpenForReading(registry, kLocalMachine, std::string(kProfileList));
    if (!profiles)
        return;
    std::string systemDrive;
    if (!system.FindEnvironmentVariable("SystemDrive", &systemDrive))
        return;
    auto withDrive = [&](std::optional<std::string> folder) {
        if (folder && StartsWith(*folder, "%SystemDrive%"))
            folder->replace(0, 13, systemDrive);
        return folder;
    };
    // A folder as Windows reads it from the profile list (REG_EXPAND_SZ).
    auto expanded = [&](std::optional<std::string> folder) {
        if (folder)
            folder = system.ExpandEnvironment(*folder);
        return folder;
    };
    auto variable = [&](const char* name) -> std::optional<std::string> {
        std::string value;
        if (!system.FindEnvironmentVariable(name, &value) || value.empty())
            return std::nullopt;
        return value;
    };
    std::optional<std::string> allUsersName = ReadStringValue(registry, profiles.get(), "AllUsersProfile");
    std::optional<std::string> defaultUserName = ReadStringValue(registry, profiles.get(), "DefaultUserProfile");
    std::optional<std::string> profilesDirectory = withDrive(ReadStringValue(registry, profiles.get(), "ProfilesDirectory"));

    auto inProfiles = [&](const std::optional<std::string>& name) -> std::optional<std::string> {
        if (!name || !profilesDirectory)
            return std::nullopt;
        return *profilesDirectory + "\\" + *name;
    };
    std::optional<std::string> currentUser;
    const std::string sid = system.UserSid();
    if (!sid.empty()) {
        KeyHandle own = OpenForReading(registry, profiles.get(), sid);
        if (own)
            currentUser = expanded(ReadStringValue(registry, own.get(), "ProfileImagePath"));
    }
    if (!currentUser)
        currentUser = variable("USERPROFILE");
    std::optional<std::string> allUsers = variable("ALLUSERSPROFILE");
    if (!allUsers)
        allUsers = allUsersName ? inProfiles(allUsersName) : expanded(ReadStringValue(registry, profiles.get(), "ProgramData"));
    std::optional<std::string> defaultUser =
        defaultUserName ? inProfiles(defaultUserName) : withDrive(ReadStringValue(registry, profiles.get(), "Default"));

    const std::string shellFolders(kShellFolders);
    // A key is checked only when its own profile folder is known.
    if (currentUser && !run.Stopped())
        CheckShellFolders(run, kCurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                          {currentUser, allUsers});
    if (allUsers && !run.Stopped())
        CheckShellFolders(run, kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                          {currentUser, allUsers});
    if (defaultUser && !run.Stopped())
        CheckShellFolders(run, kUsers, ".DEFAULT\\" + shellFolders, {defaultUser, allUsers});
}

}  // namespace tw
