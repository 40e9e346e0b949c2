// The catalogue of backups kept beside the program: pre-repair backups and the empty
// catalogue files of full backups in "Registry Backups", the full backups' folders in
// "Full Backups". A name beginning with "FULL" (case counts) is a full backup's entry; any
// other ".reg" file is a pre-repair backup. Entries are listed in the order the directory
// listing gives them, each with the date the user sees: the file's creation time in local
// time, written out in English.
#pragma once

#include "platform/system.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

inline constexpr std::string_view kRegistryBackupsFolder = "Registry Backups";
inline constexpr std::string_view kFullBackupsFolder = "Full Backups";
// The three snapshot files of a full backup, in the order they are created.
inline constexpr std::string_view kFullBackupFiles[] = {"SOFTWARE", "HARDWARE", "CUSOFTWARE"};

// "2005-03-07_14-05-09.reg"
std::string RepairBackupName(const LocalTime& time);
// "FULL 2005-03-07_14-05-09.reg"
std::string FullBackupName(const LocalTime& time);
// "Monday, March 07, 2005, 14:05:09" ("%A, %B %d, %Y, %H:%M:%S" with English names).
std::string FormatBackupDate(const LocalTime& time);
// True when a catalogue name is a full backup's entry.
bool IsFullBackupName(std::string_view name);

// Creates a file of its own in `folder`: `name` ("2005-03-07_14-05-09.reg"), or, when a file
// of that name exists, "2005-03-07_14-05-09_2.reg", "..._3.reg" and so on. A name is taken
// only by creating the file (create-new, never truncation), so two writers started in the
// same second never share one. Null when no file could be made (the folder is missing or
// refused, or no free name within a few thousand); `path` is set only on success.
std::unique_ptr<File> CreateFreeFile(System& system, std::string_view folder, std::string_view name,
                                     std::string* path);

std::string RegistryBackupsPath(std::string_view programFolder);
std::string FullBackupsPath(std::string_view programFolder);

struct CatalogueEntry {
    std::string name;      // file name in "Registry Backups"
    std::string path;      // folder, "\", name
    std::string dateText;  // FormatBackupDate of its creation time
};

enum class CatalogueKind { RepairBackups, FullBackups };

std::vector<CatalogueEntry> ListCatalogue(System& system, std::string_view programFolder, CatalogueKind kind);

// A name the user gave for an entry of "Registry Backups": a plain file name, nothing that
// climbs out of the folder.
bool IsPlainFileName(std::string_view name);

// Deletes a backup by its name in "Registry Backups". For a full backup's entry its folder in
// "Full Backups" goes too. False when the name is not plain or the file could not be deleted.
bool RemoveBackup(System& system, std::string_view programFolder, std::string_view name);

// Deletes the snapshot files of one full-backup folder, then the folder if it is then empty.
void RemoveFullBackupFolder(System& system, std::string_view folderPath);

// Removes every folder in "Full Backups" named "FULL..." that has no catalogue file of the
// same name in "Registry Backups". Returns how many folders were removed.
int PruneOrphanFullBackups(System& system, std::string_view programFolder);

}  // namespace tw
