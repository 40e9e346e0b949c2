// A registry that stops answering once cancelled: every call (closing a key excepted) then
// fails with ERROR_CANCELLED, so a snapshot writer or reader working through it unwinds at
// the next key on its own, closing what it opened. This is how a full backup or restore is
// stopped between keys without killing its thread.
#pragma once

#include "platform/forwarding_registry.h"

#include <atomic>

namespace tw {

constexpr long kErrorCancelled = 1223;

class CancellableRegistry final : public ForwardingRegistry {
public:
    explicit CancellableRegistry(Registry& inner) : ForwardingRegistry(inner) {}

    void Cancel() { cancelled_.store(true); }
    bool cancelled() const { return cancelled_.load(); }
    // Cancelling is one atomic flag: calls may come from as many threads as the inner
    // registry allows.
    bool ConcurrentCalls() const override { return inner_.ConcurrentCalls(); }

protected:
    long Refuse() override { return cancelled() ? kErrorCancelled : kSuccess; }

private:
    std::atomic<bool> cancelled_{false};
};

}  // namespace tw
