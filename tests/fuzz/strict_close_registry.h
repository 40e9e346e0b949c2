// A registry for the fuzzers that stops the run when a key is closed that is not open: a
// reader that closes a handle twice, or closes its parent's own handle (which an empty key
// name hands back), would otherwise go on writing through a closed key unnoticed.
#pragma once

#include "platform/forwarding_registry.h"

namespace tw::fuzz {

class StrictCloseRegistry final : public ForwardingRegistry {
public:
    using ForwardingRegistry::ForwardingRegistry;

    long CloseKey(HKey key) override
    {
        long status = inner_.CloseKey(key);
        if (status != kSuccess)
            __builtin_trap();
        return status;
    }
};

}  // namespace tw::fuzz
