// The shortcut scanner: every directory of every fixed drive is searched for shortcut files
// (".lnk") whose target is missing. Its findings are its own list of broken shortcut files,
// shown under "Windows Shortcuts" and deleted by the repair. A shortcut counts as broken
// only when its target is a path on a fixed drive that is present and the system says that
// nothing is there: shell items, network targets, targets on removable, optical or absent
// drives, and targets the system cannot tell about (access denied, say) are not judged from
// here; the last are named in the activity log. The repair deletes a shortcut only once its
// backup holds the file, and only when its target is still missing just before.
#pragma once

#include "log/activity_log.h"
#include "platform/system.h"
#include "scan/scan_progress.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tw {

struct BrokenShortcut {
    BrokenShortcut() = default;
    BrokenShortcut(std::string file, std::uint8_t excludedFlag = 0, std::string why = {})
        : path(std::move(file)), excluded(excludedFlag), reason(std::move(why))
    {
    }

    std::string path;          // the .lnk file
    std::uint8_t excluded = 0;  // 1 when the user unticked it: repair leaves it alone
    std::string reason;         // "The shortcut's target <path> does not exist."
};

class CShortcut {
public:
    explicit CShortcut(System& system);
    CShortcut(const CShortcut&) = delete;
    CShortcut& operator=(const CShortcut&) = delete;

    // Where to show the count and the file being examined (given by the worker).
    void SetProgress(ScanProgress* progress, int row)
    {
        progress_ = progress;
        row_ = row;
    }
    // Where to name the shortcuts whose target could not be judged, and those the repair
    // leaves.
    void SetLog(ActivityLog* log) { log_ = log; }

    // The section's run: every fixed drive.
    void FindBrokenShortcuts();
    // Below one directory: each subdirectory's shortcuts, then its subdirectories.
    void SearchDirectory(const std::string& directory);
    // The .lnk files directly inside one directory.
    void SearchLinkFileAndResolve(const std::string& directory);
    // Lists one shortcut file when its target is missing.
    void CheckShortcut(const std::string& path);
    // The files the repair may delete: every listed one not excluded.
    std::vector<std::string> FilesToDelete() const;
    // Deletes each listed file not excluded whose `saved` flag (in FilesToDelete's order) is
    // set and whose target is still missing (read-only, hidden and system attributes are
    // cleared first, and put back when the deletion fails).
    void DeleteBrokenShortcuts(const std::vector<bool>& saved);

    // True once the stop event was seen: the search did not cover every drive.
    bool Stopped();

    int brokenCount = 0;
    std::vector<BrokenShortcut> brokenList;
    bool deleted = false;
    int deletedCount = 0;

private:
    bool TargetIsMissing(const std::string& path, const std::string& target);
    void Log(const std::string& text)
    {
        if (log_)
            log_->Write(text);
    }

    System& system_;
    std::unique_ptr<Event> stop_;
    bool stopped_ = false;
    ScanProgress* progress_ = nullptr;
    ActivityLog* log_ = nullptr;
    int row_ = 0;
};

}  // namespace tw
