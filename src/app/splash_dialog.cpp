#include "app/splash_dialog.h"

#include "../../resources/resource.h"

namespace tw {

SplashDialog::SplashDialog() : SkinDialog(IDD_SPLASH_DIALOG, nullptr) {}

BOOL SplashDialog::OnInitDialog()
{
    SetWindowTextA(hwnd(), kTitle);
    if (HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APPLICATION_ICON),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), LR_SHARED)))
        SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    LoadSkin(IDS_SKIN_SPLASH);
    SetDrawMode(kSkinSizeWindow);
    SetTransparentColour(RGB(0, 255, 0), true);
    SetTimer(hwnd(), kTimerId, kShowMilliseconds, nullptr);
    return TRUE;
}

void SplashDialog::OnTimer(UINT_PTR id)
{
    if (id != kTimerId)
        return;
    KillTimer(hwnd(), kTimerId);
    EndDialog(0);
}

}  // namespace tw
