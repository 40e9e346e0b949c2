// The places current Windows keeps one kind of entry in, and opening them: the machine's keys,
// their 32-bit view below SOFTWARE\Wow6432Node on 64-bit Windows, and the user's own keys.
// The scanners read every place of a section; the managers list and move entries in each.
//
// A place missing on this system (the 32-bit view on 32-bit Windows, a key the user never
// got) is passed over. 64-bit Windows shows some keys in both views through a link: the place
// is then the same key, and `PlaceKeys` opens it once, under the name of the place listed
// first, so that nothing is listed or judged twice.
#pragma once

#include "platform/key_handle.h"
#include "platform/system.h"

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct RegistryPlace {
    HKey root;
    std::string subkey;
    bool thirtyTwoBit = false;  // below Wow6432Node: what 32-bit programs registered
};

enum RegistryViews : unsigned {
    kMachineView = 1,    // HKEY_LOCAL_MACHINE\SOFTWARE\...
    kMachine32View = 2,  // HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\...
    kUserView = 4,       // HKEY_CURRENT_USER\Software\...
    kEveryView = 7,
};

// The place of a key below SOFTWARE (given as "SOFTWARE\...") in one view.
RegistryPlace SoftwarePlace(std::string_view key, RegistryViews view);
// The places of keys below SOFTWARE (each given as "SOFTWARE\...", spelt as findings and
// listings show it) in the views asked for: for each key, the machine's, the machine's
// 32-bit one, the user's.
std::vector<RegistryPlace> SoftwarePlaces(std::initializer_list<std::string_view> keys, unsigned views);

// "HKEY_CURRENT_USER\Software\...": the full path of a place.
std::string PlaceFullPath(const RegistryPlace& place);

// ---- link keys

// The value a link key holds its target in (REG_LINK, UTF-16, "\REGISTRY\MACHINE\...").
constexpr char kLinkValueName[] = "SymbolicLinkValue";
// The target a "SymbolicLinkValue" of this type and data names; false when it names none.
bool LinkTargetOf(TextCodec& codec, std::uint32_t type, const std::uint8_t* data, std::uint32_t size,
                  std::string* target);
// The target of a key opened as itself (kRegOptionOpenLink); false for a key that is no link.
bool ReadLinkTarget(Registry& registry, TextCodec& codec, HKey key, std::string* target);
// The name the registry gives the place of a predefined key ("\REGISTRY\MACHINE"), in which
// link targets are written; empty when it cannot be told.
std::string RegistryPlaceOf(System& system, HKey root);

// Opens places for reading and remembers which keys they were, so that a key shown in two
// places through a link is opened once.
class PlaceKeys {
public:
    PlaceKeys(Registry& registry, System& system) : registry_(registry), system_(system) {}
    // False when the place does not exist, or is a key already opened under another name.
    bool Open(const RegistryPlace& place, KeyHandle* key);

private:
    // Opens root\subkey a key at a time and gives the name the registry knows the key by,
    // links followed.
    bool OpenResolved(const RegistryPlace& place, KeyHandle* key, std::string* name);

    Registry& registry_;
    System& system_;
    std::vector<std::string> opened_;
};

}  // namespace tw
