#pragma once

// The system's own kind of file and pipe handle, closed when it goes.
#ifdef _WIN32
#include <utility>

// A kernel handle, kept as what it is (a pointer) so that <windows.h> and its
// macros stay out of the headers the layers above include.
class NativeHandle {
public:
    NativeHandle() = default;
    explicit NativeHandle(void* handle) : m_Handle(handle) {}
    NativeHandle(NativeHandle&& other) noexcept : m_Handle(std::exchange(other.m_Handle, nullptr)) {}
    NativeHandle& operator=(NativeHandle&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.m_Handle, nullptr));
        return *this;
    }
    NativeHandle(const NativeHandle&) = delete;
    NativeHandle& operator=(const NativeHandle&) = delete;
    ~NativeHandle() { Reset(); }

    void* Get() const { return m_Handle; }
    // Both "no handle" values of the system (null and all ones) count as empty.
    bool IsValid() const { return m_Handle != nullptr && m_Handle != reinterpret_cast<void*>(-1); }
    void* Release() { return std::exchange(m_Handle, nullptr); }
    void Reset(void* handle = nullptr) {
        if (IsValid())
            Close(m_Handle);
        m_Handle = handle;
    }

private:
    static void Close(void* handle);
    void* m_Handle = nullptr;
};
#else
#include "platform/UniqueFd.h"
using NativeHandle = UniqueFd;
#endif
