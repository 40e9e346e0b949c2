#include "scan/scan_driver.h"

#include "scan_test_support.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace tw::test {
namespace {

using Strings = std::vector<std::string>;

Strings Column(const std::vector<ProgressTable::Row>& rows, int column)
{
    Strings out;
    for (const auto& r : rows)
        out.push_back(r[static_cast<std::size_t>(column)]);
    return out;
}

// One broken entry for every registry section, and one broken shortcut.
void SeedOneProblemPerSection(ScanMachine& s)
{
    s.Text(kLocalMachine, "SOFTWARE\\Vendor\\App", "Path", "C:\\Gone\\walk.exe");
    s.Text(kClassesRoot, "TypeLib\\{1}\\1.0\\0\\win32", nullptr, "C:\\Gone\\lib.tlb");
    s.Key(kClassesRoot, ".zzz");
    s.Text(kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", "C:\\Gone\\s.dll", "1");
    s.Text(kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", "wave", "gone.drv");
    s.Text(kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\Help", "gone.hlp", "C:\\Gone");
    s.Text(kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gone.exe", nullptr, "C:\\Gone\\a.exe");
    s.Text(kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Gone", "gone.ttf");
    s.Text(kLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Gone", "ImagePath", "C:\\Gone\\svc.exe");
    s.Text(kLocalMachine, "Software\\Microsoft\\Windows\\Currentversion\\Run", "Gone", "C:\\Gone\\run.exe");
    s.Text(kCurrentUser, "AppEvents\\Schemes\\Apps\\.Default\\Gone\\.Current", nullptr, "C:\\Gone\\s.wav");
    s.Text(kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", "ProfilesDirectory", "C:\\Users");
    s.Text(kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + s.system.UserSid(),
           "ProfileImagePath", "C:\\Users\\" + s.system.UserName());
    s.Text(kCurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", "Desktop",
           "%USERPROFILE%\\Desktop");
    s.Text(kLocalMachine, "Software\\Microsoft\\Windows\\Currentversion\\Uninstall\\Gone", "UninstallString",
           "C:\\Gone\\un.exe");
    s.dir.WriteFile("C:\\Users\\Desktop\\gone.lnk", AsText(LinkFileBytes("C:\\Gone\\x.exe")));
}

TEST(ScanDriver, EverySectionGetsItsRowInRunOrderWithItsOwnCount)
{
    ScanMachine s;
    SeedOneProblemPerSection(s);
    s.Text(kLocalMachine, "Software\\Microsoft\\Windows\\Currentversion\\Run", "Gone2", "C:\\Gone\\run2.exe");
    ScanDriver driver(s.registry, s.system, s.log);
    ProgressTable progress;
    ASSERT_TRUE(driver.Start(ScanRequest::All(), &progress));
    driver.Wait();
    auto rows = progress.Rows();
    EXPECT_EQ((Strings{"Complete Registry Scan ", "ProgramID Section", "File Associations", "Shared Programs Files",
                       "VXD Sections", "Help files", "Applications Path", "Windows fonts", "Windows Services",
                       "Startup Programs", "Windows Sound", "Registry Integrity", "Add Remove Programs",
                       "Windows Shortcuts"}),
              Column(rows, kColumnSectionName));
    // The complete scan walks HKEY_CLASSES_ROOT too (it lies below HKLM\SOFTWARE\Classes).
    EXPECT_EQ((Strings{"2", "1", "1", "1", "1", "1", "1", "1", "1", "2", "1", "1", "1", "1"}), Column(rows, kColumnProblems));
    EXPECT_EQ(Strings(14, "Finished"), Column(rows, kColumnStatus));
    EXPECT_TRUE(progress.RepairEnabled());
    EXPECT_TRUE(progress.Completed());
    EXPECT_EQ(12u, driver.completed().size());  // every registry section but the integrity check
    EXPECT_EQ(15u, driver.engine().problems().size());
    EXPECT_EQ(1u, driver.shortcuts().brokenList.size());
    for (std::int32_t flag : driver.request().flags)
        EXPECT_EQ(kSectionDone, flag);
    for (const auto& p : driver.engine().problems())
        EXPECT_NE(-1, ResultsGroupOf(p->section)) << p->section;
}

TEST(ScanDriver, FindingsOnTheIgnoreListAreLeftOutCountedAndTold)
{
    ScanMachine s;
    const std::string run = "Software\\Microsoft\\Windows\\Currentversion\\Run";
    s.Text(kLocalMachine, run, "Gone1", "C:\\Gone\\run1.exe");
    s.Text(kLocalMachine, run, "Gone2", "C:\\Gone\\run2.exe");
    s.Text(kLocalMachine, run, "Gone3", "C:\\Gone\\run3.exe");
    s.Key(kClassesRoot, ".zzz");
    {
        IgnoreList list(s.registry);
        list.Load();
        list.Add({"hkey_local_machine\\" + run, std::string("GONE2")});
        list.Add({"HKEY_LOCAL_MACHINE\\" + run, std::string("Gone3")});
        list.Add({"HKEY_CLASSES_ROOT\\.zzz", std::nullopt});
    }
    ScanRequest request = ScanRequest::None();
    request[ScanSection::StartupPrograms] = kSectionRequested;
    request[ScanSection::FileAssociations] = kSectionRequested;
    ScanDriver driver(s.registry, s.system, s.log);
    ProgressTable progress;
    ASSERT_TRUE(driver.Start(request, &progress));
    driver.Wait();
    ASSERT_EQ(1u, driver.engine().problems().size());
    EXPECT_EQ("Gone1", driver.engine().problems()[0]->value->name);
    EXPECT_EQ(3u, driver.engine().ignoredCount());
    // The rows count what is listed; the status line says what was left out.
    EXPECT_EQ((Strings{"0", "1"}), Column(progress.Rows(), kColumnProblems));
    EXPECT_EQ("3 ignored problems were left out.", progress.Status());
    EXPECT_TRUE(progress.Completed());

    // The next scan reads the list again: an entry taken off is reported again.
    {
        IgnoreList list(s.registry);
        list.Load();
        EXPECT_EQ(IgnoreResult::Removed, list.Remove({"HKEY_LOCAL_MACHINE\\" + run, std::string("Gone2")}));
    }
    ProgressTable again;
    ASSERT_TRUE(driver.Start(request, &again));
    driver.Wait();
    EXPECT_EQ(2u, driver.engine().problems().size());
    EXPECT_EQ(2u, driver.engine().ignoredCount());
}

TEST(ScanDriver, AnEmptyRequestAddsNoRowAndStillCompletes)
{
    ScanMachine s;
    SeedOneProblemPerSection(s);
    ScanDriver driver(s.registry, s.system, s.log);
    ProgressTable progress;
    ASSERT_TRUE(driver.Start(ScanRequest::None(), &progress));
    driver.Wait();
    EXPECT_TRUE(progress.Rows().empty());
    EXPECT_TRUE(progress.Completed());
    EXPECT_FALSE(progress.RepairEnabled());
    EXPECT_TRUE(driver.engine().problems().empty());
    EXPECT_TRUE(driver.completed().empty());
}

TEST(ScanDriver, ShortcutsAloneGiveOneRowAndNoRepairFromTheWorker)
{
    ScanMachine s;
    SeedOneProblemPerSection(s);
    ScanDriver driver(s.registry, s.system, s.log);
    ProgressTable progress;
    ScanRequest request;
    request[ScanSection::Shortcuts] = kSectionRequested;
    request[ScanSection::Fonts] = 0;
    ASSERT_TRUE(driver.Start(request, &progress));
    driver.Wait();
    ASSERT_EQ(1u, progress.Rows().size());
    EXPECT_EQ((ProgressTable::Row{"Windows Shortcuts", "1", "Finished"}), progress.Rows()[0]);
    EXPECT_TRUE(driver.completed().empty());
    EXPECT_FALSE(progress.RepairEnabled());
    EXPECT_EQ(kSectionDone, driver.request()[ScanSection::Shortcuts]);
    EXPECT_EQ(0, driver.request()[ScanSection::Fonts]);
}

TEST(ScanDriver, TheStopEventIsResetAtTheStartOfEveryScan)
{
    ScanMachine s;
    SeedOneProblemPerSection(s);
    auto stop = s.system.MakeEvent(StopEventName(s.system), true, false, nullptr);
    stop->Set();  // left signalled by an earlier run
    ScanDriver driver(s.registry, s.system, s.log);
    ProgressTable progress;
    ASSERT_TRUE(driver.Start(ScanRequest::All(), &progress));
    driver.Wait();
    EXPECT_EQ(14u, driver.engine().problems().size());
    EXPECT_FALSE(stop->IsSignalled());
}

// Signals nothing itself: lets the test know when the walk is under way.
// Holds the worker at its first status line until the driver's stop event is set, so that
// a stop or an abort always finds the walk under way, however the threads are scheduled.
class WatchedProgress : public ProgressTable {
public:
    explicit WatchedProgress(System& system) : stop_(system.MakeEvent(StopEventName(system), true, false, nullptr)) {}
    void SetStatus(std::string_view text) override
    {
        ProgressTable::SetStatus(text);
        if (!statusSeen.exchange(true))
            while (!stop_->IsSignalled())
                std::this_thread::yield();
    }
    std::atomic<bool> statusSeen{false};

private:
    std::unique_ptr<Event> stop_;
};

// A walk long enough to be caught half-way: every key holds a broken path.
void SeedLongWalk(ScanMachine& s)
{
    for (int i = 0; i < 3000; ++i)
        s.Text(kLocalMachine, "SOFTWARE\\Big\\K" + std::to_string(i), "P", "C:\\Gone\\" + std::to_string(i) + ".exe");
}

// Starts a whole scan and returns once the walk is under way (held at its first status line).
void StartAndWaitUntilUnderWay(ScanDriver& driver, WatchedProgress& progress)
{
    ASSERT_TRUE(driver.Start(ScanRequest::All(), &progress));
    while (!progress.statusSeen.load())
        std::this_thread::yield();
}

TEST(ScanDriver, AbortDuringTheWalkEndsPromptlyAndDropsTheLastRecord)
{
    ScanMachine s;
    SeedLongWalk(s);
    ScanDriver driver(s.registry, s.system, s.log);
    WatchedProgress progress(s.system);
    StartAndWaitUntilUnderWay(driver, progress);
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(driver.Abort());
    auto took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_FALSE(progress.Completed());
    auto rows = progress.Rows();
    ASSERT_FALSE(rows.empty());
    int shown = std::stoi(rows[0][kColumnProblems]);
    EXPECT_LT(shown, 3000);
    // The row counted the last record; the list no longer holds it.
    EXPECT_EQ(static_cast<std::size_t>(shown > 0 ? shown - 1 : 0), driver.engine().problems().size());
    auto stop = s.system.MakeEvent(StopEventName(s.system), true, false, nullptr);
    EXPECT_FALSE(stop->IsSignalled());
    EXPECT_FALSE(driver.Abort());  // nothing runs any more
    // The walk was cut short and nothing after it ran: every row still reads "Scanning".
    EXPECT_EQ(Strings(14, "Scanning"), Column(rows, kColumnStatus));
    EXPECT_TRUE(driver.shortcuts().brokenList.empty());
}

// Counts the waits and waits as a window would: polling, here without messages to pump.
struct CountingWait : WorkerWait {
    std::atomic<int> waits{0};
    void Until(const std::function<bool()>& finished) override
    {
        ++waits;
        while (!finished())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

// A completion report that holds the worker until the test lets it go, as a window's
// synchronous completion message holds it while the results are shown.
class HeldCompletion : public ProgressTable {
public:
    void ScanCompleted() override
    {
        ProgressTable::ScanCompleted();
        reporting = true;
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::atomic<bool> reporting{false};
    std::atomic<bool> release{false};
};

TEST(ScanDriver, EveryWaitForTheWorkerGoesThroughTheWindowsWait)
{
    ScanMachine s;
    SeedOneProblemPerSection(s);
    CountingWait wait;
    {
        ScanDriver driver(s.registry, s.system, s.log, &wait);
        ProgressTable progress;
        ASSERT_TRUE(driver.Start(ScanRequest::All(), &progress));
        driver.Wait();
        EXPECT_EQ(1, wait.waits.load());
        ASSERT_TRUE(driver.Start(ScanRequest::All(), &progress));
        driver.Abort();  // or it finished already: either way the wait is the window's
        driver.Stop();
    }
    EXPECT_GE(wait.waits.load(), 2);
}

TEST(ScanDriver, AScanStoppedByTheExitReportsNoCompletion)
{
    ScanMachine s;
    SeedLongWalk(s);
    ScanDriver driver(s.registry, s.system, s.log);
    WatchedProgress progress(s.system);
    StartAndWaitUntilUnderWay(driver, progress);
    driver.Stop();
    // A window would show "Scanning complete." from inside its exit otherwise.
    EXPECT_FALSE(progress.Completed());
    EXPECT_FALSE(driver.IsScanning());
}

TEST(ScanDriver, ExitWhileTheCompletionIsShownDoesNotWaitForTheReportingWorker)
{
    ScanMachine s;
    SeedOneProblemPerSection(s);
    CountingWait wait;
    HeldCompletion progress;
    {
        ScanDriver driver(s.registry, s.system, s.log, &wait);
        ASSERT_TRUE(driver.Start(ScanRequest::None(), &progress));
        while (!progress.reporting.load())
            std::this_thread::yield();
        EXPECT_TRUE(driver.IsReporting());
        EXPECT_FALSE(driver.Abort());  // a finished scan is not aborted
        auto started = std::chrono::steady_clock::now();
        driver.Stop();  // must return while the worker is still held
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
        EXPECT_TRUE(driver.IsReporting());
        progress.release = true;  // the completion handler returns
    }  // and the driver's end waits for the worker
    EXPECT_TRUE(progress.Completed());
}

// At its first status line, plays another process of the same session whose scan ends: that
// process's driver goes, signalling its own stop event as it does.
class AnotherProcessEndsItsScan : public ProgressTable {
public:
    AnotherProcessEndsItsScan(MemoryRegistry& registry, MemorySystem& system, ActivityLog& log)
        : registry_(registry), system_(system), log_(log)
    {
    }
    void SetStatus(std::string_view text) override
    {
        ProgressTable::SetStatus(text);
        if (done_)
            return;
        done_ = true;
        const std::uint32_t self = system_.ProcessId();
        system_.SetProcessId(self + 1);
        {
            ScanDriver other(registry_, system_, log_);
            other.RunWorker(nullptr);
        }
        system_.SetProcessId(self);
    }

private:
    MemoryRegistry& registry_;
    MemorySystem& system_;
    ActivityLog& log_;
    bool done_ = false;
};

TEST(ScanDriver, AnotherProcessEndingItsScanDoesNotStopThisOne)
{
    ScanMachine s;
    SeedLongWalk(s);
    ScanDriver driver(s.registry, s.system, s.log);
    AnotherProcessEndsItsScan progress(s.registry, s.system, s.log);
    ScanRequest request = ScanRequest::None();
    request[ScanSection::CompleteRegistryScan] = kSectionRequested;
    ASSERT_TRUE(driver.Start(request, &progress));
    driver.Wait();
    EXPECT_TRUE(driver.Finished());
    EXPECT_TRUE(progress.Completed());
    EXPECT_EQ(3000u, driver.engine().problems().size());
}

TEST(ScanDriver, AScanCutShortByAStopItDidNotAskForNeverSaysItCompleted)
{
    ScanMachine s;
    SeedLongWalk(s);
    ScanDriver driver(s.registry, s.system, s.log);
    WatchedProgress progress(s.system);
    StartAndWaitUntilUnderWay(driver, progress);
    // Someone else in this process signals the stop (neither an abort nor an exit).
    s.system.MakeEvent(StopEventName(s.system), true, false, nullptr)->Set();
    driver.Wait();
    EXPECT_FALSE(driver.Finished());
    EXPECT_FALSE(progress.Completed());
    EXPECT_FALSE(driver.IsScanning());
    EXPECT_LT(driver.engine().problems().size(), 3000u);
    EXPECT_EQ(kSectionRunning, driver.request()[ScanSection::CompleteRegistryScan]);
}

}  // namespace
}  // namespace tw::test
