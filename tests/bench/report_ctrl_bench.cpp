// The report list with 10^4 rows, as the results viewer fills it (a tick, black and red texts,
// a preview area the owner draws): the time to insert the rows, to open the window and paint
// it the first time, to repaint it whole (100 times, at the top and at the end of the list),
// to scroll by pages, by jumps and by the wheel, and to empty it; a list of 10 rows repainted
// the same way shows that a repaint does not grow with the number of rows. Windows only: run
// under Wine with a display (tools/run-benchmarks.sh gives it one).
#include "bench/support/bench_memory.h"
#include "ui/report_ctrl.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace tw::bench {
namespace {

constexpr int kListId = 100;
constexpr int kRows = 10000;
constexpr int kRepaints = 100;

double Seconds(const std::function<void()>& run)
{
    auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && wParam == kListId) {
        const auto& note = *reinterpret_cast<const ReportNotification*>(lParam);
        if (static_cast<int>(note.header.code) == kReportDrawPreview) {
            RECT r = note.rect;
            r.left += 40;
            r.top += 2;
            r.bottom -= 2;
            char text[96];
            std::snprintf(text, sizeof text, "Error Description: the description of row %d, drawn by the owner.",
                          note.row);
            SetTextColor(note.dc, GetSysColor(COLOR_GRAYTEXT));
            DrawTextA(note.dc, text, -1, &r, DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_END_ELLIPSIS);
        }
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

struct Window {
    HWND top = nullptr;
    std::unique_ptr<CReportCtrl> list;
    ~Window()
    {
        list.reset();
        if (top)
            DestroyWindow(top);
        Pump();
    }
};

bool Open(Window& w)
{
    w.top = CreateWindowExA(0, "TarnwickReportBench", "Report list benchmark", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20,
                            20, 640, 500, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!w.top)
        return false;
    w.list = std::make_unique<CReportCtrl>();
    RECT rect{17, 20, 600, 455};
    if (!w.list->Create(0x50010040, rect, w.top, kListId))
        return false;
    w.list->SetPaletteColour(0, RGB(0, 0, 0));
    w.list->SetPaletteColour(1, RGB(255, 0, 0));
    const int widths[4] = {30, 160, 165, 225};
    for (int i = 0; i < 4; ++i) {
        ReportColumn column;
        column.width = widths[i];
        column.format = i < 3 ? 0x44000u : 0x4000u;
        w.list->DefineColumn(i, column);
        w.list->ShowColumn(i, i);
    }
    return true;
}

void Fill(CReportCtrl& list, int rows)
{
    for (int i = 0; i < rows; ++i) {
        ReportItem item;
        item.mask = kItemState | kItemOwnerValue | kItemPreview;
        item.row = i;
        item.state = 12;
        item.ownerValue = i;
        item.previewHeight = 37;
        int row = list.InsertItem(item);
        list.SetItemText(row, 1, "Section " + std::to_string(i), 0);
        list.SetItemText(row, 2, std::to_string(i % 97 + 1) + " Problems Found", 1);
        list.SetItemText(row, 3, "Use Double-Click for view Details...");
        list.SetCheck(row, 0, 1);
    }
}

// Milliseconds per full repaint of the list, painted at once.
double Repaints(HWND list, int count)
{
    double seconds = Seconds([&] {
        for (int i = 0; i < count; ++i)
            RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    });
    return seconds * 1000.0 / count;
}

int Run()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = "TarnwickReportBench";
    if (!RegisterClassA(&wc)) {
        std::printf("cannot register the owner's window class (%lu)\n", GetLastError());
        return 1;
    }

    std::printf("report list, %d rows of four columns with a tick, red and black text and a preview area\n", kRows);
    double small = 0;
    {
        Window w;
        if (!Open(w)) {
            std::printf("cannot open the list (%lu)\n", GetLastError());
            return 1;
        }
        Fill(*w.list, 10);
        UpdateWindow(w.top);
        Pump();
        small = Repaints(w.list->hwnd(), kRepaints);
    }

    Window w;
    double opened = Seconds([&] {
        if (Open(w)) {
            UpdateWindow(w.top);
            Pump();
        }
    });
    if (!w.list || !w.list->hwnd()) {
        std::printf("cannot open the list (%lu)\n", GetLastError());
        return 1;
    }
    std::uint64_t before = CurrentMemoryBytes();
    double inserted = Seconds([&] { Fill(*w.list, kRows); });
    std::uint64_t after = CurrentMemoryBytes();
    double firstPaint = Seconds([&] {
        UpdateWindow(w.list->hwnd());
        Pump();
    });
    HWND list = w.list->hwnd();
    const ReportModel& model = w.list->model();
    std::printf("  open the window (empty list, first paint): %.1f ms\n", opened * 1000.0);
    std::printf("  insert %d rows with their texts and ticks: %.1f ms (%.1f us per row); memory %.1f MiB more\n", kRows,
                inserted * 1000.0, inserted * 1e6 / kRows,
                static_cast<double>(after > before ? after - before : 0) / (1024.0 * 1024.0));
    std::printf("  first paint with %d rows: %.2f ms (%d rows in view)\n", kRows, firstPaint * 1000.0,
                model.VisibleRows().last - model.VisibleRows().first);

    double top = Repaints(list, kRepaints);
    SendMessageA(list, WM_VSCROLL, SB_BOTTOM, 0);
    double bottom = Repaints(list, kRepaints);
    std::printf("  %d full repaints at the top: %.2f ms each; at the end (top row %d): %.2f ms each\n", kRepaints, top,
                model.TopRow(), bottom);
    std::printf("  the same repaint with 10 rows: %.2f ms each (10^4 rows take %.2f times as long)\n", small,
                small > 0 ? top / small : 0.0);

    SendMessageA(list, WM_VSCROLL, SB_TOP, 0);
    int pages = 0;
    double paging = Seconds([&] {
        for (; pages < kRepaints && model.TopRow() < model.MaxTopRow(); ++pages) {
            SendMessageA(list, WM_VSCROLL, SB_PAGEDOWN, 0);
            UpdateWindow(list);
        }
    });
    std::printf("  %d page scrolls, each painted: %.2f ms each\n", pages, pages ? paging * 1000.0 / pages : 0.0);
    double jumps = Seconds([&] {
        for (int i = 0; i < kRepaints; ++i) {
            w.list->EnsureVisible((i * 7919) % kRows);
            UpdateWindow(list);
        }
    });
    std::printf("  %d jumps to scattered rows, each painted: %.2f ms each\n", kRepaints, jumps * 1000.0 / kRepaints);
    double wheel = Seconds([&] {
        for (int i = 0; i < kRepaints; ++i) {
            SendMessageA(list, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
            Pump();
            UpdateWindow(list);
        }
    });
    std::printf("  %d wheel notches (%d lines each), each painted: %.2f ms each\n", kRepaints, model.WheelLines(),
                wheel * 1000.0 / kRepaints);

    double emptied = Seconds([&] {
        w.list->DeleteAllItems();
        UpdateWindow(list);
    });
    std::printf("  empty the list (the owner told of every row) and paint: %.1f ms\n", emptied * 1000.0);
    std::printf("  peak working set: %.1f MiB\n", static_cast<double>(PeakMemoryBytes()) / (1024.0 * 1024.0));
    return 0;
}

}  // namespace
}  // namespace tw::bench

int main()
{
    return tw::bench::Run();
}
