#include "backup/backup_manager_model.h"

#include "backup/backup_messages.h"

namespace tw {
namespace {

bool EndsWithFileName(const std::string& path, const std::string& name)
{
    return path.size() > name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0 &&
           path[path.size() - name.size() - 1] == '\\';
}

}  // namespace

BackupManagerModel::BackupManagerModel(Registry& registry, System& system, std::string programFolder, int mode)
    : registry_(registry),
      system_(system),
      programFolder_(std::move(programFolder)),
      page_(mode == 1 ? BackupPage::FullBackup : BackupPage::Restore)
{
    dateItems_ = MakeDateList({});
}

ManagerOutcome BackupManagerModel::EnterRestorePage()
{
    page_ = BackupPage::Restore;
    return ListBackups();
}

ManagerOutcome BackupManagerModel::ListBackups()
{
    ManagerOutcome outcome;
    std::vector<CatalogueEntry> entries = ListCatalogue(system_, programFolder_, CatalogueKind::RepairBackups);
    dateItems_ = MakeDateList(entries);
    paths_.clear();
    for (const CatalogueEntry& e : entries)
        paths_.push_back(e.path);
    rows_.clear();
    selectedItem_ = 0;
    lastSeenData_ = -1;
    outcome.datesChanged = true;
    outcome.rowsChanged = true;
    if (paths_.empty())
        outcome.messages.push_back(backup_text::kNoBackups);
    return outcome;
}

void BackupManagerModel::SelectDateItem(int index)
{
    if (index >= 0 && std::size_t(index) < dateItems_.size())
        selectedItem_ = index;
}

ManagerOutcome BackupManagerModel::Poll()
{
    ManagerOutcome outcome;
    int data = dateItems_[std::size_t(selectedItem_)].data;
    if (data == lastSeenData_)
        return outcome;
    lastSeenData_ = data;
    rows_.clear();
    outcome.rowsChanged = true;
    if (data < 0)
        return outcome;
    BackupListing listing = ListRepairBackupItems(system_, paths_[std::size_t(data)]);
    outcome.messages = listing.messages;
    for (BackupItem& item : listing.items) {
        const bool tick = !item.kept;  // what the repair left in place starts unticked
        rows_.push_back({std::move(item), tick});
    }
    return outcome;
}

void BackupManagerModel::SetTicked(std::size_t row, bool ticked)
{
    if (row < rows_.size())
        rows_[row].ticked = ticked;
}

void BackupManagerModel::SelectAll()
{
    for (ContentRow& r : rows_)
        r.ticked = true;
}

void BackupManagerModel::DeselectAll()
{
    for (ContentRow& r : rows_)
        r.ticked = false;
}

ManagerOutcome BackupManagerModel::Restore()
{
    ManagerOutcome outcome;
    int data = dateItems_[std::size_t(selectedItem_)].data;
    if (data < 0) {
        outcome.messages.push_back(backup_text::kPleaseSelectDate);
        return outcome;
    }
    // The rows shown belong to the file chosen; a selection the poll has not seen yet has
    // no rows, and then everything in the file is restored as it would be shown.
    std::vector<bool> ticks;
    if (data == lastSeenData_)
        for (const ContentRow& r : rows_)
            ticks.push_back(r.ticked);
    ActivityLog log(system_);
    log.Open();
    outcome.messages = RestoreRepairBackupKeepingWhatItOverwrites(registry_, system_, log, programFolder_,
                                                                  paths_[std::size_t(data)], ticks)
                           .messages;
    return outcome;
}

SelectBackupModel BackupManagerModel::MakeRemovePicker() const
{
    return SelectBackupModel(backup_text::kRemoveTitle, backup_text::kRemoveText, false);
}

SelectBackupModel BackupManagerModel::MakeFullRestorePicker()
{
    return SelectBackupModel(backup_text::kFullRestoreTitle, backup_text::kFullRestoreText, true);
}

ManagerOutcome BackupManagerModel::FinishRemove(bool ok, const std::string& name)
{
    ManagerOutcome outcome;
    pendingRemove_.clear();
    if (!ok)
        return outcome;
    if (name.empty()) {
        outcome.messages.push_back(backup_text::kNoDateChosen);
        return outcome;
    }
    // The date the user chose it by; the name where the list has none (it changed meanwhile).
    pendingRemoveDate_ = name;
    for (const DateListItem& item : dateItems_)
        if (item.data >= 0 && std::size_t(item.data) < paths_.size() &&
            EndsWithFileName(paths_[std::size_t(item.data)], name))
            pendingRemoveDate_ = item.text;
    pendingRemove_ = name;
    outcome.question = backup_text::RemoveQuestion(pendingRemoveDate_);
    return outcome;
}

ManagerOutcome BackupManagerModel::ConfirmRemove(bool yes)
{
    std::string name = std::move(pendingRemove_);
    pendingRemove_.clear();
    if (!yes || name.empty())
        return {};
    bool removed = RemoveBackup(system_, programFolder_, name);
    ManagerOutcome outcome = ListBackups();
    outcome.messages.insert(outcome.messages.begin(), backup_text::RemovedText(pendingRemoveDate_, removed));
    return outcome;
}

ManagerOutcome BackupManagerModel::OnToolbar(int id)
{
    ManagerOutcome outcome;
    switch (id) {
    case kHeaderMainPage:
    case kHeaderAdvancedOptions:
    case kHeaderUserSettings:
        outcome.close = true;
        outcome.pageRequest = PageRequestOfButton(id);
        break;
    case kHeaderBackupManager:
        if (page_ == BackupPage::FullBackup) {
            enteredFromFullPage_ = true;
            outcome = EnterRestorePage();
            outcome.pageChanged = true;
        }
        break;
    default:
        break;  // help and the others are the main window's business
    }
    return outcome;
}

ManagerOutcome BackupManagerModel::OnCancelShowPrevious()
{
    ManagerOutcome outcome;
    if (enteredFromFullPage_) {
        enteredFromFullPage_ = false;
        page_ = BackupPage::FullBackup;
        outcome.pageChanged = true;
    } else {
        outcome.close = true;
    }
    return outcome;
}

ManagerOutcome BackupManagerModel::OnCancelClose()
{
    ManagerOutcome outcome;
    outcome.close = true;
    return outcome;
}

ManagerOutcome BackupManagerModel::OnWindowClose()
{
    ManagerOutcome outcome;
    outcome.close = true;
    outcome.endProgram = true;
    return outcome;
}

}  // namespace tw
