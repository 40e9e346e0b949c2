// The startup programs manager: the values of the two "Run" keys (HKEY_LOCAL_MACHINE first),
// moved into the removed-entry store under their own root and back, the reduction of a
// command text to the program file it starts (for the details and for running it), and the
// model of its window.
#pragma once

#include "managers/manager_model.h"
#include "platform/registry.h"

#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct StartupEntry {
    std::string name;     // value name
    std::string command;  // the value's data, as text
    HKey root = nullptr;  // kLocalMachine or kCurrentUser
};

// Value names and data longer than this end a key's listing, as the window's buffers do.
inline constexpr std::uint32_t kStartupBufferSize = 260;

// Appends the values of root\subkey: the unnamed value is skipped, and the listing stops at
// the first value whose name or data does not fit kStartupBufferSize bytes.
void ListStartupValues(Registry& registry, HKey root, const std::string& subkey, std::vector<StartupEntry>* entries);
// The Run keys of HKEY_LOCAL_MACHINE, then HKEY_CURRENT_USER.
std::vector<StartupEntry> ListStartupPrograms(Registry& registry);
// The store of HKEY_CURRENT_USER, then HKEY_LOCAL_MACHINE.
std::vector<StartupEntry> ListStoredStartupPrograms(Registry& registry);

MoveResult RemoveStartupProgram(Registry& registry, const StartupEntry& entry);
MoveResult RestoreStartupProgram(Registry& registry, const StartupEntry& entry);

// The program file of a command text: leading blanks dropped; a quoted path is the text
// between the quotes; otherwise the text up to and including its last ".exe", or, when it
// names no ".exe", up to its first blank.
std::string ReduceRunPath(std::string_view command);

class StartupManagerModel final : public ManagerModel {
public:
    StartupManagerModel(Registry& registry, System& system) : ManagerModel(registry, system) {}

    std::vector<ManagerColumn> columns() const override;
    std::vector<ManagerButton> buttons() const override;
    const std::vector<StartupEntry>& entries() const { return entries_; }
    // Starts the selected row's program, without its arguments. False with no selection.
    bool RunSelected(int selectionMark) override;

protected:
    std::string ListTitle() const override;
    std::string ListNote() const override;
    std::string ListDescription() const override;
    std::string RestoreNote() const override;
    bool HasDetails() const override { return true; }
    bool HasRunButton() const override { return true; }
    void FillList(bool store) override;
    void ClearEntries() override { entries_.clear(); }
    MoveResult MoveEntry(std::size_t entry, bool toStore) override;
    std::string DetailsPath(const ManagerRow& row) const override;

private:
    std::vector<StartupEntry> entries_;
};

}  // namespace tw
