// An open registry key owned by the scope that opened it.
#pragma once

#include "platform/registry.h"

#include <utility>

namespace tw {

class KeyHandle {
public:
    KeyHandle() = default;
    explicit KeyHandle(Registry& registry) : registry_(&registry) {}
    KeyHandle(Registry& registry, HKey key) : registry_(&registry), key_(key) {}
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    KeyHandle(KeyHandle&& other) noexcept
        : registry_(other.registry_), key_(std::exchange(other.key_, nullptr)) {}
    KeyHandle& operator=(KeyHandle&& other) noexcept
    {
        if (this != &other) {
            Close();
            registry_ = other.registry_;
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }
    ~KeyHandle() { Close(); }

    HKey get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    // For calls that return a handle: closes what was held, then gives the place to fill.
    HKey* Put()
    {
        Close();
        return &key_;
    }
    HKey Release() { return std::exchange(key_, nullptr); }
    void Close()
    {
        if (key_ && registry_ && !IsPredefinedKey(key_))
            registry_->CloseKey(key_);
        key_ = nullptr;
    }

private:
    Registry* registry_ = nullptr;
    HKey key_ = nullptr;
};

}  // namespace tw
