// The ignore list as the registry keeps it: what Add writes, what Load reads back (any
// script, backslashes, empty value names), how entries compare, duplicates, and what a
// failed write leaves.
#include "scan/ignore_list.h"

#include "platform/forwarding_registry.h"
#include "platform/memory/memory_registry.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

std::optional<std::string> Text(Registry& registry, const std::string& path, const char* name)
{
    std::uint32_t type = 0;
    Bytes data;
    if (!GetValue(registry, kCurrentUser, path, name, &type, &data) || type != kRegSz || data.empty())
        return std::nullopt;
    return std::string(data.begin(), data.end() - 1);
}

IgnoredEntry Value(const std::string& key, const std::string& name)
{
    return {key, name};
}

IgnoredEntry WholeKey(const std::string& key)
{
    return {key, std::nullopt};
}

TEST(IgnoreList, EntriesOfAnyScriptAndShapeReadBackExactly)
{
    MemoryRegistry registry;
    const std::vector<IgnoredEntry> written = {
        Value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Программа\\Run", "Запуск"),
        Value("HKEY_CURRENT_USER\\Software\\日本語", "a\\b\\c"),
        Value("HKEY_CLASSES_ROOT\\.zzz", ""),
        WholeKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone 😀.exe"),
    };
    {
        IgnoreList list(registry);
        ASSERT_EQ(kSuccess, list.Load());
        for (const IgnoredEntry& e : written)
            EXPECT_EQ(IgnoreResult::Added, list.Add(e));
    }
    IgnoreList again(registry);
    ASSERT_EQ(kSuccess, again.Load());
    ASSERT_EQ(written.size(), again.entries().size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(written[i].keyPath, again.entries()[i].keyPath);
        EXPECT_EQ(written[i].valueName, again.entries()[i].valueName);
        EXPECT_TRUE(again.Contains(written[i]));
    }
}

TEST(IgnoreList, EachEntryIsASubkeyWithKeyAndValueStrings)
{
    MemoryRegistry registry;
    IgnoreList list(registry);
    list.Load();
    list.Add(Value("HKEY_CLASSES_ROOT\\.zzz", "a\\b"));
    list.Add(WholeKey("HKEY_CLASSES_ROOT\\.yyy"));
    EXPECT_EQ("HKEY_CLASSES_ROOT\\.zzz", Text(registry, "Software\\Tarnwick\\Ignored\\1", "Key"));
    EXPECT_EQ("a\\b", Text(registry, "Software\\Tarnwick\\Ignored\\1", "Value"));
    EXPECT_EQ("HKEY_CLASSES_ROOT\\.yyy", Text(registry, "Software\\Tarnwick\\Ignored\\2", "Key"));
    // The key itself: no "Value" at all, which an empty value name would be.
    EXPECT_EQ(std::nullopt, Text(registry, "Software\\Tarnwick\\Ignored\\2", "Value"));
}

TEST(IgnoreList, KeysAndValueNamesCompareAsTheRegistryComparesNames)
{
    MemoryRegistry registry;
    IgnoreList list(registry);
    list.Load();
    list.Add(Value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Программа\\Run", "Запуск"));
    list.Add(WholeKey("HKEY_CLASSES_ROOT\\CLSID\\{ABC}"));
    list.Add(Value("HKEY_CLASSES_ROOT\\.zzz", ""));

    EXPECT_TRUE(list.Contains(Value("hkey_local_machine\\software\\программа\\RUN", "запуск")));
    EXPECT_FALSE(list.Contains(Value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Программа\\Run", "Запуск2")));
    EXPECT_FALSE(list.Contains(Value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Программа", "Запуск")));
    // A key entry stands for the key's own finding, not for the values in it.
    EXPECT_TRUE(list.Contains(EntryOfFinding("HKEY_CLASSES_ROOT\\clsid\\{abc}", "KEY", "anything")));
    EXPECT_FALSE(list.Contains(EntryOfFinding("HKEY_CLASSES_ROOT\\CLSID\\{ABC}", "VAL", "InprocServer32")));
    // The scan names the unnamed value "(Default)".
    EXPECT_TRUE(list.Contains(EntryOfFinding("HKEY_CLASSES_ROOT\\.zzz", "VAL", "(Default)")));
}

TEST(IgnoreList, AnEntryAddedTwiceIsOneEntry)
{
    MemoryRegistry registry;
    IgnoreList list(registry);
    list.Load();
    EXPECT_EQ(IgnoreResult::Added, list.Add(Value("HKEY_CLASSES_ROOT\\.zzz", "Name")));
    EXPECT_EQ(IgnoreResult::AlreadyListed, list.Add(Value("HKEY_CLASSES_ROOT\\.ZZZ", "NAME")));
    IgnoreList fresh(registry);
    fresh.Load();
    EXPECT_EQ(IgnoreResult::AlreadyListed, fresh.Add(Value("hkey_classes_root\\.zzz", "name")));
    EXPECT_EQ(1u, fresh.entries().size());
    EXPECT_FALSE(KeyExists(registry, kCurrentUser, "Software\\Tarnwick\\Ignored\\2"));
}

TEST(IgnoreList, RemovingTakesTheEntryOffAndAMissingOneIsSaidToBeMissing)
{
    MemoryRegistry registry;
    IgnoreList list(registry);
    list.Load();
    list.Add(Value("HKEY_CLASSES_ROOT\\.a", "x"));
    list.Add(Value("HKEY_CLASSES_ROOT\\.b", "y"));
    EXPECT_EQ(IgnoreResult::NotListed, list.Remove(Value("HKEY_CLASSES_ROOT\\.c", "x")));
    EXPECT_EQ(IgnoreResult::NotListed, list.Remove(WholeKey("HKEY_CLASSES_ROOT\\.a")));
    EXPECT_EQ(IgnoreResult::Removed, list.Remove(Value("hkey_classes_root\\.A", "X")));
    EXPECT_EQ(IgnoreResult::NotListed, list.Remove(Value("HKEY_CLASSES_ROOT\\.a", "x")));

    IgnoreList fresh(registry);
    fresh.Load();
    ASSERT_EQ(1u, fresh.entries().size());
    EXPECT_EQ("HKEY_CLASSES_ROOT\\.b", fresh.entries()[0].keyPath);
    EXPECT_FALSE(KeyExists(registry, kCurrentUser, "Software\\Tarnwick\\Ignored\\1"));
    // A new entry never takes the subkey of one that stays.
    EXPECT_EQ(IgnoreResult::Added, fresh.Add(Value("HKEY_CLASSES_ROOT\\.c", "z")));
    IgnoreList third(registry);
    third.Load();
    EXPECT_EQ(2u, third.entries().size());
    EXPECT_TRUE(third.Contains(Value("HKEY_CLASSES_ROOT\\.b", "y")));
}

TEST(IgnoreList, AnEntryWrittenTwiceByHandIsOneEntryAndGoesWhole)
{
    MemoryRegistry registry;
    for (const char* subkey : {"first", "second"}) {
        SetValue(registry, kCurrentUser, std::string("Software\\Tarnwick\\Ignored\\") + subkey, "Key", kRegSz,
                 Str("HKEY_CLASSES_ROOT\\.zzz"));
        SetValue(registry, kCurrentUser, std::string("Software\\Tarnwick\\Ignored\\") + subkey, "Value", kRegSz,
                 Str("n"));
    }
    CreateKey(registry, kCurrentUser, "Software\\Tarnwick\\Ignored\\no entry");  // no "Key": passed over
    IgnoreList list(registry);
    ASSERT_EQ(kSuccess, list.Load());
    EXPECT_EQ(1u, list.entries().size());
    EXPECT_EQ(IgnoreResult::Removed, list.Remove(Value("HKEY_CLASSES_ROOT\\.zzz", "n")));
    IgnoreList fresh(registry);
    fresh.Load();
    EXPECT_TRUE(fresh.entries().empty());
}

TEST(IgnoreList, AFailedWriteLeavesNoHalfEntryAndSaysWhy)
{
    MemoryRegistry registry;
    IgnoreList list(registry);
    list.Load();
    registry.InjectFault(RegOp::SetValueEx, 2, kErrorAccessDenied);  // the "Value" string
    long status = kSuccess;
    EXPECT_EQ(IgnoreResult::Failed, list.Add(Value("HKEY_CLASSES_ROOT\\.zzz", "n"), &status));
    EXPECT_EQ(kErrorAccessDenied, status);
    EXPECT_TRUE(list.entries().empty());
    EXPECT_FALSE(KeyExists(registry, kCurrentUser, "Software\\Tarnwick\\Ignored\\1"));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

TEST(IgnoreList, NoListIsAnEmptyList)
{
    MemoryRegistry registry;
    IgnoreList list(registry);
    EXPECT_EQ(kSuccess, list.Load());
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(KeyExists(registry, kCurrentUser, "Software\\Tarnwick"));
    EXPECT_EQ("1 ignored problem was left out.", IgnoredCountText(1));
    EXPECT_EQ("3 ignored problems were left out.", IgnoredCountText(3));
}

// Another process that adds an entry between the moment a number is found free and the
// moment it is used keeps its entry: this one takes the next number.
TEST(IgnoreList, AnEntryAnotherProcessAddsMeanwhileIsNotWrittenOver)
{
    class Racing final : public ForwardingRegistry {
    public:
        explicit Racing(Registry& inner) : ForwardingRegistry(inner), inner_(inner) {}
        long OpenKeyEx(HKey key, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                       HKey* result) override
        {
            const long status = ForwardingRegistry::OpenKeyEx(key, subKey, options, samDesired, result);
            if (status == kErrorFileNotFound && std::string(subKey) == "Software\\Tarnwick\\Ignored\\1" && !raced_) {
                raced_ = true;  // the other process writes its entry just after this look
                SetValue(inner_, kCurrentUser, subKey, "Key", kRegSz, Str("HKEY_CLASSES_ROOT\\.other"));
            }
            return status;
        }

    private:
        Registry& inner_;
        bool raced_ = false;
    };
    MemoryRegistry memory;
    Racing registry(memory);
    IgnoreList list(registry);
    ASSERT_EQ(kSuccess, list.Load());
    EXPECT_EQ(IgnoreResult::Added, list.Add(Value("HKEY_CLASSES_ROOT\\.mine", "n")));
    IgnoreList fresh(memory);
    ASSERT_EQ(kSuccess, fresh.Load());
    ASSERT_EQ(2u, fresh.entries().size());
    EXPECT_EQ(Bytes(Str("HKEY_CLASSES_ROOT\\.other")), [&] {
        std::uint32_t type = 0;
        Bytes data;
        GetValue(memory, kCurrentUser, "Software\\Tarnwick\\Ignored\\1", "Key", &type, &data);
        return data;
    }());
}

}  // namespace
}  // namespace tw::test
