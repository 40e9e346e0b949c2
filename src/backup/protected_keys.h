// Keys a repair never deletes as a whole: the roots, the keys a scanner section reads as a
// whole (App Paths, Services, Uninstall, Run, SharedDLLs, TypeLib, ...) and every key above
// one of them. No correct problem names such a key; one that does comes from a wrong path,
// and deleting it would wipe a whole container of entries, so the repair skips it.
#pragma once

#include <string>
#include <string_view>

namespace tw {

// The path in the form used for the comparison: upper case, single backslashes, no trailing
// backslash, HKEY_CLASSES_ROOT as HKEY_LOCAL_MACHINE\SOFTWARE\CLASSES, the 32-bit view and
// numbered control sets folded onto their usual names.
std::string NormalizeKeyPathForGuard(std::string_view fullPath);

// True when deleting the key at `fullPath` with its subtree would remove a protected key.
bool IsProtectedKeyPath(std::string_view fullPath);

}  // namespace tw
