#include "scan/scanner_support.h"

#include "platform/codepage.h"
#include "registry/key_path.h"

namespace tw {

void SectionRun::Report(const ValueEntry& entry, std::string keyPath, std::string description, std::string reason)
{
    const SectionInfo& info = SectionInfoOf(section_);
    if (engine_.LeaveOut(keyPath, info.deleteType, entry.name))
        return;  // on the user's ignore list: counted, not listed
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
    record->SetReason(log, std::move(reason));
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

bool PlaceOpener::Open(const ScanPlace& place, OpenPlace* out)
{
    if (!keys_.Open(place, &out->key_))
        return false;
    out->fullPath_ = PlaceFullPath(place);
    out->view_ = SystemFolderView(system_, place.thirtyTwoBit);
    return true;
}

}  // namespace tw
