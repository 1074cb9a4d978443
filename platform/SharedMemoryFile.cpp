#include "platform/SharedMemoryFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>

SharedMemoryFile SharedMemoryFile::Open(const std::string& name, std::size_t size,
                                        SharedMemoryStatus& status) {
    SharedMemoryFile file;
    UniqueFd handle(::shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0));
    if (!handle.IsValid()) {
        const int error = errno;
        status = {error == ENOENT ? SharedMemoryFailure::Missing : SharedMemoryFailure::SystemError,
                  error == ENOENT ? 0 : error, error == ENOENT ? "" : "open"};
        return file;
    }
    struct stat info {};
    if (::fstat(handle.Get(), &info) != 0) {
        status = {SharedMemoryFailure::SystemError, errno, "examine"};
        return file;
    }
    if (!S_ISREG(info.st_mode) || info.st_size < static_cast<off_t>(size)) {
        status = {SharedMemoryFailure::TooSmall, 0, ""};
        return file;
    }
    status = {};
    file.m_Fd = std::move(handle);
    file.m_Size = size;
    return file;
}

bool SharedMemoryFile::IsValid() const {
    return m_Fd.IsValid();
}

void SharedMemoryFile::Reset() {
    m_Fd.Reset();
}

SharedMemoryFile::Condition SharedMemoryFile::Examine() const {
    struct stat info {};
    if (::fstat(m_Fd.Get(), &info) != 0 || info.st_nlink == 0)
        return Condition::Removed;
    return info.st_size < static_cast<off_t>(m_Size) ? Condition::Shrunk : Condition::Whole;
}

std::size_t SharedMemoryFile::CurrentSize() const {
    struct stat info {};
    return ::fstat(m_Fd.Get(), &info) == 0 && info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
}

bool SharedMemoryFile::Read(void* destination, std::size_t length, std::size_t offset) const {
    ssize_t got = 0;
    do
        got = ::pread(m_Fd.Get(), destination, length, static_cast<off_t>(offset));
    while (got < 0 && errno == EINTR);
    return got >= 0 && static_cast<std::size_t>(got) == length;
}

bool SharedMemoryFile::Write(const void* source, std::size_t length, std::size_t offset) const {
    // Writing past the end would grow an area that someone shrank: never write there.
    if (offset + length > CurrentSize())
        return false;
    ssize_t put = 0;
    do
        put = ::pwrite(m_Fd.Get(), source, length, static_cast<off_t>(offset));
    while (put < 0 && errno == EINTR);
    return put >= 0 && static_cast<std::size_t>(put) == length;
}
