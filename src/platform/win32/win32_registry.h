// The registry interface over advapi32 and shlwapi: each method is the call of the same name
// (the ANSI one, but for EnumValueW, QueryValueExW and SetValueExW, and DeleteOpenKey from
// ntdll), nothing added but the guard that keeps SetValueExW's data as given.
#pragma once

#include "platform/registry.h"

namespace tw {

class Win32Registry final : public Registry {
public:
    long OpenKey(HKey key, const char* subKey, HKey* result) override;
    long OpenKeyEx(HKey key, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                   HKey* result) override;
    long CreateKey(HKey key, const char* subKey, HKey* result) override;
    long CreateKeyEx(HKey key, const char* subKey, std::uint32_t reserved, const char* keyClass,
                     std::uint32_t options, std::uint32_t samDesired, void* securityAttributes, HKey* result,
                     std::uint32_t* disposition) override;
    long EnumKeyEx(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength, std::uint32_t* reserved,
                   char* keyClass, std::uint32_t* classLength, FileTime* lastWriteTime) override;
    long EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength, std::uint32_t* reserved,
                   std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override;
    long EnumValueW(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameLength,
                    std::uint32_t* reserved, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* dataSize) override;
    long QueryInfoKey(HKey key, char* keyClass, std::uint32_t* classLength, std::uint32_t* reserved,
                      std::uint32_t* subKeys, std::uint32_t* maxSubKeyLength, std::uint32_t* maxClassLength,
                      std::uint32_t* values, std::uint32_t* maxValueNameLength, std::uint32_t* maxValueLength,
                      std::uint32_t* securityDescriptorSize, FileTime* lastWriteTime) override;
    long QueryValueEx(HKey key, const char* valueName, std::uint32_t* reserved, std::uint32_t* type,
                      std::uint8_t* data, std::uint32_t* dataSize) override;
    long QueryValueExW(HKey key, const char16_t* valueName, std::uint32_t* reserved, std::uint32_t* type,
                       std::uint8_t* data, std::uint32_t* dataSize) override;
    long QueryValue(HKey key, const char* subKey, char* data, std::int32_t* dataSize) override;
    long SetValueEx(HKey key, const char* valueName, std::uint32_t reserved, std::uint32_t type,
                    const std::uint8_t* data, std::uint32_t dataSize) override;
    long SetValueExW(HKey key, const char16_t* valueName, std::uint32_t reserved, std::uint32_t type,
                     const std::uint8_t* data, std::uint32_t dataSize) override;
    long DeleteKey(HKey key, const char* subKey) override;
    long DeleteOpenKey(HKey key) override;
    long DeleteValue(HKey key, const char* valueName) override;
    long CloseKey(HKey key) override;
    long CopyKey(HKey source, const char* subKey, HKey destination, std::uint32_t reserved) override;
    // The registry functions may be called from any thread.
    bool ConcurrentCalls() const override { return true; }
};

}  // namespace tw
