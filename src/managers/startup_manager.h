// The startup programs manager: the values of the "Run" and "RunOnce" keys of the machine, of
// its 32-bit view and of the user (in that order), each moved into the removed-entry store of
// its own place and back; the reduction of a command text to the program file it starts (for
// the details and for running it), and the model of its window.
#pragma once

#include "managers/manager_model.h"
#include "managers/removed_entry_store.h"
#include "platform/registry.h"

#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct StartupEntry {
    std::string name;     // value name
    std::string command;  // the value's data, as text (what the listing shows, never what is moved)
    HKey root = nullptr;  // kLocalMachine or kCurrentUser
    ManagerPlace place;   // where Windows reads it, and its store
};

// The places, in listing order: the machine's Run and RunOnce, those of its 32-bit view, the
// user's Run and RunOnce.
const std::vector<ManagerPlace>& StartupPlaces();
// "HKEY_CURRENT_USER\SOFTWARE\...\Run\Name": the value's full path in its place.
std::string StartupEntryPath(const StartupEntry& entry);

// Appends the values of the place's key (or of its store): the unnamed value is skipped, and
// the listing stops at the first value whose name or data does not fit kListingBufferChars
// characters.
void ListStartupValues(Registry& registry, TextCodec& codec, const ManagerPlace& place, bool store,
                       std::vector<StartupEntry>* entries);
// Every place that exists on this system, in StartupPlaces' order (a key two places reach
// through a link is listed once).
std::vector<StartupEntry> ListStartupPrograms(Registry& registry, System& system);
// The stores of HKEY_CURRENT_USER's places, then those of HKEY_LOCAL_MACHINE's.
std::vector<StartupEntry> ListStoredStartupPrograms(Registry& registry, TextCodec& codec);

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
    std::string RunSelected(int selectionMark) override;

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
