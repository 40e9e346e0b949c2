// The second look after a repair: the registry sections the scan ran are scanned again, and
// what they find that the scan before the repair did not is what the repair left behind (a
// file type whose program identifier the repair removed, say). Those findings are only
// counted and listed: the user reviews them in the results viewer before any repair.
// Shortcuts are not looked at again: deleting a registry entry or a shortcut leaves no
// shortcut broken.
#pragma once

#include "scan/problem_record.h"
#include "scan/scan_engine.h"
#include "scan/scan_section.h"

#include <set>
#include <string>

namespace tw {

// What tells one finding from another: its section, key path, delete type and value name
// (folded to lower case).
using FindingSet = std::set<std::string>;
FindingSet FindingsOf(const ProblemList& problems);

// Runs the registry sections `request` asked for again (none of them shows progress) and
// leaves in the engine's problem list only the findings that are not in `before`; returns
// their count. A stop signalled meanwhile ends the look early, with what it found so far.
std::size_t LookAgainAfterRepair(ScanEngine& engine, const ScanRequest& request, const FindingSet& before);

}  // namespace tw
