// Values and closes handed to a RegistryWriteBehind are done in the order given, on a second
// thread where the registry allows it, and what the registry refuses comes back in that order.
#include "backup/backup_restore.h"
#include "backup/repair_backup.h"
#include "log/activity_log.h"
#include "platform/memory/memory_registry.h"
#include "registry/write_behind.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

// Keys whose number ends in 3 refuse to be written: their values fail.
std::vector<std::string> WriteMany(MemoryRegistry& registry, std::size_t keys, std::size_t* written)
{
    for (std::size_t i = 3; i < keys; i += 10) {
        CreateKey(registry, kCurrentUser, "Software\\W\\" + Numbered("Key", i));
        registry.RefuseWriteAccess(kCurrentUser, "Software\\W\\" + Numbered("Key", i));
    }
    RegistryWriteBehind writes(registry);
    for (std::size_t i = 0; i < keys; ++i) {
        KeyHandle key(registry);
        std::string path = "Software\\W\\" + Numbered("Key", i);
        EXPECT_EQ(kSuccess, registry.CreateKey(kCurrentUser, path.c_str(), key.Put()));
        const bool behind = writes.HandNextKey();
        for (int v = 0; v < 2; ++v) {
            std::string name = v ? "Flags" : "";
            std::string data = v ? std::string("\1\0\0\0", 4) : path + std::string(1, '\0');
            writes.SetValue(key.get(), behind, name, v ? kRegDword : kRegSz, data, int(2 * i + std::size_t(v)),
                            path + " [" + name + "]");
        }
        writes.Close(std::move(key), behind);
    }
    writes.Finish();
    *written = writes.written();
    std::vector<std::string> failed;
    for (const RegistryWriteBehind::Failure& failure : writes.failures())
        failed.push_back(failure.text);
    return failed;
}

TEST(RegistryWriteBehind, ValuesAreWrittenAndRefusalsComeBackInTheOrderGiven)
{
    for (bool concurrent : {false, true}) {
        MemoryRegistry registry;
        registry.AllowConcurrentCalls(concurrent);
        std::size_t written = 0;
        std::vector<std::string> failed = WriteMany(registry, 3000, &written);
        EXPECT_EQ(2 * 2700u, written) << concurrent;
        std::vector<std::string> expected;
        for (std::size_t i = 3; i < 3000; i += 10) {
            expected.push_back("Software\\W\\" + Numbered("Key", i) + " []");
            expected.push_back("Software\\W\\" + Numbered("Key", i) + " [Flags]");
        }
        EXPECT_EQ(expected, failed) << concurrent;
        Bytes data;
        EXPECT_TRUE(GetValue(registry, kCurrentUser, "Software\\W\\Key 2999", "Flags", nullptr, &data));
        EXPECT_EQ(B({1, 0, 0, 0}), data);
        EXPECT_FALSE(GetValue(registry, kCurrentUser, "Software\\W\\Key 2993", "Flags", nullptr, &data));
        // Every key was closed, after its values.
        EXPECT_EQ(0u, registry.OpenHandleCount()) << concurrent;
    }
}

// A restore done on two threads gives the registry, the counts and the list of what was not
// written of a restore done on one, in the order of the file's rows.
TEST(RegistryWriteBehind, ARestoreOnTwoThreadsReportsWhatOneThreadWould)
{
    ScratchMachine machine;
    ActivityLog log{machine.system};
    MemoryRegistry source;
    for (std::size_t i = 0; i < 800; ++i) {
        std::string key = "Software\\Tree\\" + Numbered("Sub", i);
        SetValue(source, kCurrentUser, key, "v", kRegSz, Str("value " + key));
        if (i % 50 == 0)
            SetValue(source, kCurrentUser, key + "\\Inner\\Deeper", "w", kRegDword, B({1, 2, 3, 4}));
    }
    RepairBackupResult backup = WriteRepairBackupItems(source, machine.system, log, "C:\\Program Files\\Tarnwick",
                                                       {{"HKEY_CURRENT_USER\\Software\\Tree", "KEY", ""}});
    ASSERT_EQ(std::vector<bool>{true}, backup.saved);

    RestoreOutcome outcomes[2];
    for (bool concurrent : {false, true}) {
        MemoryRegistry target;
        target.AllowConcurrentCalls(concurrent);
        // Some keys are there already and refuse to be written: their values and subkeys
        // are not written, and the rows after them still are.
        for (std::size_t i : {0u, 7u, 350u, 799u}) {
            CreateKey(target, kCurrentUser, "Software\\Tree\\" + Numbered("Sub", i));
            target.RefuseWriteAccess(kCurrentUser, "Software\\Tree\\" + Numbered("Sub", i));
        }
        outcomes[concurrent] = RestoreRepairBackup(target, machine.system, backup.path, {});
        EXPECT_EQ(0u, target.OpenHandleCount());
        Bytes data;
        EXPECT_TRUE(GetValue(target, kCurrentUser, "Software\\Tree\\Sub 0050\\Inner\\Deeper", "w", nullptr, &data));
        EXPECT_TRUE(GetValue(target, kCurrentUser, "Software\\Tree\\Sub 0798", "v", nullptr, &data));
    }
    EXPECT_FALSE(outcomes[1].restored);
    EXPECT_EQ(outcomes[0].messages, outcomes[1].messages);
    EXPECT_EQ(outcomes[0].keys, outcomes[1].keys);
    EXPECT_EQ(outcomes[0].values, outcomes[1].values);
    // Each subkey's value but the four refused, and the deepest values but those below two
    // refused keys.
    EXPECT_EQ(800u - 4 + 16 - 2, outcomes[1].values);
    const std::vector<std::string> expected = {
        "HKEY_CURRENT_USER\\Software\\Tree\\Sub 0000 [v]",
        "HKEY_CURRENT_USER\\Software\\Tree\\Sub 0000\\Inner",
        "HKEY_CURRENT_USER\\Software\\Tree\\Sub 0007 [v]",
        "HKEY_CURRENT_USER\\Software\\Tree\\Sub 0350 [v]",
        "HKEY_CURRENT_USER\\Software\\Tree\\Sub 0350\\Inner",
        "HKEY_CURRENT_USER\\Software\\Tree\\Sub 0799 [v]",
    };
    EXPECT_EQ(expected, outcomes[0].notWritten);
    EXPECT_EQ(expected, outcomes[1].notWritten);
}

}  // namespace
}  // namespace tw::test
