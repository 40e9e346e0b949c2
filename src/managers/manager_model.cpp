#include "managers/manager_model.h"

namespace tw {

std::vector<std::string> DetailValues(const VersionDetails& details)
{
    return {details.fileName, details.productName, details.description, details.company};
}

VersionDetails DetailsOfFile(FileVersionRecord& record, const std::string& path)
{
    record.setPath(path);
    VersionDetails details;
    if (!record.isAvailable())
        return details;
    std::size_t slash = path.rfind('\\');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    details.fileName = name + " (Version: " + record.formattedFileVersion() + ")";
    details.productName = record.productName() + " (Version: " + record.productVersion() + ")";
    details.description = record.fileDescription();
    details.company = record.companyName();
    return details;
}

ManagerModel::ManagerModel(Registry& registry, System& system)
    : registry_(registry), system_(system), record_(system)
{
}

void ManagerModel::Open()
{
    description_ = ListDescription();
    EnterListView();
}

void ManagerModel::SetTicked(std::size_t row, bool ticked)
{
    if (row < rows_.size())
        rows_[row].ticked = ticked;
}

void ManagerModel::AddRow(std::vector<std::string> texts, std::size_t entry)
{
    rows_.push_back(ManagerRow{std::move(texts), entry, false});
}

std::string ManagerModel::DetailsPath(const ManagerRow&) const
{
    return {};
}

void ManagerModel::ClearDetails()
{
    details_ = VersionDetails{};
    lastShown_ = -1;
    detailsRepaint_ = true;
}

bool ManagerModel::TakeDetailsRepaint()
{
    bool repaint = detailsRepaint_;
    detailsRepaint_ = false;
    return repaint;
}

bool ManagerModel::ButtonShown(ManagerButtonRole role) const
{
    switch (role) {
    case ManagerButtonRole::Remove:
        return removeShown();
    case ManagerButtonRole::Run:
        return runShown();
    default:
        return true;
    }
}

void ManagerModel::ClearRows()
{
    rows_.clear();
    ClearEntries();
}

void ManagerModel::EnterListView()
{
    if (HasDetails())
        ClearDetails();
    listView_ = true;
    title_ = ListTitle();
    note_ = ListNote();
    if (HasDetails())
        description_ = ListDescription();
    ClearRows();
    FillList(false);
}

void ManagerModel::EnterRestoreView()
{
    listView_ = false;
    if (HasDetails()) {
        ClearDetails();
        description_.clear();
    }
    title_ = kRestoreViewTitle;
    note_ = RestoreNote();
    ClearRows();
    FillList(true);
}

void ManagerModel::MoveTickedRows(bool toStore)
{
    failedMoves_ = 0;
    moveFailedText_ = kMoveFailedMessage;
    std::vector<bool> moved(rows_.size(), false);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!rows_[i].ticked)
            continue;
        const MoveResult result = MoveEntry(rows_[i].entry, toStore);
        moved[i] = result == MoveResult::Moved;
        if (moved[i])
            continue;
        ++failedMoves_;
        // The row's first text names the entry (the check box column is empty); where a
        // manager reads several places, its last column says which one, since one name may
        // live in several.
        const std::vector<std::string>& texts = rows_[i].texts;
        std::string entryName = texts.size() > 1 ? texts[1] : std::string();
        if (texts.size() > 3 && !texts.back().empty())
            entryName += " (" + texts.back() + ")";
        moveFailedText_ += "\n" + entryName + ": " + MoveResultText(result, toStore) + ".";
    }
    // The moved rows leave the list; a row whose move failed stays, still ticked, since its
    // entry is still where it was. The entry array keeps its indices.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (moved[i])
            continue;
        if (kept != i)
            rows_[kept] = std::move(rows_[i]);
        ++kept;
    }
    rows_.resize(kept);
    // The rows have shifted: the row under the selection mark may be another entry now.
    lastShown_ = -1;
}

ManagerAction ManagerModel::PressRemove()
{
    if (!listView_)
        return ManagerAction::None;  // the button is hidden in the restore view
    MoveTickedRows(true);
    return failedMoves_ > 0 ? ManagerAction::ShowMoveFailedMessage : ManagerAction::None;
}

ManagerAction ManagerModel::PressRestore()
{
    if (listView_) {
        EnterRestoreView();
        return rows_.empty() ? ManagerAction::ShowNoBackupsMessage : ManagerAction::None;
    }
    MoveTickedRows(false);
    if (failedMoves_ > 0)
        return ManagerAction::ShowMoveFailedMessage;
    EnterListView();
    return ManagerAction::None;
}

ManagerAction ManagerModel::PressClose()
{
    if (listView_)
        return ManagerAction::EndDialog;
    EnterListView();
    return ManagerAction::None;
}

bool ManagerModel::FollowSelection(int selectionMark)
{
    if (!HasDetails() || selectionMark < 0 || static_cast<std::size_t>(selectionMark) >= rows_.size() ||
        selectionMark == lastShown_)
        return false;
    // A row without version information empties the panel: the previous row's details
    // must not stay under this row.
    details_ = DetailsOfFile(record_, DetailsPath(rows_[static_cast<std::size_t>(selectionMark)]));
    lastShown_ = selectionMark;
    detailsRepaint_ = true;
    return true;
}

}  // namespace tw
