// The registry walk behind the complete registry scan (HKLM\SOFTWARE and HKCU\SOFTWARE) and
// the program identifier section (HKCR\TypeLib): every value below the branch that looks
// like a full path on a present fixed drive is tested, and one whose file or folder is
// missing is reported against the key that holds it. A value that lists paths (";") is
// reported only when none of them is there; a text holding a character no path may hold
// ("...\Sketches|0", "<LANGFOLDER>\Tutorial") is no path and is not judged. Depth-first,
// one name buffer per level; each key is opened once, for reading, its subtree walked
// first and its own values examined after. The stop event is polled between subkeys so
// that an abort ends the walk promptly.
//
// Each key is examined once per section. A link key leads to a key that has a path of its
// own: when that path lies in a branch the section walks, the key is examined there and the
// link is passed over; a key outside the branches is walked through the first link that
// leads to it. 64-bit Windows links the shared parts of the 32-bit view
// (SOFTWARE\Wow6432Node\Classes and SOFTWARE\Classes\Wow6432Node are one key).
//
// 32-bit registrations (anything below a Wow6432Node key, and a type library's "win32"
// entry) name the system folder as a 32-bit program sees it: on 64-bit Windows their
// system folder paths are tested in the 32-bit system folder.
#include "platform/codepage.h"
#include "scan/path_rules.h"
#include "scan/scanner_support.h"
#include "scan/scanners.h"

#include <array>
#include <map>
#include <vector>

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

struct BranchRoot {
    HKey parent;
    const char* subkey;
    std::string fullPath;
};

bool IsExcluded(std::string_view fullPath)
{
    for (std::string_view excluded : kExcluded)
        if (fullPath.size() == excluded.size() && CompareTextNoCase(fullPath, excluded) == 0)
            return true;
    return false;
}

// A type library version's 32-bit entry: TypeLib\{id}\version\locale\win32.
bool IsTypeLibWin32(std::string_view walkedPath)
{
    std::vector<std::string_view> parts;
    for (std::size_t at = 0; at <= walkedPath.size();) {
        std::size_t end = walkedPath.find('\\', at);
        if (end == std::string_view::npos)
            end = walkedPath.size();
        parts.push_back(walkedPath.substr(at, end - at));
        at = end + 1;
    }
    const std::size_t n = parts.size();
    return n >= 5 && CompareTextNoCase(parts[n - 1], "win32") == 0 && CompareTextNoCase(parts[n - 5], "typelib") == 0;
}

class Walk {
public:
    Walk(SectionRun& run, std::vector<BranchRoot> branches)
        : run_(run),
          registry_(run.registry()),
          system_(run.system()),
          exists_(system_),
          branches_(std::move(branches)),
          thirtyTwoBitView_(system_, true)
    {
        for (const BranchRoot& branch : branches_) {
            std::string place = RegistryPlaceOf(system_, branch.parent);
            if (!place.empty())
                walkedPlaces_.push_back(place + "\\" + branch.subkey);
        }
    }

    void Run()
    {
        for (const BranchRoot& branch : branches_)
            Branch(branch);
    }

private:
    void Branch(const BranchRoot& branch)
    {
        if (IsExcluded(branch.fullPath))
            return;
        KeyHandle key = OpenForReading(registry_, branch.parent, branch.subkey);
        if (!key)
            return;
        KeyCounts counts;
        if (QueryKeyCounts(registry_, key.get(), &counts))
            Subtree(key.get(), counts, branch.fullPath, false);
    }

    // Walks below an open key whose path (lower case below the branch root) is `fullPath`
    // and whose counts were just asked; `thirtyTwoBit` when the key lies below a Wow6432Node
    // key. Each subkey is asked for its counts once, and its values are listed once, before
    // its own subkeys are walked (a link shows itself among them) and examined after.
    void Subtree(HKey key, const KeyCounts& counts, const std::string& fullPath, bool thirtyTwoBit)
    {
        SubkeyEnumerator children(registry_, key);
        if (!children.Init(counts))
            return;
        std::string name;
        while (!run_.Stopped() && children.Next(&name)) {
            if (name.empty())
                continue;
            // A link opens as itself here, so that it is seen for what it is.
            KeyHandle child(registry_);
            if (registry_.OpenKeyEx(key, name.c_str(), kRegOptionOpenLink, kKeyRead, child.Put()) != kSuccess) {
                child.Release();
                continue;
            }
            KeyCounts childCounts;
            std::string target;
            bool queried = false, link = false;
            ValueListing values = Read(child.get(), &childCounts, &queried, &link, &target);
            if (link) {
                if (!FirstVisitThroughLink(target))
                    continue;
                child = OpenForReading(registry_, key, name);
                if (!child)
                    continue;
                values = Read(child.get(), &childCounts, &queried, nullptr, nullptr);
            }
            const std::string lowered = Lowered(name);
            const std::string walkedPath = fullPath + "\\" + lowered;
            const bool below = thirtyTwoBit || lowered == "wow6432node";
            if (queried && !IsExcluded(walkedPath))
                Subtree(child.get(), childCounts, walkedPath, below);
            Values(values, fullPath + "\\" + name, below || IsTypeLibWin32(walkedPath));
        }
    }

    // Asks an open key for its counts and lists its values; with `link`, also tells whether
    // the key (opened as itself) is a link, and to where.
    ValueListing Read(HKey key, KeyCounts* counts, bool* queried, bool* link, std::string* target)
    {
        *queried = QueryKeyCounts(registry_, key, counts);
        if (link)
            *link = false;
        if (!*queried) {
            // Nothing to list; whether it is a link is asked the one way left.
            if (link)
                *link = ReadLinkTarget(registry_, system_, key, target);
            return ListKeyValues(registry_, key, system_, KeyCounts{});
        }
        if (!link)
            return ListKeyValues(registry_, key, system_, *counts);
        return ListKeyValues(registry_, key, system_, *counts,
                             [&](std::string_view name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size) {
                                 if (!*link && CompareTextNoCase(name, kLinkValueName) == 0)
                                     *link = LinkTargetOf(system_, type, data, size, target);
                             });
    }

    // A list of paths (";") is sound while one of its paths is there, and a finding names
    // the paths that are not.
    void Values(const ValueListing& values, const std::string& keyPath, bool thirtyTwoBit)
    {
        for (const ValueEntry& entry : values) {
            run_.Status(keyPath + "[" + entry.name + "]");
            if (entry.text == kValueNotSet)
                continue;
            std::vector<std::string> paths = LocalPathsIn(entry.text);
            if (paths.empty())
                continue;
            bool sound = false;
            std::string missing;
            std::size_t missingCount = 0;
            for (std::string& path : paths) {
                if (!OnFixedDrive(path)) {
                    sound = true;
                    break;
                }
                if (thirtyTwoBit)
                    path = thirtyTwoBitView_.Seen(std::move(path));
                if (exists_.Exists(path)) {
                    sound = true;
                    break;
                }
                missing += (missing.empty() ? "" : ";") + path;
                ++missingCount;
            }
            if (!sound) {
                // The walk cannot tell whether a missing path meant a file or a folder.
                std::string reason = missingCount == 1 ? "The file or folder " + missing + " does not exist."
                                                       : "None of the paths listed exists: " + missing + ".";
                run_.Report(entry, keyPath, missing, std::move(reason));
                run_.engine().walkProblemCount = run_.count();
            }
        }
    }

    // Only a present fixed drive is judged: a path on a drive that is absent, removable,
    // optical or on the network (installer sources such as D:\Setup) is not known to be gone.
    bool OnFixedDrive(const std::string& path)
    {
        const char letter = static_cast<char>(UpperByte(static_cast<unsigned char>(path[0])));
        auto known = fixedDrives_.find(letter);
        if (known == fixedDrives_.end())
            known = fixedDrives_.emplace(letter, system_.DriveType(std::string(1, letter) + ":\\") == kDriveFixed).first;
        return known->second;
    }

    // Whether a link leads to a key not examined otherwise in this section.
    bool FirstVisitThroughLink(const std::string& target)
    {
        for (const std::string& place : walkedPlaces_)
            if (IsWithin(target, place))
                return false;
        for (const std::string& followed : followedTargets_)
            if (IsWithin(target, followed))
                return false;
        followedTargets_.push_back(target);
        return true;
    }

    SectionRun& run_;
    Registry& registry_;
    System& system_;
    ExistenceCache exists_;
    std::vector<BranchRoot> branches_;
    SystemFolderView thirtyTwoBitView_;
    std::vector<std::string> walkedPlaces_;     // the branches, as link targets name them
    std::vector<std::string> followedTargets_;  // keys outside them, walked through a link
    std::map<char, bool> fixedDrives_;
};

}  // namespace

void ScanCompleteRegistry(ScanEngine& engine, CompletedSectionList& completed)
{
    SectionRun run(engine, ScanSection::CompleteRegistryScan);
    engine.walkProblemCount = 0;
    engine.walkSectionText = std::string(SectionInfoOf(ScanSection::CompleteRegistryScan).problemText);
    Walk(run, {{kLocalMachine, "SOFTWARE", "HKEY_LOCAL_MACHINE\\SOFTWARE"},
               {kCurrentUser, "SOFTWARE", "HKEY_CURRENT_USER\\SOFTWARE"}})
        .Run();
    run.Complete(completed);
}

void WalkRegistryBranch(ScanEngine& engine, ScanSection section, HKey parent, const char* subkey,
                        const std::string& fullPath)
{
    SectionRun run(engine, section);
    Walk(run, {{parent, subkey, fullPath}}).Run();
}

void ScanProgramIds(ScanEngine& engine, CompletedSectionList& completed)
{
    SectionRun run(engine, ScanSection::ProgramId);
    engine.walkProblemCount = 0;
    engine.walkSectionText = std::string(SectionInfoOf(ScanSection::ProgramId).problemText);
    Walk(run, {{kClassesRoot, "TypeLib", "HKEY_CLASSES_ROOT\\TypeLib"}}).Run();
    run.Complete(completed);
}

}  // namespace tw
