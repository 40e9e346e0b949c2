#include "registry/registry_places.h"

#include "platform/codepage.h"
#include "registry/key_path.h"

namespace tw {

namespace {

// A link's target is written out in full; anything longer is no target.
constexpr std::uint32_t kMaxLinkTargetSize = 0x10000;

KeyHandle OpenPlainly(Registry& registry, HKey parent, const std::string& subkey)
{
    KeyHandle key(registry);
    if (registry.OpenKeyEx(parent, subkey.c_str(), 0, kKeyRead, key.Put()) != kSuccess)
        key.Release();  // nothing was opened
    return key;
}

}  // namespace

RegistryPlace SoftwarePlace(std::string_view key, RegistryViews view)
{
    if (view == kMachine32View) {
        // SOFTWARE\Wow6432Node\ and the rest of the path.
        std::size_t slash = key.find('\\');
        std::string wow = std::string(key.substr(0, slash)) + "\\Wow6432Node";
        if (slash != std::string_view::npos)
            wow += key.substr(slash);
        return {kLocalMachine, std::move(wow), true};
    }
    return {view == kUserView ? kCurrentUser : kLocalMachine, std::string(key), false};
}

std::vector<RegistryPlace> SoftwarePlaces(std::initializer_list<std::string_view> keys, unsigned views)
{
    std::vector<RegistryPlace> places;
    for (std::string_view key : keys)
        for (RegistryViews view : {kMachineView, kMachine32View, kUserView})
            if (views & view)
                places.push_back(SoftwarePlace(key, view));
    return places;
}

std::string PlaceFullPath(const RegistryPlace& place)
{
    return RootNameFromKey(place.root) + "\\" + place.subkey;
}

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

bool PlaceKeys::Open(const RegistryPlace& place, KeyHandle* key)
{
    KeyHandle opened(registry_);
    std::string name;
    if (!OpenResolved(place, &opened, &name))
        return false;
    for (const std::string& earlier : opened_)
        if (earlier.size() == name.size() && CompareTextNoCase(earlier, name) == 0)
            return false;
    opened_.push_back(name);
    *key = std::move(opened);
    return true;
}

bool PlaceKeys::OpenResolved(const RegistryPlace& place, KeyHandle* key, std::string* name)
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
            KeyHandle direct = OpenPlainly(registry_, place.root, place.subkey);
            if (!direct)
                return false;
            *key = std::move(direct);
            *name = base + "\\" + place.subkey;
            return true;
        }
        std::string target;
        if (ReadLinkTarget(registry_, system_, next.get(), &target)) {
            next = OpenPlainly(registry_, parent, part);
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
