#include "bench/support/scan_registry_generator.h"

#include "platform/key_handle.h"

#include <cstdio>
#include <random>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <fstream>
#endif

namespace tw::bench {
namespace {

// Distinct files named by the values; a real registry names many files many times.
constexpr int kFileCount = 2000;

const char* const kWords[] = {"Settings", "Options", "Recent", "Window", "Toolbar", "Plugins", "Profiles",
                              "Cache",    "Colors",  "Fonts",  "History", "Layout", "Language", "Update",
                              "Filters",  "Network", "Printing", "Views",  "Keys",   "Defaults"};

std::string Guid(std::mt19937& random)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%04X%08X}", static_cast<unsigned>(random()),
                  static_cast<unsigned>(random() & 0xFFFF), static_cast<unsigned>(random() & 0xFFFF),
                  static_cast<unsigned>(random() & 0xFFFF), static_cast<unsigned>(random() & 0xFFFF),
                  static_cast<unsigned>(random()));
    return text;
}

// Files spread over folders of a hundred, as programs keep them.
std::string FileFolder(const std::string& folder, int n)
{
    return folder + "\\p" + std::to_string(n / 100);
}

}  // namespace

std::string BenchFilePath(const std::string& folder, int n)
{
    return FileFolder(folder, n) + "\\f" + std::to_string(n) + (n % 3 == 0 ? ".dll" : n % 3 == 1 ? ".exe" : ".ico");
}

namespace {

class Generator {
public:
    Generator(Registry& registry, std::size_t keyCount, std::string folder)
        : registry_(registry), target_(keyCount), folder_(std::move(folder)), random_(20260101)
    {
    }

    GeneratedBranch Run(HKey root, const std::string& subkey)
    {
        KeyHandle top(registry_);
        if (registry_.CreateKey(root, subkey.c_str(), top.Put()) != kSuccess)
            return stats_;
        // Top-level "vendors", each a tree; the shape of each is drawn at random.
        int vendor = 0;
        while (stats_.keys < target_)
            Tree(top.get(), "Vendor" + std::to_string(vendor++), 1, 0);
        return stats_;
    }

private:
    // `chain`: levels still to go in a deep chain of single subkeys.
    void Tree(HKey parent, const std::string& name, std::size_t depth, int chain)
    {
        if (stats_.keys >= target_)
            return;
        KeyHandle key(registry_);
        if (registry_.CreateKey(parent, name.c_str(), key.Put()) != kSuccess)
            return;
        ++stats_.keys;
        if (depth > stats_.maxDepth)
            stats_.maxDepth = depth;
        Values(key.get());
        std::size_t children = 0;
        std::uint32_t shape = random_() % 1000;
        if (chain > 0) {
            children = 1;
        } else if (depth == 1) {
            children = 40 + random_() % 200;  // a vendor's products
        } else if (shape < 3 && depth < 6) {
            children = 500 + random_() % 1500;  // a wide key: a class list, a file list
        } else if (shape < 20 && depth < 6) {
            children = 1;  // the start of a deep chain
            chain = 8 + static_cast<int>(random_() % 20);
        } else if (depth < 7) {
            children = random_() % (depth < 3 ? 12 : 6);
        }
        for (std::size_t i = 0; i < children && stats_.keys < target_; ++i) {
            std::uint32_t pick = random_() % 4;
            std::string child = pick == 0   ? Guid(random_)
                                : pick == 1 ? std::string(kWords[random_() % 20]) + std::to_string(i)
                                            : "Item" + std::to_string(i);
            Tree(key.get(), child, depth + 1, chain > 0 ? chain - 1 : 0);
        }
    }

    void Values(HKey key)
    {
        // 0 to 4 values, about 1.7 a key.
        std::uint32_t draw = random_() % 100;
        int count = draw < 15 ? 0 : draw < 45 ? 1 : draw < 75 ? 2 : draw < 92 ? 3 : 4;
        for (int i = 0; i < count; ++i) {
            std::string name = i == 0 && random_() % 3 == 0 ? std::string() : std::string(kWords[random_() % 20]) + "V" + std::to_string(i);
            std::uint32_t kind = random_() % 1000;
            if (kind < 250) {
                int n = static_cast<int>(random_() % kFileCount);
                std::string text = BenchFilePath(folder_, n);
                std::uint32_t form = random_() % 4;
                if (form == 1)
                    text = "\"" + text + "\" /s";
                else if (form == 2)
                    text += ",3";
                Sz(key, name, text);
                ++stats_.existingPaths;
            } else if (kind < 260) {
                Sz(key, name, folder_ + "\\gone\\g" + std::to_string(random_() % 100000) + ".exe");
                ++stats_.missingPaths;
            } else if (kind < 300) {
                Sz(key, name, folder_ + "\\");
                ++stats_.existingPaths;
            } else if (kind < 550) {
                std::uint32_t v = random_();
                registry_.SetValueEx(key, name.c_str(), 0, kRegDword, reinterpret_cast<const std::uint8_t*>(&v), 4);
            } else if (kind < 700) {
                Sz(key, name, Guid(random_));
            } else if (kind < 800) {
                Sz(key, name, "http://www.example.com/app/" + std::to_string(random_() % 1000) + "\\page");
            } else if (kind < 880) {
                std::vector<std::uint8_t> blob(16 + random_() % 48);
                for (auto& b : blob)
                    b = static_cast<std::uint8_t>(random_());
                registry_.SetValueEx(key, name.c_str(), 0, kRegBinary, blob.data(), static_cast<std::uint32_t>(blob.size()));
            } else if (kind < 940) {
                Sz(key, name, std::string("Sub\\") + kWords[random_() % 20] + ".dat");
            } else {
                Sz(key, name, std::string(kWords[random_() % 20]) + " " + kWords[random_() % 20]);
            }
            ++stats_.values;
        }
    }

    void Sz(HKey key, const std::string& name, const std::string& text)
    {
        registry_.SetValueEx(key, name.empty() ? nullptr : name.c_str(), 0, kRegSz,
                             reinterpret_cast<const std::uint8_t*>(text.c_str()), static_cast<std::uint32_t>(text.size() + 1));
    }

    Registry& registry_;
    std::size_t target_;
    std::string folder_;
    std::mt19937 random_;
    GeneratedBranch stats_;
};

std::size_t PlainWalkKey(Registry& registry, HKey key)
{
    std::uint32_t subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
    if (registry.QueryInfoKey(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values, &maxName,
                              &maxData, nullptr, nullptr) != kSuccess)
        return 0;
    std::vector<char> name(std::max(maxSubkey, maxName) + 1u);
    std::vector<std::uint8_t> data(maxData + 1u);
    for (std::uint32_t i = 0; i < values; ++i) {
        std::uint32_t nameLength = static_cast<std::uint32_t>(name.size()), type = 0;
        std::uint32_t dataSize = static_cast<std::uint32_t>(data.size());
        registry.EnumValue(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
    }
    std::size_t count = 1;
    for (std::uint32_t i = 0;; ++i) {
        std::uint32_t length = static_cast<std::uint32_t>(name.size());
        if (registry.EnumKeyEx(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != kSuccess)
            break;
        KeyHandle child(registry);
        if (registry.OpenKeyEx(key, name.data(), 0, kKeyRead, child.Put()) == kSuccess)
            count += PlainWalkKey(registry, child.get());
    }
    return count;
}

std::size_t PlainWalkKeyWithoutQueries(Registry& registry, HKey key, std::vector<char>& name,
                                       std::vector<std::uint8_t>& data)
{
    for (std::uint32_t i = 0;;) {
        std::uint32_t nameLength = static_cast<std::uint32_t>(name.size()), type = 0;
        std::uint32_t dataSize = static_cast<std::uint32_t>(data.size());
        long status = registry.EnumValue(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
        if (status == kErrorMoreData && dataSize > data.size()) {
            data.resize(dataSize);
            continue;
        }
        if (status != kSuccess)
            break;
        ++i;
    }
    std::size_t count = 1;
    std::vector<char> subkey(256);
    for (std::uint32_t i = 0;; ++i) {
        std::uint32_t length = static_cast<std::uint32_t>(subkey.size());
        if (registry.EnumKeyEx(key, i, subkey.data(), &length, nullptr, nullptr, nullptr, nullptr) != kSuccess)
            break;
        KeyHandle child(registry);
        if (registry.OpenKeyEx(key, subkey.data(), 0, kKeyRead, child.Put()) == kSuccess)
            count += PlainWalkKeyWithoutQueries(registry, child.get(), name, data);
    }
    return count;
}

}  // namespace

std::size_t PlainWalkWithoutQueries(Registry& registry, HKey root, const std::string& subkey)
{
    KeyHandle key(registry);
    if (registry.OpenKeyEx(root, subkey.c_str(), 0, kKeyRead, key.Put()) != kSuccess)
        return 0;
    std::vector<char> name(16384);
    std::vector<std::uint8_t> data(4096);
    return PlainWalkKeyWithoutQueries(registry, key.get(), name, data);
}

bool MakeBenchFiles(System& system, const std::string& fileFolder)
{
    system.MakeDirectory(fileFolder);
    system.MakeDirectory(fileFolder + "\\gone");  // where the missing files would be
    for (int n = 0; n < kFileCount; ++n) {
        if (n % 100 == 0)
            system.MakeDirectory(FileFolder(fileFolder, n));
        auto file = system.OpenFile(BenchFilePath(fileFolder, n), FileMode::Write);
        if (!file || !file->Write("x", 1) || !file->Close())
            return false;
    }
    return true;
}

GeneratedBranch GenerateScanBranch(Registry& registry, HKey root, const std::string& subkey, std::size_t keyCount,
                                   const std::string& fileFolder)
{
    return Generator(registry, keyCount, fileFolder).Run(root, subkey);
}

std::size_t PlainWalk(Registry& registry, HKey root, const std::string& subkey)
{
    KeyHandle key(registry);
    if (registry.OpenKeyEx(root, subkey.c_str(), 0, kKeyRead, key.Put()) != kSuccess)
        return 0;
    return PlainWalkKey(registry, key.get());
}


}  // namespace tw::bench
