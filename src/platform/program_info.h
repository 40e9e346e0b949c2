// Where the program lives and what it is called: every file it writes lies below the folder
// of its executable, and its name (the executable's base name) names its settings key.
#pragma once

#include "platform/system.h"

#include <string>
#include <string_view>

namespace tw {

// The module file name up to its last backslash (no trailing backslash).
std::string ProgramFolder(System& system);
// The executable's file name without folder and extension.
std::string ProgramName(System& system);
// Joins a folder and a name with exactly one backslash.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace tw
