#include "backup/select_backup_model.h"

#include "backup/backup_messages.h"

namespace tw {

std::vector<DateListItem> MakeDateList(const std::vector<CatalogueEntry>& entries)
{
    std::vector<DateListItem> items{{backup_text::kSelectDatePlaceholder, -1}};
    for (std::size_t i = 0; i < entries.size(); ++i)
        items.push_back({entries[i].dateText, int(i)});
    return items;
}

bool SelectBackupModel::Open(System& system, std::string_view programFolder)
{
    std::vector<CatalogueEntry> entries = ListCatalogue(
        system, programFolder, fullBackups_ ? CatalogueKind::FullBackups : CatalogueKind::RepairBackups);
    items_ = MakeDateList(entries);
    names_.clear();
    for (const CatalogueEntry& e : entries)
        names_.push_back(e.name);
    chosen_.clear();
    lastSeen_ = -1;
    return !names_.empty();
}

void SelectBackupModel::Poll(int selectedData)
{
    if (selectedData < 0 || selectedData == lastSeen_ || std::size_t(selectedData) >= names_.size())
        return;
    lastSeen_ = selectedData;
    chosen_ = names_[std::size_t(selectedData)];
}

}  // namespace tw
