// The Add/Remove Programs manager: the uninstall entries that have both a "DisplayName" and an
// "UninstallString", each moved whole into the removed-entry store (which hides it from the
// control panel without uninstalling anything) and back. The entries live in three places:
// the machine's "Uninstall" key, its 32-bit view and the user's own; each has its store.
#pragma once

#include "managers/manager_model.h"
#include "managers/removed_entry_store.h"
#include "platform/registry.h"

#include <string>
#include <vector>

namespace tw {

struct UninstallEntry {
    std::string subkey;
    std::string displayName;
    std::string uninstallString;
    ManagerPlace place;  // where Windows reads it, and its store
};

// The places, in listing order: the machine's, its 32-bit view's, the user's.
const std::vector<ManagerPlace>& UninstallPlaces();
// "HKEY_CURRENT_USER\SOFTWARE\...\Uninstall\Subkey": the entry's key in its place.
std::string UninstallEntryPath(const UninstallEntry& entry);

// The subkeys of the place's key (or of its store) that open with full access and have both
// values, each fitting kListingBufferChars characters.
void ListUninstallEntries(Registry& registry, TextCodec& codec, const ManagerPlace& place, bool store,
                          std::vector<UninstallEntry>* entries);
// Every place that exists on this system, in UninstallPlaces' order (a key two places reach
// through a link is listed once).
std::vector<UninstallEntry> ListInstalledPrograms(Registry& registry, System& system);
// The stores of the places, in the same order.
std::vector<UninstallEntry> ListStoredInstalledPrograms(Registry& registry, TextCodec& codec);

MoveResult RemoveInstalledProgram(Registry& registry, const UninstallEntry& entry);
MoveResult RestoreInstalledProgram(Registry& registry, const UninstallEntry& entry);

class AddRemoveManagerModel final : public ManagerModel {
public:
    AddRemoveManagerModel(Registry& registry, System& system) : ManagerModel(registry, system) {}

    std::vector<ManagerColumn> columns() const override;
    std::vector<ManagerButton> buttons() const override;
    const std::vector<UninstallEntry>& entries() const { return entries_; }

protected:
    std::string ListTitle() const override;
    std::string ListNote() const override;
    std::string ListDescription() const override;
    std::string RestoreNote() const override;
    bool HasDetails() const override { return false; }
    void FillList(bool store) override;
    void ClearEntries() override { entries_.clear(); }
    MoveResult MoveEntry(std::size_t entry, bool toStore) override;

private:
    std::vector<UninstallEntry> entries_;
};

}  // namespace tw
