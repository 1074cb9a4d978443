#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

// Owns one shared mapping and unmaps it when it goes.
class MappedView {
public:
    MappedView() = default;
    MappedView(void* address, std::size_t size) : m_Address(static_cast<std::byte*>(address)), m_Size(size) {}
    MappedView(MappedView&& other) noexcept;
    MappedView& operator=(MappedView&& other) noexcept;
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;
    ~MappedView() { Reset(); }

    std::byte* Get() const { return m_Address; }
    std::size_t Size() const { return m_Size; }
    bool IsValid() const { return m_Address != nullptr; }
    void Reset();

private:
    std::byte* m_Address = nullptr;
    std::size_t m_Size = 0;
};

// Why a shared-memory area could not be had.
enum class SharedMemoryFailure { None, Missing, Exists, TooSmall, SystemError };

struct SharedMemoryStatus {
    SharedMemoryFailure Failure = SharedMemoryFailure::None;
    int ErrorNumber = 0;   // with SystemError
    const char* Step = ""; // with SystemError: "open", "create", "examine", "size" or "map"
};

// Maps an existing area read-write. An area smaller than `size` is never mapped:
// an access beyond its end would kill the process.
MappedView MapSharedMemory(const std::string& name, std::size_t size, SharedMemoryStatus& status);

// Creates a new zero-filled area of exactly `size` bytes with `mode` (whatever the
// umask says) and maps it; an area of that name that exists already is an error.
// Nothing is left behind when a step fails.
MappedView CreateSharedMemory(const std::string& name, std::size_t size, mode_t mode,
                              SharedMemoryStatus& status);
