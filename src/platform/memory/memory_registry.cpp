#include "platform/memory/memory_registry.h"

#include "platform/calendar.h"
#include "platform/codepage.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace tw {

struct MemoryRegistry::Node {
    struct Value {
        std::string name;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };

    std::string name;
    std::weak_ptr<Node> parent;
    std::vector<std::shared_ptr<Node>> subkeys;  // sorted by name, case-insensitive
    std::vector<Value> values;                   // sorted by name, case-insensitive
    std::string keyClass;
    bool deleted = false;
    bool isRoot = false;
    bool isLink = false;
    bool refusesWrite = false;
    std::uint64_t stamp = 0;  // last-write time, in FILETIME ticks

    template <class Vec, class Get>
    static auto LowerBound(Vec& v, std::string_view name, Get get)
    {
        return std::lower_bound(v.begin(), v.end(), name, [&](const auto& item, std::string_view n) {
            return CompareNamesNoCase(get(item), n) < 0;
        });
    }

    std::shared_ptr<Node> FindSubkey(std::string_view n)
    {
        auto it = LowerBound(subkeys, n, [](const std::shared_ptr<Node>& k) -> std::string_view { return k->name; });
        if (it != subkeys.end() && CompareNamesNoCase((*it)->name, n) == 0)
            return *it;
        return nullptr;
    }
    std::shared_ptr<Node> AddSubkey(std::string_view n, const std::shared_ptr<Node>& self)
    {
        auto it = LowerBound(subkeys, n, [](const std::shared_ptr<Node>& k) -> std::string_view { return k->name; });
        auto child = std::make_shared<Node>();
        child->name = std::string(n);
        child->parent = self;
        subkeys.insert(it, child);
        return child;
    }
    Value* FindValue(std::string_view n)
    {
        auto it = LowerBound(values, n, [](const Value& v) -> std::string_view { return v.name; });
        if (it != values.end() && CompareNamesNoCase(it->name, n) == 0)
            return &*it;
        return nullptr;
    }
    void SetValue(std::string_view n, std::uint32_t type, const std::uint8_t* data, std::uint32_t size)
    {
        auto it = LowerBound(values, n, [](const Value& v) -> std::string_view { return v.name; });
        if (it == values.end() || CompareNamesNoCase(it->name, n) != 0)
            it = values.insert(it, Value{std::string(n), 0, {}});
        it->type = type;
        it->data.assign(data, data + size);
    }
    bool EraseValue(std::string_view n)
    {
        auto it = LowerBound(values, n, [](const Value& v) -> std::string_view { return v.name; });
        if (it == values.end() || CompareNamesNoCase(it->name, n) != 0)
            return false;
        values.erase(it);
        return true;
    }
    void EraseSubkey(const Node* child)
    {
        auto it = std::find_if(subkeys.begin(), subkeys.end(), [&](const auto& k) { return k.get() == child; });
        if (it != subkeys.end())
            subkeys.erase(it);
    }
};

namespace {

bool IsStringType(std::uint32_t type)
{
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

// The code page of the ANSI calls: names are kept in it, string data is kept in UTF-16 and
// goes through it on the way to and from an ANSI call. Every conversion is made here.
std::u16string WidenFromCodePage(std::string_view text)
{
    return AnsiToUtf16(text);
}
std::string NarrowToCodePage(std::u16string_view text)
{
    return Utf16ToAnsi(text);
}

// The UTF-16 bytes of text in the code page, as RegSetValueExA stores string data.
std::vector<std::uint8_t> StoredFromAnsi(const std::uint8_t* data, std::uint32_t size)
{
    const std::u16string wide = WidenFromCodePage(std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<std::uint8_t> bytes(wide.size() * sizeof(char16_t));
    for (std::size_t i = 0; i < wide.size(); ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(wide[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(wide[i] >> 8);
    }
    return bytes;
}

// Stored string data as the ANSI calls give it: each whole UTF-16 character through the code
// page; an odd last byte is not read (RtlUnicodeToMultiByteSize counts characters).
std::string AnsiFromStored(const std::vector<std::uint8_t>& data)
{
    // ASCII is the same in every code page: most text needs no conversion.
    std::string ascii(data.size() / 2, '\0');
    bool isAscii = true;
    for (std::size_t i = 0; i < ascii.size() && isAscii; ++i) {
        isAscii = data[2 * i] < 0x80 && data[2 * i + 1] == 0;
        ascii[i] = static_cast<char>(data[2 * i]);
    }
    if (isAscii)
        return ascii;
    std::u16string wide(data.size() / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return NarrowToCodePage(wide);
}

// A wide name in the code page names are kept in; false when the code page cannot write it.
bool NameInCodePage(std::u16string_view wide, std::string* name)
{
    *name = NarrowToCodePage(wide);
    return WidenFromCodePage(*name) == wide;
}

// A value's data as an ANSI or a wide call gives it: the ANSI calls narrow string data to the
// code page (into `text`, which then holds the bytes). Returns the size in bytes.
std::uint32_t DataAsCalled(const MemoryRegistry::Node::Value& v, bool wide, std::string* text, const std::uint8_t** bytes)
{
    if (!wide && IsStringType(v.type)) {
        *text = AnsiFromStored(v.data);
        *bytes = reinterpret_cast<const std::uint8_t*>(text->data());
        return static_cast<std::uint32_t>(text->size());
    }
    *bytes = v.data.data();
    return static_cast<std::uint32_t>(v.data.size());
}

// The longest data RegQueryInfoKeyA reports: that of the stored form, which for strings is
// UTF-16, twice the size of single-byte text.
std::uint32_t StoredSize(const MemoryRegistry::Node::Value& v)
{
    return static_cast<std::uint32_t>(v.data.size());
}

constexpr std::size_t kMaxKeyNameLength = 255;  // UTF-16 code units, as the registry counts

// A name's length as the registry counts it: UTF-16 code units.
std::uint32_t StoredLength(std::string_view name)
{
    for (char c : name)
        if (static_cast<unsigned char>(c) >= 0x80)
            return static_cast<std::uint32_t>(AnsiToUtf16(name).size());
    return static_cast<std::uint32_t>(name.size());
}
// Links that lead to links are followed this many times at most.
constexpr int kMaxLinkDepth = 16;

// The rights that change a key: a key that refuses write access refuses an open asking
// for any of them (GENERIC_WRITE and GENERIC_ALL included).
constexpr std::uint32_t kWriteRights =
    kKeySetValue | kKeyCreateSubKey | kKeyCreateLink | kDelete | kWriteDac | kWriteOwner | 0x40000000u | 0x10000000u;

// The rights an open asking for `desired` gets on `node`; false when they are refused.
// MAXIMUM_ALLOWED gets whatever the key allows.
bool Grant(const MemoryRegistry::Node& node, std::uint32_t desired, std::uint32_t* granted)
{
    if (desired & kMaximumAllowed) {
        *granted = node.refusesWrite ? kKeyRead : kKeyAllAccess;
        return true;
    }
    if (node.refusesWrite && (desired & kWriteRights))
        return false;
    *granted = desired;
    return true;
}

// The target of a link: its REG_LINK value "SymbolicLinkValue", UTF-16 without terminator.
std::string LinkTarget(const MemoryRegistry::Node& link)
{
    for (const auto& v : link.values) {
        if (CompareNamesNoCase(v.name, "SymbolicLinkValue") != 0 || v.type != kRegLink)
            continue;
        std::u16string wide;
        for (std::size_t i = 0; i + 1 < v.data.size(); i += 2)
            wide.push_back(static_cast<char16_t>(v.data[i] | (v.data[i + 1] << 8)));
        while (!wide.empty() && wide.back() == u'\0')
            wide.pop_back();
        return NarrowToCodePage(wide);
    }
    return {};
}

// Takes `prefix` and the backslash after it from the front of `path`, without regard to case.
bool TakePrefix(std::string_view* path, std::string_view prefix)
{
    if (path->size() < prefix.size() || CompareNamesNoCase(path->substr(0, prefix.size()), prefix) != 0)
        return false;
    if (path->size() > prefix.size() && (*path)[prefix.size()] != '\\')
        return false;
    path->remove_prefix(std::min(path->size(), prefix.size() + 1));
    return true;
}

}  // namespace

MemoryRegistry::MemoryRegistry(DeletionStyle style)
    : style_(style),
      localMachine_(std::make_shared<Node>()),
      users_(std::make_shared<Node>()),
      currentUser_(std::make_shared<Node>())
{
    for (auto* root : {&localMachine_, &users_, &currentUser_})
        (*root)->isRoot = true;
}

MemoryRegistry::~MemoryRegistry() = default;

long MemoryRegistry::Begin(RegOp op)
{
    auto i = static_cast<std::size_t>(op);
    std::uint64_t call = ++calls_[i];
    for (const Fault& f : faults_[i])
        if (call == f.atCall || (f.sticky && call > f.atCall))
            return f.status;
    return kSuccess;
}

void MemoryRegistry::InjectFault(RegOp op, std::uint64_t nth, long status, bool sticky)
{
    std::lock_guard lock(mutex_);
    auto i = static_cast<std::size_t>(op);
    faults_[i].push_back(Fault{calls_[i] + (nth == 0 ? 1 : nth), status, sticky});
}

bool MemoryRegistry::RefuseWriteAccess(HKey root, std::string_view path, bool refuse)
{
    std::lock_guard lock(mutex_);
    std::shared_ptr<Node> base = RootNode(root);
    std::shared_ptr<Node> node;
    if (!base || Walk(base, path, WalkOptions{}, &node) != kSuccess || node->isRoot)
        return false;
    node->refusesWrite = refuse;
    return true;
}

void MemoryRegistry::ClearFaults()
{
    std::lock_guard lock(mutex_);
    for (auto& f : faults_)
        f.clear();
}

std::uint64_t MemoryRegistry::CallCount(RegOp op) const
{
    std::lock_guard lock(mutex_);
    return calls_[static_cast<std::size_t>(op)];
}

std::size_t MemoryRegistry::OpenHandleCount() const
{
    std::lock_guard lock(mutex_);
    return handles_.size();
}

void MemoryRegistry::SetWriteTime(std::optional<FileTime> time)
{
    std::lock_guard lock(mutex_);
    writeTime_.reset();
    if (time)
        writeTime_ = FileTimeTicks(*time);
}

std::uint64_t MemoryRegistry::WriteTime() const
{
    return writeTime_ ? *writeTime_ : FileTimeTicks(HostFileTimeNow());
}

std::size_t MemoryRegistry::KeyCount() const
{
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    std::vector<const Node*> stack{localMachine_.get(), users_.get(), currentUser_.get()};
    while (!stack.empty()) {
        const Node* n = stack.back();
        stack.pop_back();
        ++count;
        for (const auto& k : n->subkeys)
            stack.push_back(k.get());
    }
    return count;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::RootNode(HKey key)
{
    auto path = [&](std::initializer_list<const char*> parts) {
        std::shared_ptr<Node> n = localMachine_;
        for (const char* p : parts) {
            auto next = n->FindSubkey(p);
            if (!next)
                next = n->AddSubkey(p, n);
            n = next;
        }
        return n;
    };
    if (key == kLocalMachine)
        return localMachine_;
    if (key == kUsers)
        return users_;
    if (key == kCurrentUser)
        return currentUser_;
    if (key == kClassesRoot)
        return path({"Software", "Classes"});
    if (key == kCurrentConfig)
        return path({"System", "CurrentControlSet", "Hardware Profiles", "Current"});
    return nullptr;
}

long MemoryRegistry::Resolve(HKey key, std::uint32_t needed, std::shared_ptr<Node>* node)
{
    if (IsPredefinedKey(key)) {
        *node = RootNode(key);
        return *node ? kSuccess : kErrorInvalidHandle;
    }
    auto it = handles_.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == handles_.end())
        return kErrorInvalidHandle;
    if (it->second.node->deleted)
        return kErrorKeyDeleted;
    if ((it->second.access & needed) != needed)
        return kErrorAccessDenied;
    *node = it->second.node;
    return kSuccess;
}

long MemoryRegistry::Walk(const std::shared_ptr<Node>& from, std::string_view path, WalkOptions options,
                          std::shared_ptr<Node>* node, bool* created, int depth)
{
    if (!path.empty() && path.front() == '\\')
        return 161;  // ERROR_BAD_PATHNAME: a path may not begin with a backslash
    std::shared_ptr<Node> n = from;
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t end = path.find('\\', pos);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > pos) {  // repeated backslashes separate like one
            std::string_view part = path.substr(pos, end - pos);
            const bool last = path.find_first_not_of('\\', end) == std::string_view::npos;
            auto next = n->FindSubkey(part);
            if (!next && !options.create)
                return kErrorFileNotFound;
            if (!next) {
                if (StoredLength(part) > kMaxKeyNameLength)
                    return kErrorInvalidParameter;
                if (n->refusesWrite)
                    return kErrorAccessDenied;  // no right to make a subkey here
                next = n->AddSubkey(part, n);
                next->stamp = n->stamp = WriteTime();
                next->isLink = last && options.makeLink;
                if (created)
                    *created = true;
            } else if (next->isLink && !(last && options.openLink)) {
                if (long status = FollowLink(next, options.create, &next, depth))
                    return status;
            }
            n = next;
        }
        pos = end + 1;
    }
    *node = n;
    return kSuccess;
}

long MemoryRegistry::FollowLink(const std::shared_ptr<Node>& link, bool create, std::shared_ptr<Node>* node,
                                int depth)
{
    if (depth >= kMaxLinkDepth)
        return kErrorFileNotFound;
    std::string target = LinkTarget(*link);
    std::string_view rest = target;
    std::shared_ptr<Node> root;
    if (TakePrefix(&rest, "\\REGISTRY\\MACHINE"))
        root = localMachine_;
    else if (TakePrefix(&rest, "\\REGISTRY\\USER"))
        root = users_;
    else
        return kErrorFileNotFound;
    WalkOptions options;
    options.create = create;
    return Walk(root, rest, options, node, nullptr, depth + 1);
}

HKey MemoryRegistry::NewHandle(std::shared_ptr<Node> node, std::uint32_t access)
{
    std::uintptr_t value = nextHandle_;
    nextHandle_ += 4;
    handles_[value] = Handle{std::move(node), access};
    return reinterpret_cast<HKey>(value);
}

long MemoryRegistry::OpenLocked(HKey key, const char* subKey, std::uint32_t options, std::uint32_t access,
                                HKey* result)
{
    if (!result)
        return kErrorInvalidParameter;
    std::shared_ptr<Node> base;
    long status = Resolve(key, 0, &base);
    if (status != kSuccess)
        return status;
    std::shared_ptr<Node> node;
    WalkOptions walk;
    walk.openLink = (options & kRegOptionOpenLink) != 0;
    status = Walk(base, subKey ? subKey : "", walk, &node);
    if (status != kSuccess)
        return status;
    // RegOpenKey with an empty subkey on a predefined root gives the root itself.
    if (IsPredefinedKey(key) && (!subKey || !*subKey)) {
        *result = key;
        return kSuccess;
    }
    std::uint32_t granted = 0;
    if (!Grant(*node, access, &granted))
        return kErrorAccessDenied;
    *result = NewHandle(node, granted);
    return kSuccess;
}

long MemoryRegistry::OpenKey(HKey key, const char* subKey, HKey* result)
{
    std::lock_guard lock(mutex_);
    if (long f = Begin(RegOp::OpenKey))
        return f;
    // RegOpenKeyA without a subkey hands back the very handle it was given, not a new one:
    // a caller that closes both closes the key twice.
    if (result && (!subKey || !*subKey)) {
        *result = key;
        return kSuccess;
    }
    return OpenLocked(key, subKey, 0, kMaximumAllowed, result);
}

long MemoryRegistry::OpenKeyEx(HKey key, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                               HKey* result)
{
    std::lock_guard lock(mutex_);
    if (long f = Begin(RegOp::OpenKeyEx))
        return f;
    return OpenLocked(key, subKey, options, samDesired, result);
}

long MemoryRegistry::CreateLocked(HKey key, const char* subKey, std::uint32_t options, std::uint32_t access,
                                  HKey* result, std::uint32_t* disposition)
{
    if (!result)
        return kErrorInvalidParameter;
    std::shared_ptr<Node> n;
    long status = Resolve(key, 0, &n);
    if (status != kSuccess)
        return status;
    std::string_view path = subKey ? subKey : "";
    WalkOptions walk;
    walk.create = true;
    walk.makeLink = walk.openLink = (options & kRegOptionCreateLink) != 0;
    bool created = false;
    status = Walk(n, path, walk, &n, &created);
    if (status != kSuccess)
        return status;
    if (walk.makeLink && !created)
        return kErrorAlreadyExists;
    if (IsPredefinedKey(key) && path.empty()) {
        if (disposition)
            *disposition = kRegOpenedExistingKey;
        *result = key;
        return kSuccess;
    }
    std::uint32_t granted = 0;
    if (!Grant(*n, access, &granted))
        return kErrorAccessDenied;
    if (disposition)
        *disposition = created ? kRegCreatedNewKey : kRegOpenedExistingKey;
    *result = NewHandle(n, granted);
    return kSuccess;
}

long MemoryRegistry::CreateKey(HKey key, const char* subKey, HKey* result)
{
    std::lock_guard lock(mutex_);
    if (long f = Begin(RegOp::CreateKey))
        return f;
    return CreateLocked(key, subKey, 0, kMaximumAllowed, result, nullptr);
}

long MemoryRegistry::CreateKeyEx(HKey key, const char* subKey, std::uint32_t, const char* keyClass,
                                 std::uint32_t options, std::uint32_t samDesired, void*, HKey* result,
                                 std::uint32_t* disposition)
{
    std::lock_guard lock(mutex_);
    if (long f = Begin(RegOp::CreateKeyEx))
        return f;
    std::uint32_t disp = 0;
    long status = CreateLocked(key, subKey, options, samDesired, result, &disp);
    if (status == kSuccess && disp == kRegCreatedNewKey && keyClass) {
        std::shared_ptr<Node> n;
        if (Resolve(*result, 0, &n) == kSuccess)
            n->keyClass = keyClass;
    }
    if (disposition && status == kSuccess)
        *disposition = disp;
    return status;
}

long MemoryRegistry::EnumKeyEx(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength,
                               std::uint32_t*, char* keyClass, std::uint32_t* classLength, FileTime* lastWriteTime)
{
    std::lock_guard lock(mutex_);
    if (long f = Begin(RegOp::EnumKeyEx))
        return f;
    std::shared_ptr<Node> n;
    if (long status = Resolve(key, kKeyEnumerateSubKeys, &n))
        return status;
    if (!name || !nameLength)
        return kErrorInvalidParameter;
    if (index >= n->subkeys.size())
        return kErrorNoMoreItems;
    const Node& child = *n->subkeys[index];
    if (child.name.size() >= *nameLength)
        return kErrorMoreData;
    std::memcpy(name, child.name.c_str(), child.name.size() + 1);
    *nameLength = static_cast<std::uint32_t>(child.name.size());
    if (keyClass && classLength) {
        if (child.keyClass.size() >= *classLength)
            return kErrorMoreData;
        std::memcpy(keyClass, child.keyClass.c_str(), child.keyClass.size() + 1);
        *classLength = static_cast<std::uint32_t>(child.keyClass.size());
    }
    if (lastWriteTime)
        *lastWriteTime = FileTimeFromTicks(child.stamp);
    return kSuccess;
}

long MemoryRegistry::EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameLength,
                               std::uint32_t*, std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize)
{
    std::lock_guard lock(mutex_);
    return EnumValueLocked(RegOp::EnumValue, key, index, false, name, nameLength, type, data, dataSize);
}

long MemoryRegistry::EnumValueW(HKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameLength,
                                std::uint32_t*, std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize)
{
    std::lock_guard lock(mutex_);
    return EnumValueLocked(RegOp::EnumValueW, key, index, true, name, nameLength, type, data, dataSize);
}

long MemoryRegistry::EnumValueLocked(RegOp op, HKey key, std::uint32_t index, bool wide, void* name,
                                     std::uint32_t* nameLength, std::uint32_t* type, std::uint8_t* data,
                                     std::uint32_t* dataSize)
{
    if (long f = Begin(op))
        return f;
    std::shared_ptr<Node> n;
    if (long status = Resolve(key, kKeyQueryValue, &n))
        return status;
    if (!name || !nameLength)
        return kErrorInvalidParameter;
    if (data && !dataSize)
        return kErrorInvalidParameter;
    if (index >= n->values.size())
        return kErrorNoMoreItems;
    const Node::Value& v = n->values[index];
    // The ANSI call counts the name in bytes, the wide one in UTF-16 code units.
    std::u16string wideName;
    if (wide)
        wideName = WidenFromCodePage(v.name);
    if ((wide ? wideName.size() : v.name.size()) >= *nameLength)
        return kErrorMoreData;
    std::string text;
    const std::uint8_t* bytes = nullptr;
    const std::uint32_t size = DataAsCalled(v, wide, &text, &bytes);
    if (data && size > *dataSize) {
        *dataSize = size;
        return kErrorMoreData;
    }
    if (wide)
        std::memcpy(name, wideName.c_str(), (wideName.size() + 1) * sizeof(char16_t));
    else
        std::memcpy(name, v.name.c_str(), v.name.size() + 1);
    *nameLength = static_cast<std::uint32_t>(wide ? wideName.size() : v.name.size());
    if (type)
        *type = v.type;
    if (data && size)
        std::memcpy(data, bytes, size);
    if (dataSize)
        *dataSize = size;
    return kSuccess;
}

long MemoryRegistry::QueryInfoKey(HKey key, char* keyClass, std::uint32_t* classLength, std::uint32_t*,
                                  std::uint32_t* subKeys, std::uint32_t* maxSubKeyLength,
                                  std::uint32_t* maxClassLength, std::uint32_t* values,
                                  std::uint32_t* maxValueNameLength, std::uint32_t* maxValueLength,
                                  std::uint32_t* securityDescriptorSize, FileTime* lastWriteTime)
{
    std::lock_guard lock(mutex_);
    if (long f = Begin(RegOp::QueryInfoKey))
        return f;
    std::shared_ptr<Node> n;
    if (long status = Resolve(key, kKeyQueryValue, &n))
        return status;
    if (keyClass && classLength) {
        if (n->keyClass.size() >= *classLength)
            return kErrorMoreData;
        std::memcpy(keyClass, n->keyClass.c_str(), n->keyClass.size() + 1);
    }
    if (classLength)
        *classLength = static_cast<std::uint32_t>(n->keyClass.size());
    std::uint32_t maxSub = 0, maxClass = 0, maxName = 0, maxData = 0;
    for (const auto& k : n->subkeys) {
        // Lengths in UTF-16 code units, as the registry keeps names: fewer than the bytes a
        // UTF-8 name takes, so a buffer sized from them alone can be too small.
        maxSub = std::max(maxSub, StoredLength(k->name));
        maxClass = std::max(maxClass, static_cast<std::uint32_t>(k->keyClass.size()));
    }
    for (const auto& v : n->values) {
        maxName = std::max(maxName, StoredLength(v.name));
        maxData = std::max(maxData, StoredSize(v));
    }
    if (subKeys)
        *subKeys = static_cast<std::uint32_t>(n->subkeys.size());
    if (maxSubKeyLength)
        *maxSubKeyLength = maxSub;
    if (maxClassLength)
        *maxClassLength = maxClass;
    if (values)
        *values = static_cast<std::uint32_t>(n->values.size());
    if (maxValueNameLength)
        *maxValueNameLength = maxName;
    if (maxValueLength)
        *maxValueLength = maxData;
    if (securityDescriptorSize)
        *securityDescriptorSize = 0;
    if (lastWriteTime)
        *lastWriteTime = FileTimeFromTicks(n->stamp);
    return kSuccess;
}

long MemoryRegistry::QueryValueLocked(RegOp op, HKey key, const std::string* name, bool wide, std::uint32_t* type,
                                      std::uint8_t* data, std::uint32_t* dataSize)
{
    if (long f = Begin(op))
        return f;
    std::shared_ptr<Node> n;
    if (long status = Resolve(key, kKeyQueryValue, &n))
        return status;
    if (data && !dataSize)
        return kErrorInvalidParameter;
    const Node::Value* v = name ? n->FindValue(*name) : nullptr;
    if (!v)
        return kErrorFileNotFound;
    std::string text;
    const std::uint8_t* bytes = nullptr;
    const std::uint32_t size = DataAsCalled(*v, wide, &text, &bytes);
    if (type)
        *type = v->type;
    if (data && size > *dataSize) {
        *dataSize = size;
        return kErrorMoreData;
    }
    if (data && size)
        std::memcpy(data, bytes, size);
    if (dataSize)
        *dataSize = size;
    return kSuccess;
}

long MemoryRegistry::QueryValueEx(HKey key, const char* valueName, std::uint32_t*, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* dataSize)
{
    std::lock_guard lock(mutex_);
    const std::string name = valueName ? valueName : "";
    return QueryValueLocked(RegOp::QueryValueEx, key, &name, false, type, data, dataSize);
}

long MemoryRegistry::QueryValueExW(HKey key, const char16_t* valueName, std::uint32_t*, std::uint32_t* type,
                                   std::uint8_t* data, std::uint32_t* dataSize)
{
    std::lock_guard lock(mutex_);
    std::u16string_view wideName = valueName ? std::u16string_view(valueName) : std::u16string_view();
    std::string name;
    const bool written = NameInCodePage(wideName, &name);
    return QueryValueLocked(RegOp::QueryValueExW, key, written ? &name : nullptr, true, type, data, dataSize);
}

long MemoryRegistry::QueryValue(HKey key, const char* subKey, char* data, std::int32_t* dataSize)
{
    std::lock_guard lock(mutex_);
    if (long f = Begin(RegOp::QueryValue))
        return f;
    std::shared_ptr<Node> base;
    if (long status = Resolve(key, 0, &base))
        return status;
    std::shared_ptr<Node> n;
    if (long status = Walk(base, subKey ? subKey : "", WalkOptions{}, &n))
        return status;
    if (data && !dataSize)
        return kErrorInvalidParameter;
    const Node::Value* v = n->FindValue("");
    if (!v) {
        // A key without an unnamed value reads as the empty text.
        if (data && dataSize && *dataSize > 0)
            data[0] = '\0';
        if (dataSize)
            *dataSize = 1;
        return kSuccess;
    }
    std::string text;
    const std::uint8_t* bytes = nullptr;
    auto size = static_cast<std::int32_t>(DataAsCalled(*v, false, &text, &bytes));
    if (data && size > *dataSize) {
        *dataSize = size;
        return kErrorMoreData;
    }
    if (data && size)
        std::memcpy(data, bytes, static_cast<std::size_t>(size));
    if (dataSize)
        *dataSize = size;
    return kSuccess;
}

long MemoryRegistry::SetValueLocked(RegOp op, HKey key, const std::string& name, std::uint32_t type,
                                    const std::uint8_t* data, std::uint32_t dataSize, bool ansiText)
{
    if (long f = Begin(op))
        return f;
    std::shared_ptr<Node> n;
    if (long status = Resolve(key, kKeySetValue, &n))
        return status;
    if (!data && dataSize)
        return kErrorNoAccessToData;
    if (ansiText && IsStringType(type) && data) {
        // Text in the code page is kept as UTF-16, as RegSetValueExA converts it.
        const std::vector<std::uint8_t> stored = StoredFromAnsi(data, dataSize);
        n->SetValue(name, type, stored.data(), static_cast<std::uint32_t>(stored.size()));
    } else {
        n->SetValue(name, type, data, data ? dataSize : 0);
    }
    n->stamp = WriteTime();
    return kSuccess;
}

long MemoryRegistry::SetValueEx(HKey key, const char* valueName, std::uint32_t, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t dataSize)
{
    std::lock_guard lock(mutex_);
    return SetValueLocked(RegOp::SetValueEx, key, valueName ? valueName : "", type, data, dataSize, true);
}

long MemoryRegistry::SetValueExW(HKey key, const char16_t* valueName, std::uint32_t, std::uint32_t type,
                                 const std::uint8_t* data, std::uint32_t dataSize)
{
    std::lock_guard lock(mutex_);
    std::string name;
    if (!NameInCodePage(valueName ? std::u16string_view(valueName) : std::u16string_view(), &name)) {
        if (long f = Begin(RegOp::SetValueExW))
            return f;
        return kErrorInvalidParameter;  // names are kept in the code page
    }
    return SetValueLocked(RegOp::SetValueExW, key, name, type, data, dataSize, false);
}

long MemoryRegistry::DeleteNode(const std::shared_ptr<Node>& node)
{
    if (node->isRoot || !node->parent.lock())
        return kErrorAccessDenied;
    if (node->refusesWrite || (style_ == DeletionStyle::WindowsNT && !node->subkeys.empty()))
        return kErrorAccessDenied;
    std::vector<Node*> stack{node.get()};
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        n->deleted = true;
        for (const auto& k : n->subkeys)
            stack.push_back(k.get());
    }
    std::shared_ptr<Node> parent = node->parent.lock();
    parent->EraseSubkey(node.get());
    parent->stamp = WriteTime();
    return kSuccess;
}

long MemoryRegistry::DeleteKey(HKey key, const char* subKey)
{
    std::lock_guard lock(mutex_);
    if (long f = Begin(RegOp::DeleteKey))
        return f;
    if (!subKey)
        return kErrorInvalidParameter;
    std::shared_ptr<Node> base;
    if (long status = Resolve(key, 0, &base))
        return status;
    std::shared_ptr<Node> n;
    if (long status = Walk(base, subKey, WalkOptions{}, &n))
        return status;
    return DeleteNode(n);
}

long MemoryRegistry::DeleteOpenKey(HKey key)
{
    std::lock_guard lock(mutex_);
    if (long f = Begin(RegOp::DeleteOpenKey))
        return f;
    if (style_ == DeletionStyle::Windows9x)
        return kErrorCallNotImplemented;
    if (IsPredefinedKey(key))
        return kErrorAccessDenied;
    std::shared_ptr<Node> n;
    if (long status = Resolve(key, kDelete, &n))
        return status;
    return DeleteNode(n);
}

long MemoryRegistry::DeleteValue(HKey key, const char* valueName)
{
    std::lock_guard lock(mutex_);
    if (long f = Begin(RegOp::DeleteValue))
        return f;
    std::shared_ptr<Node> n;
    if (long status = Resolve(key, kKeySetValue, &n))
        return status;
    if (!n->EraseValue(valueName ? valueName : ""))
        return kErrorFileNotFound;
    n->stamp = WriteTime();
    return kSuccess;
}

long MemoryRegistry::CloseKey(HKey key)
{
    std::lock_guard lock(mutex_);
    if (long f = Begin(RegOp::CloseKey))
        return f;
    if (IsPredefinedKey(key))
        return kSuccess;
    return handles_.erase(reinterpret_cast<std::uintptr_t>(key)) ? kSuccess : kErrorInvalidHandle;
}

long MemoryRegistry::CopyKey(HKey source, const char* subKey, HKey destination, std::uint32_t)
{
    std::lock_guard lock(mutex_);
    if (long f = Begin(RegOp::CopyKey))
        return f;
    std::shared_ptr<Node> base, from, to;
    if (long status = Resolve(source, 0, &base))
        return status;
    if (long status = Walk(base, subKey ? subKey : "", WalkOptions{}, &from))
        return status;
    if (long status = Resolve(destination, 0, &to))
        return status;
    // Take the whole source first, so that copying a key into its own subtree ends.
    struct Item {
        std::string path;  // relative to the source, "" for the source itself
        std::vector<Node::Value> values;
    };
    std::vector<Item> items;
    std::vector<std::pair<std::shared_ptr<Node>, std::string>> stack{{from, ""}};
    while (!stack.empty()) {
        auto [node, path] = stack.back();
        stack.pop_back();
        items.push_back({path, node->values});
        for (const auto& child : node->subkeys)
            stack.emplace_back(child, path.empty() ? child->name : path + "\\" + child->name);
    }
    WalkOptions create;
    create.create = true;
    for (const Item& item : items) {
        std::shared_ptr<Node> target;
        if (long status = Walk(to, item.path, create, &target))
            return status;
        if (target->refusesWrite && !item.values.empty())
            return kErrorAccessDenied;
        for (const auto& v : item.values)
            target->SetValue(v.name, v.type, v.data.data(), static_cast<std::uint32_t>(v.data.size()));
        if (!item.values.empty())
            target->stamp = WriteTime();
    }
    return kSuccess;
}

}  // namespace tw
