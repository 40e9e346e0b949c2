// SkinDialog: the borderless dialog every window of the program is built on. It paints a
// GIF skin from the program's "SKIN" resources as its background (decoded by the OLE
// picture loader), makes one colour of it fully transparent so the window takes the skin's
// outline, and moves the window when the user drags its bare surface. Messages reach the
// derived window through a few virtual handlers; owner-drawn children are asked to draw
// themselves (see SkinButton).
//
// PageDialog adds the protocol of the windows that take the main window's place: the
// header buttons, the page request left for the main window, taking over and giving back
// the main window's placement, and the closing rules (ended any other way than through its
// own buttons, a page dialog ends the application).
#pragma once

#include "platform/program_version.h"
#include "platform/win32/win32_handle.h"
#include "ui/page_request.h"
#include "ui/skin_button.h"
#include "ui/shared_texts.h"

#include <windows.h>

#include <array>
#include <memory>
#include <string>

namespace tw {

enum SkinDrawMode : int {
    kSkinTopLeft = 0,
    kSkinTile = 1,
    kSkinCentre = 2,
    kSkinStretch = 3,
    kSkinSizeWindow = 4,  // top-left, with the window sized to the skin
};

class SkinDialog {
public:
    SkinDialog(int templateId, HWND parent);
    virtual ~SkinDialog();
    SkinDialog(const SkinDialog&) = delete;
    SkinDialog& operator=(const SkinDialog&) = delete;

    // Builds the dialog from a template in memory instead of the program's resources.
    void UseTemplate(const DLGTEMPLATE* dialogTemplate) { memoryTemplate_ = dialogTemplate; }
    // Runs the dialog modally; returns the result given to EndDialog (-1 on failure).
    INT_PTR DoModal();
    HWND hwnd() const { return hwnd_; }
    void EndDialog(INT_PTR result);

    void SetDragAnywhere(bool on) { dragAnywhere_ = on; }
    bool LoadSkin(int skinId);
    void SetDrawMode(SkinDrawMode mode);
    bool SetTransparentColour(COLORREF colour, bool enable);
    bool SetSkinBitmap(HBITMAP bitmap);
    bool HasSkin() const { return static_cast<bool>(skin_); }
    SIZE SkinSize() const { return {skinWidth_, skinHeight_}; }

    // The skins are drawn for 6 by 13 dialog base units (1.5 pixels per dialog unit across,
    // 1.625 down): the controls of a template are placed on that grid whatever font the
    // system gives dialogs, so that they land on the areas the skin draws for them.
    static constexpr int kSkinBaseUnitX = 6;
    static constexpr int kSkinBaseUnitY = 13;
    void PlaceControlsOnSkinGrid();

    // Draws the skin into a device context whose origin is the client's top-left (also
    // used by masked buttons to paint what lies behind them).
    void DrawSkin(HDC dc);

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    // A command from a control or menu; true when handled.
    virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    // WM_NOTIFY from control `id`; true when handled, with *result the answer to the sender.
    virtual bool OnNotify(int /*id*/, NMHDR* /*header*/, LRESULT* /*result*/) { return false; }
    virtual void OnTimer(UINT_PTR /*id*/) {}
    virtual void OnDestroy() {}
    // Every other message; set *handled to answer it.
    virtual INT_PTR OnMessage(UINT /*message*/, WPARAM, LPARAM, bool* handled)
    {
        *handled = false;
        return 0;
    }

    // Once the dialog is on screen and drawn, with its controls: posted from OnInitDialog by
    // AfterFirstDraw(), handled after the dialog was shown and painted.
    virtual void OnDrawn() {}
    void AfterFirstDraw() { PostMessageA(hwnd_, kDrawnMessage, 0, 0); }
    static constexpr UINT kDrawnMessage = WM_APP + 0x3A2;

    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    HWND parent() const { return parent_; }

private:
    void SizeToSkin();
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    using SetLayeredFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

    int templateId_;
    const DLGTEMPLATE* memoryTemplate_ = nullptr;
    HWND parent_;
    HWND hwnd_ = nullptr;
    UniqueGdiObject skin_;
    int skinWidth_ = 0;
    int skinHeight_ = 0;
    SkinDrawMode drawMode_ = kSkinTopLeft;
    bool dragAnywhere_ = true;
    SetLayeredFn setLayered_ = nullptr;
};

// What a page dialog asks of the main window.
class PageHost {
public:
    virtual ~PageHost() = default;
    virtual HWND MainWindow() = 0;
    // Opens the backup manager on the page named; returns its request.
    virtual int OpenBackupManager(BackupManagerMode mode) = 0;
    virtual void OpenHelpPage() = 0;
};

class PageDialog : public SkinDialog {
public:
    // exitId: 1028 (1030 in the Add/Remove Programs manager); helpId: 1046 (1047 there).
    PageDialog(int templateId, PageHost& host, int skinId, COLORREF transparentColour, int exitId = kHeaderExit,
               int helpId = kHeaderHelp);

    // The page request this dialog ended with (0 for none); read after DoModal.
    int pageRequest() const { return protocol_.pageRequest(); }

    static constexpr const char* kWindowTitle = "Tarnwick version " TW_VERSION_SHORT;
    static constexpr int kTitleLineId = IDC_PAGE_TITLE_LINE;

protected:
    // Call from OnInitDialog once the controls exist: title, skin, header buttons, the
    // title line, and the main window's place.
    void SetUpPage(const std::string& titleLine);
    // The dialog's own Close button.
    void ClosePage();
    // Ends the page through its own buttons, leaving `request` for the main window.
    void ClosePage(int request);
    // Asks the main window to close, which ends the program (the exit button's second half).
    void CloseMainWindow();
    // Stops the dialog's timer, if it has one, before it closes.
    virtual void StopTimers() {}
    // The exit button's tooltip ("Close the dialog" unless a window says otherwise); set it
    // before SetUpPage.
    void SetExitTooltip(std::string text) { exitTooltip_ = std::move(text); }

    bool OnCommand(int id, int code, HWND control) override;
    void OnDestroy() override;
    void OnDrawn() override;
    PageHost& host() { return host_; }

private:
    void EndPage();
    void Exit();

    PageHost& host_;
    int skinId_;
    COLORREF transparentColour_;
    int exitId_;
    int helpId_;
    std::string exitTooltip_ = shared_text::kCloseTheDialog;
    PageDialogProtocol protocol_;
    std::array<SkinButton, 7> header_;
};

// Sets a read-only rich-edit label's text, bold or not, in one colour, with its caret and
// selection hidden.
void SetRichLabel(HWND label, const std::string& text, bool bold, COLORREF colour, COLORREF background);

}  // namespace tw
