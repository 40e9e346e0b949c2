#include "managers/startup_manager.h"
#include "../../resources/resource.h"

#include "managers/removed_entry_store.h"
#include "platform/key_handle.h"
#include "registry/value_text.h"
#include "ui/shared_texts.h"

#include <cstdio>

namespace tw {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

const std::vector<ManagerPlace>& StartupPlaces()
{
    static const std::vector<ManagerPlace> places = {
        {SoftwarePlace(kRunKeyPath, kMachineView), kStartupStoreKeyPath, "HKLM Run"},
        {SoftwarePlace(kRunOnceKeyPath, kMachineView), kStartupRunOnceStoreKeyPath, "HKLM RunOnce"},
        {SoftwarePlace(kRunKeyPath, kMachine32View), kStartupRun32StoreKeyPath, "HKLM Run (32-bit)"},
        {SoftwarePlace(kRunOnceKeyPath, kMachine32View), kStartupRunOnce32StoreKeyPath, "HKLM RunOnce (32-bit)"},
        {SoftwarePlace(kRunKeyPath, kUserView), kStartupStoreKeyPath, "HKCU Run"},
        {SoftwarePlace(kRunOnceKeyPath, kUserView), kStartupRunOnceStoreKeyPath, "HKCU RunOnce"},
    };
    return places;
}

std::string StartupEntryPath(const StartupEntry& entry)
{
    return PlaceFullPath(entry.place.source) + "\\" + entry.name;
}

namespace {

void ListValuesOf(Registry& registry, TextCodec& codec, HKey key, const ManagerPlace& place,
                  std::vector<StartupEntry>* entries)
{
    KeyCounts counts;
    if (!QueryKeyCounts(registry, key, &counts) || counts.values == 0)
        return;
    bool ended = false;
    ListKeyValues(registry, key, codec, counts,
                  [&](std::string_view name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size) {
                      if (ended)
                          return;
                      // A name of kListingBufferChars characters leaves no room for its terminator.
                      if (Utf16Length(codec, name) >= kListingBufferChars ||
                          !DataFitsListing(codec, type, data, size)) {
                          ended = true;
                          return;
                      }
                      if (name.empty())
                          return;  // the unnamed value starts nothing
                      entries->push_back(
                          StartupEntry{std::string(name), DataAsText(data, size), place.source.root, place});
                  });
}

}  // namespace

void ListStartupValues(Registry& registry, TextCodec& codec, const ManagerPlace& place, bool store,
                       std::vector<StartupEntry>* entries)
{
    KeyHandle key(registry);
    const std::string& path = store ? place.store : place.source.subkey;
    if (registry.OpenKeyEx(place.source.root, path.c_str(), 0, kKeyRead, key.Put()) != kSuccess)
        return;
    ListValuesOf(registry, codec, key.get(), place, entries);
}

std::vector<StartupEntry> ListStartupPrograms(Registry& registry, System& system)
{
    std::vector<StartupEntry> entries;
    PlaceKeys keys(registry, system);
    for (const ManagerPlace& place : StartupPlaces()) {
        KeyHandle key(registry);
        if (keys.Open(place.source, &key))
            ListValuesOf(registry, system, key.get(), place, &entries);
    }
    return entries;
}

std::vector<StartupEntry> ListStoredStartupPrograms(Registry& registry, TextCodec& codec)
{
    std::vector<StartupEntry> entries;
    for (HKey root : {kCurrentUser, kLocalMachine})
        for (const ManagerPlace& place : StartupPlaces())
            if (place.source.root == root)
                ListStartupValues(registry, codec, place, true, &entries);
    return entries;
}

MoveResult RemoveStartupProgram(Registry& registry, const StartupEntry& entry)
{
    return MoveRegistryValue(registry, entry.place.source.root, entry.place.store, entry.place.source.subkey,
                             entry.name);
}

MoveResult RestoreStartupProgram(Registry& registry, const StartupEntry& entry)
{
    return MoveRegistryValue(registry, entry.place.source.root, entry.place.source.subkey, entry.place.store,
                             entry.name);
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
    // Where each entry lives comes last, so that the columns of the other texts stay where they were.
    return {{"Select", 40}, {"Program Name", 130}, {"Run Path", 230}, {"Location", 140}};
}

std::vector<ManagerButton> StartupManagerModel::buttons() const
{
    return {{ManagerButtonRole::Close, IDC_MGR_CLOSE, IDB_CLOSE_SMALL, IDB_CLOSE_SMALL_HOT, shared_text::kCloseTheDialog},
            {ManagerButtonRole::Restore, IDC_STARTUP_RESTORE, IDB_RESTORE_PROGRAMS, IDB_RESTORE_PROGRAMS_HOT, shared_text::kRestorePrograms},
            {ManagerButtonRole::Remove, IDC_STARTUP_REMOVE, IDB_REMOVE_PROGRAMS, IDB_REMOVE_PROGRAMS_HOT, shared_text::kRemoveSelectedPrograms},
            {ManagerButtonRole::Run, IDC_STARTUP_RUN, IDB_RUN_PROGRAM, IDB_RUN_PROGRAM_HOT, "Run selected program"}};
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
    std::vector<StartupEntry> found =
        store ? ListStoredStartupPrograms(registry_, system_) : ListStartupPrograms(registry_, system_);
    for (StartupEntry& entry : found) {
        AddRow({"", entry.name, entry.command, entry.place.location}, entries_.size());
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

std::string StartupManagerModel::RunSelected(int selectionMark)
{
    if (selectionMark < 0 || static_cast<std::size_t>(selectionMark) >= rows().size())
        return {};
    const std::string path = DetailsPath(rows()[static_cast<std::size_t>(selectionMark)]);
    std::string reason;
    if (system_.RunProgram(path, &reason))
        return {};
    const int size = std::snprintf(nullptr, 0, kRunFailedMessage, path.c_str(), reason.c_str());
    std::string text(size > 0 ? std::size_t(size) : 0, '\0');
    std::snprintf(text.data(), text.size() + 1, kRunFailedMessage, path.c_str(), reason.c_str());
    return text;
}

}  // namespace tw
