// The fourteen scan sections and every name each one bears (request position, settings
// value, check box, progress row, problem section text, delete type, run order), and the
// scan request: one flag per section, 1 when asked for, 2 while its scanner runs, -1 once
// it has finished, 0 (never changed) when not asked for.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

// In request order: the position of a flag in the request.
enum class ScanSection : int {
    CompleteRegistryScan = 0,
    SystemServices = 1,
    SharedProgramFiles = 2,
    VxdDrivers = 3,
    HelpFiles = 4,
    ApplicationPaths = 5,
    ProgramId = 6,
    FileAssociations = 7,
    Sounds = 8,
    Fonts = 9,
    StartupPrograms = 10,
    Shortcuts = 11,
    AddRemovePrograms = 12,
    RegistryIntegrity = 13,
};

constexpr int kSectionCount = 14;

// The order of the first three setters a scanner calls on a problem record (section and
// delete type always come last).
enum class SetterOrder {
    ValueDescriptionKey,
    ValueKeyDescription,
    DescriptionValueKey,
};

struct SectionInfo {
    ScanSection section;
    std::string_view name;            // the section's name in code and on the command line
    std::string_view settingsValue;   // the per-user settings value
    std::string_view checkBoxLabel;   // on the main page
    std::string_view progressLabel;   // the progress row
    std::string_view problemText;     // ProblemRecord.section, the results group
    std::string_view deleteType;      // "KEY" or "VAL"; empty for the shortcuts
    SetterOrder setterOrder;
    int runOrder;                     // 1 = first
    int checkBoxId;                   // its check box on the main page
    int labelId;                      // the label beside that box
    int pageOrder;                    // 0 = first on the main page (left column, then right)
    int saveOrder;                    // 0 = first value written when the settings are saved
};

const SectionInfo& SectionInfoOf(ScanSection section);
// Every section in the order the scan runs them (the shortcuts last).
const std::array<ScanSection, kSectionCount>& SectionsInRunOrder();
// Every section in the order of the main page's check boxes.
const std::array<ScanSection, kSectionCount>& SectionsInPageOrder();
// Every section in the order its settings value is written.
const std::array<ScanSection, kSectionCount>& SectionsInSaveOrder();
// A section by its name (CompleteRegistryScan, FileAssociations, ...), any letter case.
std::optional<ScanSection> SectionFromName(std::string_view name);
// The results group of a problem section text (exact comparison), -1 when none.
int ResultsGroupOf(std::string_view problemText);

inline constexpr std::string_view kDeleteKey = "KEY";
inline constexpr std::string_view kDeleteValue = "VAL";
// The manual-reset event that tells every scanner (and the repair) of one process to stop:
// "TARNWICKSTOPSCANNING" and the process id (StopEventName). A name shared by every process
// let a command-line run that ended, or a window leaving its scan page, cut short every other
// scan on the machine.
inline constexpr std::string_view kStopEventName = "TARNWICKSTOPSCANNING";
class System;
std::string StopEventName(System& system);

struct ScanRequest {
    std::array<std::int32_t, kSectionCount> flags{};

    std::int32_t& operator[](ScanSection s) { return flags[static_cast<int>(s)]; }
    std::int32_t operator[](ScanSection s) const { return flags[static_cast<int>(s)]; }
    static ScanRequest All();
    static ScanRequest None() { return {}; }
    // Requested exactly where `selected` (indexed by request position) is true.
    static ScanRequest Of(const std::array<bool, kSectionCount>& selected);
};

constexpr std::int32_t kSectionRequested = 1;
constexpr std::int32_t kSectionRunning = 2;
constexpr std::int32_t kSectionDone = -1;

}  // namespace tw
