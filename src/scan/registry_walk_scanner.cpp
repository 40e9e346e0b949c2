// The registry walk behind the complete registry scan (HKLM\SOFTWARE and HKCU\SOFTWARE) and
// the program identifier section (HKCR\TypeLib): every value below the branch that looks
// like a full path on a local drive is tested, and one whose file or folder is missing is
// reported against the key that holds it. Depth-first, one name buffer per level; each key
// is opened once, its subtree walked first and its own values examined after. The stop
// event is polled between subkeys so that an abort ends the walk promptly.
#include "platform/codepage.h"
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

#include <array>

namespace tw {
namespace {

// Windows' own settings. A 64-bit process also sees the 32-bit view of them below
// Wow6432Node, which is left out the same way.
constexpr std::array<std::string_view, 5> kExcluded = {
    "hkey_local_machine\\software\\microsoft\\windows",
    "hkey_current_user\\software\\microsoft\\windows",
    "hkey_local_machine\\software\\microsoft\\windows nt",
    "hkey_local_machine\\software\\wow6432node\\microsoft\\windows",
    "hkey_local_machine\\software\\wow6432node\\microsoft\\windows nt",
};

bool IsDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsExcluded(std::string_view fullPath)
{
    for (std::string_view excluded : kExcluded)
        if (fullPath.size() == excluded.size() && CompareTextNoCase(fullPath, excluded) == 0)
            return true;
    return false;
}

class Walk {
public:
    explicit Walk(SectionRun& run) : run_(run), registry_(run.registry()), system_(run.system()), exists_(system_) {}

    void Branch(HKey parent, const char* subkey, const std::string& fullPath)
    {
        if (IsExcluded(fullPath))
            return;
        KeyHandle key(registry_);
        if (registry_.OpenKeyEx(parent, subkey, 0, kKeyAllAccess, key.Put()) != kSuccess)
            return;
        Subtree(key.get(), fullPath);
    }

private:
    // Walks below an open key whose path (lower case below the branch root) is `fullPath`.
    void Subtree(HKey key, const std::string& fullPath)
    {
        SubkeyEnumerator children(registry_, key);
        if (!children.Init())
            return;
        std::string name;
        while (!run_.Stopped() && children.Next(&name)) {
            if (name.empty())
                continue;
            KeyHandle child(registry_);
            if (registry_.OpenKeyEx(key, name.c_str(), 0, kKeyAllAccess, child.Put()) != kSuccess)
                continue;
            std::string walkedPath = fullPath + "\\" + Lowered(name);
            if (!IsExcluded(walkedPath))
                Subtree(child.get(), walkedPath);
            Values(child.get(), fullPath + "\\" + name);
        }
    }

    void Values(HKey key, const std::string& keyPath)
    {
        for (const ValueEntry& entry : ListKeyValues(registry_, key, system_)) {
            run_.Status(keyPath + "[" + entry.name + "]");
            if (entry.text == kValueNotSet)
                continue;
            std::string path;
            if (LooksLikeLocalPath(entry.text, &path) && !exists_.Exists(path)) {
                run_.Report(entry, keyPath, path);
                run_.engine().walkProblemCount = run_.count();
            }
        }
    }

    // The path a value's text names, cut back to what can be tested: quotes removed, a
    // trailing backslash (with one character after it) dropped, a last component whose
    // extension is not a dot and three characters (arguments, resource numbers) dropped.
    // True when it is a full path on a drive.
    static bool LooksLikeLocalPath(const std::string& text, std::string* out)
    {
        std::string path = StripQuotes(text);
        if (!Contains(path, "\\"))
            return false;
        if (path.size() > 2 && path[path.size() - 2] == '\\')
            path.resize(path.size() - 2);
        if (path.size() > 1 && path.back() == '\\')
            path.pop_back();
        std::string last = LastComponent(path);
        std::size_t dot = last.rfind('.');
        if (dot != std::string::npos && last.size() - dot != 4 && path.size() > last.size() + 1)
            path.resize(path.size() - last.size() - 1);
        std::size_t slash = path.find('\\');
        // A drive letter, not a shell name such as "::{GUID}\{GUID}".
        if (path.size() < 2 || !IsDriveLetter(path[0]) || path[1] != ':' || slash == std::string::npos || slash == 0 ||
            path.find(':', 2) != std::string::npos)
            return false;
        *out = std::move(path);
        return true;
    }

    SectionRun& run_;
    Registry& registry_;
    System& system_;
    ExistenceCache exists_;
};

}  // namespace

void ScanCompleteRegistry(ScanEngine& engine, CompletedSectionList& completed)
{
    SectionRun run(engine, ScanSection::CompleteRegistryScan);
    engine.walkProblemCount = 0;
    engine.walkSectionText = std::string(SectionInfoOf(ScanSection::CompleteRegistryScan).problemText);
    Walk walk(run);
    walk.Branch(kLocalMachine, "SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE");
    walk.Branch(kCurrentUser, "SOFTWARE", "HKEY_CURRENT_USER\\SOFTWARE");
    run.Complete(completed);
}

void WalkRegistryBranch(ScanEngine& engine, ScanSection section, HKey parent, const char* subkey,
                        const std::string& fullPath)
{
    SectionRun run(engine, section);
    Walk walk(run);
    walk.Branch(parent, subkey, fullPath);
}

void ScanProgramIds(ScanEngine& engine, CompletedSectionList& completed)
{
    SectionRun run(engine, ScanSection::ProgramId);
    engine.walkProblemCount = 0;
    engine.walkSectionText = std::string(SectionInfoOf(ScanSection::ProgramId).problemText);
    Walk walk(run);
    walk.Branch(kClassesRoot, "TypeLib", "HKEY_CLASSES_ROOT\\TypeLib");
    run.Complete(completed);
}

}  // namespace tw
