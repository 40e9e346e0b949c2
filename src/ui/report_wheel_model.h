// ReportWheelModel: what the wheel does to the report list. Rotation adds up until it makes
// whole notches (120 units each); each notch asks for as many line scrolls as the user's
// setting says, or for one page scroll when the setting is -1. The setting is read from the
// user's registry once, when a list is made (ReadWheelScrollLines).
#pragma once

#include "platform/registry.h"

namespace tw {

// What one wheel message asks for: `count` scroll requests, up (towards the first row) or
// down, each a line or a page.
struct ReportWheelScroll {
    int count = 0;
    bool up = false;
    bool pages = false;
};

class ReportWheelModel {
public:
    static constexpr int kWheelDelta = 120;
    static constexpr int kDefaultWheelLines = 3;

    void SetLines(int lines) { lines_ = lines; }
    int Lines() const { return lines_; }
    // Adds a wheel rotation; every whole 120 units give scroll requests, never more of them
    // than the list has rows (`rowCount`): more could scroll no further.
    ReportWheelScroll Wheel(int delta, int rowCount);

private:
    int lines_ = kDefaultWheelLines;
    int remainder_ = 0;
};

// The user's wheel setting: "WheelScrollLines" of HKEY_CURRENT_USER\Control Panel\Desktop, a
// decimal number as text; 3 when it cannot be read. -1 asks for a page per notch.
int ReadWheelScrollLines(Registry& registry);

}  // namespace tw
