// The registry as the core sees it: one interface whose methods mirror the ANSI registry
// calls the program makes, with the same arguments and the same status codes (three wide
// calls and one of ntdll are said where they stand). win32/ forwards to advapi32, shlwapi
// and ntdll; memory/ is an in-memory registry with the same behaviour, for native tests
// and benchmarks.
#pragma once

#include <cstdint>

namespace tw {

// An opaque key handle, pointer-sized like HKEY. Predefined roots have the values Windows
// gives them: the 32-bit constant sign-extended to the pointer width.
struct RegKeyTag;
using HKey = RegKeyTag*;

inline HKey PredefinedKey(std::uint32_t value)
{
    return reinterpret_cast<HKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
}
// The low 32 bits of a handle: what the backup file stores for a root.
inline std::uint32_t KeyValue32(HKey key)
{
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(key));
}

inline const HKey kClassesRoot = PredefinedKey(0x80000000u);
inline const HKey kCurrentUser = PredefinedKey(0x80000001u);
inline const HKey kLocalMachine = PredefinedKey(0x80000002u);
inline const HKey kUsers = PredefinedKey(0x80000003u);
inline const HKey kPerformanceData = PredefinedKey(0x80000004u);
inline const HKey kCurrentConfig = PredefinedKey(0x80000005u);
inline const HKey kDynData = PredefinedKey(0x80000006u);

// Status codes (winerror.h).
enum : long {
    kSuccess = 0,
    kErrorInvalidFunction = 1,
    kErrorFileNotFound = 2,
    kErrorAccessDenied = 5,
    kErrorInvalidHandle = 6,
    kErrorNotEnoughMemory = 8,
    kErrorWriteFault = 29,
    kErrorInvalidParameter = 87,
    kErrorMoreData = 234,
    kErrorNoMoreItems = 259,
    kErrorBadKey = 1010,
    kErrorNoAccessToData = 998,
    kErrorKeyDeleted = 1018,
    kErrorCallNotImplemented = 120,
    kErrorAlreadyExists = 183,
};

// Value types.
enum : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegDwordBigEndian = 5,
    kRegLink = 6,
    kRegMultiSz = 7,
    kRegResourceList = 8,
    kRegFullResourceDescriptor = 9,
    kRegResourceRequirementsList = 10,
    kRegQword = 11,
};

// Access masks.
enum : std::uint32_t {
    kKeyQueryValue = 0x0001,
    kKeySetValue = 0x0002,
    kKeyCreateSubKey = 0x0004,
    kKeyEnumerateSubKeys = 0x0008,
    kKeyNotify = 0x0010,
    kKeyCreateLink = 0x0020,
    kKeyWow64_64Key = 0x0100,
    kKeyWow64_32Key = 0x0200,
    kDelete = 0x00010000,
    kReadControl = 0x00020000,
    kWriteDac = 0x00040000,
    kWriteOwner = 0x00080000,
    kMaximumAllowed = 0x02000000,
    kKeyRead = 0x00020019,
    kKeyWrite = 0x00020006,
    kKeyAllAccess = 0x000F003F,
};

// RegCreateKeyExA and RegOpenKeyExA options and dispositions. A link key (made with
// kRegOptionCreateLink) holds its target's full name ("\REGISTRY\MACHINE\...") in the
// REG_LINK value "SymbolicLinkValue"; opening through it opens the target, unless
// kRegOptionOpenLink asks for the link key itself.
enum : std::uint32_t {
    kRegOptionNonVolatile = 0,
    kRegOptionVolatile = 1,
    kRegOptionCreateLink = 2,
    kRegOptionOpenLink = 8,
    kRegCreatedNewKey = 1,
    kRegOpenedExistingKey = 2,
};

// How RegDeleteKeyA treats subkeys: the NT family refuses a key that has any; Windows
// 95/98/Me removes them with it.
enum class DeletionStyle { WindowsNT, Windows9x };

struct FileTime {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
};

class Registry {
public:
    virtual ~Registry() = default;

    // RegOpenKeyA: default access; an empty or null subkey gives back `key` itself (the same
    // handle, which the caller must not close twice).
    virtual long OpenKey(HKey key, const char* subKey, HKey* result) = 0;
    // RegOpenKeyExA
    virtual long OpenKeyEx(HKey key, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                           HKey* result) = 0;
    // RegCreateKeyA: creates every missing component.
    virtual long CreateKey(HKey key, const char* subKey, HKey* result) = 0;
    // RegCreateKeyExA (class and security attributes are accepted and ignored by memory/).
    virtual long CreateKeyEx(HKey key, const char* subKey, std::uint32_t reserved, const char* keyClass,
                             std::uint32_t options, std::uint32_t samDesired, void* securityAttributes,
                             HKey* result, std::uint32_t* disposition) = 0;
    // RegEnumKeyExA: nameLength in characters, in with the buffer size, out without the NUL.
    virtual long EnumKeyEx(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength,
                           std::uint32_t* reserved, char* keyClass, std::uint32_t* classLength,
                           FileTime* lastWriteTime) = 0;
    // RegEnumValueA
    virtual long EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength,
                           std::uint32_t* reserved, std::uint32_t* type, std::uint8_t* data,
                           std::uint32_t* dataSize) = 0;
    // RegEnumValueW: the name in UTF-16 (nameLength in characters, as RegEnumValueA has it)
    // and string data as the registry keeps it. The repair backup lists values through it,
    // so that it sees exactly what a name or text that went through the code page would
    // lose. Windows 95/98/Me keep ANSI text and answer 120 (not implemented).
    virtual long EnumValueW(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameLength,
                            std::uint32_t* reserved, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* dataSize) = 0;
    // RegQueryInfoKeyA
    virtual long QueryInfoKey(HKey key, char* keyClass, std::uint32_t* classLength, std::uint32_t* reserved,
                              std::uint32_t* subKeys, std::uint32_t* maxSubKeyLength,
                              std::uint32_t* maxClassLength, std::uint32_t* values,
                              std::uint32_t* maxValueNameLength, std::uint32_t* maxValueLength,
                              std::uint32_t* securityDescriptorSize, FileTime* lastWriteTime) = 0;
    // RegQueryValueExA
    virtual long QueryValueEx(HKey key, const char* valueName, std::uint32_t* reserved, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* dataSize) = 0;
    // RegQueryValueExW: string data as the registry keeps it (UTF-16), so that the repair can
    // prove that text it saved through the ANSI calls restores the same (a character outside
    // the code page reaches the ANSI calls as a substitute). Windows 95/98/Me keep ANSI text
    // and answer 120 (not implemented).
    virtual long QueryValueExW(HKey key, const char16_t* valueName, std::uint32_t* reserved, std::uint32_t* type,
                               std::uint8_t* data, std::uint32_t* dataSize) = 0;
    // RegQueryValueA: the unnamed value of key\subKey as text; dataSize is a LONG in bytes.
    virtual long QueryValue(HKey key, const char* subKey, char* data, std::int32_t* dataSize) = 0;
    // RegSetValueExA
    virtual long SetValueEx(HKey key, const char* valueName, std::uint32_t reserved, std::uint32_t type,
                            const std::uint8_t* data, std::uint32_t dataSize) = 0;
    // RegSetValueExW: the name in UTF-16 and the data stored exactly as given, string types
    // included (their data is UTF-16 as the registry keeps it, with whatever bytes follow a
    // terminator, or an odd count). Restores write values the ANSI call would change through
    // it. The system adds a terminator to string data whose last character is not NUL when
    // the character after the buffer is; the real registry's wrapper makes sure it is not.
    // Windows 95/98/Me keep ANSI text and answer 120 (not implemented).
    virtual long SetValueExW(HKey key, const char16_t* valueName, std::uint32_t reserved, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t dataSize) = 0;
    // RegDeleteKeyA
    virtual long DeleteKey(HKey key, const char* subKey) = 0;
    // NtDeleteKey: deletes the key a handle is open on (with DELETE access) when it has no
    // subkeys; the handle stays open, and every call on it but closing gives 1018. One call
    // where RegDeleteKeyA opens the key, deletes it and closes it again. Windows 95/98/Me have
    // no such call and answer 120 (not implemented): the key is then deleted by name.
    virtual long DeleteOpenKey(HKey key) = 0;
    // RegDeleteValueA
    virtual long DeleteValue(HKey key, const char* valueName) = 0;
    // RegCloseKey
    virtual long CloseKey(HKey key) = 0;
    // SHCopyKeyA: copies key\subKey with all its values and subkeys into `destination`.
    virtual long CopyKey(HKey source, const char* subKey, HKey destination, std::uint32_t reserved) = 0;

    // True when calls may come from several threads at once. The repair backup then reads
    // keys ahead of its writer on a second thread: each call waits for the registry to
    // answer (under Wine, for its server), and two threads keep the registry busier than one.
    virtual bool ConcurrentCalls() const { return false; }
};

bool IsPredefinedKey(HKey key);

}  // namespace tw
