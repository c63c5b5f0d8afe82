#pragma once
// RAII owners for Win32 handles: one type per handle kind, each knowing its own
// empty value and how to close it, each a one-line alias. Movable, not copyable.

#include <windows.h>

#include <utility>

namespace qx {

// An owner of one `Pointer` that `Close` frees; `EmptyValue` is the value
// that owns nothing (a number, since INVALID_HANDLE_VALUE is no constant).
template <typename Pointer, auto Close, INT_PTR EmptyValue = 0>
class UniqueAny {
public:
    using pointer = Pointer;

    static pointer Empty() noexcept { return reinterpret_cast<pointer>(EmptyValue); }

    UniqueAny() noexcept = default;
    explicit UniqueAny(pointer value) noexcept : value_(value) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueAny() { reset(); }

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Empty(); }

    // Closes the current value and hands out the slot for an out-parameter.
    pointer* put() noexcept
    {
        reset();
        return &value_;
    }
    void reset(pointer value = Empty()) noexcept
    {
        if (value_ != Empty()) Close(value_);
        value_ = value;
    }
    [[nodiscard]] pointer release() noexcept { return std::exchange(value_, Empty()); }

private:
    pointer value_ = Empty();
};

using UniqueHandleKernel = UniqueAny<HANDLE, ::CloseHandle>;  // processes, threads, events
using UniqueHandleFile = UniqueAny<HANDLE, ::CloseHandle, -1>;
using UniqueHandleFind = UniqueAny<HANDLE, ::FindClose, -1>;
using UniqueHkey = UniqueAny<HKEY, ::RegCloseKey>;
using UniqueHwnd = UniqueAny<HWND, ::DestroyWindow>;

// Runs a cleanup that is not a handle when the scope ends, unless release()
// was called.
template <typename F>
class [[nodiscard]] ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit()
    {
        if (armed_) f_();
    }

    void release() noexcept { armed_ = false; }

private:
    F f_;
    bool armed_ = true;
};

}  // namespace qx
