// What the section scanners share: one section's run (its count, its status line, the
// problem report with the section's setter order), opening a key by its full path,
// enumerating subkeys with a name buffer sized from the key's own query, telling link keys,
// and the places a section reads. Scanners open keys for reading only: many system keys
// grant administrators no more than that, and a scan never changes a key.
//
// Current Windows keeps what one section is about in several places: the machine's keys,
// their 32-bit view below SOFTWARE\Wow6432Node on 64-bit Windows, and the user's own keys.
// A section lists its places (`ScanPlace`) and `ForEachPlace` hands it each one that exists,
// open, with its full path for the findings and the system folder as the programs
// registered there see it. A place missing on this system (the 32-bit view on 32-bit
// Windows, a key the user never got) is passed over. 64-bit Windows shows some keys in
// both views through a link: the place is the same key, and it is examined once, under
// the name of the place listed first.
#pragma once

#include "platform/key_handle.h"
#include "registry/key_enumeration.h"
#include "registry/registry_places.h"
#include "registry/value_text.h"
#include "scan/path_rules.h"
#include "scan/scan_engine.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tw {

class SectionRun {
public:
    SectionRun(ScanEngine& engine, ScanSection section) : engine_(engine), section_(section) {}

    ScanEngine& engine() const { return engine_; }
    Registry& registry() const { return engine_.registry(); }
    System& system() const { return engine_.system(); }
    // At the start: the event polled at once.
    bool StopAtStart() const { return engine_.StopSignalledNow(); }
    // Between entries.
    bool Stopped() const { return engine_.StopRequested(); }
    void Status(std::string_view text) const { engine_.ShowStatus(text); }
    // Fills a record in this section's setter order, then its reason (why the rule that
    // found it judged the entry broken), appends it and shows the new count.
    void Report(const ValueEntry& entry, std::string keyPath, std::string description, std::string reason);
    // The section's entry in the completed-section list.
    void Complete(CompletedSectionList& completed) const { completed.push_back({section_}); }
    int count() const { return count_; }

private:
    ScanEngine& engine_;
    ScanSection section_;
    int count_ = 0;
};

// Existence tests remembered for the length of one section: a registry names the same
// files over and over (a library behind thousands of classes), and each test is a trip to
// the file system. Bounded: when full it starts afresh, so it never grows with the branch.
class ExistenceCache {
public:
    explicit ExistenceCache(System& system, std::size_t capacity = 8192) : system_(system), capacity_(capacity) {}
    bool Exists(const std::string& path);

private:
    System& system_;
    std::size_t capacity_;
    std::unordered_map<std::string, bool> known_;
};

// Opens a subkey for reading (RegOpenKeyExA, KEY_READ); an empty handle when it does not open.
KeyHandle OpenForReading(Registry& registry, HKey parent, const std::string& subkey);
// Opens "HKEY_...\sub\path" for reading; an empty handle when it does not open.
KeyHandle OpenFullPath(Registry& registry, std::string_view fullPath);
// The full path without its root name and backslash.
std::string SubkeyPathOf(std::string_view fullPath);

// ---- the places a section reads (registry/registry_places.h)

using ScanPlace = RegistryPlace;

// One place, open for reading.
class OpenPlace {
public:
    explicit OpenPlace(Registry& registry) : key_(registry) {}

    HKey key() const { return key_.get(); }
    // "HKEY_CURRENT_USER\Software\...": where a finding lives.
    const std::string& fullPath() const { return fullPath_; }
    // The full path without its root name, as the status line shows it.
    std::string subkeyPath() const { return SubkeyPathOf(fullPath_); }
    // A path an entry here names, where the program it belongs to finds it.
    std::string Seen(std::string path) const { return view_.Seen(std::move(path)); }
    const SystemFolderView& view() const { return view_; }

private:
    friend class PlaceOpener;
    KeyHandle key_;
    std::string fullPath_;
    SystemFolderView view_;
};

// Opens places (PlaceKeys) and names each for the findings.
class PlaceOpener {
public:
    PlaceOpener(Registry& registry, System& system) : keys_(registry, system), system_(system) {}
    // False when the place does not exist, or is a key already opened under another name.
    bool Open(const ScanPlace& place, OpenPlace* out);

private:
    PlaceKeys keys_;
    System& system_;
};

// Hands each place that exists to `visit` (which returns false to end the section without
// its completed entry), until the run is stopped. False when a visit said so.
template <class Visit>
bool ForEachPlace(SectionRun& run, const std::vector<ScanPlace>& places, Visit visit)
{
    PlaceOpener opener(run.registry(), run.system());
    for (const ScanPlace& place : places) {
        if (run.Stopped())
            break;
        OpenPlace open(run.registry());
        if (opener.Open(place, &open) && !visit(static_cast<const OpenPlace&>(open)))
            return false;
    }
    return true;
}

// Hands the values of an open place to `visit` in enumeration order, until the run is
// stopped; true, so that a value scanner's visit of a place can end with it.
template <class Visit>
bool ForEachValue(SectionRun& run, const OpenPlace& place, Visit visit)
{
    for (const ValueEntry& entry : ListKeyValues(run.registry(), place.key(), run.system())) {
        if (run.Stopped())
            break;
        visit(entry);
    }
    return true;
}

// Hands the values of the key at `fullPath` to `visit` in enumeration order, until the run
// is stopped; nothing when the key does not open.
template <class Visit>
void ForEachValue(SectionRun& run, ScanEngine& engine, std::string_view fullPath, Visit visit)
{
    KeyHandle key = OpenFullPath(engine.registry(), fullPath);
    if (!key)
        return;
    for (const ValueEntry& entry : ListKeyValues(engine.registry(), key.get(), engine.system())) {
        if (run.Stopped())
            break;
        visit(entry);
    }
}

// Opens each subkey of `key` in enumeration order and hands its name and handle to `visit`,
// until the run is stopped; subkeys with an empty name or that do not open are passed over.
// False when the key's subkeys cannot be listed at all.
template <class Visit>
bool ForEachSubkey(SectionRun& run, Registry& registry, HKey key, Visit visit)
{
    SubkeyEnumerator subkeys(registry, key);
    if (!subkeys.Init())
        return false;
    std::string name;
    while (!run.Stopped() && subkeys.Next(&name)) {
        if (name.empty())
            continue;
        KeyHandle subkey = OpenForReading(registry, key, name);
        if (!subkey)
            continue;
        visit(name, subkey.get());
    }
    return true;
}

}  // namespace tw
