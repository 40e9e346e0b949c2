#include "ui/wide_text.h"

namespace tw::ui {

std::wstring WideText(std::string_view text)
{
    std::wstring wide;
    if (text.empty())
        return wide;
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return wide;
    wide.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

int DrawTextIn(HDC dc, std::string_view text, RECT* rect, UINT format)
{
    std::wstring wide = WideText(text);
    return DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), rect, format);
}

}  // namespace tw::ui
