// Every text the repair, the backup catalogue and the full backups show to the user, in one
// place so that the windows and the command line say the same thing.
#pragma once

#include "ui/shared_texts.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tw::backup_text {

inline constexpr const char* kCaption = "Tarnwick";
inline constexpr const char* kWarningCaption = "Warning";

// Catalogue and restore of pre-repair backups.
inline constexpr const char* kSelectDatePlaceholder = "< Select the date >";
inline constexpr const char* kPleaseSelectDate = "Please select Backup Date";
inline constexpr const char* kFileNotFound = "Backup file not found: %s.";
inline constexpr const char* kCantCreateKey = "Can't create key. Error code = %d. %X %s";
inline constexpr const char* kRestored = "Backup restored!";
inline constexpr const char* kNotRestored = "Backup was not restored!";
inline constexpr const char* kNoBackups = shared_text::kNoBackups;
inline constexpr const char* kRowsLeftOut = "The backup holds more rows than can be listed: %s rows are left out.";
// Before a restore writes over values that hold other data, it saves them into a backup of
// their own, so that the restore can be undone too.
inline constexpr const char* kOverwrittenSaved =
    "%s values held other data and were written over; what they held is saved in the backup %s.";
inline constexpr const char* kOverwriteNotSaved =
    "The values the restore would write over could not be saved first, so nothing was restored.";

// Date picker for removing a backup.
inline constexpr const char* kRemoveTitle = "Remove Backup";
inline constexpr const char* kRemoveText =
    "This option allows you to remove any backups that you have previously saved. You can remove backups you "
    "no longer need to save hard drive space, or simple to keep the most recent backups available for your use.";
inline constexpr const char* kPickerGroupLabel = "Select Backup Date:";
inline constexpr const char* kNoDateChosen = "No date was chosen, so no backup was removed.";
inline std::string RemoveQuestion(std::string_view date)
{
    return "Remove the backup of " + std::string(date) + "? It cannot be undone.";
}
inline std::string RemovedText(std::string_view date, bool removed)
{
    return "The backup of " + std::string(date) + (removed ? " is removed." : " could not be removed.");
}

// Full backups.
inline constexpr const char* kFullRestoreTitle = "Full Registry Backup";
inline constexpr const char* kFullRestoreText =
    "To restore a previously created registry backup, please select a date below. Note: Any change made to your "
    "registry after your backup date will not be available after you restore the backup.";
inline constexpr const char* kCreatingStatus = "Creating backup...";
inline constexpr const char* kRestoringStatus = "Restoring backup...";
inline constexpr const char* kCreatedDone = "Full registry backup is created.";
inline constexpr const char* kRestoredDone = "Full registry backup was restored.";
inline constexpr const char* kNotCreated = "Full registry backup could not be created.";
inline constexpr const char* kNotRestoredFully = "Full registry backup was not completely restored.";
inline constexpr const char* kCreateCancelled = "Full registry backup was cancelled. No backup was kept.";
inline constexpr const char* kRestoreCancelled =
    "Full registry backup restore was cancelled. The registry is only partly restored.";
// A backup made without the keys that could not be read says how many, and where the log
// names them.
inline std::string KeysLeftOutText(std::size_t keys, std::string_view logPath)
{
    std::string text = std::to_string(keys) + (keys == 1 ? " key" : " keys") +
                       " could not be read and " + (keys == 1 ? "is" : "are") + " not in the backup.";
    if (!logPath.empty())
        text += "\nThe activity log names each one:\n" + std::string(logPath);
    return text;
}
inline constexpr const char* kCancelCreateQuestion = "Do you want to cancel full backup procedure?";
inline constexpr const char* kCancelRestoreQuestion = "Do you want to cancel full backup restore?";

// The repair tells that it did not dare to delete, or what it removed (RepairDoneText) or
// that it left ticked items where they were, each with the offer to undo it.
inline constexpr const char* kBackupNotWritten =
    "The registry backup could not be written, so nothing was repaired.";

// "3 of the ticked items were left in place ..." and where the activity log names each.
inline std::string RepairLeftText(int left, std::string_view logPath)
{
    std::string text = std::to_string(left) + (left == 1 ? " of the ticked items was" : " of the ticked items were") +
                       " left in place: not saved completely, changed since the scan, or refused by the registry.";
    if (!logPath.empty())
        text += "\nThe activity log names each one:\n" + std::string(logPath);
    return text;
}

// Undo in one step, after a repair, from the main page and from the command line.
inline constexpr const char* kUndoRepairQuestion = "Undo this repair now?";
inline constexpr const char* kNoRepairToUndo = "There is no repair to undo.";
inline constexpr const char* kRepairNotUndone = "The repair was not undone.";
// The message a repair ends with when it removed something: what it removed.
inline std::string RepairDoneText(int keys, int values, int shortcuts)
{
    return "The repair removed " + std::to_string(keys) + (keys == 1 ? " key, " : " keys, ") +
           std::to_string(values) + (values == 1 ? " value and " : " values and ") + std::to_string(shortcuts) +
           (shortcuts == 1 ? " shortcut file." : " shortcut files.");
}
// A repair's message with the offer to undo it.
inline std::string WithUndoQuestion(std::string_view text)
{
    return std::string(text) + "\n\n" + kUndoRepairQuestion;
}
inline std::string UndoLastRepairQuestion(std::string_view backupName)
{
    return "Undo the last repair? Everything it removed is written back from its backup " + std::string(backupName) +
           ".";
}
inline std::string AlreadyUndoneText(std::string_view backupName)
{
    return "The last repair (backup " + std::string(backupName) + ") is already undone.";
}
inline std::string UndoneText(std::size_t items, std::size_t overwritten, std::string_view savedName)
{
    std::string text = "The repair is undone: " + std::to_string(items) +
                       (items == 1 ? " item was written back." : " items were written back.");
    if (overwritten > 0)
        text += " " + std::to_string(overwritten) + (overwritten == 1 ? " value" : " values") +
                " holding other data " + (overwritten == 1 ? "was" : "were") + " saved first in the backup " +
                std::string(savedName) + ".";
    return text;
}
// The second look after a repair: what the repair left behind.
inline std::string SecondLookText(std::size_t problems)
{
    return "The repair left " + std::to_string(problems) + (problems == 1 ? " new problem" : " new problems") +
           ". Show " + (problems == 1 ? "it?" : "them?");
}

}  // namespace tw::backup_text
