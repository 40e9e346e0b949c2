// What a manager window shows and what its buttons do, without the window: the list view of
// the entries Windows reads and the restore view of the removed-entry store, the title, note
// and description lines of each view, the ticked rows, and (for the managers that have a
// details panel) the version details of the selected row. The three manager dialogs draw what
// their model says and forward clicks and the selection poll to it.
#pragma once

#include "managers/file_version_record.h"
#include "managers/removed_entry_store.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "ui/shared_texts.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tw {

inline constexpr const char* kRestoreViewTitle = "Restore Removed Registry Entries";
inline constexpr const char* kNoBackupsMessage = shared_text::kNoBackups;
inline constexpr const char* kManagerMessageCaption = "Tarnwick";
// Run could not start the selected program: its path, then the system's reason.
inline constexpr const char* kRunFailedMessage = "The program could not be started: %s\n\n%s";
inline constexpr const char* kMoveFailedMessage = "Some entries could not be moved. They are still listed.";

// The details panel of the startup and browser helper object managers: a group box with
// this caption, four labels (controls 1036 to 1039) and four values (1040 to 1043).
inline constexpr const char* kDetailsCaption = "Details";
inline constexpr const char* kDetailLabels[4] = {"File Name:", "Product Name:", "Desctiption:", "Company:"};
inline constexpr int kFirstDetailLabelId = 1036;
inline constexpr int kFirstDetailValueId = 1040;

struct ManagerColumn {
    const char* title;
    int width;  // pixels
};

// One list row: the text of each column (the first, the check box column, is empty) and the
// index of its entry in the manager's entry array.
struct ManagerRow {
    std::vector<std::string> texts;
    std::size_t entry = 0;
    bool ticked = false;
};

// The four values of the details panel.
struct VersionDetails {
    std::string fileName;     // file name + " (Version: " + formatted file version + ")"
    std::string productName;  // product name + " (Version: " + product version + ")"
    std::string description;
    std::string company;
    bool operator==(const VersionDetails&) const = default;
};

// The four values in panel order (controls 1040 to 1043).
std::vector<std::string> DetailValues(const VersionDetails& details);

// The details of a file, or four empty texts when it has no version information.
VersionDetails DetailsOfFile(FileVersionRecord& record, const std::string& path);

// What the window must do after a button.
enum class ManagerAction {
    None,
    ShowNoBackupsMessage,  // kNoBackupsMessage, caption kManagerMessageCaption, information icon
    ShowMoveFailedMessage,  // kMoveFailedMessage, caption kManagerMessageCaption, warning icon
    EndDialog,
};

// The buttons of a manager window besides the page header.
enum class ManagerButtonRole { Close, Restore, Remove, Run };

struct ManagerButton {
    ManagerButtonRole role;
    int id;
    int normalBitmap;
    int hotBitmap;  // hover and pressed
    const char* tooltip;
};

class ManagerModel {
public:
    ManagerModel(Registry& registry, System& system);
    virtual ~ManagerModel() = default;
    ManagerModel(const ManagerModel&) = delete;
    ManagerModel& operator=(const ManagerModel&) = delete;

    // Fills the list view (called once the window exists).
    void Open();

    bool inListView() const { return listView_; }
    const std::string& title() const { return title_; }
    const std::string& note() const { return note_; }
    const std::string& description() const { return description_; }
    bool removeShown() const { return listView_; }
    bool runShown() const { return listView_ && HasRunButton(); }
    virtual std::vector<ManagerColumn> columns() const = 0;
    // Close, Restore, Remove (and Run) with their control ids, bitmaps and tooltips.
    virtual std::vector<ManagerButton> buttons() const = 0;
    // Whether a button shows in the current view (Remove and Run hide in the restore view).
    bool ButtonShown(ManagerButtonRole role) const;
    const std::vector<ManagerRow>& rows() const { return rows_; }
    void SetTicked(std::size_t row, bool ticked);

    // A move that fails keeps its row (still ticked) and the press answers
    // ShowMoveFailedMessage; the rows whose move succeeded leave the list. A restore with a
    // failure stays in the restore view, so that what is listed is what is still stored.
    ManagerAction PressRemove();
    ManagerAction PressRestore();
    ManagerAction PressClose();
    // Starts the selected row's program (the startup manager's Run button). Empty when it
    // started or no row is selected; else the message to show (kRunFailedMessage).
    virtual std::string RunSelected(int /*selectionMark*/) { return {}; }
    // Moves that failed in the last removal or restore.
    std::size_t failedMoves() const { return failedMoves_; }
    // The message of ShowMoveFailedMessage: kMoveFailedMessage and, a line each, the entry
    // whose move failed and why.
    const std::string& moveFailedText() const { return moveFailedText_; }

    // The selection poll: `selectionMark` is the list's selection mark (-1 for none). True
    // when the details changed to another row's and the panel must be repainted.
    bool FollowSelection(int selectionMark);
    const VersionDetails& details() const { return details_; }
    bool HasDetailsPanel() const { return HasDetails(); }
    // True once after the details changed (a new row shown, or the panel emptied when the
    // view changed): the window repaints the details area then.
    bool TakeDetailsRepaint();

protected:
    // The texts of each manager.
    virtual std::string ListTitle() const = 0;
    virtual std::string ListNote() const = 0;
    virtual std::string ListDescription() const = 0;
    virtual std::string RestoreNote() const = 0;
    // The startup and browser helper object managers blank their description in the restore
    // view and clear their details when the view changes; Add/Remove Programs does neither.
    virtual bool HasDetails() const = 0;
    virtual bool HasRunButton() const { return false; }
    // Fills the entry array and the rows from the source (false) or the store (true).
    virtual void FillList(bool store) = 0;
    virtual void ClearEntries() = 0;
    // Moves one entry into the store (toStore) or back.
    virtual MoveResult MoveEntry(std::size_t entry, bool toStore) = 0;
    // The file whose details a row shows.
    virtual std::string DetailsPath(const ManagerRow& row) const;

    void AddRow(std::vector<std::string> texts, std::size_t entry);

    Registry& registry_;
    System& system_;

private:
    void EnterListView();
    void EnterRestoreView();
    void ClearDetails();
    void ClearRows();
    void MoveTickedRows(bool toStore);

    bool listView_ = true;
    std::string title_;
    std::string note_;
    std::string description_;
    std::vector<ManagerRow> rows_;
    std::size_t failedMoves_ = 0;
    std::string moveFailedText_;
    FileVersionRecord record_;
    VersionDetails details_;
    int lastShown_ = -1;
    bool detailsRepaint_ = false;
};

}  // namespace tw
