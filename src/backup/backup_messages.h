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

// The repair itself tells nothing, except that it did not dare to delete, or that it left
// ticked items where they were.
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

}  // namespace tw::backup_text
