#include "managers/bho_manager.h"
#include "../../resources/resource.h"

#include "managers/removed_entry_store.h"
#include "platform/key_handle.h"
#include "ui/shared_texts.h"

namespace tw {

void ListBrowserHelperObjects(Registry& registry, TextCodec& codec, const std::string& parent,
                              std::vector<BhoEntry>* entries)
{
    KeyHandle key(registry);
    if (registry.OpenKeyEx(kLocalMachine, parent.c_str(), 0, kKeyRead, key.Put()) != kSuccess)
        return;
    for (std::string& classId : SubkeyNamesOf(registry, key.get())) {
        std::string server = "CLSID\\" + classId + "\\InprocServer32";
        KeyHandle registration(registry);
        if (registry.OpenKeyEx(kClassesRoot, server.c_str(), 0, kKeyAllAccess, registration.Put()) != kSuccess)
            continue;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        if (!ReadValueBytes(registry, registration.get(), nullptr, &type, &data) ||
            !DataFitsListing(codec, type, data.data(), data.size()))
            continue;
        entries->push_back(BhoEntry{std::move(classId), DataAsText(data.data(), data.size())});
    }
}

MoveResult RemoveBrowserHelperObject(Registry& registry, const std::string& classId)
{
    return MoveRegistryKey(registry, kBhoStoreKeyPath, kBrowserHelperObjectsKeyPath, classId);
}

MoveResult RestoreBrowserHelperObject(Registry& registry, const std::string& classId)
{
    return MoveRegistryKey(registry, kBrowserHelperObjectsKeyPath, kBhoStoreKeyPath, classId);
}

std::vector<ManagerColumn> BhoManagerModel::columns() const
{
    return {{"Select", 50}, {"BHO Path", 400}};
}

std::vector<ManagerButton> BhoManagerModel::buttons() const
{
    return {{ManagerButtonRole::Close, IDC_MGR_CLOSE, IDB_CLOSE_SMALL, IDB_CLOSE_SMALL_HOT, shared_text::kCloseTheDialog},
            {ManagerButtonRole::Restore, IDC_BHO_RESTORE, IDB_RESTORE_PROGRAMS, IDB_RESTORE_PROGRAMS_HOT, shared_text::kRestorePrograms},
            {ManagerButtonRole::Remove, IDC_BHO_REMOVE, IDB_REMOVE_PROGRAMS, IDB_REMOVE_PROGRAMS_HOT, shared_text::kRemoveSelectedPrograms}};
}

std::string BhoManagerModel::ListTitle() const
{
    return "Manage Browser Helper Object (BHO)";
}

std::string BhoManagerModel::ListNote() const
{
    return "Note: Removal of items below will prevent them from running when you open Internet Explorer but will "
           "not remove the actual application from your PC.";
}

std::string BhoManagerModel::ListDescription() const
{
    return "Browser Helper Objects are objects that attach tyhemselves to Internet Explorer, and start each time "
           "your browser is started. These item can included Internet Explorer Add-ons such as Toolbars. You can "
           "view details about each itemby highlighting an entry below, including the company behind the BHO as "
           "well as the Product Name so you can make an informed decision on what you wish to remove.";
}

std::string BhoManagerModel::RestoreNote() const
{
    return "\r\nSelect Item to Restore:";
}

void BhoManagerModel::FillList(bool store)
{
    std::vector<BhoEntry> found;
    ListBrowserHelperObjects(registry_, system_, store ? kBhoStoreKeyPath : kBrowserHelperObjectsKeyPath, &found);
    for (BhoEntry& entry : found) {
        AddRow({"", entry.libraryPath}, entries_.size());
        entries_.push_back(std::move(entry));
    }
}

MoveResult BhoManagerModel::MoveEntry(std::size_t entry, bool toStore)
{
    if (entry >= entries_.size())
        return MoveResult::NotMoved;
    return toStore ? RemoveBrowserHelperObject(registry_, entries_[entry].classId)
                   : RestoreBrowserHelperObject(registry_, entries_[entry].classId);
}

std::string BhoManagerModel::DetailsPath(const ManagerRow& row) const
{
    return row.texts.size() > 1 ? row.texts[1] : std::string();
}

}  // namespace tw
