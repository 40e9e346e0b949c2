#include "ui/hyperlink.h"

#include "platform/win32/win32_registry.h"
#include "ui/skin_button.h"
#include "ui/wide_text.h"

#include "ui/window_barrier.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

namespace tw {
namespace {

constexpr UINT_PTR kSubclassId = 0x484C4E4B;  // "HLNK"

// One hand cursor for every link of the process, kept until it ends.
HCURSOR SharedHandCursor()
{
    static UniqueCursor cursor = LoadHandCursorCopy();
    return cursor.get();
}

}  // namespace

CHyperLink::~CHyperLink()
{
    if (hwnd_)
        RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
}

bool CHyperLink::Attach(HWND dialog, int id)
{
    hwnd_ = GetDlgItem(dialog, id);
    if (!hwnd_)
        return false;
    int length = GetWindowTextLengthA(hwnd_);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd_, text.data(), length + 1)));
    if (address_.empty())
        address_ = text;
    if (text.empty())
        SetWindowTextA(hwnd_, address_.c_str());

    if (HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0))) {
        LOGFONTA description{};
        GetObjectA(font, sizeof description, &description);
        description.lfUnderline = (flags_ & kLinkUnderline) ? TRUE : FALSE;
        font_.reset(CreateFontIndirectA(&description));
        SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        if (flags_ & kLinkSizeToText)
            SizeToText();
    } else {
        flags_ &= ~static_cast<unsigned>(kLinkSizeToText);
    }
    if (!(flags_ & kLinkNoHandCursor))
        SharedHandCursor();
    // Static controls ignore the mouse unless they notify.
    SetWindowLongPtrA(hwnd_, GWL_STYLE, GetWindowLongPtrA(hwnd_, GWL_STYLE) | SS_NOTIFY);

    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, GetModuleHandleA(nullptr),
                               nullptr);
    if (tooltip_) {
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = 1;
        GetClientRect(hwnd_, &tool.rect);
        tool.lpszText = address_.data();
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SetWindowSubclass(hwnd_, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    return true;
}

void CHyperLink::SizeToText()
{
    int length = GetWindowTextLengthA(hwnd_);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd_, text.data(), length + 1)));
    SIZE extent{};
    {
        WindowDc dc(hwnd_);
        SelectedObject font(dc.get(), font_.get());
        const std::wstring wide = ui::WideText(text);
        GetTextExtentPoint32W(dc.get(), wide.data(), static_cast<int>(wide.size()), &extent);
    }

    RECT rect;
    GetWindowRect(hwnd_, &rect);
    HWND parent = GetParent(hwnd_);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    LONG_PTR style = GetWindowLongPtrA(hwnd_, GWL_STYLE);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    int x = rect.left, y = rect.top;
    if ((style & SS_TYPEMASK) == SS_CENTER)
        x += (width - extent.cx) / 2;
    else if ((style & SS_TYPEMASK) == SS_RIGHT)
        x += width - extent.cx;
    if (style & SS_CENTERIMAGE)
        y += (height - extent.cy) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, extent.cx, extent.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

HBRUSH CHyperLink::OnColour(HDC dc)
{
    LinkColour c = LinkColourFor(flags_, hovering_, active_, visited_);
    SetTextColor(dc, RGB(c.red, c.green, c.blue));
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
}

INT_PTR CHyperLink::GoToAddress(Registry& registry, const std::string& address, int showCommand)
{
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, showCommand));
    if (result > 32)
        return result;
    std::optional<std::string> command = BrowserFallbackCommand(registry, address);
    if (!command)
        return result;
    return static_cast<INT_PTR>(WinExec(command->c_str(), static_cast<UINT>(showCommand)));
}

INT_PTR CHyperLink::GoToAddress(const std::string& address, int showCommand)
{
    Win32Registry registry;
    return GoToAddress(registry, address, showCommand);
}

void CHyperLink::ReportError(HWND owner, int code)
{
    MessageBoxA(owner, LinkErrorText(code).c_str(), nullptr, MB_ICONEXCLAMATION | MB_OK);
}

void CHyperLink::Follow()
{
    INT_PTR result = GoToAddress(address_, SW_SHOWNORMAL);
    if (result <= 32) {
        MessageBeep(MB_ICONEXCLAMATION);
        ReportError(GetParent(hwnd_), static_cast<int>(result));
        return;
    }
    visited_ = true;
    InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT CALLBACK CHyperLink::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR self)
{
    auto* link = reinterpret_cast<CHyperLink*>(self);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
        link->hwnd_ = nullptr;
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    return GuardedWindowCall(
        hwnd, "hyperlink", [&] { return link->HandleMessage(message, wParam, lParam); }, LRESULT(0));
}

LRESULT CHyperLink::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_SETCURSOR:
        if (!(flags_ & kLinkNoHandCursor) && SharedHandCursor()) {
            SetCursor(SharedHandCursor());
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE: {
        if (!hovering_) {
            hovering_ = true;
            InvalidateRect(hwnd_, nullptr, TRUE);
            SetCapture(hwnd_);
        } else {
            RECT client;
            GetClientRect(hwnd_, &client);
            POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (!PtInRect(&client, p)) {
                hovering_ = false;
                ReleaseCapture();
                InvalidateRect(hwnd_, nullptr, TRUE);
            }
        }
        break;
    }
    case WM_SETFOCUS:
        active_ = true;
        InvalidateRect(hwnd_, nullptr, TRUE);
        break;
    case WM_KILLFOCUS:
        hovering_ = false;
        active_ = false;
        InvalidateRect(hwnd_, nullptr, TRUE);
        break;
    case WM_LBUTTONDOWN:
        if (flags_ & kLinkFocusOnClick)
            SetFocus(hwnd_);
        if (flags_ & kLinkFollowOnButtonDown)
            Follow();
        active_ = true;
        return 0;
    case WM_LBUTTONUP:
        if (active_ && !(flags_ & kLinkFollowOnButtonDown))
            Follow();
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) {
            Follow();
            return 0;
        }
        break;
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS;
    default:
        break;
    }
    return DefSubclassProc(hwnd_, message, wParam, lParam);
}

}  // namespace tw
