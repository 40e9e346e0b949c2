// What the backup manager window shows and what its buttons do, without the window. It has
// two pages: the full-backup page (two radio buttons and "Perform specified action") and the
// restore page (the date list of pre-repair backups, the rows stored in the chosen one with
// check boxes, select and deselect all, restore, remove). Every handler returns the messages
// the window shows, in order, and whether the window closes and with which page request.
#pragma once

#include "backup/backup_catalogue.h"
#include "backup/backup_restore.h"
#include "backup/select_backup_model.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "ui/page_request.h"

#include <string>
#include <vector>

namespace tw {

enum class BackupPage { FullBackup, Restore };

// How a handler ends: stay open, close (with a page request for the main window, 0 for
// none), or close and end the whole program.
struct ManagerOutcome {
    bool close = false;
    int pageRequest = 0;
    bool endProgram = false;
    std::vector<std::string> messages;
    // A question to answer Yes or No after the messages (the removal's); the answer goes to
    // ConfirmRemove.
    std::string question;
    // What the window redraws: the date list (with its placeholder selected), the content
    // rows, the page shown.
    bool datesChanged = false;
    bool rowsChanged = false;
    bool pageChanged = false;
};

struct ContentRow {
    BackupItem item;
    bool ticked = true;
    // The "Item Path" column: the item's path, and for an item the repair left in place (it
    // starts unticked) a word that says so.
    std::string ShownPath() const { return item.kept ? item.path + "  (kept by the repair)" : item.path; }
};

enum class FullBackupChoice { None, Create, Restore };

class BackupManagerModel {
public:
    // mode 0 opens on the restore page, 1 on the full-backup page.
    BackupManagerModel(Registry& registry, System& system, std::string programFolder, int mode);

    BackupPage page() const { return page_; }

    // Entering the restore page lists the backups (the window then starts its poll).
    ManagerOutcome EnterRestorePage();

    // ---- restore page
    // Rebuilds the date list: the placeholder selected, the content emptied; "No backups
    // present for restore." when there is none.
    ManagerOutcome ListBackups();
    const std::vector<DateListItem>& dateItems() const { return dateItems_; }
    const std::vector<std::string>& paths() const { return paths_; }
    int selectedDateItem() const { return selectedItem_; }
    void SelectDateItem(int index);
    // The 100 ms poll: loads the chosen backup's rows when the selection changed.
    ManagerOutcome Poll();
    const std::vector<ContentRow>& rows() const { return rows_; }
    void SetTicked(std::size_t row, bool ticked);
    void SelectAll();
    void DeselectAll();
    // "Restore specified Registry Backup".
    ManagerOutcome Restore();
    // The remove button: the picker to show, then what it returned: with a date chosen, the
    // question naming it ("Remove the backup of ...? It cannot be undone."); with none, a
    // message saying so.
    SelectBackupModel MakeRemovePicker() const;
    ManagerOutcome FinishRemove(bool ok, const std::string& name);
    // The answer to that question: Yes removes the backup, says so and lists again.
    ManagerOutcome ConfirmRemove(bool yes);

    // ---- full-backup page
    void SetFullBackupChoice(FullBackupChoice choice) { choice_ = choice; }
    // "Perform specified action": which full-backup action to run (none with no radio ticked).
    FullBackupChoice PerformAction() const { return choice_; }
    // The picker a full restore asks with.
    static SelectBackupModel MakeFullRestorePicker();

    // ---- leaving
    // The toolbar button with this id (1049, 1056, 1016, 1017, 1046).
    ManagerOutcome OnToolbar(int id);
    // "Cancel Registry Backup and show previous page".
    ManagerOutcome OnCancelShowPrevious();
    // "Cancel Registry Backup and close the dialog".
    ManagerOutcome OnCancelClose();
    // The window's own close button, or any other way of closing it.
    ManagerOutcome OnWindowClose();

private:
    Registry& registry_;
    System& system_;
    std::string programFolder_;
    BackupPage page_;
    bool enteredFromFullPage_ = false;
    FullBackupChoice choice_ = FullBackupChoice::None;
    std::vector<DateListItem> dateItems_;
    std::vector<std::string> paths_;
    int selectedItem_ = 0;
    int lastSeenData_ = -1;
    std::vector<ContentRow> rows_;
    std::string pendingRemove_;
    std::string pendingRemoveDate_;
};

}  // namespace tw
