#pragma once
// RAII owners for Win32 handles: one type per handle kind, each knowing its own
// empty value and how to close it. Movable, not copyable.

#include <windows.h>

#include <utility>

namespace qx {

template <typename Traits>
class UniqueHandle {
public:
    using pointer = typename Traits::pointer;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(pointer value) noexcept : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Empty(); }

    // Closes the current value and hands out the slot for an out-parameter.
    pointer* put() noexcept
    {
        reset();
        return &value_;
    }
    void reset(pointer value = Traits::Empty()) noexcept
    {
        if (value_ != Traits::Empty()) Traits::Close(value_);
        value_ = value;
    }
    pointer release() noexcept { return std::exchange(value_, Traits::Empty()); }

private:
    pointer value_ = Traits::Empty();
};

struct KernelHandleTraits {
    using pointer = HANDLE;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {
    using pointer = HANDLE;
    static pointer Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(pointer h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using pointer = HANDLE;
    static pointer Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(pointer h) noexcept { ::FindClose(h); }
};
struct KeyHandleTraits {
    using pointer = HKEY;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::RegCloseKey(h); }
};
struct WindowHandleTraits {
    using pointer = HWND;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::DestroyWindow(h); }
};

using UniqueHandleKernel = UniqueHandle<KernelHandleTraits>;  // processes, threads, events
using UniqueHandleFile = UniqueHandle<FileHandleTraits>;
using UniqueHandleFind = UniqueHandle<FindHandleTraits>;
using UniqueHkey = UniqueHandle<KeyHandleTraits>;
using UniqueHwnd = UniqueHandle<WindowHandleTraits>;

// Runs a cleanup that is not a handle when the scope ends.
template <typename F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() { f_(); }

private:
    F f_;
};

}  // namespace qx
