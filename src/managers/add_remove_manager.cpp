#include "managers/add_remove_manager.h"
#include "../../resources/resource.h"

#include "managers/removed_entry_store.h"
#include "platform/key_handle.h"
#include "ui/shared_texts.h"

namespace tw {

const std::vector<ManagerPlace>& UninstallPlaces()
{
    static const std::vector<ManagerPlace> places = {
        {SoftwarePlace(kUninstallKeyPath, kMachineView), kAddRemoveStoreKeyPath, "HKLM"},
        {SoftwarePlace(kUninstallKeyPath, kMachine32View), kAddRemove32StoreKeyPath, "HKLM (32-bit)"},
        {SoftwarePlace(kUninstallKeyPath, kUserView), kAddRemoveStoreKeyPath, "HKCU"},
    };
    return places;
}

std::string UninstallEntryPath(const UninstallEntry& entry)
{
    return PlaceFullPath(entry.place.source) + "\\" + entry.subkey;
}

namespace {

bool ReadText(Registry& registry, TextCodec& codec, HKey key, const char* name, std::string* text)
{
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (!ReadValueBytes(registry, key, name, &type, &data) || !DataFitsListing(codec, type, data.data(), data.size()))
        return false;
    *text = DataAsText(data.data(), data.size());
    return true;
}

void ListSubkeysOf(Registry& registry, TextCodec& codec, HKey key, const ManagerPlace& place,
                   std::vector<UninstallEntry>* entries)
{
    for (std::string& name : SubkeyNamesOf(registry, key)) {
        UninstallEntry entry;
        entry.subkey = std::move(name);
        entry.place = place;
        KeyHandle sub(registry);
        if (registry.OpenKeyEx(key, entry.subkey.c_str(), 0, kKeyAllAccess, sub.Put()) != kSuccess)
            continue;
        if (!ReadText(registry, codec, sub.get(), "DisplayName", &entry.displayName) ||
            !ReadText(registry, codec, sub.get(), "UninstallString", &entry.uninstallString))
            continue;
        entries->push_back(std::move(entry));
    }
}

}  // namespace

void ListUninstallEntries(Registry& registry, TextCodec& codec, const ManagerPlace& place, bool store,
                          std::vector<UninstallEntry>* entries)
{
    KeyHandle key(registry);
    const std::string& path = store ? place.store : place.source.subkey;
    if (registry.OpenKeyEx(place.source.root, path.c_str(), 0, kKeyRead, key.Put()) != kSuccess)
        return;
    ListSubkeysOf(registry, codec, key.get(), place, entries);
}

std::vector<UninstallEntry> ListInstalledPrograms(Registry& registry, System& system)
{
    std::vector<UninstallEntry> entries;
    PlaceKeys keys(registry, system);
    for (const ManagerPlace& place : UninstallPlaces()) {
        KeyHandle key(registry);
        if (keys.Open(place.source, &key))
            ListSubkeysOf(registry, system, key.get(), place, &entries);
    }
    return entries;
}

std::vector<UninstallEntry> ListStoredInstalledPrograms(Registry& registry, TextCodec& codec)
{
    std::vector<UninstallEntry> entries;
    for (const ManagerPlace& place : UninstallPlaces())
        ListUninstallEntries(registry, codec, place, true, &entries);
    return entries;
}

MoveResult RemoveInstalledProgram(Registry& registry, const UninstallEntry& entry)
{
    return MoveRegistryKey(registry, entry.place.source.root, entry.place.store, entry.place.source.subkey,
                           entry.subkey);
}

MoveResult RestoreInstalledProgram(Registry& registry, const UninstallEntry& entry)
{
    return MoveRegistryKey(registry, entry.place.source.root, entry.place.source.subkey, entry.place.store,
                           entry.subkey);
}

std::vector<ManagerColumn> AddRemoveManagerModel::columns() const
{
    // Where each entry lives comes last, so that the columns of the other texts stay where they were.
    return {{"Select", 50}, {"Program Name", 140}, {"Uninstall Path", 240}, {"Location", 110}};
}

std::vector<ManagerButton> AddRemoveManagerModel::buttons() const
{
    return {{ManagerButtonRole::Close, IDC_MGR_CLOSE, IDB_CLOSE_SMALL, IDB_CLOSE_SMALL_HOT, shared_text::kCloseTheDialog},
            {ManagerButtonRole::Remove, IDC_ADDREMOVE_REMOVE, IDB_REMOVE_PROGRAMS, IDB_REMOVE_PROGRAMS_HOT, shared_text::kRemoveSelectedPrograms},
            {ManagerButtonRole::Restore, IDC_ADDREMOVE_RESTORE, IDB_RESTORE_PROGRAMS, IDB_RESTORE_PROGRAMS_HOT, shared_text::kRestorePrograms}};
}

std::string AddRemoveManagerModel::ListTitle() const
{
    return "Manage Installed Programs";
}

std::string AddRemoveManagerModel::ListNote() const
{
    return "Note: Removal of items below will prevent them from behind displaying when you go to Add/Remove "
           "programs but will not remove the actual application from your PC.";
}

std::string AddRemoveManagerModel::ListDescription() const
{
    return "Add/Remove Programs items are entries that are listed when you access the Add/Removes section of your "
           "PC's control panel. Incomplete installation or uninstallation of a particular program might leave an "
           "entry behing. Removal of items below will prevent them from appearing when you access your Add/Remove "
           "Programs section of your control panel.";
}

std::string AddRemoveManagerModel::RestoreNote() const
{
    return "\r\nSelect items to restore:";
}

void AddRemoveManagerModel::FillList(bool store)
{
    std::vector<UninstallEntry> found =
        store ? ListStoredInstalledPrograms(registry_, system_) : ListInstalledPrograms(registry_, system_);
    for (UninstallEntry& entry : found) {
        AddRow({"", entry.displayName, entry.uninstallString, entry.place.location}, entries_.size());
        entries_.push_back(std::move(entry));
    }
}

MoveResult AddRemoveManagerModel::MoveEntry(std::size_t entry, bool toStore)
{
    if (entry >= entries_.size())
        return MoveResult::NotMoved;
    return toStore ? RemoveInstalledProgram(registry_, entries_[entry])
                   : RestoreInstalledProgram(registry_, entries_[entry]);
}

}  // namespace tw
