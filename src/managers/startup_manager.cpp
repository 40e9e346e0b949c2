#include "managers/startup_manager.h"

#include "managers/removed_entry_store.h"
#include "platform/key_handle.h"

namespace tw {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

void ListStartupValues(Registry& registry, HKey root, const std::string& subkey, std::vector<StartupEntry>* entries)
{
    KeyHandle key(registry);
    if (registry.OpenKeyEx(root, subkey.c_str(), 0, kKeyRead, key.Put()) != kSuccess)
        return;
    std::uint32_t values = 0;
    if (registry.QueryInfoKey(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                              nullptr, nullptr, nullptr) != kSuccess ||
        values == 0)
        return;
    std::vector<char> name(kStartupBufferSize);
    std::vector<std::uint8_t> data(kStartupBufferSize);
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t nameLength = kStartupBufferSize;
        std::uint32_t dataSize = kStartupBufferSize;
        std::uint32_t type = 0;
        if (registry.EnumValue(key.get(), index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize) !=
            kSuccess)
            break;
        if (nameLength == 0)
            continue;  // the unnamed value starts nothing
        std::size_t size = dataSize < kStartupBufferSize ? dataSize : kStartupBufferSize;
        std::string command(reinterpret_cast<const char*>(data.data()), size);
        command.resize(command.find('\0') == std::string::npos ? command.size() : command.find('\0'));
        entries->push_back(StartupEntry{std::string(name.data(), nameLength), std::move(command), root});
    }
}

std::vector<StartupEntry> ListStartupPrograms(Registry& registry)
{
    std::vector<StartupEntry> entries;
    ListStartupValues(registry, kLocalMachine, kRunKeyPath, &entries);
    ListStartupValues(registry, kCurrentUser, kRunKeyPath, &entries);
    return entries;
}

std::vector<StartupEntry> ListStoredStartupPrograms(Registry& registry)
{
    std::vector<StartupEntry> entries;
    ListStartupValues(registry, kCurrentUser, kStartupStoreKeyPath, &entries);
    ListStartupValues(registry, kLocalMachine, kStartupStoreKeyPath, &entries);
    return entries;
}

MoveResult RemoveStartupProgram(Registry& registry, const StartupEntry& entry)
{
    return MoveRegistryValue(registry, entry.root, kStartupStoreKeyPath, kRunKeyPath, entry.name, entry.command);
}

MoveResult RestoreStartupProgram(Registry& registry, const StartupEntry& entry)
{
    return MoveRegistryValue(registry, entry.root, kRunKeyPath, kStartupStoreKeyPath, entry.name, entry.command);
}

std::string ReduceRunPath(std::string_view command)
{
    std::size_t start = 0;
    while (start < command.size() && IsBlank(command[start]))
        ++start;
    std::string_view text = command.substr(start);
    bool quoted = !text.empty() && text.front() == '"';
    if (quoted) {
        text.remove_prefix(1);
        std::size_t close = text.find('"');
        if (close != std::string_view::npos)
            text = text.substr(0, close);
    }
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    constexpr std::string_view exe = ".exe";
    if (text.size() >= exe.size() && text.substr(text.size() - exe.size()) == exe)
        return std::string(text);
    std::size_t last = text.rfind(exe);
    if (last != std::string_view::npos)
        return std::string(text.substr(0, last + exe.size()));
    // No ".exe" at all (another extension, or one in capitals): the program is the quoted
    // path, or the first word of the command.
    if (!quoted) {
        std::size_t blank = 0;
        while (blank < text.size() && !IsBlank(text[blank]))
            ++blank;
        text = text.substr(0, blank);
    }
    return std::string(text);
}

std::vector<ManagerColumn> StartupManagerModel::columns() const
{
    return {{"Select", 40}, {"Program Name", 150}, {"Run Path", 400}};
}

std::vector<ManagerButton> StartupManagerModel::buttons() const
{
    return {{ManagerButtonRole::Close, 1029, 191, 192, "Close the dialog"},
            {ManagerButtonRole::Restore, 1083, 227, 228, "Restore programs"},
            {ManagerButtonRole::Remove, 1082, 225, 226, "Remove selected programs"},
            {ManagerButtonRole::Run, 1079, 267, 268, "Run selected program"}};
}

std::string StartupManagerModel::ListTitle() const
{
    return "Manage Startup Programs";
}

std::string StartupManagerModel::ListNote() const
{
    return "Note: Removal of items below will prevent them from running when you start your computer but will not "
           "remove the actual application from your PC.";
}

std::string StartupManagerModel::ListDescription() const
{
    return "Startup Programs are applications that run each time you start your computer. You can view details "
           "about each item by highlighting an entry below, including the company behind the application as well "
           "as the Product Name so you can make an informed decision on what you wish to remove.";
}

std::string StartupManagerModel::RestoreNote() const
{
    return "\r\nSelect Item to Restore:";
}

void StartupManagerModel::FillList(bool store)
{
    std::vector<StartupEntry> found = store ? ListStoredStartupPrograms(registry_) : ListStartupPrograms(registry_);
    for (StartupEntry& entry : found) {
        AddRow({"", entry.name, entry.command}, entries_.size());
        entries_.push_back(std::move(entry));
    }
}

MoveResult StartupManagerModel::MoveEntry(std::size_t entry, bool toStore)
{
    if (entry >= entries_.size())
        return MoveResult::NotMoved;
    return toStore ? RemoveStartupProgram(registry_, entries_[entry]) : RestoreStartupProgram(registry_, entries_[entry]);
}

std::string StartupManagerModel::DetailsPath(const ManagerRow& row) const
{
    return row.texts.size() > 2 ? ReduceRunPath(row.texts[2]) : std::string();
}

bool StartupManagerModel::RunSelected(int selectionMark)
{
    if (selectionMark < 0 || static_cast<std::size_t>(selectionMark) >= rows().size())
        return false;
    system_.RunProgram(DetailsPath(rows()[static_cast<std::size_t>(selectionMark)]));
    return true;
}

}  // namespace tw
