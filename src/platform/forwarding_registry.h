// A registry that passes every call on to another one, for decorators that change a few
// calls: a decorator overrides those, or Refuse() to answer every call (closing a key
// excepted, so nothing is ever left open) with a status of its own.
#pragma once

#include "platform/registry.h"

namespace tw {

class ForwardingRegistry : public Registry {
public:
    explicit ForwardingRegistry(Registry& inner) : inner_(inner) {}

    long OpenKey(HKey key, const char* subKey, HKey* result) override
    {
        if (long status = Refuse())
            return status;
        return inner_.OpenKey(key, subKey, result);
    }
    long OpenKeyEx(HKey key, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                   HKey* result) override
    {
        if (long status = Refuse())
            return status;
        return inner_.OpenKeyEx(key, subKey, options, samDesired, result);
    }
    long CreateKey(HKey key, const char* subKey, HKey* result) override
    {
        if (long status = Refuse())
            return status;
        return inner_.CreateKey(key, subKey, result);
    }
    long CreateKeyEx(HKey key, const char* subKey, std::uint32_t reserved, const char* keyClass,
                     std::uint32_t options, std::uint32_t samDesired, void* securityAttributes, HKey* result,
                     std::uint32_t* disposition) override
    {
        if (long status = Refuse())
            return status;
        return inner_.CreateKeyEx(key, subKey, reserved, keyClass, options, samDesired, securityAttributes, result,
                                  disposition);
    }
    long EnumKeyEx(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength, std::uint32_t* reserved,
                   char* keyClass, std::uint32_t* classLength, FileTime* lastWriteTime) override
    {
        if (long status = Refuse())
            return status;
        return inner_.EnumKeyEx(key, index, name, nameLength, reserved, keyClass, classLength, lastWriteTime);
    }
    long EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength, std::uint32_t* reserved,
                   std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override
    {
        if (long status = Refuse())
            return status;
        return inner_.EnumValue(key, index, name, nameLength, reserved, type, data, dataSize);
    }
    long EnumValueW(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameLength,
                    std::uint32_t* reserved, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* dataSize) override
    {
        if (long status = Refuse())
            return status;
        return inner_.EnumValueW(key, index, name, nameLength, reserved, type, data, dataSize);
    }
    long QueryInfoKey(HKey key, char* keyClass, std::uint32_t* classLength, std::uint32_t* reserved,
                      std::uint32_t* subKeys, std::uint32_t* maxSubKeyLength, std::uint32_t* maxClassLength,
                      std::uint32_t* values, std::uint32_t* maxValueNameLength, std::uint32_t* maxValueLength,
                      std::uint32_t* securityDescriptorSize, FileTime* lastWriteTime) override
    {
        if (long status = Refuse())
            return status;
        return inner_.QueryInfoKey(key, keyClass, classLength, reserved, subKeys, maxSubKeyLength, maxClassLength,
                                   values, maxValueNameLength, maxValueLength, securityDescriptorSize,
                                   lastWriteTime);
    }
    long QueryValueEx(HKey key, const char* valueName, std::uint32_t* reserved, std::uint32_t* type,
                      std::uint8_t* data, std::uint32_t* dataSize) override
    {
        if (long status = Refuse())
            return status;
        return inner_.QueryValueEx(key, valueName, reserved, type, data, dataSize);
    }
    long QueryValueExW(HKey key, const char16_t* valueName, std::uint32_t* reserved, std::uint32_t* type,
                       std::uint8_t* data, std::uint32_t* dataSize) override
    {
        if (long status = Refuse())
            return status;
        return inner_.QueryValueExW(key, valueName, reserved, type, data, dataSize);
    }
    long QueryValue(HKey key, const char* subKey, char* data, std::int32_t* dataSize) override
    {
        if (long status = Refuse())
            return status;
        return inner_.QueryValue(key, subKey, data, dataSize);
    }
    long SetValueEx(HKey key, const char* valueName, std::uint32_t reserved, std::uint32_t type,
                    const std::uint8_t* data, std::uint32_t dataSize) override
    {
        if (long status = Refuse())
            return status;
        return inner_.SetValueEx(key, valueName, reserved, type, data, dataSize);
    }
    long SetValueExW(HKey key, const char16_t* valueName, std::uint32_t reserved, std::uint32_t type,
                     const std::uint8_t* data, std::uint32_t dataSize) override
    {
        if (long status = Refuse())
            return status;
        return inner_.SetValueExW(key, valueName, reserved, type, data, dataSize);
    }
    long DeleteKey(HKey key, const char* subKey) override
    {
        if (long status = Refuse())
            return status;
        return inner_.DeleteKey(key, subKey);
    }
    long DeleteOpenKey(HKey key) override
    {
        if (long status = Refuse())
            return status;
        return inner_.DeleteOpenKey(key);
    }
    long DeleteValue(HKey key, const char* valueName) override
    {
        if (long status = Refuse())
            return status;
        return inner_.DeleteValue(key, valueName);
    }
    long CloseKey(HKey key) override { return inner_.CloseKey(key); }
    long CopyKey(HKey source, const char* subKey, HKey destination, std::uint32_t reserved) override
    {
        if (long status = Refuse())
            return status;
        return inner_.CopyKey(source, subKey, destination, reserved);
    }

protected:
    // A status to answer instead of passing a call on; success passes it on.
    virtual long Refuse() { return kSuccess; }

    Registry& inner_;
};

}  // namespace tw
