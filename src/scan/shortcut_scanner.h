// The shortcut scanner: every directory of every fixed drive is searched for shortcut files
// (".lnk") whose target is missing. Its findings are its own list of broken shortcut files,
// shown under "Windows Shortcuts" and deleted by the repair. A shortcut counts as broken
// only when its target is a path on a fixed drive that is present and nothing is there:
// shell items, network targets and targets on removable, optical or absent drives are not
// judged from here.
#pragma once

#include "platform/system.h"
#include "scan/scan_progress.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tw {

struct BrokenShortcut {
    std::string path;          // the .lnk file
    std::uint8_t excluded = 0;  // 1 when the user unticked it: repair leaves it alone
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

    // The section's run: every fixed drive.
    void FindBrokenShortcuts();
    // Below one directory: each subdirectory's shortcuts, then its subdirectories.
    void SearchDirectory(const std::string& directory);
    // The .lnk files directly inside one directory.
    void SearchLinkFileAndResolve(const std::string& directory);
    // Lists one shortcut file when its target is missing.
    void CheckShortcut(const std::string& path);
    // Deletes every listed file not excluded (read-only, hidden and system attributes are
    // cleared first).
    void DeleteBrokenShortcuts();

    // True once the stop event was seen: the search did not cover every drive.
    bool Stopped();

    int brokenCount = 0;
    std::vector<BrokenShortcut> brokenList;
    bool deleted = false;
    int deletedCount = 0;

private:
    bool TargetIsMissing(const std::string& target);

    System& system_;
    std::unique_ptr<Event> stop_;
    bool stopped_ = false;
    ScanProgress* progress_ = nullptr;
    int row_ = 0;
};

}  // namespace tw
