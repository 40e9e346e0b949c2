// Texts that more than one window shows: each has its home here, below every window that
// uses it, so that a window cannot say it differently from another.
#pragma once

namespace tw::shared_text {

// Tooltips of buttons several windows carry.
inline constexpr const char* kCloseTheDialog = "Close the dialog";
inline constexpr const char* kRepairFoundProblems = "Repair found problems";
inline constexpr const char* kManageRegistryBackups = "Manage registry backups";
inline constexpr const char* kRestorePrograms = "Restore programs";
inline constexpr const char* kRemoveSelectedPrograms = "Remove selected programs";

// The backup manager's and the managers' answer when there is nothing to restore.
inline constexpr const char* kNoBackups = "No backups present for restore.";

}  // namespace tw::shared_text
