// An in-memory registry with the behaviour of the Windows registry API as the program relies
// on it: predefined roots (HKEY_CLASSES_ROOT and HKEY_CURRENT_CONFIG are views of their
// places under HKEY_LOCAL_MACHINE), names compared without regard to case and kept in their
// case, subkeys and values enumerated in name order, folded to lower case (as Wine's registry
// does), status codes, access masks on handles, handles that stay valid after their key is
// deleted (every call on them then gives 1018), NT or 9x key deletion, and link keys
// (kRegOptionCreateLink) that lead to a key elsewhere under HKEY_LOCAL_MACHINE or
// HKEY_USERS.
//
// Tests can make a call fail: InjectFault() makes the n-th next call of one operation return
// a given status without doing anything. RefuseWriteAccess() gives a key the security of
// many system keys: it opens for reading, and an open that asks for the right to change it
// (or a subkey created in it, or its deletion) is refused with 5. RegOpenKeyA and
// RegCreateKeyA ask for what is allowed, so they open such a key for reading.
//
// Every change stamps the key it changes with its last-write time (a value set or deleted,
// a subkey made or deleted, the key made), from the host's clock or a fixed time a test sets.
#pragma once

#include "platform/registry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

enum class RegOp {
    OpenKey,
    OpenKeyEx,
    CreateKey,
    CreateKeyEx,
    EnumKeyEx,
    EnumValue,
    QueryInfoKey,
    QueryValueEx,
    QueryValue,
    SetValueEx,
    DeleteKey,
    DeleteValue,
    CloseKey,
    CopyKey,
    QueryValueExW,
    DeleteOpenKey,
    EnumValueW,
    SetValueExW,
    Count
};

class MemoryRegistry final : public Registry {
public:
    explicit MemoryRegistry(DeletionStyle style = DeletionStyle::WindowsNT);
    ~MemoryRegistry() override;

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
    // Names are kept in the process code page and widened; string data is kept in UTF-16, as the
    // real registry keeps it: the wide calls give and take it as it is, the ANSI calls
    // convert it through the code page (sizes as Windows gives them: those of the converted
    // text, an odd last byte dropped).
    long EnumValueW(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameLength,
                    std::uint32_t* reserved, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* dataSize) override;
    long QueryInfoKey(HKey key, char* keyClass, std::uint32_t* classLength, std::uint32_t* reserved,
                      std::uint32_t* subKeys, std::uint32_t* maxSubKeyLength, std::uint32_t* maxClassLength,
                      std::uint32_t* values, std::uint32_t* maxValueNameLength, std::uint32_t* maxValueLength,
                      std::uint32_t* securityDescriptorSize, FileTime* lastWriteTime) override;
    long QueryValueEx(HKey key, const char* valueName, std::uint32_t* reserved, std::uint32_t* type,
                      std::uint8_t* data, std::uint32_t* dataSize) override;
    // A wide name the process code page cannot write (only 1252 cannot) names no value.
    long QueryValueExW(HKey key, const char16_t* valueName, std::uint32_t* reserved, std::uint32_t* type,
                       std::uint8_t* data, std::uint32_t* dataSize) override;
    long QueryValue(HKey key, const char* subKey, char* data, std::int32_t* dataSize) override;
    long SetValueEx(HKey key, const char* valueName, std::uint32_t reserved, std::uint32_t type,
                    const std::uint8_t* data, std::uint32_t dataSize) override;
    // Stores the data as given; a name the process code page cannot write is refused with 87 (the
    // memory registry keeps names in the code page).
    long SetValueExW(HKey key, const char16_t* valueName, std::uint32_t reserved, std::uint32_t type,
                     const std::uint8_t* data, std::uint32_t dataSize) override;
    long DeleteKey(HKey key, const char* subKey) override;
    // Answers 120 (not implemented) with the Windows 9x deletion style, as those systems do.
    long DeleteOpenKey(HKey key) override;
    long DeleteValue(HKey key, const char* valueName) override;
    long CloseKey(HKey key) override;
    long CopyKey(HKey source, const char* subKey, HKey destination, std::uint32_t reserved) override;
    // Every call takes one lock, so calls may come from several threads; callers are told so
    // only after AllowConcurrentCalls(), since call counts and injected faults then follow the
    // order in which the threads happen to call.
    bool ConcurrentCalls() const override { return concurrent_; }
    void AllowConcurrentCalls(bool allow = true) { concurrent_ = allow; }

    // The n-th next call (1 = the very next one) of `op` returns `status` and does nothing.
    // With `sticky`, that call and every later one of `op` fail, until ClearFaults().
    void InjectFault(RegOp op, std::uint64_t nth, long status, bool sticky = false);
    void ClearFaults();
    // Makes root\path (an existing key, links followed) refuse write access, or allow it
    // again; false when there is no such key.
    bool RefuseWriteAccess(HKey root, std::string_view path, bool refuse = true);
    // Calls of `op` made so far.
    std::uint64_t CallCount(RegOp op) const;
    // Handles currently open (predefined roots not counted): lets tests find leaks.
    std::size_t OpenHandleCount() const;
    // The last-write time every change stamps from now on; without one, the host's clock.
    void SetWriteTime(std::optional<FileTime> time);
    // Keys in the whole registry, for benchmarks.
    std::size_t KeyCount() const;

    struct Node;

private:
    struct Handle {
        std::shared_ptr<Node> node;
        std::uint32_t access = 0;
    };
    struct Fault {
        std::uint64_t atCall = 0;
        long status = 0;
        bool sticky = false;
    };

    long Begin(RegOp op);
    long Resolve(HKey key, std::uint32_t needed, std::shared_ptr<Node>* node);
    std::shared_ptr<Node> RootNode(HKey key);
    struct WalkOptions {
        bool create = false;    // make the missing keys
        bool openLink = false;  // a link as the last component is the result, not its target
        bool makeLink = false;  // a key made for the last component is a link
    };
    // Follows a subkey path from a key, through links.
    long Walk(const std::shared_ptr<Node>& from, std::string_view path, WalkOptions options,
              std::shared_ptr<Node>* node, bool* created = nullptr, int depth = 0);
    long FollowLink(const std::shared_ptr<Node>& link, bool create, std::shared_ptr<Node>* node, int depth);
    long OpenLocked(HKey key, const char* subKey, std::uint32_t options, std::uint32_t access, HKey* result);
    long CreateLocked(HKey key, const char* subKey, std::uint32_t options, std::uint32_t access, HKey* result,
                      std::uint32_t* disposition);
    // RegQueryValueEx, ANSI or wide (text in UTF-16, as stored); a null name (a wide one the
    // process code page cannot write) names no value.
    long QueryValueLocked(RegOp op, HKey key, const std::string* name, bool wide, std::uint32_t* type,
                          std::uint8_t* data, std::uint32_t* dataSize);
    // RegEnumValue, ANSI or wide (name and text in UTF-16).
    long EnumValueLocked(RegOp op, HKey key, std::uint32_t index, bool wide, void* name, std::uint32_t* nameLength,
                         std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize);
    // RegSetValueEx, ANSI (string data converted from the code page) or wide (kept as given).
    long SetValueLocked(RegOp op, HKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                        std::uint32_t dataSize, bool ansiText);
    HKey NewHandle(std::shared_ptr<Node> node, std::uint32_t access);
    std::uint64_t WriteTime() const;
    long DeleteNode(const std::shared_ptr<Node>& node);

    mutable std::mutex mutex_;
    bool concurrent_ = false;
    DeletionStyle style_;
    std::shared_ptr<Node> localMachine_;
    std::shared_ptr<Node> users_;
    std::shared_ptr<Node> currentUser_;
    std::map<std::uintptr_t, Handle> handles_;
    std::uintptr_t nextHandle_ = 0x1000;
    std::optional<std::uint64_t> writeTime_;
    std::array<std::uint64_t, static_cast<std::size_t>(RegOp::Count)> calls_{};
    std::array<std::vector<Fault>, static_cast<std::size_t>(RegOp::Count)> faults_{};
};

}  // namespace tw
