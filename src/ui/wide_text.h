// Text for the wide GDI calls. The windows keep their text in the process code page (UTF-8
// where the manifest's setting is honoured), and window and control calls take it so. GDI's
// ANSI calls do not: they draw in the system's code page whatever the process's is, so text
// outside it would come out as other characters. Drawing and measuring go through the wide
// calls instead.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tw::ui {

// `text` in the process code page as UTF-16.
std::wstring WideText(std::string_view text);

// DrawTextW of `text`.
int DrawTextIn(HDC dc, std::string_view text, RECT* rect, UINT format);

}  // namespace tw::ui
