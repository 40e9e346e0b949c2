// The repair backup reads keys ahead on a second thread when the registry allows calls from
// several threads. The file, what is left out and in which order, and the handles left open
// must be those of a plain walk, whatever the threads do.
#include "backup/backup_restore.h"
#include "backup/repair_backup.h"
#include "backup/repair_backup_file.h"
#include "log/activity_log.h"
#include "platform/forwarding_registry.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"
#include "unit/backup/backup_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <thread>

namespace tw::test {
namespace {

const char* const kFolder = "C:\\Program Files\\Tarnwick";
const char* const kItem = "HKEY_CURRENT_USER\\Software\\Tree";
const char* const kTree = "Software\\Tree";

// More subkeys than are read ahead or held open at once, some with deep subtrees and
// values of every kind.
void SeedTree(Registry& registry, std::size_t subkeys)
{
    for (std::size_t i = 0; i < subkeys; ++i) {
        std::string sub = std::string(kTree) + "\\" + Numbered("Sub", i);
        SetValue(registry, kCurrentUser, sub, "v", kRegDword, B({std::uint8_t(i & 0xFF), std::uint8_t(i >> 8), 0, 0}));
        if (i % 97 == 0) {
            std::string deep = sub;
            for (int level = 0; level < 6; ++level) {
                deep += "\\" + Numbered("Level", std::size_t(level));
                SetValue(registry, kCurrentUser, deep + "\\Side", "s", kRegSz, Str("side " + deep));
            }
            SeedEveryKind(registry, kCurrentUser, deep, 5000);
        }
    }
}

// Subkeys whose names end in 7 refuse to open, so the backup leaves them out and says so.
// When calls may come from several threads, a query on the thread that made it waits (a while
// at most) until another thread has called: the writer cannot read everything itself before
// the helper starts.
class ThreadWatch final : public ForwardingRegistry {
public:
    explicit ThreadWatch(Registry& inner) : ForwardingRegistry(inner) {}

    bool ConcurrentCalls() const override { return inner_.ConcurrentCalls(); }
    long OpenKeyEx(HKey key, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                   HKey* result) override
    {
        Seen();
        std::string_view name(subKey ? subKey : "");
        if (name.size() > 4 && name.substr(0, 4) == "Sub " && name.back() == '7')
            return kErrorAccessDenied;
        return ForwardingRegistry::OpenKeyEx(key, subKey, options, samDesired, result);
    }
    long QueryInfoKey(HKey key, char* keyClass, std::uint32_t* classLength, std::uint32_t* reserved,
                      std::uint32_t* subKeys, std::uint32_t* maxSubKeyLength, std::uint32_t* maxClassLength,
                      std::uint32_t* values, std::uint32_t* maxValueNameLength, std::uint32_t* maxValueLength,
                      std::uint32_t* securityDescriptorSize, FileTime* lastWriteTime) override
    {
        Seen();
        if (inner_.ConcurrentCalls() && std::this_thread::get_id() == owner_ && ++ownerQueries_ > 3) {
            std::unique_lock<std::mutex> lock(mutex_);
            otherSeen_.wait_for(lock, std::chrono::seconds(10), [this] { return otherThread_; });
        }
        return ForwardingRegistry::QueryInfoKey(key, keyClass, classLength, reserved, subKeys, maxSubKeyLength,
                                                maxClassLength, values, maxValueNameLength, maxValueLength,
                                                securityDescriptorSize, lastWriteTime);
    }
    bool OtherThreadCalled()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return otherThread_;
    }

private:
    void Seen()
    {
        if (std::this_thread::get_id() == owner_)
            return;
        std::lock_guard<std::mutex> lock(mutex_);
        otherThread_ = true;
        otherSeen_.notify_all();
    }

    const std::thread::id owner_ = std::this_thread::get_id();
    std::size_t ownerQueries_ = 0;
    std::mutex mutex_;
    std::condition_variable otherSeen_;
    bool otherThread_ = false;
};

struct Records final : RepairBackupVisitor {
    int records = 0;
    void OnRecord(int, std::uint32_t, const std::string&) override { ++records; }
    void OnValue(int, const std::string&, std::uint32_t, const std::string&) override {}
    void OnSubkeyBegin(int, const std::string&) override {}
    void OnSubkeyEnd() override {}
    void OnRecordEnd() override {}
};

class KeyReadAheadTest : public ::testing::Test {
protected:
    RepairBackupResult Backup(Registry& through)
    {
        return WriteRepairBackupItems(through, machine.system, log, kFolder, {{kItem, "KEY", ""}});
    }
    // The lines the backup left in the log, without their times.
    std::vector<std::string> LeftOut()
    {
        std::vector<std::string> lines;
        std::istringstream in(machine.dir.ReadFile(log.path()));
        const std::string marker = "Left out of the backup";
        for (std::string line; std::getline(in, line);)
            if (std::size_t at = line.find(marker); at != std::string::npos)
                lines.push_back(line.substr(at));
        return lines;
    }

    MemoryRegistry registry;
    ScratchMachine machine;
    ActivityLog log{machine.system};
};

TEST_F(KeyReadAheadTest, ReadingAheadWritesTheFileAndTheLogOfAPlainWalk)
{
    SeedTree(registry, 2600);
    log.Open();
    ThreadWatch plainWatch(registry);
    RepairBackupResult plain = Backup(plainWatch);
    std::vector<std::string> plainLeft = LeftOut();
    EXPECT_FALSE(plainWatch.OtherThreadCalled());

    registry.AllowConcurrentCalls();
    ThreadWatch aheadWatch(registry);
    RepairBackupResult ahead = Backup(aheadWatch);
    EXPECT_TRUE(aheadWatch.OtherThreadCalled());

    ASSERT_EQ(RepairBackupResult::Status::Written, plain.status);
    ASSERT_EQ(RepairBackupResult::Status::Written, ahead.status);
    // Left out, the subkeys ending in 7 make the item incomplete either way.
    EXPECT_EQ(std::vector<bool>{false}, plain.saved);
    EXPECT_EQ(std::vector<bool>{false}, ahead.saved);
    const std::string plainBytes = machine.dir.ReadFile(plain.path);
    EXPECT_GT(plainBytes.size(), 100000u);
    EXPECT_TRUE(plainBytes == machine.dir.ReadFile(ahead.path));
    ASSERT_EQ(2 * plainLeft.size(), LeftOut().size());
    EXPECT_EQ(260u, plainLeft.size());
    std::vector<std::string> all = LeftOut();
    EXPECT_EQ(plainLeft, std::vector<std::string>(all.begin() + std::ptrdiff_t(plainLeft.size()), all.end()));
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

TEST_F(KeyReadAheadTest, AWholeTreeReadAheadIsSavedAndRestoresExactly)
{
    SeedTree(registry, 1500);
    registry.AllowConcurrentCalls();
    RepairBackupResult r = Backup(registry);
    ASSERT_EQ(std::vector<bool>{true}, r.saved);
    EXPECT_EQ(0u, registry.OpenHandleCount());

    MemoryRegistry copy;
    SeedTree(copy, 1500);
    WipeKey(registry, kCurrentUser, kTree);
    RestoreOutcome restored = RestoreRepairBackup(registry, machine.system, r.path, {});
    EXPECT_TRUE(restored.restored);
    EXPECT_TRUE(restored.notWritten.empty());
    for (std::size_t i : {0u, 97u, 1455u, 1499u}) {
        std::string sub = std::string(kTree) + "\\" + Numbered("Sub", i);
        Bytes before, after;
        ASSERT_TRUE(GetValue(copy, kCurrentUser, sub, "v", nullptr, &before));
        ASSERT_TRUE(GetValue(registry, kCurrentUser, sub, "v", nullptr, &after)) << sub;
        EXPECT_EQ(before, after);
    }
    std::string deep = std::string(kTree) + "\\" + Numbered("Sub", 970);
    for (int level = 0; level < 6; ++level)
        deep += "\\" + Numbered("Level", std::size_t(level));
    Bytes large;
    EXPECT_TRUE(GetValue(registry, kCurrentUser, deep, "Large", nullptr, &large));
    EXPECT_EQ(5000u, large.size());
}

// A call that fails on either thread leaves the item unsaved (so it is not deleted), the
// file whole, and no handle open, wherever the failure falls.
TEST_F(KeyReadAheadTest, AFailureAnywhereLeavesTheItemUnsavedAndNothingOpen)
{
    SeedTree(registry, 700);
    registry.AllowConcurrentCalls();
    for (RegOp op : {RegOp::EnumValueW, RegOp::OpenKeyEx, RegOp::QueryInfoKey, RegOp::EnumKeyEx}) {
        for (std::uint64_t nth : {40u, 333u, 650u}) {
            registry.InjectFault(op, nth, kErrorAccessDenied);
            RepairBackupResult r = Backup(registry);
            registry.ClearFaults();
            ASSERT_EQ(RepairBackupResult::Status::Written, r.status);
            EXPECT_EQ(std::vector<bool>{false}, r.saved) << int(op) << " " << nth;
            EXPECT_EQ(0u, registry.OpenHandleCount()) << int(op) << " " << nth;
            std::unique_ptr<File> file = machine.system.OpenFile(r.path, FileMode::Read);
            ASSERT_TRUE(file);
            Records records;
            EXPECT_EQ(BackupParse::Complete, ParseRepairBackup(*file, records)) << int(op) << " " << nth;
            EXPECT_EQ(1, records.records);
            machine.system.RemoveFile(r.path);
        }
    }
}

}  // namespace
}  // namespace tw::test
