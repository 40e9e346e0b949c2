#include "app/settings_model.h"

#include "platform/key_handle.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace tw {

// clang-format off
const std::array<SectionSetting, kSectionCount> kSectionSettings = {{
    {"chk_comregscan_",  "Complete Registry Scan", 1057, 1041, 0},
    {"chk_progid_",      "ProgramID Section",      1058, 1043, 6},
    {"chk_addremove_",   "Add Remove Programs",    1059, 1044, 12},
    {"chk_apppaths_",    "Applications Path",      1060, 1048, 5},
    {"chk_winfonts_",    "Windows Fonts",          1061, 1050, 9},
    {"chk_sharedfiles_", "Shared Programs Files",  1062, 1051, 2},
    {"chk_helpfiles_",   "Help Files",             1063, 1054, 4},
    {"chk_startup_",     "Start up Programs",      1064, 1071, 10},
    {"chk_sysservs_",    "System Services",        1065, 1072, 1},
    {"chk_vxd_",         "VXD Sections",           1066, 1073, 3},
    {"chk_fileasss_",    "File Associations",      1067, 1074, 7},
    {"chk_sounds_",      "Sound Section",          1068, 1075, 8},
    {"chk_regint_",      "Registry Integrity",     1069, 1076, 13},
    {"chk_shortcuts_",   "Invalid Shortcuts",      1070, 1077, 11},
}};
// clang-format on

namespace {

// The order in which the section values are written.
constexpr const char* kSaveOrder[kSectionCount] = {
    "chk_vxd_",     "chk_helpfiles_", "chk_winfonts_", "chk_addremove_",  "chk_startup_",
    "chk_apppaths_", "chk_sharedfiles_", "chk_shortcuts_", "chk_sounds_", "chk_fileasss_",
    "chk_sysservs_", "chk_progid_",   "chk_regint_",   "chk_comregscan_",
};

constexpr std::size_t kOptionBytes = 10;  // an option's text is read up to this length

const SectionSetting* FindSection(const char* valueName)
{
    for (const SectionSetting& s : kSectionSettings)
        if (std::string_view(s.valueName) == valueName)
            return &s;
    return nullptr;
}

}  // namespace

bool OptionTextIsOn(const std::uint8_t* data, std::size_t size)
{
    return size > 0 && data[0] == '1';
}

SettingsModel::SettingsModel(Registry& registry, std::string settingsKey, std::string programName)
    : registry_(registry), settingsKey_(std::move(settingsKey)), programName_(std::move(programName))
{
    settings_.sections.fill(true);
}

std::string SettingsModel::SectionKeyPath() const
{
    return "Software\\" + settingsKey_ + "\\" + programName_ + "\\SectionToScan";
}

bool SettingsModel::ReadSection(HKey key, const char* valueName)
{
    if (!key)
        return true;
    std::uint32_t type = 0;
    std::uint8_t data[4] = {};
    std::uint32_t size = sizeof data;
    if (registry_.QueryValueEx(key, valueName, nullptr, &type, data, &size) != kSuccess || type != kRegDword ||
        size != sizeof data)
        return true;  // missing or not a DWORD: a first run has every section selected
    std::uint32_t value = data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    return value != 0;
}

bool SettingsModel::ReadOption(HKey key, const char* valueName)
{
    std::uint8_t data[kOptionBytes];
    std::fill(std::begin(data), std::end(data), static_cast<std::uint8_t>(' '));
    std::uint32_t size = sizeof data;
    long status = registry_.QueryValueEx(key, valueName, nullptr, nullptr, data, &size);
    if (status == kErrorMoreData) {
        // Longer than the buffer: only its first bytes matter, but the registry fills
        // nothing on "more data", so read it whole.
        std::vector<std::uint8_t> whole(size);
        if (registry_.QueryValueEx(key, valueName, nullptr, nullptr, whole.data(), &size) != kSuccess)
            return false;
        return OptionTextIsOn(whole.data(), size);
    }
    return status == kSuccess && OptionTextIsOn(data, size);
}

void SettingsModel::Load()
{
    {
        KeyHandle key(registry_);
        if (registry_.OpenKeyEx(kCurrentUser, SectionKeyPath().c_str(), 0, kKeyRead, key.Put()) != kSuccess)
            key.Release();
        for (const SectionSetting& s : kSectionSettings)
            settings_.sections[s.position] = ReadSection(key.get(), s.valueName);
    }
    settings_.restoreFromLatestBackup = false;
    settings_.scanOnStartup = false;
    KeyHandle machine(registry_);
    if (registry_.OpenKeyEx(kLocalMachine, kMachineOptionsKey, 0, kKeyAllAccess, machine.Put()) != kSuccess) {
        machine.Release();
        return;
    }
    settings_.restoreFromLatestBackup = ReadOption(machine.get(), kRestoreBackupValue);
    settings_.scanOnStartup = ReadOption(machine.get(), kScanOnStartupValue);
}

void SettingsModel::WriteOption(const char* valueName, bool on)
{
    KeyHandle machine(registry_);
    // The key belongs to the removed-entry store, which makes it; without it nothing is kept.
    if (registry_.OpenKeyEx(kLocalMachine, kMachineOptionsKey, 0, kKeyAllAccess, machine.Put()) != kSuccess) {
        machine.Release();
        return;
    }
    const std::uint8_t text[2] = {static_cast<std::uint8_t>(on ? '1' : '0'), 0};
    registry_.SetValueEx(machine.get(), valueName, 0, kRegSz, text, sizeof text);
}

void SettingsModel::Save()
{
    WriteOption(kScanOnStartupValue, settings_.scanOnStartup);
    WriteOption(kRestoreBackupValue, settings_.restoreFromLatestBackup);
    KeyHandle key(registry_);
    if (registry_.CreateKey(kCurrentUser, SectionKeyPath().c_str(), key.Put()) != kSuccess) {
        key.Release();
        return;
    }
    for (const char* name : kSaveOrder) {
        const SectionSetting* s = FindSection(name);
        std::uint32_t v = settings_.sections[s->position] ? 1 : 0;
        const std::uint8_t data[4] = {static_cast<std::uint8_t>(v), 0, 0, 0};
        registry_.SetValueEx(key.get(), name, 0, kRegDword, data, sizeof data);
    }
}

}  // namespace tw
