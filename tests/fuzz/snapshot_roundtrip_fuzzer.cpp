// libFuzzer target: a branch made from the input (keys, value names in code page 1252, every
// value type 0..11 and a few others, with data of any shape: strings with bytes after their
// terminator, without one, of an odd size, empty data of any type) is written as a snapshot
// and read into an empty memory registry; the branch comes back with the same keys, names,
// types and bytes, every value written and no key left open.
#include "platform/codepage.h"
#include "platform/key_handle.h"
#include "platform/memory/memory_registry.h"
#include "snapshot/snapshot_reader.h"
#include "snapshot/snapshot_writer.h"
#include "snapshot_fuzz_input.h"
#include "strict_close_registry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kBranch = "Software\\Fuzz";

// The input, a byte at a time; zeros once it is used up.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
    unsigned Below(unsigned n) { return Next() % n; }
    bool Empty() const { return at_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Letters, what the file escapes or keeps as it stands, and characters of code page 1252 above
// ASCII (the undefined ones included). No line ends: a name's own text is not what this
// target is about.
std::string Name(Bytes& in, bool forKey)
{
    static constexpr char kPieces[] = "aZ7 &\"<>'\t=/%.\xe9\x80\xff\xdf\x81\x9d";
    std::string name;
    const unsigned length = in.Below(9) + (forKey ? 1 : 0);
    for (unsigned i = 0; i < length; ++i)
        name += kPieces[in.Below(sizeof kPieces - 1)];
    return name;
}

// Data of a type: random bytes, or text in UTF-16 shaped as strings are and are not.
std::vector<std::uint8_t> Data(Bytes& in)
{
    std::vector<std::uint8_t> data;
    switch (in.Below(4)) {
    case 0: {  // any bytes
        const unsigned length = in.Below(24);
        for (unsigned i = 0; i < length; ++i)
            data.push_back(in.Next());
        break;
    }
    case 1:
    case 2: {  // text: characters of code page 1252 or not, NULs, line ends; then a shape
        const unsigned length = in.Below(10);
        static constexpr char16_t kChars[] = u"ab &<\"\r\n\t\u00e9\u20ac\u0418\U0001F600";
        for (unsigned i = 0; i < length; ++i) {
            char16_t c = in.Below(8) == 0 ? u'\0' : kChars[in.Below(std::size(kChars) - 1)];
            data.push_back(static_cast<std::uint8_t>(c & 0xFF));
            data.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        const unsigned ends = in.Below(3);  // none, one or two terminators
        for (unsigned i = 0; i < ends; ++i) {
            data.push_back(0);
            data.push_back(0);
        }
        if (in.Below(4) == 0)
            data.push_back(in.Next());  // an odd last byte
        break;
    }
    default: break;  // no data
    }
    return data;
}

struct Value {
    std::u16string name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
};

void Fill(tw::Registry& registry, tw::HKey key, Bytes& in, int depth)
{
    const unsigned values = in.Below(6);
    for (unsigned i = 0; i < values && !in.Empty(); ++i) {
        std::string name = Name(in, false);
        if (tw::CompareTextNoCase(name, "(Default)") == 0)
            continue;  // the file's name of the unnamed value
        std::uint32_t type = in.Below(13);
        if (type == 12)
            type = 0x100u + in.Next();  // a type without a name
        const std::vector<std::uint8_t> data = Data(in);
        const std::u16string wide = tw::Cp1252ToUtf16(name);
        if (registry.SetValueExW(key, wide.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                                 static_cast<std::uint32_t>(data.size())) != tw::kSuccess)
            __builtin_trap();
    }
    if (depth >= 3)
        return;
    const unsigned subkeys = in.Below(4);
    for (unsigned i = 0; i < subkeys && !in.Empty(); ++i) {
        // The characters of code page 1252 in the process code page (UTF-8), as an ANSI call
        // would give the name the registry holds.
        std::string name = tw::Utf16ToAnsi(tw::Cp1252ToUtf16(Name(in, true)));
        tw::KeyHandle subkey(registry);
        if (registry.CreateKey(key, name.c_str(), subkey.Put()) != tw::kSuccess)
            __builtin_trap();
        Fill(registry, subkey.get(), in, depth + 1);
    }
}

// Every key's path and every value's name, type and bytes, as the registry keeps them, in
// the registry's order.
void Dump(tw::Registry& registry, tw::HKey key, const std::string& path, std::string& out)
{
    out += "[" + path + "]\n";
    for (std::uint32_t i = 0;; ++i) {
        char16_t name[64];
        std::uint8_t data[256];
        std::uint32_t length = 64, type = 0, size = sizeof data;
        if (registry.EnumValueW(key, i, name, &length, nullptr, &type, data, &size) != tw::kSuccess)
            break;
        out += tw::Utf16ToUtf8(std::u16string_view(name, length)) + " " + std::to_string(type) + ":";
        for (std::uint32_t b = 0; b < size; ++b)
            out += " " + std::to_string(data[b]);
        out += "\n";
    }
    for (std::uint32_t i = 0;; ++i) {
        char name[64];
        std::uint32_t length = sizeof name;
        if (registry.EnumKeyEx(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != tw::kSuccess)
            break;
        tw::KeyHandle subkey(registry);
        if (registry.OpenKey(key, name, subkey.Put()) != tw::kSuccess)
            __builtin_trap();
        Dump(registry, subkey.get(), path + "\\" + std::string(name, length), out);
    }
}

std::string DumpBranch(tw::Registry& registry)
{
    tw::KeyHandle key(registry);
    if (registry.OpenKey(tw::kCurrentUser, std::string(kBranch).c_str(), key.Put()) != tw::kSuccess)
        return "(missing)";
    std::string out;
    Dump(registry, key.get(), std::string(kBranch), out);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static tw::fuzz::InputFile input;
    const std::string fullPath = "HKEY_CURRENT_USER\\" + std::string(kBranch);

    tw::MemoryRegistry source;
    {
        Bytes in(data, size);
        tw::KeyHandle branch(source);
        if (source.CreateKey(tw::kCurrentUser, std::string(kBranch).c_str(), branch.Put()) != tw::kSuccess)
            __builtin_trap();
        Fill(source, branch.get(), in, 0);
    }
    const std::string before = DumpBranch(source);

    tw::XmlWriter writer(input.system());
    writer.SetFileName("C:\\round.xml");
    tw::XmlElement root("registry");
    root.WriteStartTag(writer, +1, true, true);
    if (!tw::WriteBranchSnapshot(writer, source, input.system(), fullPath))
        __builtin_trap();
    root.WriteEndTag(writer, -1, true, true);
    if (!writer.Close())
        return 0;  // the scratch file could not be written: nothing to learn

    tw::MemoryRegistry memory;
    tw::fuzz::StrictCloseRegistry restored(memory);
    tw::XmlReader reader(input.system());
    tw::RestoreReport report;
    if (!tw::RestoreSnapshotFile(reader, "C:\\round.xml", tw::RestoreTarget{restored, input.system(), {}}, &report))
        __builtin_trap();
    if (!reader.Error().empty() || report.valuesFailed != 0)
        __builtin_trap();  // the writer's file does not read back whole
    if (memory.OpenHandleCount() != 0)
        __builtin_trap();
    if (DumpBranch(memory) != before)
        __builtin_trap();  // a key, name, type or byte came back otherwise
    return 0;
}
