#include "scan/scan_section.h"

#include "platform/codepage.h"

namespace tw {
namespace {

using S = ScanSection;
using O = SetterOrder;

// Indexed by request position.
constexpr std::array<SectionInfo, kSectionCount> kSections = {{
    {S::CompleteRegistryScan, "CompleteRegistryScan", "chk_comregscan_", "Complete Registry Scan",
     "Complete Registry Scan ", "Complete Registry Scan", "VAL", O::ValueKeyDescription, 1},
    {S::SystemServices, "SystemServices", "chk_sysservs_", "System Services", "Windows Services",
     "System Services", "KEY", O::ValueKeyDescription, 9},
    {S::SharedProgramFiles, "SharedProgramFiles", "chk_sharedfiles_", "Shared Programs Files",
     "Shared Programs Files", "Shared Program Files", "VAL", O::ValueDescriptionKey, 4},
    {S::VxdDrivers, "VxdDrivers", "chk_vxd_", "VXD Sections", "VXD Sections", "Vxd Drivers Section", "VAL",
     O::ValueDescriptionKey, 5},
    {S::HelpFiles, "HelpFiles", "chk_helpfiles_", "Help Files", "Help files", "Windows Help Files", "VAL",
     O::DescriptionValueKey, 6},
    {S::ApplicationPaths, "ApplicationPaths", "chk_apppaths_", "Applications Path", "Applications Path",
     "Application Paths", "KEY", O::DescriptionValueKey, 7},
    {S::ProgramId, "ProgramId", "chk_progid_", "ProgramID Section", "ProgramID Section", "Program ID Section",
     "KEY", O::ValueKeyDescription, 2},
    {S::FileAssociations, "FileAssociations", "chk_fileasss_", "File Associations", "File Associations",
     "File Associations", "KEY", O::ValueKeyDescription, 3},
    {S::Sounds, "Sounds", "chk_sounds_", "Sound Section", "Windows Sound", "Sound Section", "KEY",
     O::ValueKeyDescription, 11},
    {S::Fonts, "Fonts", "chk_winfonts_", "Windows Fonts", "Windows fonts", "Windows Fonts", "VAL",
     O::ValueDescriptionKey, 8},
    {S::StartupPrograms, "StartupPrograms", "chk_startup_", "Start up Programs", "Startup Programs",
     "Startup Programs", "VAL", O::ValueDescriptionKey, 10},
    {S::Shortcuts, "Shortcuts", "chk_shortcuts_", "Invalid Shortcuts", "Windows Shortcuts", "Windows Shortcuts",
     "", O::ValueKeyDescription, 14},
    {S::AddRemovePrograms, "AddRemovePrograms", "chk_addremove_", "Add Remove Programs", "Add Remove Programs",
     "Add/Remove Program Section", "VAL", O::DescriptionValueKey, 13},
    {S::RegistryIntegrity, "RegistryIntegrity", "chk_regint_", "Registry Integrity", "Registry Integrity",
     "Registry Integrity", "VAL", O::ValueKeyDescription, 12},
}};

constexpr std::array<ScanSection, kSectionCount> kRunOrder = {
    S::CompleteRegistryScan, S::ProgramId,      S::FileAssociations,  S::SharedProgramFiles, S::VxdDrivers,
    S::HelpFiles,            S::ApplicationPaths, S::Fonts,           S::SystemServices,     S::StartupPrograms,
    S::Sounds,               S::RegistryIntegrity, S::AddRemovePrograms, S::Shortcuts,
};

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

const std::array<ScanSection, kSectionCount>& SectionsInRunOrder()
{
    return kRunOrder;
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

ScanRequest ScanRequest::All()
{
    ScanRequest request;
    request.flags.fill(kSectionRequested);
    return request;
}

}  // namespace tw
