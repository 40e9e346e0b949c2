// A registry that counts the calls passed on to another, by kind: under Wine every call is a
// round trip to the registry server, so the count is what a walk costs there, and unlike a
// time it does not change with the load of the machine. Tests pin a cost with it; the
// benchmarks print it per key. It may be called from several threads when the registry it
// counts for may.
#pragma once

#include "platform/forwarding_registry.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tw {

class CountingRegistry final : public ForwardingRegistry {
public:
    enum Call {
        kOpen, kCreate, kEnumKey, kEnumValue, kQueryInfo, kQueryValue, kQueryValueW, kSetValue, kDeleteKey,
        kDeleteValue, kClose, kCopy, kCallKinds
    };

    explicit CountingRegistry(Registry& inner) : ForwardingRegistry(inner) {}

    std::size_t count(Call call) const { return counts_[call]; }
    std::size_t total() const
    {
        std::size_t sum = 0;
        for (std::size_t c : counts_)
            sum += c;
        return sum;
    }
    void Reset()
    {
        for (std::atomic<std::size_t>& c : counts_)
            c = 0;
    }
    // "open 3, enum key 4, ..." for the kinds that were called.
    std::string Summary() const
    {
        static const char* const kNames[kCallKinds] = {"open",      "create",     "enum key",  "enum value",
                                                       "query info", "query value", "query value W", "set value",
                                                       "delete key", "delete value", "close",     "copy"};
        std::string text;
        for (int i = 0; i < kCallKinds; ++i) {
            if (!counts_[i])
                continue;
            if (!text.empty())
                text += ", ";
            text += std::string(kNames[i]) + " " + std::to_string(counts_[i].load());
        }
        return text;
    }

    long OpenKey(HKey key, const char* subKey, HKey* result) override
    {
        ++counts_[kOpen];
        return ForwardingRegistry::OpenKey(key, subKey, result);
    }
    long OpenKeyEx(HKey key, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                   HKey* result) override
    {
        ++counts_[kOpen];
        return ForwardingRegistry::OpenKeyEx(key, subKey, options, samDesired, result);
    }
    long CreateKey(HKey key, const char* subKey, HKey* result) override
    {
        ++counts_[kCreate];
        return ForwardingRegistry::CreateKey(key, subKey, result);
    }
    long CreateKeyEx(HKey key, const char* subKey, std::uint32_t reserved, const char* keyClass,
                     std::uint32_t options, std::uint32_t samDesired, void* securityAttributes, HKey* result,
                     std::uint32_t* disposition) override
    {
        ++counts_[kCreate];
        return ForwardingRegistry::CreateKeyEx(key, subKey, reserved, keyClass, options, samDesired,
                                               securityAttributes, result, disposition);
    }
    long EnumKeyEx(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength, std::uint32_t* reserved,
                   char* keyClass, std::uint32_t* classLength, FileTime* lastWriteTime) override
    {
        ++counts_[kEnumKey];
        return ForwardingRegistry::EnumKeyEx(key, index, name, nameLength, reserved, keyClass, classLength,
                                             lastWriteTime);
    }
    long EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength, std::uint32_t* reserved,
                   std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) override
    {
        ++counts_[kEnumValue];
        return ForwardingRegistry::EnumValue(key, index, name, nameLength, reserved, type, data, dataSize);
    }
    long EnumValueW(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameLength,
                    std::uint32_t* reserved, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* dataSize) override
    {
        ++counts_[kEnumValue];
        return ForwardingRegistry::EnumValueW(key, index, name, nameLength, reserved, type, data, dataSize);
    }
    long QueryInfoKey(HKey key, char* keyClass, std::uint32_t* classLength, std::uint32_t* reserved,
                      std::uint32_t* subKeys, std::uint32_t* maxSubKeyLength, std::uint32_t* maxClassLength,
                      std::uint32_t* values, std::uint32_t* maxValueNameLength, std::uint32_t* maxValueLength,
                      std::uint32_t* securityDescriptorSize, FileTime* lastWriteTime) override
    {
        ++counts_[kQueryInfo];
        return ForwardingRegistry::QueryInfoKey(key, keyClass, classLength, reserved, subKeys, maxSubKeyLength,
                                                maxClassLength, values, maxValueNameLength, maxValueLength,
                                                securityDescriptorSize, lastWriteTime);
    }
    long QueryValueEx(HKey key, const char* valueName, std::uint32_t* reserved, std::uint32_t* type,
                      std::uint8_t* data, std::uint32_t* dataSize) override
    {
        ++counts_[kQueryValue];
        return ForwardingRegistry::QueryValueEx(key, valueName, reserved, type, data, dataSize);
    }
    long QueryValueExW(HKey key, const char16_t* valueName, std::uint32_t* reserved, std::uint32_t* type,
                       std::uint8_t* data, std::uint32_t* dataSize) override
    {
        ++counts_[kQueryValueW];
        return ForwardingRegistry::QueryValueExW(key, valueName, reserved, type, data, dataSize);
    }
    long QueryValue(HKey key, const char* subKey, char* data, std::int32_t* dataSize) override
    {
        ++counts_[kQueryValue];
        return ForwardingRegistry::QueryValue(key, subKey, data, dataSize);
    }
    long SetValueEx(HKey key, const char* valueName, std::uint32_t reserved, std::uint32_t type,
                    const std::uint8_t* data, std::uint32_t dataSize) override
    {
        ++counts_[kSetValue];
        return ForwardingRegistry::SetValueEx(key, valueName, reserved, type, data, dataSize);
    }
    long SetValueExW(HKey key, const char16_t* valueName, std::uint32_t reserved, std::uint32_t type,
                     const std::uint8_t* data, std::uint32_t dataSize) override
    {
        ++counts_[kSetValue];
        return ForwardingRegistry::SetValueExW(key, valueName, reserved, type, data, dataSize);
    }
    long DeleteKey(HKey key, const char* subKey) override
    {
        ++counts_[kDeleteKey];
        return ForwardingRegistry::DeleteKey(key, subKey);
    }
    long DeleteOpenKey(HKey key) override
    {
        ++counts_[kDeleteKey];
        return ForwardingRegistry::DeleteOpenKey(key);
    }
    long DeleteValue(HKey key, const char* valueName) override
    {
        ++counts_[kDeleteValue];
        return ForwardingRegistry::DeleteValue(key, valueName);
    }
    long CloseKey(HKey key) override
    {
        ++counts_[kClose];
        return ForwardingRegistry::CloseKey(key);
    }
    long CopyKey(HKey source, const char* subKey, HKey destination, std::uint32_t reserved) override
    {
        ++counts_[kCopy];
        return ForwardingRegistry::CopyKey(source, subKey, destination, reserved);
    }
    bool ConcurrentCalls() const override { return inner_.ConcurrentCalls(); }

private:
    std::array<std::atomic<std::size_t>, kCallKinds> counts_{};
};

}  // namespace tw
