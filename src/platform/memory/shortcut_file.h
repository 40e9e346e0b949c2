// Reads the target of a shell link (.lnk) file from its bytes, for platforms without the
// shell's link object: the link-info block's local base path joined with its common path
// suffix. Every offset is checked against the bytes present.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw {

// False when the bytes are not a shell link or it has no local path (shell items, network
// targets): the link object's GetPath fails or gives nothing usable for those too.
bool ReadShortcutTargetPath(const std::vector<std::uint8_t>& bytes, std::string* target);

}  // namespace tw
