#pragma once

#include "platform/SharedMemory.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// One shared-memory area of the simulator, mapped read-write for its whole size.
// The event manager writes into the same memory concurrently, so every access
// goes to memory again (no value is cached between calls).
class SharedArea {
public:
    // Makes a new zero-filled area (mode 0600); fails when one of that name exists.
    static std::optional<SharedArea> Create(const std::string& name, std::string& error);
    // Opens an existing area; fails when it is missing or smaller than its size.
    static std::optional<SharedArea> Open(const std::string& name, std::string& error);
    // Removes the name; `existed` tells whether there was one. False on other errors.
    static bool Remove(const std::string& name, bool& existed, std::string& error);

    const std::string& Name() const { return m_Name; }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(m_Mapping.Size()); }
    bool Fits(std::uint64_t offset, std::uint64_t length) const {
        return length <= Size() && offset <= Size() - length;
    }

    // Callers check Fits first.
    void Read(std::uint32_t offset, void* destination, std::uint32_t length) const;
    void Write(std::uint32_t offset, const void* source, std::uint32_t length);
    // 32-bit values in host (little-endian) order, as the event manager stores them.
    std::uint32_t Read32(std::uint32_t offset) const;
    void Write32(std::uint32_t offset, std::uint32_t value);

private:
    SharedArea(std::string name, MappedView mapping);

    std::string m_Name;
    MappedView m_Mapping;
};
