// The program's own WindowEntryPoints: the windows the main window opens. Until each
// window exists, its entry point tells the user which window will open there.
#pragma once

#include "app/window_entry_points.h"
#include "ui/skin_dialog.h"

#include <memory>

namespace tw {

std::unique_ptr<WindowEntryPoints> MakeProgramWindows(PageHost& host);

// The help page shipped beside the program.
inline constexpr const char* kHelpFileName = "Tarnwick Help.html";

}  // namespace tw
