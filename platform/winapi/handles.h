// Owning wrappers for Win32 handles, registry keys and local allocations.
#pragma once

#include <windows.h>

#include <utility>

namespace vantrel {

// A move-only owner of one handle-like value. Traits give the empty value and the
// release function.
template <class Traits>
class UniqueHandle {
    using T = typename Traits::Type;
    static T Invalid() { return Traits::Invalid(); }

public:
    UniqueHandle() = default;
    explicit UniqueHandle(T h) : h_(h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, Invalid()));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    T get() const { return h_; }
    explicit operator bool() const { return h_ != Invalid(); }
    T* put() { reset(); return &h_; }
    T release() { return std::exchange(h_, Invalid()); }
    void reset(T h = Invalid()) {
        if (h_ != Invalid()) Traits::Close(h_);
        h_ = h;
    }

private:
    T h_ = Invalid();
};

template <class T, void (*CloseFn)(T), bool MinusOneIsEmpty = false>
struct HandleTraits {
    using Type = T;
    static T Invalid() { return MinusOneIsEmpty ? reinterpret_cast<T>(-1) : T(); }
    static void Close(T h) { CloseFn(h); }
};

inline void CloseKernelHandle(HANDLE h) { ::CloseHandle(h); }
inline void CloseRegKey(HKEY h) { ::RegCloseKey(h); }
inline void FreeLocal(HLOCAL h) { ::LocalFree(h); }
inline void UnloadLibrary(HMODULE h) { ::FreeLibrary(h); }

using Handle = UniqueHandle<HandleTraits<HANDLE, CloseKernelHandle>>;
using FileHandle = UniqueHandle<HandleTraits<HANDLE, CloseKernelHandle, true>>;
using RegKey = UniqueHandle<HandleTraits<HKEY, CloseRegKey>>;
using LocalMemory = UniqueHandle<HandleTraits<HLOCAL, FreeLocal>>;
using Module = UniqueHandle<HandleTraits<HMODULE, UnloadLibrary>>;

}  // namespace vantrel
