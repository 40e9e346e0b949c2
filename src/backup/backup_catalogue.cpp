#include "backup/backup_catalogue.h"

#include "platform/calendar.h"
#include "platform/program_info.h"

#include <algorithm>
#include <cstdio>

namespace tw {

namespace {

constexpr const char* kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};

std::string TwoDigits(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02u", value % 100u);
    return text;
}

std::string DatePattern(const char* prefix, const LocalTime& t)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s%4.4d-%2.2d-%2.2d_%2.2d-%2.2d-%2.2d.reg", prefix, int(t.year), int(t.month),
                  int(t.day), int(t.hour), int(t.minute), int(t.second));
    return text;
}

}  // namespace

std::string RepairBackupName(const LocalTime& time)
{
    return DatePattern("", time);
}

std::string FullBackupName(const LocalTime& time)
{
    return DatePattern("FULL ", time);
}

std::string FormatBackupDate(const LocalTime& time)
{
    // The weekday is worked out from the date itself rather than trusted from the caller.
    unsigned weekday = CalendarFromFileTime(FileTimeFromCalendar(time)).dayOfWeek % 7u;
    unsigned month = time.month >= 1 && time.month <= 12 ? time.month - 1u : 0u;
    char year[16];
    std::snprintf(year, sizeof year, "%d", int(time.year));
    return std::string(kDayNames[weekday]) + ", " + kMonthNames[month] + " " + TwoDigits(time.day) + ", " + year +
           ", " + TwoDigits(time.hour) + ":" + TwoDigits(time.minute) + ":" + TwoDigits(time.second);
}

bool IsFullBackupName(std::string_view name)
{
    return name.substr(0, 4) == "FULL";
}

std::unique_ptr<File> CreateFreeFile(System& system, std::string_view folder, std::string_view name,
                                     std::string* path)
{
    std::size_t dot = name.rfind('.');
    std::string_view stem = name.substr(0, dot);
    std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
    for (int n = 1; n <= 5000; ++n) {
        std::string candidate = JoinPath(
            folder, n == 1 ? std::string(name) : std::string(stem) + "_" + std::to_string(n) + std::string(extension));
        if (std::unique_ptr<File> file = system.OpenFile(candidate, FileMode::CreateNew)) {
            *path = std::move(candidate);
            return file;
        }
        // Only a name that is taken sends us on to the next; anything else will not get better.
        if (!PathExists(system, candidate))
            return nullptr;
    }
    return nullptr;
}

std::string RegistryBackupsPath(std::string_view programFolder)
{
    return JoinPath(programFolder, kRegistryBackupsFolder);
}

std::string FullBackupsPath(std::string_view programFolder)
{
    return JoinPath(programFolder, kFullBackupsFolder);
}

std::vector<CatalogueEntry> ListCatalogue(System& system, std::string_view programFolder, CatalogueKind kind)
{
    std::vector<CatalogueEntry> entries;
    std::string folder = RegistryBackupsPath(programFolder);
    for (const DirEntry& e : system.FindFiles(JoinPath(folder, "*.reg"))) {
        if (e.IsDirectory())
            continue;
        if (IsFullBackupName(e.name) != (kind == CatalogueKind::FullBackups))
            continue;
        FileTime stamp = (e.creationTime.low | e.creationTime.high) != 0 ? e.creationTime : e.lastWriteTime;
        LocalTime local;
        if (!system.FileTimeToLocalTime(stamp, &local))
            continue;
        entries.push_back({e.name, JoinPath(folder, e.name), FormatBackupDate(local)});
    }
    return entries;
}

bool IsPlainFileName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find_first_of("\\/:*?\"<>|") == std::string_view::npos;
}

void RemoveFullBackupFolder(System& system, std::string_view folderPath)
{
    for (std::string_view file : {"SOFTWARE", "CUSOFTWARE", "HARDWARE"})
        system.RemoveFile(JoinPath(folderPath, file));
    system.RemoveEmptyDirectory(folderPath);
}

bool RemoveBackup(System& system, std::string_view programFolder, std::string_view name)
{
    if (!IsPlainFileName(name))
        return false;
    bool removed = system.RemoveFile(JoinPath(RegistryBackupsPath(programFolder), name));
    if (removed && IsFullBackupName(name))
        RemoveFullBackupFolder(system, JoinPath(FullBackupsPath(programFolder), name));
    return removed;
}

int PruneOrphanFullBackups(System& system, std::string_view programFolder)
{
    std::vector<std::string> catalogue;
    for (const DirEntry& e : system.FindFiles(JoinPath(RegistryBackupsPath(programFolder), "*.reg")))
        if (IsFullBackupName(e.name))
            catalogue.push_back(e.name);
    int removed = 0;
    std::string fullFolder = FullBackupsPath(programFolder);
    for (const DirEntry& e : system.FindFiles(JoinPath(fullFolder, "FULL*"))) {
        if (!IsFullBackupName(e.name) || std::find(catalogue.begin(), catalogue.end(), e.name) != catalogue.end())
            continue;
        std::string folder = JoinPath(fullFolder, e.name);
        RemoveFullBackupFolder(system, folder);
        if (!PathExists(system, folder))
            ++removed;
    }
    return removed;
}

}  // namespace tw
