// Move-only owners of Win32 handles: one template, a closer per kind.
#pragma once

#include <windows.h>

#include <utility>

namespace tw {

template <class T, class Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T h) : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept
    {
        if (this != &o)
            reset(std::exchange(o.h_, Traits::Invalid()));
        return *this;
    }
    ~UniqueHandle() { reset(); }

    T get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::Invalid(); }
    T release() { return std::exchange(h_, Traits::Invalid()); }
    void reset(T h = Traits::Invalid())
    {
        if (h_ != Traits::Invalid())
            Traits::Close(h_);
        h_ = h;
    }

private:
    T h_ = Traits::Invalid();
};

struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct GdiObjectTraits {
    static HGDIOBJ Invalid() { return nullptr; }
    static void Close(HGDIOBJ h) { DeleteObject(h); }
};
struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE h) { FreeLibrary(h); }
};

using UniqueWin32Handle = UniqueHandle<HANDLE, KernelHandleTraits>;
using UniqueGdiObject = UniqueHandle<HGDIOBJ, GdiObjectTraits>;
using UniqueModule = UniqueHandle<HMODULE, ModuleTraits>;

}  // namespace tw
