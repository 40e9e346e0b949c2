// CHyperLink: a static text control that behaves as a web link: underlined, coloured by
// state (normal, active, visited, hovering), a tooltip showing its address, the hand
// cursor, and on a click it opens the address in the browser, falling back to starting
// the browser itself when the shell cannot open it.
#pragma once

#include "platform/registry.h"
#include "platform/win32/win32_handle.h"
#include "ui/hyperlink_rules.h"

#include <windows.h>

#include <string>

namespace tw {

class CHyperLink {
public:
    CHyperLink() = default;
    ~CHyperLink();
    CHyperLink(const CHyperLink&) = delete;
    CHyperLink& operator=(const CHyperLink&) = delete;

    // Takes over the static control `id` of `dialog`; the dialog must forward
    // WM_CTLCOLORSTATIC for it to OnColour().
    bool Attach(HWND dialog, int id);
    HWND hwnd() const { return hwnd_; }

    void SetAddress(const std::string& address) { address_ = address; }
    const std::string& address() const { return address_; }
    unsigned flags() const { return flags_; }
    void SetFlags(unsigned flags) { flags_ = flags; }
    bool visited() const { return visited_; }

    // Opens the address; on failure beeps and shows ReportError.
    void Follow();
    // ShellExecute "open", then the browser command of ".htm" read from `registry`; the
    // shell's (or WinExec's) result, above 32 for success.
    static INT_PTR GoToAddress(Registry& registry, const std::string& address, int showCommand);
    // The same over the system's registry.
    static INT_PTR GoToAddress(const std::string& address, int showCommand);
    static void ReportError(HWND owner, int code);

    // The answer to WM_CTLCOLORSTATIC for this control.
    HBRUSH OnColour(HDC dc);

private:
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void SizeToText();

    HWND hwnd_ = nullptr;
    std::string address_;
    unsigned flags_ = kLinkDefaultFlags;
    bool hovering_ = false;
    bool active_ = false;
    bool visited_ = false;
    UniqueGdiObject font_;
    HWND tooltip_ = nullptr;
};

}  // namespace tw
