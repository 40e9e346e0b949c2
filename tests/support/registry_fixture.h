// What the registry tests share: the registries under test, a scratch key of each test's
// own (wiped before and after), and short ways to seed and read values.
#pragma once

#include "platform/key_handle.h"
#include "platform/memory/memory_registry.h"
#include "platform/registry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tw::test {

using Bytes = std::vector<std::uint8_t>;

Bytes B(std::initializer_list<int> bytes);
Bytes Str(const std::string& text);  // text and its terminating NUL

// Creates (or opens) root\path and sets one value; fails the test on error.
void SetValue(Registry& registry, HKey root, const std::string& path, const char* name, std::uint32_t type,
              const Bytes& data);
void CreateKey(Registry& registry, HKey root, const std::string& path);
bool KeyExists(Registry& registry, HKey root, const std::string& path);
// Reads a value; false when it is missing.
bool GetValue(Registry& registry, HKey root, const std::string& path, const char* name, std::uint32_t* type,
              Bytes* data);
// Deletes a key with everything below it (test clean-up; ignores errors).
void WipeKey(Registry& registry, HKey root, const std::string& path);

// Makes root\path a link key leading to `target` ("\REGISTRY\MACHINE\..."), the way the
// system makes them; fails the test on error.
void CreateLink(Registry& registry, HKey root, const std::string& path, const std::string& target);
// Deletes a link key itself, never what it leads to (test clean-up; ignores errors).
void DeleteLink(Registry& registry, HKey root, const std::string& path);
// Gives an existing key the security of many system keys (everyone may read it, nobody may
// change it), or takes it back; by the means of the registry under test.
void RefuseWriteAccess(Registry& registry, HKey root, const std::string& path, bool refuse = true);

// "<prefix> 0042": names that sort in the order of their numbers, for generated keys.
std::string Numbered(const char* prefix, std::size_t i);

// A complete dump of a branch (paths, value names, types, data), for comparing registries.
std::string DumpBranch(Registry& registry, HKey root, const std::string& path);

struct RegistryUnderTest {
    std::string name;
    std::function<std::unique_ptr<Registry>()> make;
};
// The memory registry always; the real one in the Windows test program.
std::vector<RegistryUnderTest> RegistriesUnderTest();

}  // namespace tw::test
