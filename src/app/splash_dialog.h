// SplashDialog: the skinned window shown for two seconds before the main window.
#pragma once

#include "ui/skin_dialog.h"

namespace tw {

class SplashDialog final : public SkinDialog {
public:
    static constexpr const char* kTitle = "Tarnwick Running...";
    static constexpr UINT kTimerId = 1;
    static constexpr UINT kShowMilliseconds = 2000;

    SplashDialog();

private:
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
};

}  // namespace tw
