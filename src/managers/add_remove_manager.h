// The Add/Remove Programs manager: the uninstall entries that have both a "DisplayName" and an
// "UninstallString", each moved whole into the removed-entry store (which hides it from the
// control panel without uninstalling anything) and back.
#pragma once

#include "managers/manager_model.h"
#include "platform/registry.h"

#include <string>
#include <vector>

namespace tw {

struct UninstallEntry {
    std::string subkey;
    std::string displayName;
    std::string uninstallString;
};

inline constexpr std::uint32_t kUninstallBufferSize = 260;

// The subkeys of HKEY_LOCAL_MACHINE\parent that open with full access and have both values,
// each readable into kUninstallBufferSize bytes.
void ListUninstallEntries(Registry& registry, const std::string& parent, std::vector<UninstallEntry>* entries);

MoveResult RemoveInstalledProgram(Registry& registry, const std::string& subkey);
MoveResult RestoreInstalledProgram(Registry& registry, const std::string& subkey);

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
