#include "ui/window_barrier.h"

#include "log/activity_log.h"

#include <atomic>
#include <string>

namespace tw {
namespace {

std::atomic<ActivityLog*> exceptionLog{nullptr};

}  // namespace

void SetWindowExceptionLog(ActivityLog* log)
{
    exceptionLog = log;
}

void ReportWindowException(HWND window, const char* where, const char* what) noexcept
{
    try {
        if (ActivityLog* log = exceptionLog.load())
            log->Write(std::string("Window error in ") + where + ": " + what);
    } catch (...) {
        // Out of memory while reporting: the window still ends below.
    }
    HWND top = window ? GetAncestor(window, GA_ROOT) : nullptr;
    if (!top)
        return;
    char className[16] = {};
    GetClassNameA(top, className, sizeof className);
    if (lstrcmpA(className, "#32770") == 0)
        ::EndDialog(top, -1);
    else
        PostMessageA(top, WM_CLOSE, 0, 0);
}

}  // namespace tw
