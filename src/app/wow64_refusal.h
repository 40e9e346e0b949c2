// The 32-bit build refuses to run on 64-bit Windows: there it would see the redirected
// 32-bit view of the registry and of the system folder, and would report working drivers
// and services as missing. Only a 32-bit program runs under WOW64, so the test is the
// system's answer alone.
#pragma once

#include "platform/system.h"

namespace tw {

constexpr const char* kWow64RefusalText =
    "This copy of Tarnwick is for 32-bit Windows. On 64-bit Windows, use the 64-bit Tarnwick.";
constexpr const char* kWow64RefusalCaption = "Tarnwick";

inline bool RefusesToRunHere(System& system)
{
    return system.RunningUnderWow64();
}

}  // namespace tw
