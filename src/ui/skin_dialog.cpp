#include "ui/skin_dialog.h"
#include "../../resources/resource.h"

#include "ui/window_barrier.h"
#include "ui/shared_texts.h"

#include <ole2.h>
#include <olectl.h>
#include <richedit.h>

namespace tw {
namespace {

const char* const kSelfProperty = "TarnwickSkinDialog";

// Decodes a "SKIN" resource (a GIF) into a device-dependent bitmap the caller owns.
HBITMAP DecodeSkin(int skinId)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(skinId), "SKIN");
    if (!found)
        return nullptr;
    DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0)
        return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block)
        return nullptr;
    void* target = GlobalLock(block);
    if (!target) {
        GlobalFree(block);
        return nullptr;
    }
    CopyMemory(target, bytes, size);
    GlobalUnlock(block);
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.Put()))) {  // the stream frees the block
        GlobalFree(block);
        return nullptr;
    }
    ComPtr<IPicture> picture;
    if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture, picture.PutVoid())))
        return nullptr;
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Handle(&handle)) || handle == 0)
        return nullptr;
    // The picture owns its bitmap; keep a copy that outlives it.
    return static_cast<HBITMAP>(
        CopyImage(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), IMAGE_BITMAP, 0, 0, 0));
}

}  // namespace

SkinDialog::SkinDialog(int templateId, HWND parent) : templateId_(templateId), parent_(parent)
{
    if (HMODULE user = GetModuleHandleA("USER32.DLL"))
        setLayered_ = reinterpret_cast<SetLayeredFn>(
            reinterpret_cast<void*>(GetProcAddress(user, "SetLayeredWindowAttributes")));
}

SkinDialog::~SkinDialog()
{
    if (hwnd_) {
        RemovePropA(hwnd_, kSelfProperty);
        hwnd_ = nullptr;
    }
}

INT_PTR SkinDialog::DoModal()
{
    if (memoryTemplate_)
        return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), memoryTemplate_, parent_, DialogProc,
                                       reinterpret_cast<LPARAM>(this));
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId_), parent_, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void SkinDialog::EndDialog(INT_PTR result)
{
    if (hwnd_)
        ::EndDialog(hwnd_, result);
}

bool SkinDialog::LoadSkin(int skinId)
{
    HBITMAP bitmap = DecodeSkin(skinId);
    if (!bitmap)
        return false;
    return SetSkinBitmap(bitmap);
}

bool SkinDialog::SetSkinBitmap(HBITMAP bitmap)
{
    skin_.reset(bitmap);
    skinWidth_ = skinHeight_ = 0;
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) {
        skin_.reset();  // a skin that cannot be sized is no skin
        return false;
    }
    skinWidth_ = info.bmWidth;
    skinHeight_ = info.bmHeight;
    if (drawMode_ == kSkinSizeWindow && hwnd_)
        SizeToSkin();
    if (hwnd_)
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
    return true;
}

void SkinDialog::SetDrawMode(SkinDrawMode mode)
{
    drawMode_ = mode;
    if (mode == kSkinSizeWindow && skin_ && hwnd_)
        SizeToSkin();
}

void SkinDialog::SizeToSkin()
{
    SetWindowPos(hwnd_, nullptr, 0, 0, skinWidth_, skinHeight_, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A template that asks to be centred is centred at its final size.
    if (GetWindowLongPtrA(hwnd_, GWL_STYLE) & DS_CENTER) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (!GetMonitorInfoA(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor))
            return;
        const RECT& work = monitor.rcWork;
        SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - skinWidth_) / 2,
                     work.top + (work.bottom - work.top - skinHeight_) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

bool SkinDialog::SetTransparentColour(COLORREF colour, bool enable)
{
    if (!setLayered_ || !hwnd_)
        return false;
    LONG_PTR exStyle = GetWindowLongPtrA(hwnd_, GWL_EXSTYLE);
    if (enable) {
        SetWindowLongPtrA(hwnd_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
        setLayered_(hwnd_, colour, 0, LWA_COLORKEY);
    } else {
        SetWindowLongPtrA(hwnd_, GWL_EXSTYLE, exStyle & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    return true;
}

void SkinDialog::PlaceControlsOnSkinGrid()
{
    // The dialog manager placed each control at MulDiv(units, base, 4 or 8) pixels; with at
    // least one pixel per unit that rounding can be undone exactly.
    RECT base{0, 0, 4, 8};
    MapDialogRect(hwnd_, &base);
    if (base.right <= 0 || base.bottom <= 0)
        return;
    if (base.right == kSkinBaseUnitX && base.bottom == kSkinBaseUnitY)
        return;
    auto toUnits = [](LONG pixels, LONG scale, int divisor) { return MulDiv(pixels, divisor, scale); };
    auto toSkin = [](int units, int scale, int divisor) { return MulDiv(units, scale, divisor); };
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
        int x = toUnits(r.left, base.right, 4), y = toUnits(r.top, base.bottom, 8);
        int w = toUnits(r.right - r.left, base.right, 4), h = toUnits(r.bottom - r.top, base.bottom, 8);
        SetWindowPos(child, nullptr, toSkin(x, kSkinBaseUnitX, 4), toSkin(y, kSkinBaseUnitY, 8),
                     toSkin(w, kSkinBaseUnitX, 4), toSkin(h, kSkinBaseUnitY, 8), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT client;
    GetClientRect(hwnd_, &client);
    RECT window;
    GetWindowRect(hwnd_, &window);
    int w = toSkin(toUnits(client.right, base.right, 4), kSkinBaseUnitX, 4);
    int h = toSkin(toUnits(client.bottom, base.bottom, 8), kSkinBaseUnitY, 8);
    SetWindowPos(hwnd_, nullptr, 0, 0, window.right - window.left - client.right + w,
                 window.bottom - window.top - client.bottom + h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SkinDialog::DrawSkin(HDC dc)
{
    if (!skin_ || !hwnd_)
        return;
    RECT client;
    GetClientRect(hwnd_, &client);
    int W = client.right, H = client.bottom, w = skinWidth_, h = skinHeight_;
    UniqueMemoryDc source(CreateCompatibleDC(dc));
    SelectedObject selected(source.get(), skin_.get());
    switch (drawMode_) {
    case kSkinTile:
        for (int y = 0; y < H; y += h)
            for (int x = 0; x < W; x += w)
                BitBlt(dc, x, y, w, h, source.get(), 0, 0, SRCCOPY);
        break;
    case kSkinCentre:
        BitBlt(dc, (W - w) / 2, (H - h) / 2, w, h, source.get(), 0, 0, SRCCOPY);
        break;
    case kSkinStretch:
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, 0, 0, W, H, source.get(), 0, 0, w, h, SRCCOPY);
        break;
    default:
        BitBlt(dc, 0, 0, w < W ? w : W, h < H ? h : H, source.get(), 0, 0, SRCCOPY);
        break;
    }
}

INT_PTR CALLBACK SkinDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    SkinDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<SkinDialog*>(lParam);
        self->hwnd_ = hwnd;
        SetPropA(hwnd, kSelfProperty, self);
    } else {
        self = static_cast<SkinDialog*>(GetPropA(hwnd, kSelfProperty));
    }
    if (!self)
        return FALSE;
    INT_PTR result = GuardedWindowCall(
        hwnd, "dialog", [&] { return self->HandleMessage(message, wParam, lParam); }, INT_PTR(FALSE));
    if (message == WM_NCDESTROY) {
        RemovePropA(hwnd, kSelfProperty);
        self->hwnd_ = nullptr;
    }
    return result;
}

INT_PTR SkinDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        PlaceControlsOnSkinGrid();
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT answer = 0;
        if (header && OnNotify(static_cast<int>(header->idFrom), header, &answer)) {
            SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, answer);
            return TRUE;
        }
        break;
    }
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return TRUE;
    case WM_LBUTTONDOWN:
        if (dragAnywhere_) {
            // Moved as if dragged by a title bar.
            POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ClientToScreen(hwnd_, &p);
            PostMessageA(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(p.x, p.y));
        }
        return FALSE;
    case WM_ERASEBKGND:
        if (skin_) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            RECT client;
            GetClientRect(hwnd_, &client);
            if (drawMode_ != kSkinTile && drawMode_ != kSkinStretch &&
                (skinWidth_ < client.right || skinHeight_ < client.bottom || drawMode_ == kSkinCentre))
                FillRect(dc, &client, GetSysColorBrush(COLOR_3DFACE));
            DrawSkin(dc);
            SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_SIZE:
        if (skin_)
            InvalidateRect(hwnd_, nullptr, TRUE);
        return FALSE;
    case kDrawnMessage:
        // Posted messages come before painting: paint what is pending first, controls too.
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        OnDrawn();
        return TRUE;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType == ODT_BUTTON && SendMessageA(item->hwndItem, kReflectedDrawItem, 0, lParam)) {
            SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        break;
    }
    default:
        break;
    }
    bool handled = false;
    INT_PTR result = OnMessage(message, wParam, lParam, &handled);
    return handled ? result : FALSE;
}

void SetRichLabel(HWND label, const std::string& text, bool bold, COLORREF colour, COLORREF background)
{
    if (!label)
        return;
    SendMessageA(label, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(background));
    SetWindowTextA(label, text.c_str());
    CHARRANGE all{0, -1};
    SendMessageA(label, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
    CHARFORMAT2A format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_BOLD | CFM_COLOR;
    format.dwEffects = bold ? CFE_BOLD : 0;
    format.crTextColor = colour;
    SendMessageA(label, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    CHARRANGE start{0, 0};
    SendMessageA(label, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
    SendMessageA(label, EM_HIDESELECTION, TRUE, 0);
    HideCaret(label);
}

// ---- page dialogs

PageDialog::PageDialog(int templateId, PageHost& host, int skinId, COLORREF transparentColour, int exitId,
                       int helpId)
    : SkinDialog(templateId, host.MainWindow()),
      host_(host),
      skinId_(skinId),
      transparentColour_(transparentColour),
      exitId_(exitId),
      helpId_(helpId),
      protocol_(exitId, helpId)
{
}

void PageDialog::SetUpPage(const std::string& titleLine)
{
    SetWindowTextA(hwnd(), kWindowTitle);
    SetDragAnywhere(true);
    LoadSkin(skinId_);
    SetDrawMode(kSkinSizeWindow);
    SetTransparentColour(transparentColour_, true);

    struct Header {
        int id, normal, hot;
        const char* tip;
    };
    const Header buttons[7] = {
        {kHeaderMainPage, IDB_HOME, IDB_HOME_HOT, "Show main page"},
        {kHeaderAdvancedOptions, IDB_OPTIONS, IDB_OPTIONS_HOT, "User options"},
        {kHeaderBackupManager, IDB_BACKUPS, IDB_BACKUPS_HOT, shared_text::kManageRegistryBackups},
        {kHeaderUserSettings, IDB_USER_SETTINGS, IDB_USER_SETTINGS_HOT, "User settings"},
        {helpId_, IDB_HELP, IDB_HELP_HOT, "User help"},
        {kHeaderMinimize, IDB_MINIMIZE, IDB_MINIMIZE_HOT, "Minimize program"},
        {exitId_, IDB_EXIT, IDB_EXIT_HOT, exitTooltip_.c_str()},
    };
    for (std::size_t i = 0; i < header_.size(); ++i) {
        if (!header_[i].Attach(hwnd(), buttons[i].id))
            continue;
        header_[i].SetImages(buttons[i].normal, buttons[i].hot, buttons[i].hot);
        header_[i].SetTooltip(buttons[i].tip);
    }

    if (HWND line = Item(kTitleLineId))
        SetRichLabel(line, titleLine, true, RGB(255, 255, 255), RGB(19, 98, 122));

    // Take the main window's place on screen. It is hidden once this page is drawn: under
    // Wine, hiding a window that a window manager manages waits for the manager's answer (two
    // seconds where none comes), and the page would stand as an empty frame meanwhile.
    HWND main = host_.MainWindow();
    if (main) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (GetWindowPlacement(main, &placement))
            SetWindowPlacement(hwnd(), &placement);
        AfterFirstDraw();
    }
}

void PageDialog::OnDrawn()
{
    if (HWND main = host_.MainWindow())
        ShowWindow(main, SW_HIDE);
}

void PageDialog::EndPage()
{
    StopTimers();
    EndDialog(0);
}

void PageDialog::ClosePage()
{
    protocol_.CloseByOwnButton();
    EndPage();
}

void PageDialog::ClosePage(int request)
{
    protocol_.CloseByOwnButton(request);
    EndPage();
}

void PageDialog::CloseMainWindow()
{
    if (HWND main = host_.MainWindow())
        SendMessageA(main, WM_CLOSE, 0, 0);
}

void PageDialog::Exit()
{
    StopTimers();
    EndDialog(0);
    CloseMainWindow();
}

bool PageDialog::OnCommand(int id, int code, HWND control)
{
    (void)control;
    if (code != BN_CLICKED)
        return false;
    using Step = PageDialogProtocol::Step;
    Step step = protocol_.OnButton(id);
    if (step == Step::OpenBackupManager)
        step = protocol_.FinishBackupManager(host_.OpenBackupManager(kBackupRestorePage));
    switch (step) {
    case Step::Close:
        EndPage();
        return true;
    case Step::Exit:
        Exit();
        return true;
    case Step::Minimize:
        ShowWindow(hwnd(), SW_MINIMIZE);
        return true;
    case Step::OpenHelpPage:
        host_.OpenHelpPage();
        return true;
    case Step::OpenBackupManager:
    case Step::None:
        return id == kHeaderBackupManager;
    }
    return false;
}

void PageDialog::OnDestroy()
{
    if (protocol_.DestructionEndsApplication()) {
        // Ended neither by its own buttons nor by a page request: as the exit button.
        protocol_.OnButton(exitId_);
        CloseMainWindow();
    }
    HWND main = host_.MainWindow();
    if (main) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (GetWindowPlacement(hwnd(), &placement)) {
            placement.showCmd = SW_SHOWNORMAL;
            SetWindowPlacement(main, &placement);
        }
        ShowWindow(main, SW_SHOW);
    }
}

}  // namespace tw
