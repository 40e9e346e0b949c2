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

long SettingsModel::WriteOption(HKey key, const char* valueName, bool on)
{
    const std::uint8_t text[2] = {static_cast<std::uint8_t>(on ? '1' : '0'), 0};
    return registry_.SetValueEx(key, valueName, 0, kRegSz, text, sizeof text);
}

long SettingsModel::SaveOptions()
{
    KeyHandle machine(registry_);
    // A new copy has no key yet (the removed-entry store makes it too, when it first keeps
    // an entry): without it an option ticked would not survive the run. Two options off
    // read the same from no key at all, so then none is made.
    bool anyOn = settings_.scanOnStartup || settings_.restoreFromLatestBackup;
    long status = anyOn ? registry_.CreateKey(kLocalMachine, kMachineOptionsKey, machine.Put())
                        : registry_.OpenKeyEx(kLocalMachine, kMachineOptionsKey, 0, kKeyAllAccess, machine.Put());
    if (status != kSuccess) {
        machine.Release();
        return anyOn || status != kErrorFileNotFound ? status : kSuccess;
    }
    long first = WriteOption(machine.get(), kScanOnStartupValue, settings_.scanOnStartup);
    long second = WriteOption(machine.get(), kRestoreBackupValue, settings_.restoreFromLatestBackup);
    return first != kSuccess ? first : second;
}

long SettingsModel::Save()
{
    long options = SaveOptions();
    KeyHandle key(registry_);
    if (registry_.CreateKey(kCurrentUser, SectionKeyPath().c_str(), key.Put()) != kSuccess) {
        key.Release();
        return options;
    }
    for (ScanSection section : SectionsInSaveOrder()) {
        std::uint32_t v = settings_.sections[static_cast<std::size_t>(section)] ? 1 : 0;
        const std::uint8_t data[4] = {static_cast<std::uint8_t>(v), 0, 0, 0};
        // The table's names are literals, so their views end in a NUL.
        registry_.SetValueEx(key.get(), SectionInfoOf(section).settingsValue.data(), 0, kRegDword, data, sizeof data);
    }
    return options;
}

std::string OptionsNotSavedText(long status)
{
    std::string text = "The options could not be saved: HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarnwick cannot be written";
    if (status == kErrorAccessDenied)
        text += " without administrator rights";
    else
        text += " (error " + std::to_string(status) + ")";
    return text + ". They apply until Tarnwick is closed.";
}

}  // namespace tw
