// The scan progress page without its window: the completion, the abort and every way out,
// the progress bar, and the repair it runs for the results viewer.
#include "pages/scan_page_model.h"

#include "scan/ignore_list.h"
#include "ui/page_request.h"

#include "unit/scan/scan_test_support.h"

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <thread>

namespace tw::test {
namespace {

using Strings = std::vector<std::string>;

struct FakePageView : ScanPageView {
    std::map<int, bool> shown;
    std::vector<int> bar;
    std::vector<std::string> messages;
    std::vector<std::string> events;
    ResultsOutcome results;
    int resultsOpened = 0, timerStopped = 0, mainClosed = 0;
    std::vector<int> ended;
    std::function<void()> duringResults;
    void ShowControl(int id, bool show) override { shown[id] = show; }
    void SetProgressBar(int position) override { bar.push_back(position); }
    void StopProgressTimer() override { ++timerStopped; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    // Questions asked, and the answers given in turn (No once they run out).
    std::vector<std::string> questions;
    std::deque<bool> answers;
    bool Ask(const std::string& text) override
    {
        questions.push_back(text);
        if (answers.empty())
            return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    ResultsOutcome OpenResults() override
    {
        ++resultsOpened;
        if (duringResults)
            duringResults();
        return results;
    }
    void EndPage(int request) override { ended.push_back(request); }
    void CloseMainWindow() override { ++mainClosed; }
    void Minimize() override { events.push_back("minimise"); }
    void OpenHelpPage() override { events.push_back("help"); }
    void SetWaitCursor(bool on) override { events.push_back(on ? "wait" : "arrow"); }
};

// Holds the worker in its walk until the test has pressed a button.
class SlowProgress : public ProgressTable {
public:
    void SetStatus(std::string_view text) override
    {
        ProgressTable::SetStatus(text);
        statusSeen = true;
    }
    std::atomic<bool> statusSeen{false};
};

class ScanPage : public ::testing::Test {
protected:
    void Make(const ScanRequest& request)
    {
        model = std::make_unique<ScanPageModel>(s.registry, s.system, s.log, "C:\\Tarnwick", request, nullptr);
    }
    void StartLongWalk()
    {
        for (int i = 0; i < 3000; ++i)
            s.Text(kLocalMachine, "SOFTWARE\\Big\\K" + std::to_string(i), "P", "C:\\Gone\\" + std::to_string(i) + ".exe");
        Make(ScanRequest::All());
        model->Open(view, progress);
        while (!progress.statusSeen.load())
            std::this_thread::yield();
    }
    ScanMachine s;
    FakePageView view;
    SlowProgress progress;
    std::unique_ptr<ScanPageModel> model;
};

TEST_F(ScanPage, ACompletedScanShowsItsMessageSwapsTheButtonsAndOpensTheResults)
{
    s.Text(kLocalMachine, "Software\\Microsoft\\Windows\\Currentversion\\Run", "Gone", "C:\\Gone\\run.exe");
    ScanRequest request;
    request[ScanSection::StartupPrograms] = kSectionRequested;
    Make(request);
    model->Open(view, progress);
    EXPECT_FALSE(view.shown[kScanClose]);
    EXPECT_FALSE(view.shown[kScanRepair]);
    EXPECT_TRUE(view.shown[kScanAbort]);
    model->driver().Wait();
    model->OnProgressTimer();
    model->OnScanCompleted();
    EXPECT_EQ(std::vector<std::string>{"Scanning complete.\nClick OK for Details about the errors found."},
              view.messages);
    EXPECT_EQ(100, view.bar.back());
    EXPECT_EQ(1, view.timerStopped);
    EXPECT_TRUE(view.shown[kScanClose]);
    EXPECT_TRUE(view.shown[kScanRepair]);
    EXPECT_FALSE(view.shown[kScanAbort]);
    EXPECT_EQ(1, view.resultsOpened);
    EXPECT_TRUE(view.ended.empty());  // the viewer ended without asking anything
    EXPECT_EQ(1u, model->driver().engine().problems().size());
    EXPECT_TRUE(model->scanComplete());
}

TEST_F(ScanPage, TheBarCreepsToEightyAndStops)
{
    Make(ScanRequest::None());
    model->Open(view, progress);
    for (int i = 0; i < 100; ++i)
        model->OnProgressTimer();
    EXPECT_EQ(80, view.bar.back());
    EXPECT_EQ(82u, view.bar.size());  // 0 at opening, then 0..80
    model->driver().Wait();
}

TEST_F(ScanPage, AbortingShowsItsMessageAndTheResultsAndThePageStays)
{
    StartLongWalk();
    model->OnCommand(kScanAbort);
    EXPECT_EQ(std::vector<std::string>{"Scanning aborted."}, view.messages);
    EXPECT_EQ(100, view.bar.back());
    EXPECT_EQ(1, view.resultsOpened);
    EXPECT_TRUE(view.ended.empty());
    EXPECT_TRUE(view.shown[kScanAbort]);  // the buttons stay as they were
    EXPECT_FALSE(view.shown[kScanRepair]);
    auto stop = s.system.MakeEvent(StopEventName(s.system), true, false, nullptr);
    EXPECT_FALSE(stop->IsSignalled());
    // Pressed again, with no worker running, it ends the page.
    model->OnCommand(kScanAbort);
    EXPECT_EQ(std::vector<int>{0}, view.ended);
    EXPECT_FALSE(model->OnDestroy());
}

TEST_F(ScanPage, TheSecondClickOfADoubleClickOnScanNowDoesNotAbort)
{
    StartLongWalk();
    model->PageShownAt(10000);
    // Queued while the page was built, and just after it opened: both halves of a double click.
    EXPECT_TRUE(model->OnPointerClick(kScanAbort, 9900, 500));
    EXPECT_TRUE(model->OnPointerClick(kScanAbort, 10200, 500));
    EXPECT_TRUE(model->driver().IsScanning());
    EXPECT_TRUE(view.messages.empty());
    // A deliberate click after the double-click time aborts.
    EXPECT_TRUE(model->OnPointerClick(kScanAbort, 10800, 500));
    EXPECT_EQ(std::vector<std::string>{"Scanning aborted."}, view.messages);
    EXPECT_FALSE(model->scanComplete());  // the viewer must not call it finished
    // A double click on "Abort scanning" aborts once: its second half does not end the page.
    model->OnPointerClick(kScanAbort, 10900, 500);
    EXPECT_TRUE(view.ended.empty());
    model->OnPointerClick(kScanAbort, 12000, 500);
    EXPECT_EQ(std::vector<int>{0}, view.ended);
}

TEST_F(ScanPage, AHeaderButtonTakesItsFirstClickAtOnce)
{
    StartLongWalk();
    model->PageShownAt(10000);
    EXPECT_TRUE(model->OnPointerClick(kHeaderUserSettings, 10100, 500));
    EXPECT_EQ(std::vector<std::string>{"Scanning aborted."}, view.messages);
    EXPECT_EQ(std::vector<int>{kRequestSettingsPage}, view.ended);
}

TEST_F(ScanPage, TheGuardHoldsAcrossTheTickCountWrappingAround)
{
    DoubleClickGuard guard;
    guard.Arm(0xFFFFFF00u);
    EXPECT_FALSE(guard.Accept(0x00000010u, 500));  // 0x110 ms later
    EXPECT_TRUE(guard.Accept(0x00000300u, 500));   // 0x2F0 = 752 ms after the previous click
}

TEST_F(ScanPage, AHeaderButtonDuringTheScanAbortsAndLeavesItsRequestWithoutTheResults)
{
    StartLongWalk();
    model->OnCommand(kHeaderUserSettings);
    EXPECT_EQ(std::vector<std::string>{"Scanning aborted."}, view.messages);
    EXPECT_EQ(0, view.resultsOpened);
    EXPECT_EQ(std::vector<int>{kRequestSettingsPage}, view.ended);
    EXPECT_EQ(kRequestSettingsPage, model->pageRequest());
    EXPECT_EQ(0, view.mainClosed);
}

TEST_F(ScanPage, ExitDuringTheScanEndsTheWorkerThePageAndTheProgram)
{
    StartLongWalk();
    model->OnCommand(kScanExit);
    EXPECT_FALSE(model->driver().IsScanning());
    EXPECT_EQ(std::vector<int>{0}, view.ended);
    EXPECT_EQ(1, view.mainClosed);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(ScanPage, EndedAnyOtherWayDuringTheScanTheWorkerStopsAndTheProgramEnds)
{
    StartLongWalk();
    EXPECT_TRUE(model->OnDestroy());
    EXPECT_FALSE(model->driver().IsScanning());
}

TEST_F(ScanPage, WhatTheResultsViewerAsksForEndsThePage)
{
    Make(ScanRequest::None());
    model->Open(view, progress);
    model->driver().Wait();
    view.results = {kRequestMainPage, false};
    model->OnScanCompleted();
    EXPECT_EQ(std::vector<int>{kRequestMainPage}, view.ended);

    ScanPage::view = FakePageView{};
    Make(ScanRequest::None());
    model->Open(view, progress);
    model->driver().Wait();
    view.results = {0, true};  // closed through its close step
    model->OnScanCompleted();
    EXPECT_EQ(std::vector<int>{0}, view.ended);
}

TEST_F(ScanPage, TheRepairForTheResultsBacksUpDeletesTheTickedAndThenClosesThePage)
{
    const std::string run = "Software\\Microsoft\\Windows\\Currentversion\\Run";
    s.Text(kLocalMachine, run, "Gone", "C:\\Gone\\run.exe");
    s.Text(kLocalMachine, run, "Kept", "C:\\Gone\\kept.exe");
    ScanRequest request;
    request[ScanSection::StartupPrograms] = kSectionRequested;
    s.system.MakeDirectory("C:\\Tarnwick");
    Make(request);
    model->Open(view, progress);
    model->driver().Wait();
    // As the results viewer does: untick one, repair, then stop-or-close.
    view.duringResults = [&] {
        for (auto& p : model->driver().engine().problems())
            if (p->value && p->value->name == "Kept")
                p->excluded = 1;
        model->Repair();
        model->StopOrClose();
    };
    model->OnScanCompleted();
    // The wait cursor during the repair, and again during the second look after it.
    EXPECT_EQ((std::vector<std::string>{"wait", "arrow", "wait", "arrow"}), view.events);
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_FALSE(GetValue(s.registry, kLocalMachine, run, "Gone", &type, &data));
    EXPECT_TRUE(GetValue(s.registry, kLocalMachine, run, "Kept", &type, &data));
    EXPECT_EQ(1u, s.system.FindFiles("C:\\Tarnwick\\Registry Backups\\*.reg").size());
    EXPECT_EQ(std::vector<int>{0}, view.ended);
}

// The registry refuses to delete one ticked entry: the repair removes the others and then
// says how many it left and which log names them, before the page closes.
TEST_F(ScanPage, ARepairThatLeftItemsSaysHowManyAndWhereTheLogNamesThem)
{
    const std::string run = "Software\\Microsoft\\Windows\\Currentversion\\Run";
    const std::string runOnce = "Software\\Vendor\\Locked";
    s.Text(kLocalMachine, run, "Gone", "C:\\Gone\\run.exe");
    s.Text(kLocalMachine, runOnce, "P", "C:\\Gone\\locked.exe");
    ASSERT_TRUE(s.registry.RefuseWriteAccess(kLocalMachine, runOnce));
    ScanRequest request;
    request[ScanSection::StartupPrograms] = kSectionRequested;
    request[ScanSection::CompleteRegistryScan] = kSectionRequested;
    s.system.MakeDirectory("C:\\Tarnwick");
    Make(request);
    model->Open(view, progress);
    model->driver().Wait();
    view.duringResults = [&] {
        model->Repair();
        model->StopOrClose();
    };
    model->OnScanCompleted();
    std::uint32_t type = 0;
    Bytes data;
    EXPECT_FALSE(GetValue(s.registry, kLocalMachine, run, "Gone", &type, &data));
    EXPECT_TRUE(GetValue(s.registry, kLocalMachine, runOnce, "P", &type, &data));
    // The message keeps its text and offers to undo the repair.
    ASSERT_FALSE(view.questions.empty());
    EXPECT_EQ("1 of the ticked items was left in place: not saved completely, changed since the scan, or refused by "
              "the registry.\nThe activity log names each one:\n" + s.log.path() + "\n\nUndo this repair now?",
              view.questions.front());
    EXPECT_FALSE(s.log.path().empty());
}

// The repair's message says what it removed and offers to undo it: Yes writes everything back
// (the registry is as before the repair) and says so; the page then closes as after any repair.
TEST_F(ScanPage, TheRepairMessageOffersTheUndoAndYesPutsEverythingBack)
{
    const std::string run = "Software\\Microsoft\\Windows\\Currentversion\\Run";
    s.Text(kLocalMachine, run, "Gone", "C:\\Gone\\run.exe");
    s.Text(kLocalMachine, run, "Other", "C:\\Gone\\other.exe");
    ScanRequest request;
    request[ScanSection::StartupPrograms] = kSectionRequested;
    s.system.MakeDirectory("C:\\Tarnwick");
    const std::string before = DumpBranch(s.registry, kLocalMachine, "Software");
    Make(request);
    model->Open(view, progress);
    model->driver().Wait();
    view.answers = {true};
    view.duringResults = [&] {
        model->Repair();
        model->StopOrClose();
    };
    model->OnScanCompleted();
    EXPECT_EQ(std::vector<std::string>{"The repair removed 0 keys, 2 values and 0 shortcut files.\n\nUndo this "
                                       "repair now?"},
              view.questions);
    EXPECT_EQ(before, DumpBranch(s.registry, kLocalMachine, "Software"));
    ASSERT_FALSE(view.messages.empty());
    // Two values, each in a record of its own with its key, as the backup manager lists them.
    EXPECT_EQ("The repair is undone: 4 items were written back.", view.messages.back());
    EXPECT_EQ(std::vector<int>{0}, view.ended);
    // No second look after an undo: the results were opened once, for the scan.
    EXPECT_EQ(1, view.resultsOpened);
}

// Not undone, the repair is followed by a second look: an entry the repair orphaned is
// counted, and shown in the results viewer, alone, when the user asks; nothing is repaired
// without the user's review.
TEST_F(ScanPage, TheSecondLookCountsWhatTheRepairLeftAndShowsItOnRequest)
{
    s.Text(kClassesRoot, ".alias", nullptr, ".def");
    s.Text(kClassesRoot, ".def", nullptr, "deffile");
    s.Text(kClassesRoot, "deffile\\shell\\open\\command", nullptr, "\"C:\\Apps\\gone.exe\" \"%1\"");
    ScanRequest request;
    request[ScanSection::FileAssociations] = kSectionRequested;
    s.system.MakeDirectory("C:\\Tarnwick");
    Make(request);
    model->Open(view, progress);
    model->driver().Wait();
    view.answers = {false, true};  // keep the repair; show what it left
    std::vector<std::string> shownSecond;
    int opened = 0;
    view.duringResults = [&] {
        if (++opened == 1) {
            model->Repair();
            model->StopOrClose();
        } else {
            for (const auto& p : model->driver().engine().problems())
                shownSecond.push_back(p->keyPath);
            EXPECT_TRUE(model->driver().shortcuts().brokenList.empty());
        }
    };
    model->OnScanCompleted();
    ASSERT_EQ(2u, view.questions.size());
    EXPECT_EQ("The repair removed 1 key, 0 values and 0 shortcut files.\n\nUndo this repair now?", view.questions[0]);
    EXPECT_EQ("The repair left 1 new problem. Show it?", view.questions[1]);
    EXPECT_EQ(2, view.resultsOpened);
    EXPECT_EQ(Strings{"HKEY_CLASSES_ROOT\\.alias"}, shownSecond);
    EXPECT_FALSE(KeyExists(s.registry, kClassesRoot, ".def"));
    EXPECT_TRUE(KeyExists(s.registry, kClassesRoot, ".alias"));

    // Answered No, the viewer does not open again.
    ScanPage::view = FakePageView{};
    s.Text(kClassesRoot, ".def", nullptr, "deffile");
    Make(request);
    model->Open(view, progress);
    model->driver().Wait();
    view.answers = {false, false};
    view.duringResults = [&] {
        model->Repair();
        model->StopOrClose();
    };
    model->OnScanCompleted();
    EXPECT_EQ("The repair left 1 new problem. Show it?", view.questions.back());
    EXPECT_EQ(1, view.resultsOpened);

    // Repaired from the page's own button and not shown, what the repair left cannot be
    // repaired from there unseen: the button goes.
    ScanPage::view = FakePageView{};
    s.Text(kClassesRoot, ".def", nullptr, "deffile");
    Make(request);
    model->Open(view, progress);
    model->driver().Wait();
    view.answers = {false, false};
    model->OnCommand(kScanRepair);
    EXPECT_EQ("The repair left 1 new problem. Show it?", view.questions.back());
    EXPECT_FALSE(view.shown[kScanRepair]);
    EXPECT_TRUE(KeyExists(s.registry, kClassesRoot, ".alias"));
}

// Never report again puts all the chosen entries on the list or none: one that cannot be
// written takes the others off again, since the viewer then keeps them all among its findings.
TEST_F(ScanPage, IgnoringEntriesIsAllOrNone)
{
    Make(ScanRequest::None());
    const std::vector<IgnoredEntry> entries = {{"HKEY_CLASSES_ROOT\\.aaa", std::string("x")},
                                               {"HKEY_CLASSES_ROOT\\.bbb", std::string("y")}};
    s.registry.InjectFault(RegOp::SetValueEx, 3, kErrorAccessDenied);  // the second entry's key path
    EXPECT_EQ(kErrorAccessDenied, model->Ignore(entries));
    IgnoreList list(s.registry);
    ASSERT_EQ(kSuccess, list.Load());
    EXPECT_TRUE(list.entries().empty());
    EXPECT_EQ(kSuccess, model->Ignore(entries));
    ASSERT_EQ(kSuccess, list.Load());
    EXPECT_EQ(2u, list.entries().size());
}

}  // namespace
}  // namespace tw::test
