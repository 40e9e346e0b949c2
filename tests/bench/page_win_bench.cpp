// The time from a click to a fully drawn window, for each page dialog of Tarnwick.exe as a user
// opens it: the three managers, the backup manager on both pages, the scan progress page and
// the results viewer. "Fully drawn": the page is shown and no part of it or of its shown
// controls still waits to be painted. Each page is opened five times; the best and the median are printed, and the
// median goes into the summary against the 0.3 s a first-time user should wait at most.
// Windows only: run under Wine with a display (tools/run-benchmarks.sh gives it one).
#include "bench/support/bench_summary.h"
#include "wine/gui_driver.h"

#include "../../resources/resource.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace tw::bench {
namespace {

using namespace tw::test::gui;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;
constexpr double kLimitSeconds = 0.3;
const char* const kMainTitle = "Tarnwick Version 2.6";
const char* const kPageTitle = "Tarnwick version 2.6";

BOOL CALLBACK AnyChildToPaint(HWND child, LPARAM found)
{
    if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

// Shown with its controls, and nothing of it left to paint. Not "idle": a page that is drawn
// counts as drawn even while its thread is busy with something else.
bool FullyDrawn(HWND page)
{
    if (!IsWindowVisible(page) || GetUpdateRect(page, nullptr, FALSE))
        return false;
    bool pending = false;
    EnumChildWindows(page, AnyChildToPaint, reinterpret_cast<LPARAM>(&pending));
    return !pending;
}

// The visible page of the run holding control `id`, once it is fully drawn; the seconds from
// `start`, or -1 when it did not come.
double TimeToDrawnPage(TarnwickRun& run, int id, Clock::time_point start, HWND* page)
{
    *page = nullptr;
    bool drawn = WaitFor(
        [&] {
            HWND w = FindProcessWindow(run.processId(), kPageTitle);
            if (!w || !GetDlgItem(w, id))
                return false;
            *page = w;
            return FullyDrawn(w);
        },
        std::chrono::milliseconds(60000), std::chrono::milliseconds(2));
    if (!drawn)
        return -1;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Figures {
    std::vector<double> seconds;
    double Best() const { return seconds.empty() ? -1 : *std::min_element(seconds.begin(), seconds.end()); }
    double Median() const
    {
        if (seconds.empty())
            return -1;
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

void Report(const char* name, const Figures& f)
{
    std::printf("%-34s best %6.3f s   median %6.3f s   first %6.3f s   (%zu rounds)\n", name, f.Best(), f.Median(),
                f.seconds.empty() ? -1.0 : f.seconds.front(), f.seconds.size());
    SummaryRow(std::string("page: ") + name, "click to a fully drawn window", f.Median() / kLimitSeconds,
               "0.3 s", 1.0);
}

// Answers every "Tarnwick" message box the run shows now.
void DismissBoxes(TarnwickRun& run, HWND main)
{
    WaitUntilIdle(main);
    while (HWND box = FindProcessWindow(run.processId(), "Tarnwick")) {
        PressOk(box);
        WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); });
        WaitUntilIdle(main);
    }
}

// Opens a page from the main window with `button` and leaves it with "Show main page".
Figures TimeFromMainWindow(TarnwickRun& run, HWND main, int pageButton, int button, int pageControl)
{
    Figures f;
    for (int round = 0; round < kRounds; ++round) {
        if (pageButton) {
            Click(main, pageButton);
            WaitFor([&] { return Visible(main, button); });
            WaitUntilIdle(main);
        }
        HWND page = nullptr;
        auto start = Clock::now();
        PostMessageA(Control(main, button), BM_CLICK, 0, 0);
        double s = TimeToDrawnPage(run, pageControl, start, &page);
        if (s < 0)
            break;
        f.seconds.push_back(s);
        // "No backups present for restore." over an empty restore page (shown once the page
        // has handled what it posted itself).
        WaitUntilIdle(page);
        if (HWND box = FindProcessWindow(run.processId(), "Tarnwick")) {
            PressOk(box);
            WaitFor([&] { return !IsWindow(box); });
        }
        Click(page, IDC_MAIN_PAGE);
        WaitFor([&] { return IsWindowVisible(main) && !IsWindow(page); });
        DismissBoxes(run, main);
    }
    return f;
}

int Run()
{
    std::printf("page dialogs of Tarnwick.exe: time from the click to a fully drawn window\n");
    TarnwickRun run;
    HWND main = run.WaitForMainWindow();
    if (!main) {
        std::printf("the main window did not come\n");
        return 1;
    }
    WaitUntilIdle(main);
    // Every page has the header's "Show main page" (1049).
    Report("startup programs manager", TimeFromMainWindow(run, main, IDC_USER_SETTINGS, IDC_STARTUP_MANAGER, 1049));
    Report("browser helper object manager", TimeFromMainWindow(run, main, IDC_USER_SETTINGS, IDC_BHO_MANAGER, 1049));
    Report("add/remove programs manager", TimeFromMainWindow(run, main, IDC_USER_SETTINGS, IDC_ADDREMOVE_MANAGER, 1049));
    Report("backup manager, full-backup page", TimeFromMainWindow(run, main, IDC_USER_SETTINGS, IDC_FULL_BACKUP, 1049));
    Report("backup manager, restore page", TimeFromMainWindow(run, main, 0, IDC_BACKUP_TILE, 1049));

    // The scan page, and the results viewer it opens, over a short scan (the help files).
    Click(main, IDC_MAIN_PAGE);
    WaitFor([&] { return Visible(main, IDC_SCAN_NOW); });
    for (int id = IDC_CHK_COMPLETE_REGISTRY; id <= IDC_CHK_SHORTCUTS; ++id)
        if (Checked(main, id) != (id == IDC_CHK_HELP_FILES))
            SendMessageA(Control(main, id), BM_CLICK, 0, 0);
    Figures scan, results;
    for (int round = 0; round < kRounds; ++round) {
        WaitUntilIdle(main);
        HWND page = nullptr;
        auto start = Clock::now();
        PostMessageA(Control(main, IDC_SCAN_NOW), BM_CLICK, 0, 0);
        double s = TimeToDrawnPage(run, 1092, start, &page);
        if (s < 0)
            break;
        scan.seconds.push_back(s);
        HWND done = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(60000));
        if (!done)
            break;
        HWND viewer = nullptr;
        start = Clock::now();
        PressOk(done);
        s = TimeToDrawnPage(run, 1040, start, &viewer);
        if (s < 0)
            break;
        results.seconds.push_back(s);
        Click(viewer, IDC_MAIN_PAGE);
        WaitFor([&] { return IsWindowVisible(main) && !IsWindow(page); });
    }
    Report("scan progress page", scan);
    Report("results viewer", results);

    Click(main, IDC_EXIT);
    run.WaitForExit();
    return 0;
}

}  // namespace
}  // namespace tw::bench

int main()
{
    return tw::bench::Run();
}
