#include "platform/SharedMemoryFile.h"

#include "platform/SharedMemoryWindows.h"

#include <cstring>

SharedMemoryFile SharedMemoryFile::Open(const std::string& name, std::size_t size,
                                        SharedMemoryStatus& status) {
    SharedMemoryFile file;
    file.m_View = MapSharedMemory(name, size, status);
    if (file.m_View.IsValid())
        file.m_Size = size;
    return file;
}

bool SharedMemoryFile::IsValid() const {
    return m_View.IsValid();
}

void SharedMemoryFile::Reset() {
    m_View.Reset();
    m_Size = 0;
}

SharedMemoryFile::Condition SharedMemoryFile::Examine() const {
    return m_View.IsValid() ? Condition::Whole : Condition::Removed;
}

std::size_t SharedMemoryFile::CurrentSize() const {
    return m_View.IsValid() ? MappedRegionSize(m_View.Get()) : 0;
}

bool SharedMemoryFile::Read(void* destination, std::size_t length, std::size_t offset) const {
    if (!m_View.IsValid() || offset > m_Size || length > m_Size - offset)
        return false;
    std::memcpy(destination, m_View.Get() + offset, length);
    return true;
}

bool SharedMemoryFile::Write(const void* source, std::size_t length, std::size_t offset) const {
    if (!m_View.IsValid() || offset > m_Size || length > m_Size - offset)
        return false;
    std::memcpy(m_View.Get() + offset, source, length);
    return true;
}
