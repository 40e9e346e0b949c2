#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/codepage.h"

#ifdef TARNWICK_WIN32_TESTS
#include "platform/win32/win32_registry.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <winternl.h>

extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);
#endif

namespace tw::test {

Bytes B(std::initializer_list<int> bytes)
{
    Bytes out;
    for (int b : bytes)
        out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

Bytes Str(const std::string& text)
{
    Bytes out(text.begin(), text.end());
    out.push_back(0);
    return out;
}

void CreateKey(Registry& registry, HKey root, const std::string& path)
{
    KeyHandle key(registry);
    ASSERT_EQ(kSuccess, registry.CreateKey(root, path.c_str(), key.Put())) << path;
}

void SetValue(Registry& registry, HKey root, const std::string& path, const char* name, std::uint32_t type,
              const Bytes& data)
{
    KeyHandle key(registry);
    ASSERT_EQ(kSuccess, registry.CreateKey(root, path.c_str(), key.Put())) << path;
    ASSERT_EQ(kSuccess, registry.SetValueEx(key.get(), name, 0, type, data.data(),
                                            static_cast<std::uint32_t>(data.size())))
        << path << " " << (name ? name : "(unnamed)");
}

bool KeyExists(Registry& registry, HKey root, const std::string& path)
{
    KeyHandle key(registry);
    return registry.OpenKeyEx(root, path.c_str(), 0, kKeyRead, key.Put()) == kSuccess;
}

bool GetValue(Registry& registry, HKey root, const std::string& path, const char* name, std::uint32_t* type,
              Bytes* data)
{
    KeyHandle key(registry);
    if (registry.OpenKeyEx(root, path.c_str(), 0, kKeyQueryValue, key.Put()) != kSuccess)
        return false;
    std::uint32_t size = 0;
    if (registry.QueryValueEx(key.get(), name, nullptr, type, nullptr, &size) != kSuccess)
        return false;
    data->assign(size + 1, 0);
    if (registry.QueryValueEx(key.get(), name, nullptr, type, data->data(), &size) != kSuccess)
        return false;
    data->resize(size);
    return true;
}

namespace {

void Wipe(Registry& registry, HKey parent, const std::string& name)
{
    KeyHandle key(registry);
    if (registry.OpenKeyEx(parent, name.c_str(), 0, kKeyAllAccess, key.Put()) != kSuccess)
        return;
    for (;;) {
        char child[256];
        std::uint32_t length = sizeof child;
        if (registry.EnumKeyEx(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr) != kSuccess)
            break;
        Wipe(registry, key.get(), std::string(child, length));
        // A child that could not be deleted would be found again forever.
        char again[256];
        std::uint32_t againLength = sizeof again;
        if (registry.EnumKeyEx(key.get(), 0, again, &againLength, nullptr, nullptr, nullptr, nullptr) == kSuccess &&
            std::string(again, againLength) == std::string(child, length))
            break;
    }
    key.Close();
    registry.DeleteKey(parent, name.c_str());
}

void Dump(Registry& registry, HKey key, const std::string& path, std::string* out)
{
    *out += "[" + path + "]\n";
    std::uint32_t values = 0, maxName = 0, maxData = 0, subkeys = 0, maxSub = 0;
    if (registry.QueryInfoKey(key, nullptr, nullptr, nullptr, &subkeys, &maxSub, nullptr, &values, &maxName,
                              &maxData, nullptr, nullptr) != kSuccess) {
        *out += "!query failed\n";
        return;
    }
    for (std::uint32_t i = 0;; ++i) {
        std::vector<char> name(maxName + 2);
        Bytes data(maxData + 2);
        std::uint32_t nameLength = static_cast<std::uint32_t>(name.size());
        std::uint32_t size = static_cast<std::uint32_t>(data.size()), type = 0;
        long status = registry.EnumValue(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (status != kSuccess)
            break;
        char head[32];
        std::snprintf(head, sizeof head, " type %u size %u:", type, size);
        *out += "  \"" + std::string(name.data(), nameLength) + "\"" + head;
        for (std::uint32_t b = 0; b < size; ++b) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02x", data[b]);
            *out += hex;
        }
        *out += "\n";
    }
    for (std::uint32_t i = 0;; ++i) {
        char child[256];
        std::uint32_t length = sizeof child;
        if (registry.EnumKeyEx(key, i, child, &length, nullptr, nullptr, nullptr, nullptr) != kSuccess)
            break;
        KeyHandle sub(registry);
        std::string name(child, length);
        if (registry.OpenKeyEx(key, name.c_str(), 0, kKeyRead, sub.Put()) == kSuccess)
            Dump(registry, sub.get(), path + "\\" + name, out);
    }
}

}  // namespace

void WipeKey(Registry& registry, HKey root, const std::string& path)
{
    Wipe(registry, root, path);
}

void CreateLink(Registry& registry, HKey root, const std::string& path, const std::string& target)
{
    KeyHandle key(registry);
    ASSERT_EQ(kSuccess, registry.CreateKeyEx(root, path.c_str(), 0, nullptr, kRegOptionCreateLink,
                                             kKeyAllAccess | kKeyCreateLink, nullptr, key.Put(), nullptr))
        << path;
    // The target is stored as UTF-16 without a terminator.
    Bytes data;
    for (char16_t c : AnsiToUtf16(target)) {
        data.push_back(static_cast<std::uint8_t>(c & 0xFF));
        data.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    ASSERT_EQ(kSuccess, registry.SetValueEx(key.get(), "SymbolicLinkValue", 0, kRegLink, data.data(),
                                            static_cast<std::uint32_t>(data.size())))
        << path;
}

void DeleteLink(Registry& registry, HKey root, const std::string& path)
{
    KeyHandle link(registry);
    if (registry.OpenKeyEx(root, path.c_str(), kRegOptionOpenLink, kKeyAllAccess, link.Put()) != kSuccess)
        return;
#ifdef TARNWICK_WIN32_TESTS
    if (dynamic_cast<Win32Registry*>(&registry)) {
        NtDeleteKey(reinterpret_cast<HANDLE>(link.get()));
        return;
    }
#endif
    // The memory registry deletes the key a handle stands for when given no subkey.
    registry.DeleteKey(link.get(), "");
}

std::string Numbered(const char* prefix, std::size_t i)
{
    char name[32];
    std::snprintf(name, sizeof name, "%s %04zu", prefix, i);
    return name;
}

void RefuseWriteAccess(Registry& registry, HKey root, const std::string& path, bool refuse)
{
    if (auto* memory = dynamic_cast<MemoryRegistry*>(&registry)) {
        ASSERT_TRUE(memory->RefuseWriteAccess(root, path, refuse)) << path;
        return;
    }
#ifdef TARNWICK_WIN32_TESTS
    // Everyone may read; with the inherited entries cut off, nobody may change the key. Its
    // owner may still change this list, which is how it is given back.
    const char* sddl = refuse ? "D:P(A;;KR;;;WD)" : "D:(A;;KA;;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr));
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(reinterpret_cast<HKEY>(root), path.c_str(), 0, WRITE_DAC, &key);
    if (status == ERROR_SUCCESS) {
        status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        RegCloseKey(key);
    }
    LocalFree(descriptor);
    ASSERT_EQ(ERROR_SUCCESS, status) << path;
#else
    FAIL() << "no way to refuse write access in this registry";
#endif
}

std::string DumpBranch(Registry& registry, HKey root, const std::string& path)
{
    KeyHandle key(registry);
    if (registry.OpenKeyEx(root, path.c_str(), 0, kKeyRead, key.Put()) != kSuccess)
        return "(missing)";
    std::string out;
    Dump(registry, key.get(), path, &out);
    return out;
}

std::vector<RegistryUnderTest> RegistriesUnderTest()
{
    std::vector<RegistryUnderTest> list;
    list.push_back({"Memory", [] { return std::make_unique<MemoryRegistry>(); }});
#ifdef TARNWICK_WIN32_TESTS
    list.push_back({"Win32", [] { return std::make_unique<Win32Registry>(); }});
#endif
    return list;
}

}  // namespace tw::test
