#include "managers/add_remove_manager.h"

#include "managers/removed_entry_store.h"
#include "platform/key_handle.h"

namespace tw {

namespace {

bool ReadText(Registry& registry, HKey key, const char* name, std::string* text)
{
    std::vector<std::uint8_t> data(kUninstallBufferSize);
    std::uint32_t size = kUninstallBufferSize;
    if (registry.QueryValueEx(key, name, nullptr, nullptr, data.data(), &size) != kSuccess)
        return false;
    text->assign(reinterpret_cast<const char*>(data.data()), size < kUninstallBufferSize ? size : kUninstallBufferSize);
    std::size_t nul = text->find('\0');
    if (nul != std::string::npos)
        text->resize(nul);
    return true;
}

}  // namespace

void ListUninstallEntries(Registry& registry, const std::string& parent, std::vector<UninstallEntry>* entries)
{
    KeyHandle key(registry);
    if (registry.OpenKeyEx(kLocalMachine, parent.c_str(), 0, kKeyRead, key.Put()) != kSuccess)
        return;
    std::uint32_t count = 0;
    if (registry.QueryInfoKey(key.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr) != kSuccess ||
        count == 0)
        return;
    std::vector<char> name(kUninstallBufferSize);
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t length = kUninstallBufferSize;
        if (registry.EnumKeyEx(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            kSuccess)
            break;
        UninstallEntry entry;
        entry.subkey.assign(name.data(), length);
        KeyHandle sub(registry);
        if (registry.OpenKeyEx(key.get(), entry.subkey.c_str(), 0, kKeyAllAccess, sub.Put()) != kSuccess)
            continue;
        if (!ReadText(registry, sub.get(), "DisplayName", &entry.displayName) ||
            !ReadText(registry, sub.get(), "UninstallString", &entry.uninstallString))
            continue;
        entries->push_back(std::move(entry));
    }
}

MoveResult RemoveInstalledProgram(Registry& registry, const std::string& subkey)
{
    return MoveRegistryKey(registry, kAddRemoveStoreKeyPath, kUninstallKeyPath, subkey);
}

MoveResult RestoreInstalledProgram(Registry& registry, const std::string& subkey)
{
    return MoveRegistryKey(registry, kUninstallKeyPath, kAddRemoveStoreKeyPath, subkey);
}

std::vector<ManagerColumn> AddRemoveManagerModel::columns() const
{
    return {{"Select", 50}, {"Program Name", 150}, {"Uninstall Path", 400}};
}

std::vector<ManagerButton> AddRemoveManagerModel::buttons() const
{
    return {{ManagerButtonRole::Close, 1029, 191, 192, "Close the dialog"},
            {ManagerButtonRole::Remove, 1052, 225, 226, "Remove selected programs"},
            {ManagerButtonRole::Restore, 1046, 227, 228, "Restore programs"}};
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
    std::vector<UninstallEntry> found;
    ListUninstallEntries(registry_, store ? kAddRemoveStoreKeyPath : kUninstallKeyPath, &found);
    for (UninstallEntry& entry : found) {
        AddRow({"", entry.displayName, entry.uninstallString}, entries_.size());
        entries_.push_back(std::move(entry));
    }
}

MoveResult AddRemoveManagerModel::MoveEntry(std::size_t entry, bool toStore)
{
    if (entry >= entries_.size())
        return MoveResult::NotMoved;
    return toStore ? RemoveInstalledProgram(registry_, entries_[entry].subkey)
                   : RestoreInstalledProgram(registry_, entries_[entry].subkey);
}

}  // namespace tw
