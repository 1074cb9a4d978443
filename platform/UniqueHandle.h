#pragma once

#include <windows.h>

#include <utility>

// Owns one kernel handle and closes it when it goes. Both "no handle" values the
// system uses (null and INVALID_HANDLE_VALUE) count as empty.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_Handle(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : m_Handle(std::exchange(other.m_Handle, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.m_Handle, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    HANDLE Get() const { return m_Handle; }
    bool IsValid() const { return m_Handle != nullptr && m_Handle != INVALID_HANDLE_VALUE; }
    HANDLE Release() { return std::exchange(m_Handle, nullptr); }
    void Reset(HANDLE handle = nullptr) {
        if (IsValid())
            ::CloseHandle(m_Handle);
        m_Handle = handle;
    }

private:
    HANDLE m_Handle = nullptr;
};
