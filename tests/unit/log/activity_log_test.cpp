#include "log/activity_log.h"

#include "platform/calendar.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <thread>

namespace tw::test {
namespace {

LocalTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    LocalTime t;
    t.year = static_cast<std::uint16_t>(y);
    t.month = static_cast<std::uint16_t>(mo);
    t.day = static_cast<std::uint16_t>(d);
    t.hour = static_cast<std::uint16_t>(h);
    t.minute = static_cast<std::uint16_t>(mi);
    t.second = static_cast<std::uint16_t>(s);
    t.milliseconds = static_cast<std::uint16_t>(ms);
    return t;
}

const char* const kLog = "C:\\Program Files\\Tarnwick\\Log\\log_2005_03_07_14_05_09.twlog";

TEST(ActivityLog, FileIsNamedAfterTheStartTimeInTheLogFolder)
{
    ScratchMachine m;
    m.system.SetLocalTime(At(2005, 3, 7, 14, 5, 9));
    ActivityLog log(m.system);
    log.Open();
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ(kLog, log.path());
    EXPECT_TRUE(m.dir.Exists(kLog));
}

TEST(ActivityLog, LinesCarryTheTimeToTheMillisecondAndEndWithTheClosingLine)
{
    ScratchMachine m;
    m.system.SetLocalTime(At(2005, 3, 7, 14, 5, 9));
    ActivityLog log(m.system);
    log.Open();
    m.system.SetLocalTime(At(2005, 3, 7, 14, 5, 9, 7));
    log.Write("FOUND ERROR KEY: HKEY_CLASSES_ROOT\\%s\\x");
    log.Close();
    log.Write("after closing, nothing");
    EXPECT_EQ("2005/03/07 14:05:09:007 \tFOUND ERROR KEY: HKEY_CLASSES_ROOT\\%s\\x\r\n"
              "2005/03/07 14:05:09:007 \tFinish Logging \r\n\r\n\r\n",
              m.dir.ReadFile(kLog));
}

TEST(ActivityLog, ARunStartedInTheSameSecondAppendsToTheSameFile)
{
    ScratchMachine m;
    m.system.SetLocalTime(At(2005, 3, 7, 14, 5, 9));
    for (int run = 0; run < 2; ++run) {
        ActivityLog log(m.system);
        log.Open();
        log.Write("run");
    }  // the destructor closes
    std::string text = m.dir.ReadFile(kLog);
    std::size_t closings = 0;
    for (std::size_t at = 0; (at = text.find("Finish Logging", at)) != std::string::npos; ++at)
        ++closings;
    EXPECT_EQ(2u, closings);
    EXPECT_NE(std::string::npos, text.find("\trun\r\n"));
}

TEST(ActivityLog, RunsOpenInTheSameSecondEachKeepALogOfTheirOwn)
{
    ScratchMachine m;
    m.system.SetLocalTime(At(2005, 3, 7, 14, 5, 9));
    ActivityLog first(m.system), second(m.system), third(m.system);
    first.Open();
    second.Open();  // while the first still writes its file
    third.Open();
    ASSERT_TRUE(first.IsOpen() && second.IsOpen() && third.IsOpen());
    EXPECT_EQ(kLog, first.path());
    const std::string folder = "C:\\Program Files\\Tarnwick\\Log\\";
    EXPECT_EQ(folder + "log_2005_03_07_14_05_09_2.twlog", second.path());
    EXPECT_EQ(folder + "log_2005_03_07_14_05_09_3.twlog", third.path());
    first.Write("one");
    second.Write("two");
    third.Write("three");
    first.Close();
    second.Close();
    third.Close();
    EXPECT_NE(std::string::npos, m.dir.ReadFile(kLog).find("\tone\r\n"));
    EXPECT_NE(std::string::npos, m.dir.ReadFile(second.path()).find("\ttwo\r\n"));
    EXPECT_NE(std::string::npos, m.dir.ReadFile(third.path()).find("\tthree\r\n"));
    EXPECT_EQ(std::string::npos, m.dir.ReadFile(kLog).find("two"));
}

TEST(ActivityLog, LongMessagesAreCutAt1023Characters)
{
    ScratchMachine m;
    m.system.SetLocalTime(At(2005, 3, 7, 14, 5, 9));
    ActivityLog log(m.system);
    log.Open();
    log.Write(std::string(5000, 'x'));
    log.Close();
    std::string text = m.dir.ReadFile(kLog);
    std::string first = text.substr(0, text.find("\r\n"));
    EXPECT_EQ(std::string("2005/03/07 14:05:09:000 \t").size() + 1023, first.size());
}

TEST(ActivityLog, AProgramFolderThatCannotHoldALogLeavesLoggingOff)
{
    MemorySystem system;  // no drive mapped: nothing can be created
    ActivityLog log(system);
    log.Open();
    EXPECT_FALSE(log.IsOpen());
    log.Write("ignored");
    log.Close();
}

TEST(ActivityLog, LinesFromManyThreadsStayWhole)
{
    ScratchMachine m;
    m.system.SetLocalTime(At(2005, 3, 7, 14, 5, 9));
    ActivityLog log(m.system);
    log.Open();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 200; ++i)
                log.Write(std::string(50, static_cast<char>('a' + t)));
        });
    for (auto& t : threads)
        t.join();
    log.Close();
    std::string text = m.dir.ReadFile(kLog);
    std::size_t lines = 0, pos = 0;
    while ((pos = text.find("\r\n", pos)) != std::string::npos) {
        ++lines;
        pos += 2;
    }
    EXPECT_EQ(800u + 3u, lines);
    for (char c : {'a', 'b', 'c', 'd'})
        EXPECT_NE(std::string::npos, text.find(" \t" + std::string(50, c) + "\r\n"));
}

TEST(PruneOldLogs, DeletesLogsCreatedMoreThanTenHoursAgo)
{
    ScratchMachine m;
    LocalTime now = At(2024, 6, 1, 12, 0, 0);
    m.system.SetLocalTime(now);
    std::int64_t nowSeconds = CalendarSeconds(now);
    const std::string folder = "C:\\Program Files\\Tarnwick\\Log\\";
    m.dir.WriteFile(folder + "old.twlog", "x");
    m.dir.WriteFile(folder + "recent.twlog", "x");
    m.dir.WriteFile(folder + "edge.twlog", "x");
    m.dir.WriteFile(folder + "old.txt", "x");
    m.dir.SetFileTime(folder + "old.twlog", nowSeconds - 11 * 3600);
    m.dir.SetFileTime(folder + "recent.twlog", nowSeconds - 9 * 3600);
    m.dir.SetFileTime(folder + "edge.twlog", nowSeconds - 36000);  // exactly ten hours: kept
    m.dir.SetFileTime(folder + "old.txt", nowSeconds - 11 * 3600);
    PruneOldLogs(m.system, "C:\\Program Files\\Tarnwick");
    EXPECT_EQ((std::vector<std::string>{"edge.twlog", "old.txt", "recent.twlog"}), m.dir.List(folder));
}

}  // namespace
}  // namespace tw::test
