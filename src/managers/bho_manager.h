// The browser helper object manager: the objects registered under "Browser Helper Objects",
// each shown by the library of its class registration (the default value of
// HKEY_CLASSES_ROOT\CLSID\{id}\InprocServer32), moved whole into the removed-entry store
// and back. The class registration itself is only read.
#pragma once

#include "managers/manager_model.h"
#include "platform/registry.h"
#include "platform/system.h"

#include <string>
#include <vector>

namespace tw {

struct BhoEntry {
    std::string classId;      // the subkey name
    std::string libraryPath;  // the class registration's InprocServer32 default value
};

// The object subkeys of HKEY_LOCAL_MACHINE\parent whose class has a readable library path
// (of kListingBufferChars characters at most, terminator included).
void ListBrowserHelperObjects(Registry& registry, TextCodec& codec, const std::string& parent,
                              std::vector<BhoEntry>* entries);

MoveResult RemoveBrowserHelperObject(Registry& registry, const std::string& classId);
MoveResult RestoreBrowserHelperObject(Registry& registry, const std::string& classId);

class BhoManagerModel final : public ManagerModel {
public:
    BhoManagerModel(Registry& registry, System& system) : ManagerModel(registry, system) {}

    std::vector<ManagerColumn> columns() const override;
    std::vector<ManagerButton> buttons() const override;
    const std::vector<BhoEntry>& entries() const { return entries_; }

protected:
    std::string ListTitle() const override;
    std::string ListNote() const override;
    std::string ListDescription() const override;
    std::string RestoreNote() const override;
    bool HasDetails() const override { return true; }
    void FillList(bool store) override;
    void ClearEntries() override { entries_.clear(); }
    MoveResult MoveEntry(std::size_t entry, bool toStore) override;
    std::string DetailsPath(const ManagerRow& row) const override;

private:
    std::vector<BhoEntry> entries_;
};

}  // namespace tw
