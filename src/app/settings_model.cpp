#include "app/settings_model.h"

#include "platform/key_handle.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace tw {

namespace {

constexpr std::size_t kOptionBytes = 10;  // an option's text is read up to this length

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
        for (ScanSection section : SectionsInPageOrder())
            settings_.sections[static_cast<std::size_t>(section)] =
                ReadSection(key.get(), SectionInfoOf(section).settingsValue.data());
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
    for (ScanSection section : SectionsInSaveOrder()) {
        std::uint32_t v = settings_.sections[static_cast<std::size_t>(section)] ? 1 : 0;
        const std::uint8_t data[4] = {static_cast<std::uint8_t>(v), 0, 0, 0};
        // The table's names are literals, so their views end in a NUL.
        registry_.SetValueEx(key.get(), SectionInfoOf(section).settingsValue.data(), 0, kRegDword, data, sizeof data);
    }
}

}  // namespace tw
