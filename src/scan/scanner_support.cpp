#include "scan/scanner_support.h"

#include "platform/codepage.h"
#include "registry/key_path.h"

namespace tw {

void SectionRun::Report(const ValueEntry& entry, std::string keyPath, std::string description)
{
    const SectionInfo& info = SectionInfoOf(section_);
    ActivityLog& log = engine_.log();
    auto record = std::make_unique<ProblemRecord>();
    auto value = [&] { record->SetValue(log, std::make_unique<ValueEntry>(entry)); };
    switch (info.setterOrder) {
    case SetterOrder::ValueDescriptionKey:
        value();
        record->SetDescription(log, std::move(description));
        record->SetKeyPath(log, std::move(keyPath));
        break;
    case SetterOrder::ValueKeyDescription:
        value();
        record->SetKeyPath(log, std::move(keyPath));
        record->SetDescription(log, std::move(description));
        break;
    case SetterOrder::DescriptionValueKey:
        record->SetDescription(log, std::move(description));
        value();
        record->SetKeyPath(log, std::move(keyPath));
        break;
    }
    record->SetSection(log, std::string(info.problemText));
    record->SetDeleteType(log, std::string(info.deleteType));
    engine_.AddProblem(std::move(record));
    engine_.ShowSectionCount(++count_);
}

bool ExistenceCache::Exists(const std::string& path)
{
    auto known = known_.find(path);
    if (known != known_.end())
        return known->second;
    if (known_.size() >= capacity_)
        known_.clear();
    bool exists = PathExists(system_, path);
    known_.emplace(path, exists);
    return exists;
}

KeyHandle OpenForReading(Registry& registry, HKey parent, const std::string& subkey)
{
    KeyHandle key(registry);
    if (registry.OpenKeyEx(parent, subkey.c_str(), 0, kKeyRead, key.Put()) != kSuccess)
        key.Release();  // nothing was opened
    return key;
}

KeyHandle OpenFullPath(Registry& registry, std::string_view fullPath)
{
    std::string subkey(fullPath);
    std::optional<HKey> root = RootKeyFromName(SplitRootFromPath(subkey));
    if (!root)
        return KeyHandle(registry);
    return OpenForReading(registry, *root, subkey);
}

std::string SubkeyPathOf(std::string_view fullPath)
{
    std::size_t slash = fullPath.find('\\');
    return slash == std::string_view::npos ? std::string() : std::string(fullPath.substr(slash + 1));
}

namespace {

// A link's target is written out in full; anything longer is no target.
constexpr std::uint32_t kMaxLinkTargetSize = 0x10000;

}  // namespace

bool LinkTargetOf(TextCodec& codec, std::uint32_t type, const std::uint8_t* data, std::uint32_t size,
                  std::string* target)
{
    if (type != kRegLink || size == 0 || size > kMaxLinkTargetSize)
        return false;
    std::u16string wide;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        wide.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    while (!wide.empty() && wide.back() == u'\0')
        wide.pop_back();
    *target = codec.Utf16ToAnsi(wide);
    return true;
}

bool ReadLinkTarget(Registry& registry, TextCodec& codec, HKey key, std::string* target)
{
    std::uint32_t type = 0, size = 0;
    if (registry.QueryValueEx(key, kLinkValueName, nullptr, &type, nullptr, &size) != kSuccess || type != kRegLink ||
        size == 0 || size > kMaxLinkTargetSize)
        return false;
    std::vector<std::uint8_t> data(size);
    if (registry.QueryValueEx(key, kLinkValueName, nullptr, &type, data.data(), &size) != kSuccess)
        return false;
    return LinkTargetOf(codec, type, data.data(), size, target);
}

std::string RegistryPlaceOf(System& system, HKey root)
{
    if (root == kLocalMachine)
        return "\\REGISTRY\\MACHINE";
    if (root == kUsers)
        return "\\REGISTRY\\USER";
    if (root == kClassesRoot)
        return "\\REGISTRY\\MACHINE\\SOFTWARE\\Classes";
    if (root == kCurrentUser) {
        std::string sid = system.UserSid();
        return sid.empty() ? std::string() : "\\REGISTRY\\USER\\" + sid;
    }
    return {};
}

std::vector<ScanPlace> SoftwarePlaces(std::initializer_list<std::string_view> keys, unsigned views)
{
    std::vector<ScanPlace> places;
    for (std::string_view key : keys) {
        if (views & kMachineView)
            places.push_back({kLocalMachine, std::string(key), false});
        if (views & kMachine32View) {
            // SOFTWARE\Wow6432Node\ and the rest of the path.
            std::size_t slash = key.find('\\');
            std::string wow = std::string(key.substr(0, slash)) + "\\Wow6432Node";
            if (slash != std::string_view::npos)
                wow += key.substr(slash);
            places.push_back({kLocalMachine, std::move(wow), true});
        }
        if (views & kUserView)
            places.push_back({kCurrentUser, std::string(key), false});
    }
    return places;
}

bool PlaceOpener::Open(const ScanPlace& place, OpenPlace* out)
{
    KeyHandle key(registry_);
    std::string name;
    if (!OpenResolved(place, &key, &name))
        return false;
    for (const std::string& opened : opened_)
        if (opened.size() == name.size() && CompareTextNoCase(opened, name) == 0)
            return false;
    opened_.push_back(name);
    out->key_ = std::move(key);
    out->fullPath_ = RootNameFromKey(place.root) + "\\" + place.subkey;
    out->view_ = SystemFolderView(system_, place.thirtyTwoBit);
    return true;
}

bool PlaceOpener::OpenResolved(const ScanPlace& place, KeyHandle* key, std::string* name)
{
    std::string base = RegistryPlaceOf(system_, place.root);
    if (base.empty())
        base = RootNameFromKey(place.root);  // no link names it: any name of its own will do
    std::string resolved = base;
    KeyHandle at(registry_);
    HKey parent = place.root;
    std::size_t begin = 0;
    while (begin < place.subkey.size()) {
        std::size_t end = place.subkey.find('\\', begin);
        if (end == std::string::npos)
            end = place.subkey.size();
        const std::string part = place.subkey.substr(begin, end - begin);
        begin = end + 1;
        if (part.empty())
            continue;
        // Each key opened as itself, so that a link shows where it leads.
        KeyHandle next(registry_);
        const long status = registry_.OpenKeyEx(parent, part.c_str(), kRegOptionOpenLink, kKeyRead, next.Put());
        if (status != kSuccess) {
            next.Release();
            if (status == kErrorFileNotFound)
                return false;
            // A key on the way that will not be read as itself: the place as it is named.
            KeyHandle direct = OpenForReading(registry_, place.root, place.subkey);
            if (!direct)
                return false;
            *key = std::move(direct);
            *name = base + "\\" + place.subkey;
            return true;
        }
        std::string target;
        if (ReadLinkTarget(registry_, system_, next.get(), &target)) {
            next = OpenForReading(registry_, parent, part);
            if (!next)
                return false;
            resolved = std::move(target);
        } else {
            resolved += "\\" + part;
        }
        at = std::move(next);
        parent = at.get();
    }
    if (!at)
        return false;  // a root is no place
    *key = std::move(at);
    *name = std::move(resolved);
    return true;
}

}  // namespace tw
