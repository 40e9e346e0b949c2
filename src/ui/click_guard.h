// The second click of a double click. A button that appears where the pointer already is
// (the scan page's "Abort scanning" takes the place of "Scan now") would otherwise take the
// second half of a double click on what was there as a click of its own. A click counts as
// the second half when it comes within the system's double-click time after the moment the
// guard was armed (the page opening) or after the button's own last click; a click stamped
// before that moment (it was queued while the page was being built) counts too.
#pragma once

#include <cstdint>

namespace tw {

class DoubleClickGuard {
public:
    // `time` in the system's milliseconds (message times wrap around after 49.7 days).
    void Arm(std::uint32_t time)
    {
        armedAt_ = time;
        armed_ = true;
    }
    // True when the click at `time` is one to act on; every click re-arms the guard, so
    // that the second click of a double click on the button itself is dropped as well.
    bool Accept(std::uint32_t time, std::uint32_t doubleClickTime)
    {
        bool accept = !armed_ || static_cast<std::int32_t>(time - armedAt_) >= static_cast<std::int32_t>(doubleClickTime);
        Arm(time);
        return accept;
    }

private:
    std::uint32_t armedAt_ = 0;
    bool armed_ = false;
};

}  // namespace tw
