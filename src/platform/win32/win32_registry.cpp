#include "platform/win32/win32_registry.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>
#include <vector>

namespace tw {
namespace {

static_assert(sizeof(std::uint32_t) == sizeof(DWORD));
static_assert(sizeof(std::int32_t) == sizeof(LONG));
static_assert(sizeof(FileTime) == sizeof(FILETIME));

::HKEY H(HKey key) { return reinterpret_cast<::HKEY>(key); }
::HKEY* H(HKey* key) { return reinterpret_cast<::HKEY*>(key); }
DWORD* D(std::uint32_t* p) { return reinterpret_cast<DWORD*>(p); }

}  // namespace

long Win32Registry::OpenKey(HKey key, const char* subKey, HKey* result)
{
    return RegOpenKeyA(H(key), subKey, H(result));
}

long Win32Registry::OpenKeyEx(HKey key, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                              HKey* result)
{
    return RegOpenKeyExA(H(key), subKey, options, samDesired, H(result));
}

long Win32Registry::CreateKey(HKey key, const char* subKey, HKey* result)
{
    return RegCreateKeyA(H(key), subKey, H(result));
}

long Win32Registry::CreateKeyEx(HKey key, const char* subKey, std::uint32_t reserved, const char* keyClass,
                                std::uint32_t options, std::uint32_t samDesired, void* securityAttributes,
                                HKey* result, std::uint32_t* disposition)
{
    return RegCreateKeyExA(H(key), subKey, reserved, const_cast<char*>(keyClass), options, samDesired,
                           static_cast<LPSECURITY_ATTRIBUTES>(securityAttributes), H(result), D(disposition));
}

long Win32Registry::EnumKeyEx(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength,
                              std::uint32_t* reserved, char* keyClass, std::uint32_t* classLength,
                              FileTime* lastWriteTime)
{
    return RegEnumKeyExA(H(key), index, name, D(nameLength), D(reserved), keyClass, D(classLength),
                         reinterpret_cast<FILETIME*>(lastWriteTime));
}

long Win32Registry::EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength,
                              std::uint32_t* reserved, std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* dataSize)
{
    return RegEnumValueA(H(key), index, name, D(nameLength), D(reserved), D(type), data, D(dataSize));
}

long Win32Registry::EnumValueW(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameLength,
                               std::uint32_t* reserved, std::uint32_t* type, std::uint8_t* data,
                               std::uint32_t* dataSize)
{
    static_assert(sizeof(WCHAR) == sizeof(char16_t));
    return RegEnumValueW(H(key), index, reinterpret_cast<WCHAR*>(name), D(nameLength), D(reserved), D(type), data,
                         D(dataSize));
}

long Win32Registry::QueryInfoKey(HKey key, char* keyClass, std::uint32_t* classLength, std::uint32_t* reserved,
                                 std::uint32_t* subKeys, std::uint32_t* maxSubKeyLength,
                                 std::uint32_t* maxClassLength, std::uint32_t* values,
                                 std::uint32_t* maxValueNameLength, std::uint32_t* maxValueLength,
                                 std::uint32_t* securityDescriptorSize, FileTime* lastWriteTime)
{
    return RegQueryInfoKeyA(H(key), keyClass, D(classLength), D(reserved), D(subKeys), D(maxSubKeyLength),
                            D(maxClassLength), D(values), D(maxValueNameLength), D(maxValueLength),
                            D(securityDescriptorSize), reinterpret_cast<FILETIME*>(lastWriteTime));
}

long Win32Registry::QueryValueEx(HKey key, const char* valueName, std::uint32_t* reserved, std::uint32_t* type,
                                 std::uint8_t* data, std::uint32_t* dataSize)
{
    return RegQueryValueExA(H(key), valueName, D(reserved), D(type), data, D(dataSize));
}

long Win32Registry::QueryValueExW(HKey key, const char16_t* valueName, std::uint32_t* reserved, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* dataSize)
{
    static_assert(sizeof(WCHAR) == sizeof(char16_t));
    return RegQueryValueExW(H(key), reinterpret_cast<const WCHAR*>(valueName), D(reserved), D(type), data,
                            D(dataSize));
}

long Win32Registry::QueryValue(HKey key, const char* subKey, char* data, std::int32_t* dataSize)
{
    return RegQueryValueA(H(key), subKey, data, reinterpret_cast<LONG*>(dataSize));
}

long Win32Registry::SetValueEx(HKey key, const char* valueName, std::uint32_t reserved, std::uint32_t type,
                               const std::uint8_t* data, std::uint32_t dataSize)
{
    return RegSetValueExA(H(key), valueName, reserved, type, data, dataSize);
}

long Win32Registry::SetValueExW(HKey key, const char16_t* valueName, std::uint32_t reserved, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t dataSize)
{
    const bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    if (!text || !data || dataSize == 0)
        return RegSetValueExW(H(key), reinterpret_cast<const WCHAR*>(valueName), reserved, type, data, dataSize);
    // RegSetValueExW adds a terminator to string data whose last character is not NUL when
    // the character after the buffer is (and looks at the one before it for a single byte):
    // the data goes between guard bytes that are not NUL, so that it is stored as given.
    constexpr std::size_t kGuard = 2;
    std::vector<std::uint8_t> guarded(kGuard + dataSize + kGuard, 0xFF);
    std::memcpy(guarded.data() + kGuard, data, dataSize);
    return RegSetValueExW(H(key), reinterpret_cast<const WCHAR*>(valueName), reserved, type,
                          guarded.data() + kGuard, dataSize);
}

long Win32Registry::DeleteKey(HKey key, const char* subKey)
{
    return RegDeleteKeyA(H(key), subKey);
}

long Win32Registry::DeleteOpenKey(HKey key)
{
    // ntdll's own calls, looked up once: Windows 95/98/Me have neither.
    struct NtCalls {
        LONG(WINAPI* deleteKey)(HANDLE) = nullptr;
        ULONG(WINAPI* statusToError)(LONG) = nullptr;
    };
    static const NtCalls calls = [] {
        NtCalls found;
        if (HMODULE ntdll = GetModuleHandleA("ntdll.dll")) {
            found.deleteKey = reinterpret_cast<decltype(found.deleteKey)>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "NtDeleteKey")));
            found.statusToError = reinterpret_cast<decltype(found.statusToError)>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
        }
        return found;
    }();
    if (!calls.deleteKey || !calls.statusToError)
        return ERROR_CALL_NOT_IMPLEMENTED;
    // A predefined key is no handle of a key of its own.
    if (IsPredefinedKey(key))
        return ERROR_ACCESS_DENIED;
    return static_cast<long>(calls.statusToError(calls.deleteKey(H(key))));
}

long Win32Registry::DeleteValue(HKey key, const char* valueName)
{
    return RegDeleteValueA(H(key), valueName);
}

long Win32Registry::CloseKey(HKey key)
{
    return RegCloseKey(H(key));
}

long Win32Registry::CopyKey(HKey source, const char* subKey, HKey destination, std::uint32_t reserved)
{
    return SHCopyKeyA(H(source), subKey, H(destination), reserved);
}

}  // namespace tw
