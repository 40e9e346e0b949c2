#include "registry/key_path.h"

#include "platform/codepage.h"
#include "platform/key_handle.h"
#include "registry/key_enumeration.h"

#include <array>

namespace tw {
namespace {

struct RootEntry {
    const char* name;
    std::uint32_t handle;
    bool namedBack;
};

constexpr std::array<RootEntry, 5> kRoots = {{
    {"HKEY_CLASSES_ROOT", 0x80000000u, true},
    {"HKEY_CURRENT_USER", 0x80000001u, true},
    {"HKEY_LOCAL_MACHINE", 0x80000002u, true},
    {"HKEY_USERS", 0x80000003u, true},
    {"HKEY_CURRENT_CONFIG", 0x80000005u, false},
}};

}  // namespace

std::string SplitRootFromPath(std::string& path)
{
    std::size_t slash = path.find('\\');
    if (slash == std::string::npos) {
        std::string root = std::move(path);
        path.clear();
        return root;
    }
    std::string root = path.substr(0, slash);
    path.erase(0, slash + 1);
    return root;
}

std::optional<HKey> RootKeyFromName(std::string_view name)
{
    for (const RootEntry& r : kRoots)
        if (CompareNamesNoCase(name, r.name) == 0)
            return PredefinedKey(r.handle);
    return std::nullopt;
}

std::string RootNameFromKey(HKey key)
{
    for (const RootEntry& r : kRoots)
        if (r.namedBack && key == PredefinedKey(r.handle))
            return r.name;
    return {};
}

DeletionStyle DeletionStyleFromVersion(std::uint32_t version)
{
    return (version & 0x80000000u) ? DeletionStyle::Windows9x : DeletionStyle::WindowsNT;
}

long KeyOperations::OpenKeyByName(std::string_view rootName, const std::string& subkeyPath, HKey* key) const
{
    if (!key)
        return kUnknownRoot;
    *key = nullptr;
    auto root = RootKeyFromName(rootName);
    if (!root)
        return kUnknownRoot;
    return registry_.OpenKey(*root, subkeyPath.c_str(), key);
}

long KeyOperations::DeleteKeyTree(std::string_view rootName, const std::string& subkeyPath) const
{
    auto root = RootKeyFromName(rootName);
    if (!root)
        return kUnknownRoot;
    if (style_ == DeletionStyle::Windows9x)
        return registry_.DeleteKey(*root, subkeyPath.c_str());
    return DeleteRecursively(*root, subkeyPath);
}

long KeyOperations::DeleteRecursively(HKey parent, const std::string& name) const
{
    if (name.empty())
        return kNoSubkeyPath;
    KeyHandle key(registry_);
    long status = registry_.OpenKeyEx(parent, name.c_str(), 0, kDelete | kKeyEnumerateSubKeys, key.Put());
    if (status != kSuccess)
        return status;
    std::string buffer;
    for (;;) {
        // Always index 0: each successful recursion removes the subkey found there.
        std::string_view child;
        status = EnumerateName(registry_, key.get(), NameKind::Subkey, 0, buffer, &child);
        if (status == kErrorNoMoreItems) {
            status = registry_.DeleteKey(parent, name.c_str());
            break;
        }
        if (status != kSuccess)
            break;
        status = DeleteRecursively(key.get(), std::string(child));
        if (status != kSuccess)
            break;
    }
    return status;
}

long KeyOperations::DeleteKeyValue(std::string_view rootName, const std::string& subkeyPath,
                                   const std::string& valueName) const
{
    auto root = RootKeyFromName(rootName);
    if (!root)
        return kUnknownRoot;
    KeyHandle key(registry_);
    long status = registry_.OpenKeyEx(*root, subkeyPath.c_str(), 0, kKeySetValue, key.Put());
    if (status != kSuccess)
        return status;
    return registry_.DeleteValue(key.get(), valueName.c_str());
}

}  // namespace tw
