// The exception barrier of every window procedure: an exception thrown while a message is
// handled must never unwind through the system's code that called the procedure. It stops
// here, is written to the activity log, and the dialog the window belongs to ends.
#pragma once

#include <windows.h>

#include <exception>

namespace tw {

class ActivityLog;

// The log that stopped exceptions are written to (the program's activity log); none until set.
void SetWindowExceptionLog(ActivityLog* log);

// Writes "<where>: <what>" to the log and ends the top-level dialog of `window`
// (EndDialog with -1; a window that is no dialog is sent WM_CLOSE).
void ReportWindowException(HWND window, const char* where, const char* what) noexcept;

// Runs `body` (a window procedure's work) behind the barrier; `failed` is the answer given
// to the system when it threw.
template <class Body>
auto GuardedWindowCall(HWND window, const char* where, Body&& body, decltype(body()) failed) noexcept
    -> decltype(body())
{
    try {
        return body();
    } catch (const std::exception& e) {
        ReportWindowException(window, where, e.what());
    } catch (...) {
        ReportWindowException(window, where, "unknown exception");
    }
    return failed;
}

}  // namespace tw
