#pragma once

#include "platform/SharedMemory.h"
#ifndef _WIN32
#include "platform/UniqueFd.h"
#endif

#include <cstddef>
#include <string>

// An existing shared-memory area used through its descriptor rather than a
// mapping: when another process shrinks the area, a transfer comes up short
// instead of killing this process with SIGBUS. A Windows file mapping cannot
// shrink or lose its name while it is open, so there it is simply mapped.
class SharedMemoryFile {
public:
    enum class Condition { Whole, Shrunk, Removed };

    // Opens an existing area read-write, never creates one; an area smaller than
    // `size` is refused.
    static SharedMemoryFile Open(const std::string& name, std::size_t size, SharedMemoryStatus& status);

    bool IsValid() const;
    void Reset();
    // Removed: its name no longer leads to it (unlinked, perhaps created anew).
    Condition Examine() const;
    // Bytes the area holds now.
    std::size_t CurrentSize() const;

    // True only when all bytes were transferred.
    bool Read(void* destination, std::size_t length, std::size_t offset) const;
    bool Write(const void* source, std::size_t length, std::size_t offset) const;

private:
#ifdef _WIN32
    MappedView m_View;
#else
    UniqueFd m_Fd;
#endif
    std::size_t m_Size = 0;
};
