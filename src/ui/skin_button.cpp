#include "ui/skin_button.h"

#include "ui/mask_region.h"
#include "ui/wide_text.h"

#include "ui/window_barrier.h"

#include <commctrl.h>

#include <optional>
#include <vector>

namespace tw {
namespace {

constexpr UINT_PTR kSubclassId = 0x534B4E42;  // "SKNB"

HBITMAP LoadImageResource(int id)
{
    if (id == 0)
        return nullptr;
    return LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
}

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info))
        return {0, 0};
    return {info.bmWidth, info.bmHeight};
}

// The region of a mask: every run of pixels that are not white, one rectangle each.
HRGN RegionFromMask(HBITMAP mask)
{
    SIZE size = BitmapSize(mask);
    if (size.cx <= 0 || size.cy <= 0)
        return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy));
    int rows = GetDIBits(WindowDc(nullptr).get(), mask, 0, static_cast<UINT>(size.cy), pixels.data(), &info,
                         DIB_RGB_COLORS);
    if (rows != size.cy)
        return nullptr;
    std::vector<RunRect> runs = MaskRuns(size.cx, size.cy, [&](int x, int y) {
        return (pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(size.cx) + static_cast<std::size_t>(x)] &
                0xFFFFFFu) == 0xFFFFFFu;
    });
    std::vector<std::uint8_t> buffer(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(runs.size());
    data->rdh.nRgnSize = static_cast<DWORD>(runs.size() * sizeof(RECT));
    data->rdh.rcBound = {0, 0, size.cx, size.cy};
    auto* rects = reinterpret_cast<RECT*>(data->Buffer);
    for (std::size_t i = 0; i < runs.size(); ++i)
        rects[i] = {runs[i].left, runs[i].top, runs[i].right, runs[i].bottom};
    return ExtCreateRegion(nullptr, static_cast<DWORD>(buffer.size()), data);
}

}  // namespace

UniqueCursor LoadHandCursorCopy()
{
    // The Windows folder through the wide call: its name may be in any script.
    wchar_t windows[MAX_PATH] = {};
    UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    HCURSOR copy = nullptr;
    if (length > 0 && length < MAX_PATH) {
        std::wstring path = std::wstring(windows, length) + L"\\winhlp32.exe";
        UniqueModule help(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (help) {
            if (HCURSOR cursor = LoadCursorA(help.get(), MAKEINTRESOURCEA(106)))
                copy = CopyCursor(cursor);
        }
    }
    if (!copy) {
        // Systems without that file have a hand of their own.
        if (HCURSOR hand = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)))  // IDC_HAND
            copy = CopyCursor(hand);
    }
    return UniqueCursor(copy);
}

SkinButton::SkinButton() : textColour_(GetSysColor(COLOR_BTNTEXT)), handCursor_(LoadHandCursorCopy()) {}

SkinButton::~SkinButton()
{
    Detach();
}

bool SkinButton::Attach(HWND dialog, int id)
{
    Detach();
    HWND button = GetDlgItem(dialog, id);
    if (!button)
        return false;
    hwnd_ = button;
    LONG_PTR style = GetWindowLongPtrA(button, GWL_STYLE);
    SetWindowLongPtrA(button, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    SetWindowSubclass(button, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    return true;
}

void SkinButton::Detach()
{
    if (hwnd_) {
        RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
        if (tooltip_ && IsWindow(tooltip_))
            DestroyWindow(tooltip_);
    }
    tooltip_ = nullptr;
    hwnd_ = nullptr;
}

void SkinButton::FreeImages()
{
    normal_.reset();
    pressed_.reset();
    hover_.reset();
    disabled_.reset();
    mask_.reset();
    disabledIsNormal_ = false;
}

void SkinButton::SetImages(int normal, int pressed, int hover, int disabled, int mask, int drawMode, bool edge,
                           int focusInset)
{
    FreeImages();
    normal_.reset(LoadImageResource(normal));
    pressed_.reset(LoadImageResource(pressed));
    hover_.reset(LoadImageResource(hover));
    disabled_.reset(LoadImageResource(disabled));
    disabledIsNormal_ = !disabled_;
    drawMode_ = drawMode > 1 ? 2 : drawMode < 0 ? 0 : drawMode;
    edge_ = edge;
    focusInset_ = focusInset < 0 ? 0 : focusInset;
    if (mask) {
        mask_.reset(LoadImageResource(mask));
        HRGN region = RegionFromMask(static_cast<HBITMAP>(mask_.get()));
        if (region && hwnd_) {
            // The window owns its region from here on.
            SetWindowRgn(hwnd_, region, TRUE);
        } else if (region) {
            DeleteObject(region);
        }
        SIZE size = BitmapSize(static_cast<HBITMAP>(mask_.get()));
        if (drawMode_ == 0 && hwnd_ && size.cx > 0)
            SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, FALSE);
}

void SkinButton::SetTooltip(const std::string& text)
{
    if (!hwnd_)
        return;
    tooltipText_ = text;
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(hwnd_);
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    tool.lpszText = tooltipText_.data();
    if (!tooltip_) {
        tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetParent(hwnd_), nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
        if (!tooltip_)
            return;
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    } else {
        SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
}

bool SkinButton::PointerOverButton() const
{
    POINT p;
    GetCursorPos(&p);
    return WindowFromPoint(p) == hwnd_;
}

LRESULT CALLBACK SkinButton::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR self)
{
    auto* button = reinterpret_cast<SkinButton*>(self);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
        button->hwnd_ = nullptr;
        button->tooltip_ = nullptr;  // owned by the dialog, destroyed with it
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    return GuardedWindowCall(
        hwnd, "skinned button", [&] { return button->HandleMessage(message, wParam, lParam); }, LRESULT(0));
}

LRESULT SkinButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kReflectedDrawItem:
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_ERASEBKGND:
        return TRUE;  // the image covers the button
    case WM_SETCURSOR:
        if (handCursor_ && useHandCursor_) {
            SetCursor(handCursor_.get());
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE:
        if (handCursor_ && useHandCursor_)
            SetCursor(handCursor_.get());
        if (mousePressed_ && GetCapture() == hwnd_) {
            // Dragged off shows the button raised, dragged back shows it pushed.
            bool over = PointerOverButton();
            bool pushed = (SendMessageA(hwnd_, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
            if (over != pushed)
                SendMessageA(hwnd_, BM_SETSTATE, over, 0);
        } else if (!hovering_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd_, 0};
            if (TrackMouseEvent(&track)) {
                hovering_ = true;
                InvalidateRect(hwnd_, nullptr, FALSE);
            }
        }
        break;
    case WM_MOUSELEAVE:
        hovering_ = false;
        InvalidateRect(hwnd_, nullptr, FALSE);
        break;
    case WM_LBUTTONDBLCLK:
        message = WM_LBUTTONDOWN;  // a double click is a second press
        [[fallthrough]];
    case WM_LBUTTONDOWN:
        if (hovering_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE | TME_CANCEL, hwnd_, 0};
            TrackMouseEvent(&track);
            hovering_ = false;
        }
        // A press made by a program (BM_CLICK) while the pointer is elsewhere is not the
        // pointer's: it must not be undone by the drag-off rule below.
        mousePressed_ = PointerOverButton();
        break;
    case WM_LBUTTONUP: {
        mousePressed_ = false;
        // The click this release makes (BN_CLICKED, sent from in here) is the pointer's,
        // unless the release is one that BM_CLICK sends itself.
        releasing_ = !programClick_;
        LRESULT result = DefSubclassProc(hwnd_, message, wParam, lParam);
        releasing_ = false;
        return result;
    }
    case BM_CLICK: {
        programClick_ = true;
        LRESULT result = DefSubclassProc(hwnd_, message, wParam, lParam);
        programClick_ = false;
        return result;
    }
    case WM_KILLFOCUS:
        if (GetCapture() == hwnd_) {
            ReleaseCapture();
            mousePressed_ = false;
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd_, message, wParam, lParam);
}

void SkinButton::DrawImage(HDC dc, const RECT& rect, HBITMAP image)
{
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (!image) {
        FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    SIZE size = BitmapSize(image);
    UniqueMemoryDc source(CreateCompatibleDC(dc));
    SelectedObject sourceImage(source.get(), image);

    // With a mask, the picture is laid over what lies behind the button.
    HDC target = dc;
    UniqueMemoryDc composed;
    UniqueGdiObject canvas;
    std::optional<SelectedObject> canvasSelected;
    if (mask_) {
        composed.reset(CreateCompatibleDC(dc));
        canvas.reset(CreateCompatibleBitmap(dc, width, height));
        canvasSelected.emplace(composed.get(), canvas.get());
        HWND parent = GetParent(hwnd_);
        RECT inParent = rect;
        MapWindowPoints(hwnd_, parent, reinterpret_cast<POINT*>(&inParent), 2);
        POINT oldOrigin;
        SetViewportOrgEx(composed.get(), -inParent.left, -inParent.top, &oldOrigin);
        SendMessageA(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(composed.get()), 0);
        SetViewportOrgEx(composed.get(), oldOrigin.x, oldOrigin.y, nullptr);
        target = composed.get();
    }
    int ox = mask_ ? 0 : rect.left, oy = mask_ ? 0 : rect.top;
    auto blit = [&](DWORD rop) {
        if (drawMode_ == 1) {
            SetStretchBltMode(target, COLORONCOLOR);
            StretchBlt(target, ox, oy, width, height, source.get(), 0, 0, size.cx, size.cy, rop);
        } else if (drawMode_ == 2 && size.cx > 0 && size.cy > 0) {
            for (int y = 0; y < height; y += size.cy)
                for (int x = 0; x < width; x += size.cx)
                    BitBlt(target, ox + x, oy + y, size.cx, size.cy, source.get(), 0, 0, rop);
        } else {
            BitBlt(target, ox, oy, size.cx, size.cy, source.get(), 0, 0, rop);
        }
    };
    if (mask_) {
        UniqueMemoryDc maskDc(CreateCompatibleDC(dc));
        SelectedObject maskSelected(maskDc.get(), mask_.get());
        SIZE maskSize = BitmapSize(static_cast<HBITMAP>(mask_.get()));
        blit(SRCINVERT);
        BitBlt(composed.get(), 0, 0, maskSize.cx, maskSize.cy, maskDc.get(), 0, 0, SRCAND);
        blit(SRCINVERT);
        BitBlt(dc, rect.left, rect.top, width, height, composed.get(), 0, 0, SRCCOPY);
    } else {
        blit(SRCCOPY);
    }
}

void SkinButton::DrawCaption(HDC dc, const RECT& rect, bool disabled)
{
    int length = GetWindowTextLengthA(hwnd_);
    if (length <= 0)
        return;
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd_, text.data(), length + 1)));
    SelectedObject font(dc, GetStockObject(DEFAULT_GUI_FONT));
    int oldMode = SetBkMode(dc, TRANSPARENT);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    const std::wstring wide = ui::WideText(text);
    int x = rect.left + (rect.right - rect.left - static_cast<int>(wide.size()) * metrics.tmAveCharWidth) / 2;
    int y = rect.top + (rect.bottom - rect.top - metrics.tmHeight) / 2;
    COLORREF oldColour;
    if (disabled) {
        oldColour = SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
        ExtTextOutW(dc, x + 1, y + 1, ETO_CLIPPED, &rect, wide.data(), static_cast<UINT>(wide.size()), nullptr);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
        oldColour = SetTextColor(dc, textColour_);
    }
    ExtTextOutW(dc, x, y, ETO_CLIPPED, &rect, wide.data(), static_cast<UINT>(wide.size()), nullptr);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}

void SkinButton::DrawItem(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    bool pushed = (item.itemState & ODS_SELECTED) != 0;
    bool disabled = (item.itemState & ODS_DISABLED) != 0;
    if (mousePressed_ && GetCapture() == hwnd_) {
        // Keep the pushed look in step with where the pointer is; the change repaints.
        bool over = PointerOverButton();
        if (over != pushed) {
            SendMessageA(hwnd_, BM_SETSTATE, over, 0);
            return;
        }
    }
    if (disabled) {
        DrawImage(dc, rect, static_cast<HBITMAP>(disabledIsNormal_ ? normal_.get() : disabled_.get()));
        if (edge_)
            DrawEdge(dc, &rect, EDGE_RAISED, BF_RECT);
        DrawCaption(dc, rect, true);
        return;
    }
    if (pushed) {
        DrawImage(dc, rect, static_cast<HBITMAP>(pressed_.get()));
        if (edge_)
            DrawEdge(dc, &rect, EDGE_SUNKEN, BF_RECT);
    } else {
        HBITMAP image = static_cast<HBITMAP>(hovering_ && hover_ ? hover_.get() : normal_.get());
        DrawImage(dc, rect, image);
        if (edge_)
            DrawEdge(dc, &rect, EDGE_RAISED, BF_RECT);
    }
    if ((item.itemState & ODS_FOCUS) && focusInset_ > 0) {
        RECT focus = rect;
        InflateRect(&focus, -focusInset_, -focusInset_);
        DrawFocusRect(dc, &focus);
    }
    DrawCaption(dc, rect, false);
}

std::unique_ptr<SkinButton> AttachSkinButton(HWND dialog, int id, int normal, int pressed, int hover, int mask,
                                             const char* tooltip)
{
    auto button = std::make_unique<SkinButton>();
    if (!button->Attach(dialog, id))
        return nullptr;
    button->SetImages(normal, pressed, hover, 0, mask);
    if (tooltip)
        button->SetTooltip(tooltip);
    return button;
}

}  // namespace tw
