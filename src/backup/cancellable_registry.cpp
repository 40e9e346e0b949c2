#include "backup/cancellable_registry.h"

namespace tw {

#define TW_STOP_IF_CANCELLED() \
    do {                       \
        if (cancelled())       \
            return kErrorCancelled; \
    } while (false)

long CancellableRegistry::OpenKey(HKey key, const char* subKey, HKey* result)
{
    TW_STOP_IF_CANCELLED();
    return inner_.OpenKey(key, subKey, result);
}

long CancellableRegistry::OpenKeyEx(HKey key, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                                    HKey* result)
{
    TW_STOP_IF_CANCELLED();
    return inner_.OpenKeyEx(key, subKey, options, samDesired, result);
}

long CancellableRegistry::CreateKey(HKey key, const char* subKey, HKey* result)
{
    TW_STOP_IF_CANCELLED();
    return inner_.CreateKey(key, subKey, result);
}

long CancellableRegistry::CreateKeyEx(HKey key, const char* subKey, std::uint32_t reserved, const char* keyClass,
                                      std::uint32_t options, std::uint32_t samDesired, void* securityAttributes,
                                      HKey* result, std::uint32_t* disposition)
{
    TW_STOP_IF_CANCELLED();
    return inner_.CreateKeyEx(key, subKey, reserved, keyClass, options, samDesired, securityAttributes, result,
                              disposition);
}

long CancellableRegistry::EnumKeyEx(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength,
                                    std::uint32_t* reserved, char* keyClass, std::uint32_t* classLength,
                                    FileTime* lastWriteTime)
{
    TW_STOP_IF_CANCELLED();
    return inner_.EnumKeyEx(key, index, name, nameLength, reserved, keyClass, classLength, lastWriteTime);
}

long CancellableRegistry::EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength,
                                    std::uint32_t* reserved, std::uint32_t* type, std::uint8_t* data,
                                    std::uint32_t* dataSize)
{
    TW_STOP_IF_CANCELLED();
    return inner_.EnumValue(key, index, name, nameLength, reserved, type, data, dataSize);
}

long CancellableRegistry::QueryInfoKey(HKey key, char* keyClass, std::uint32_t* classLength, std::uint32_t* reserved,
                                       std::uint32_t* subKeys, std::uint32_t* maxSubKeyLength,
                                       std::uint32_t* maxClassLength, std::uint32_t* values,
                                       std::uint32_t* maxValueNameLength, std::uint32_t* maxValueLength,
                                       std::uint32_t* securityDescriptorSize, FileTime* lastWriteTime)
{
    TW_STOP_IF_CANCELLED();
    return inner_.QueryInfoKey(key, keyClass, classLength, reserved, subKeys, maxSubKeyLength, maxClassLength, values,
                               maxValueNameLength, maxValueLength, securityDescriptorSize, lastWriteTime);
}

long CancellableRegistry::QueryValueEx(HKey key, const char* valueName, std::uint32_t* reserved, std::uint32_t* type,
                                       std::uint8_t* data, std::uint32_t* dataSize)
{
    TW_STOP_IF_CANCELLED();
    return inner_.QueryValueEx(key, valueName, reserved, type, data, dataSize);
}

long CancellableRegistry::QueryValue(HKey key, const char* subKey, char* data, std::int32_t* dataSize)
{
    TW_STOP_IF_CANCELLED();
    return inner_.QueryValue(key, subKey, data, dataSize);
}

long CancellableRegistry::SetValueEx(HKey key, const char* valueName, std::uint32_t reserved, std::uint32_t type,
                                     const std::uint8_t* data, std::uint32_t dataSize)
{
    TW_STOP_IF_CANCELLED();
    return inner_.SetValueEx(key, valueName, reserved, type, data, dataSize);
}

long CancellableRegistry::DeleteKey(HKey key, const char* subKey)
{
    TW_STOP_IF_CANCELLED();
    return inner_.DeleteKey(key, subKey);
}

long CancellableRegistry::DeleteValue(HKey key, const char* valueName)
{
    TW_STOP_IF_CANCELLED();
    return inner_.DeleteValue(key, valueName);
}

// Closing always goes through: handles opened before the cancel must not leak.
long CancellableRegistry::CloseKey(HKey key)
{
    return inner_.CloseKey(key);
}

long CancellableRegistry::CopyKey(HKey source, const char* subKey, HKey destination, std::uint32_t reserved)
{
    TW_STOP_IF_CANCELLED();
    return inner_.CopyKey(source, subKey, destination, reserved);
}

#undef TW_STOP_IF_CANCELLED

}  // namespace tw
