// The program's settings: which of the fourteen registry sections to scan (per user, one
// REG_DWORD each below HKCU\Software\<settings key>\<program name>\SectionToScan) and two
// machine-wide options (REG_SZ "1" or "0" below HKLM\SOFTWARE\Tarnwick). They are read once
// when the main window opens and written once when it closes; in between this model is the
// live state that the main window's check boxes show.
#pragma once

#include "platform/registry.h"
#include "scan/scan_section.h"

#include <array>
#include <cstddef>
#include <string>

namespace tw {

// One flag per scan section, indexed by the section's position in the scan request
// (ScanSection); the sections' names, boxes and orders are in the section table.
using SectionSelection = std::array<bool, kSectionCount>;

inline constexpr const char* kMachineOptionsKey = "SOFTWARE\\Tarnwick";
inline constexpr const char* kScanOnStartupValue = "scanonstartup";
inline constexpr const char* kRestoreBackupValue = "restorebackopt";
inline constexpr const char* kSettingsKeyName = "Tarnwick";

struct Settings {
    SectionSelection sections{};
    bool scanOnStartup = false;            // "Perform Scan on Application Load"
    bool restoreFromLatestBackup = false;  // "Restore From Latest Backup"
};

// An option is on exactly when its stored text begins with '1'.
bool OptionTextIsOn(const std::uint8_t* data, std::size_t size);

// What the main window says when an option ticked cannot be kept (status: the registry's).
std::string OptionsNotSavedText(long status);

class SettingsModel {
public:
    // settingsKey names the per-user key below Software (the application sets "Tarnwick");
    // programName is the executable's base name.
    SettingsModel(Registry& registry, std::string settingsKey, std::string programName);

    // Reads the fourteen sections (missing or malformed values read as selected), then the
    // two options (a missing key or value reads as off).
    void Load();
    // Writes scanonstartup, restorebackopt (making the machine key on a new copy), then
    // the fourteen sections, creating the per-user keys. Returns SaveOptions' status.
    long Save();
    // Writes the two options into HKLM\SOFTWARE\Tarnwick, making the key when it does not
    // exist yet and an option is on; the status of the first step that failed (5 without
    // the rights), else 0.
    long SaveOptions();

    Settings& settings() { return settings_; }
    const Settings& settings() const { return settings_; }
    // HKCU path of the section values: Software\<settings key>\<program>\SectionToScan.
    std::string SectionKeyPath() const;

private:
    bool ReadSection(HKey key, const char* valueName);
    bool ReadOption(HKey key, const char* valueName);
    long WriteOption(HKey key, const char* valueName, bool on);

    Registry& registry_;
    std::string settingsKey_;
    std::string programName_;
    Settings settings_;
};

}  // namespace tw
