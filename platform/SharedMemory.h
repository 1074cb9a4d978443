#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

// Owns one shared mapping and unmaps it when it goes.
class MappedView {
public:
    MappedView() = default;
    // `keeper` holds what must live as long as the view (on Windows the mapping's
    // handle, without which the area's name goes away).
    MappedView(void* address, std::size_t size, std::shared_ptr<void> keeper = {})
        : m_Address(static_cast<std::byte*>(address)), m_Size(size), m_Keeper(std::move(keeper)) {}
    MappedView(MappedView&& other) noexcept
        : m_Address(std::exchange(other.m_Address, nullptr)), m_Size(std::exchange(other.m_Size, 0)),
          m_Keeper(std::move(other.m_Keeper)) {}
    MappedView& operator=(MappedView&& other) noexcept {
        if (this != &other) {
            Reset();
            m_Address = std::exchange(other.m_Address, nullptr);
            m_Size = std::exchange(other.m_Size, 0);
            m_Keeper = std::move(other.m_Keeper);
        }
        return *this;
    }
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
    std::shared_ptr<void> m_Keeper;
};

// Why a shared-memory area could not be had.
enum class SharedMemoryFailure { None, Missing, Exists, TooSmall, SystemError };

struct SharedMemoryStatus {
    SharedMemoryFailure Failure = SharedMemoryFailure::None;
    int ErrorNumber = 0;   // with SystemError
    const char* Step = ""; // with SystemError: "open", "create", "examine", "size" or "map"
};

// Area names have the portable form "/NAME"; on Windows the file mapping is
// called NAME (the slash only serves POSIX shared memory).

// Maps an existing area read-write. An area smaller than `size` is never mapped:
// an access beyond its end would kill the process.
MappedView MapSharedMemory(const std::string& name, std::size_t size, SharedMemoryStatus& status);

// Creates a new zero-filled area of exactly `size` bytes with `mode` (whatever the
// umask says; Windows gives it the default security of the creator) and maps it; an area of that name that
// exists already is an error. Nothing is left behind when a step fails.
MappedView CreateSharedMemory(const std::string& name, std::size_t size, mode_t mode,
                              SharedMemoryStatus& status);
