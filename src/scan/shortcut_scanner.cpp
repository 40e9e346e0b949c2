#include "scan/shortcut_scanner.h"

#include "scan/scan_section.h"

namespace tw {
namespace {

// Paths hold at most 259 characters; a longer one is not examined.
constexpr std::size_t kMaxPath = 259;
// Junctions and symbolic links lead back into the tree (or out of the drive): not followed.
constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;

}  // namespace

CShortcut::CShortcut(System& system) : system_(system), stop_(system.MakeEvent(StopEventName(system), true, false, nullptr))
{
}

bool CShortcut::Stopped()
{
    if (!stopped_ && stop_ && stop_->IsSignalled())
        stopped_ = true;
    return stopped_;
}

void CShortcut::FindBrokenShortcuts()
{
    brokenCount = 0;
    brokenList.clear();
    stopped_ = false;
    if (Stopped())
        return;
    for (const std::string& root : system_.LogicalDriveRoots()) {
        if (Stopped())
            break;
        if (root.size() < 2 || system_.DriveType(root) != kDriveFixed)
            continue;
        SearchDirectory(root.substr(0, 2));
    }
}

void CShortcut::SearchDirectory(const std::string& directory)
{
    for (const DirEntry& entry : system_.FindFiles(directory + "\\*.*")) {
        if (Stopped())
            return;
        if (entry.name == "." || entry.name == ".." || !entry.IsDirectory() ||
            (entry.attributes & kFileAttributeReparsePoint))
            continue;
        std::string path = directory + "\\" + entry.name;
        if (path.find("System Volume Information") != std::string::npos || path.size() > kMaxPath)
            continue;
        SearchLinkFileAndResolve(path);
        SearchDirectory(path);
    }
}

void CShortcut::SearchLinkFileAndResolve(const std::string& directory)
{
    for (const DirEntry& entry : system_.FindFiles(directory + "\\*.lnk")) {
        if (Stopped())
            return;
        if (entry.IsDirectory())
            continue;
        std::string path = directory + "\\" + entry.name;
        CheckShortcut(path);
        if (progress_)
            progress_->SetStatus(path);
    }
}

bool CShortcut::TargetIsMissing(const std::string& path, const std::string& target)
{
    if (target.size() < 3 || target[1] != ':' || target[2] != '\\')
        return false;  // no file-system target, a relative path or a network path
    if (system_.DriveType(target.substr(0, 3)) != kDriveFixed)
        return false;  // removable, optical, network, RAM or absent drive: cannot judge
    switch (system_.PathPresenceOf(target)) {
    case PathPresence::Absent: return true;
    case PathPresence::Present: return false;
    case PathPresence::Unknown: break;
    }
    Log("Shortcut left alone, as whether its target exists cannot be told: " + path + " -> " + target);
    return false;
}

void CShortcut::CheckShortcut(const std::string& path)
{
    if (path.size() > kMaxPath)
        return;
    std::string target;
    if (!system_.GetShortcutTarget(path, &target) || !TargetIsMissing(path, target))
        return;
    brokenList.push_back({path, 0, "The shortcut's target " + target + " does not exist."});
    ++brokenCount;
    if (progress_)
        progress_->SetCell(row_, kColumnProblems, std::to_string(brokenCount));
}

std::vector<std::string> CShortcut::FilesToDelete() const
{
    std::vector<std::string> files;
    for (const BrokenShortcut& shortcut : brokenList)
        if (shortcut.excluded == 0)
            files.push_back(shortcut.path);
    return files;
}

void CShortcut::DeleteBrokenShortcuts(const std::vector<bool>& saved)
{
    deletedCount = 0;
    std::size_t n = 0;
    for (const BrokenShortcut& shortcut : brokenList) {
        if (shortcut.excluded != 0)
            continue;
        const bool inBackup = n < saved.size() && saved[n];
        ++n;
        if (!inBackup) {
            Log("Shortcut left in place, as the backup does not hold it: " + shortcut.path);
            continue;
        }
        // Judged again: the target may have come back since the scan.
        std::string target;
        if (!system_.GetShortcutTarget(shortcut.path, &target) || !TargetIsMissing(shortcut.path, target)) {
            Log("Shortcut left in place, as its target is no longer missing: " + shortcut.path);
            continue;
        }
        const std::uint32_t attributes = system_.FileAttributes(shortcut.path);
        system_.ChangeFileAttributes(shortcut.path, kFileAttributeNormal);
        if (system_.RemoveFile(shortcut.path)) {
            ++deletedCount;
            deleted = true;
        } else {
            if (attributes != kInvalidFileAttributes)
                system_.ChangeFileAttributes(shortcut.path, attributes);
            Log("Shortcut left in place, as it could not be deleted: " + shortcut.path);
        }
    }
}

}  // namespace tw
