#include "scan/scan_section.h"

#include "platform/system.h"

#include "platform/codepage.h"

namespace tw {
namespace {

using S = ScanSection;
using O = SetterOrder;

// Indexed by request position.
constexpr std::array<SectionInfo, kSectionCount> kSections = {{
    {S::CompleteRegistryScan, "CompleteRegistryScan", "chk_comregscan_", "Complete Registry Scan",
     "Complete Registry Scan ", "Complete Registry Scan", "VAL", O::ValueKeyDescription, 1, 1057, 1041, 0, 13},
    {S::SystemServices, "SystemServices", "chk_sysservs_", "System Services", "Windows Services",
     "System Services", "KEY", O::ValueKeyDescription, 9, 1065, 1072, 8, 10},
    {S::SharedProgramFiles, "SharedProgramFiles", "chk_sharedfiles_", "Shared Programs Files",
     "Shared Programs Files", "Shared Program Files", "VAL", O::ValueDescriptionKey, 4, 1062, 1051, 5, 6},
    {S::VxdDrivers, "VxdDrivers", "chk_vxd_", "VXD Sections", "VXD Sections", "Vxd Drivers Section", "VAL",
     O::ValueDescriptionKey, 5, 1066, 1073, 9, 0},
    {S::HelpFiles, "HelpFiles", "chk_helpfiles_", "Help Files", "Help files", "Windows Help Files", "VAL",
     O::DescriptionValueKey, 6, 1063, 1054, 6, 1},
    {S::ApplicationPaths, "ApplicationPaths", "chk_apppaths_", "Applications Path", "Applications Path",
     "Application Paths", "KEY", O::DescriptionValueKey, 7, 1060, 1048, 3, 5},
    {S::ProgramId, "ProgramId", "chk_progid_", "ProgramID Section", "ProgramID Section", "Program ID Section",
     "KEY", O::ValueKeyDescription, 2, 1058, 1043, 1, 11},
    {S::FileAssociations, "FileAssociations", "chk_fileasss_", "File Associations", "File Associations",
     "File Associations", "KEY", O::ValueKeyDescription, 3, 1067, 1074, 10, 9},
    {S::Sounds, "Sounds", "chk_sounds_", "Sound Section", "Windows Sound", "Sound Section", "KEY",
     O::ValueKeyDescription, 11, 1068, 1075, 11, 8},
    {S::Fonts, "Fonts", "chk_winfonts_", "Windows Fonts", "Windows fonts", "Windows Fonts", "VAL",
     O::ValueDescriptionKey, 8, 1061, 1050, 4, 2},
    {S::StartupPrograms, "StartupPrograms", "chk_startup_", "Start up Programs", "Startup Programs",
     "Startup Programs", "VAL", O::ValueDescriptionKey, 10, 1064, 1071, 7, 4},
    {S::Shortcuts, "Shortcuts", "chk_shortcuts_", "Invalid Shortcuts", "Windows Shortcuts", "Windows Shortcuts",
     "", O::ValueKeyDescription, 14, 1070, 1077, 13, 7},
    {S::AddRemovePrograms, "AddRemovePrograms", "chk_addremove_", "Add Remove Programs", "Add Remove Programs",
     "Add/Remove Program Section", "VAL", O::DescriptionValueKey, 13, 1059, 1044, 2, 3},
    {S::RegistryIntegrity, "RegistryIntegrity", "chk_regint_", "Registry Integrity", "Registry Integrity",
     "Registry Integrity", "VAL", O::ValueKeyDescription, 12, 1069, 1076, 12, 12},
}};

// The results viewer's groups, by problem section text.
constexpr std::array<std::string_view, kSectionCount> kResultsGroups = {
    "Complete Registry Scan", "Program ID Section", "Add/Remove Program Section", "Application Paths",
    "Windows Fonts",          "Shared Program Files", "Windows Help Files",       "Startup Programs",
    "System Services",        "Vxd Drivers Section",  "File Associations",        "Sound Section",
    "Registry Integrity",     "Windows Shortcuts",
};

}  // namespace

const SectionInfo& SectionInfoOf(ScanSection section)
{
    return kSections[static_cast<std::size_t>(section)];
}

namespace {

// The sections sorted by one of the orders the table gives (`first` is that order's first number).
template <int SectionInfo::*Order, int first = 0>
std::array<ScanSection, kSectionCount> SortedBy()
{
    std::array<ScanSection, kSectionCount> sorted{};
    for (const SectionInfo& info : kSections)
        sorted[static_cast<std::size_t>(info.*Order - first)] = info.section;
    return sorted;
}

}  // namespace

const std::array<ScanSection, kSectionCount>& SectionsInRunOrder()
{
    static const auto order = SortedBy<&SectionInfo::runOrder, 1>();
    return order;
}

const std::array<ScanSection, kSectionCount>& SectionsInPageOrder()
{
    static const auto order = SortedBy<&SectionInfo::pageOrder>();
    return order;
}

const std::array<ScanSection, kSectionCount>& SectionsInSaveOrder()
{
    static const auto order = SortedBy<&SectionInfo::saveOrder>();
    return order;
}

std::string StopEventName(System& system)
{
    return std::string(kStopEventName) + "." + std::to_string(system.ProcessId());
}

std::optional<ScanSection> SectionFromName(std::string_view name)
{
    for (const SectionInfo& info : kSections)
        if (CompareTextNoCase(info.name, name) == 0)
            return info.section;
    return std::nullopt;
}

int ResultsGroupOf(std::string_view problemText)
{
    for (std::size_t i = 0; i < kResultsGroups.size(); ++i)
        if (kResultsGroups[i] == problemText)
            return static_cast<int>(i);
    return -1;
}

ScanRequest ScanRequest::Of(const std::array<bool, kSectionCount>& selected)
{
    ScanRequest request;
    for (std::size_t i = 0; i < selected.size(); ++i)
        request.flags[i] = selected[i] ? kSectionRequested : 0;
    return request;
}

ScanRequest ScanRequest::All()
{
    ScanRequest request;
    request.flags.fill(kSectionRequested);
    return request;
}

}  // namespace tw
