// SkinButton: an owner-drawn push button painted from bitmap resources: a normal image,
// one while the pointer hovers, one while pressed, one when disabled, and optionally a
// black-and-white mask that gives the button its window shape. It shows a tooltip and the
// hand cursor. Attach() takes over a button of a dialog template; the dialog forwards
// WM_DRAWITEM to it (SkinDialog does so for every owner-drawn child).
#pragma once

#include "platform/win32/win32_handle.h"

#include <windows.h>

#include <memory>
#include <string>

namespace tw {

// Sent by a dialog to an owner-drawn child with the WM_DRAWITEM's DRAWITEMSTRUCT as
// lParam; a SkinButton answers TRUE after drawing itself.
constexpr UINT kReflectedDrawItem = WM_APP + 0x3A0;

class SkinButton {
public:
    SkinButton();
    ~SkinButton();
    SkinButton(const SkinButton&) = delete;
    SkinButton& operator=(const SkinButton&) = delete;

    // Takes over the button `id` of `dialog` (gives it the owner-draw style). False when
    // the dialog has no such control.
    bool Attach(HWND dialog, int id);
    void Detach();
    HWND hwnd() const { return hwnd_; }

    // Bitmap resource ids, 0 for none. Draw mode 0 natural size (a mask then sizes the
    // button), 1 stretched, 2 tiled.
    void SetImages(int normal, int pressed, int hover, int disabled = 0, int mask = 0, int drawMode = 0,
                   bool edge = false, int focusInset = 0);
    void SetTooltip(const std::string& text);
    void SetHandCursor(bool on) { useHandCursor_ = on; }
    COLORREF textColour() const { return textColour_; }
    void SetTextColour(COLORREF c) { textColour_ = c; }

    bool hovering() const { return hovering_; }
    // True while the button reports a click made by releasing the pointer's button on it
    // (not one of the keyboard, nor BM_CLICK's, though it presses and releases the same way).
    bool releasingPointer() const { return releasing_; }

private:
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void DrawItem(const DRAWITEMSTRUCT& item);
    void DrawImage(HDC dc, const RECT& rect, HBITMAP image);
    void DrawCaption(HDC dc, const RECT& rect, bool disabled);
    void FreeImages();
    bool PointerOverButton() const;

    HWND hwnd_ = nullptr;
    UniqueGdiObject normal_, pressed_, hover_, disabled_, mask_;
    bool disabledIsNormal_ = false;
    UniqueGdiObject region_;  // kept while the window does not own it
    int drawMode_ = 1;
    bool edge_ = false;
    int focusInset_ = 0;
    COLORREF textColour_;
    bool hovering_ = false;
    bool mousePressed_ = false;
    bool releasing_ = false;
    bool programClick_ = false;  // inside BM_CLICK, which presses and releases by itself
    bool useHandCursor_ = true;
    UniqueCursor handCursor_;
    HWND tooltip_ = nullptr;
    std::string tooltipText_;
};

// Takes over the button `id` of `dialog` with its images (normal, pressed, hover; mask, 0 for
// none) and tooltip (none when null). Null when the dialog has no such control.
std::unique_ptr<SkinButton> AttachSkinButton(HWND dialog, int id, int normal, int pressed, int hover, int mask,
                                             const char* tooltip);

// The hand cursor: cursor 106 of winhlp32.exe in the Windows folder, copied; where that is
// missing, the system's hand.
UniqueCursor LoadHandCursorCopy();

}  // namespace tw
