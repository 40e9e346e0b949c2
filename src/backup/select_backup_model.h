// What the backup date picker shows and returns: a drop-down list of backup dates (the
// placeholder "< Select the date >" with data -1 first, then one item per catalogue entry
// with its index as data, in directory order) and the name chosen so far. The dialog polls
// the selection every 100 ms and passes the selected item's data to Poll.
#pragma once

#include "backup/backup_catalogue.h"

#include <string>
#include <vector>

namespace tw {

struct DateListItem {
    std::string text;
    int data = -1;
};

// The date list for a set of catalogue entries.
std::vector<DateListItem> MakeDateList(const std::vector<CatalogueEntry>& entries);

class SelectBackupModel {
public:
    SelectBackupModel(std::string title, std::string text, bool fullBackups)
        : title_(std::move(title)), text_(std::move(text)), fullBackups_(fullBackups)
    {
    }

    const std::string& title() const { return title_; }
    const std::string& text() const { return text_; }
    bool fullBackups() const { return fullBackups_; }

    // Fills the list from the catalogue. False when there is nothing to pick: the dialog then
    // shows "No backups present for restore." and ends as cancelled.
    bool Open(System& system, std::string_view programFolder);
    const std::vector<DateListItem>& items() const { return items_; }

    // The 100 ms poll with the selected item's data: a real item chooses its name; the
    // placeholder keeps the last choice.
    void Poll(int selectedData);
    // "Finish": the chosen name, empty when the user never chose one.
    const std::string& chosenName() const { return chosen_; }

private:
    std::string title_;
    std::string text_;
    bool fullBackups_;
    std::vector<DateListItem> items_;
    std::vector<std::string> names_;
    std::string chosen_;
    int lastSeen_ = -1;
};

}  // namespace tw
