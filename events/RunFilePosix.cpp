#include "events/RunFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RunFile::RunFile(const std::string& path, Options options, std::string& error) {
    const int flags = (options.ReadBack ? O_RDWR : O_WRONLY) | (options.Truncate ? O_TRUNC : 0) | O_APPEND |
                      O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    UniqueFd file(::open(path.c_str(), flags, 0644));
    struct stat info {};
    if (!file.IsValid() || ::fstat(file.Get(), &info) != 0) {
        error = LastErrorReason();
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "it is not a regular file";
        return;
    }
    m_File = std::move(file);
}

bool RunFile::StillNamed() const {
    struct stat info {};
    return ::fstat(m_File.Get(), &info) == 0 && info.st_nlink != 0;
}

bool RunFile::Size(std::uint64_t& size, std::string& error) const {
    struct stat info {};
    if (::fstat(m_File.Get(), &info) != 0) {
        error = LastErrorReason();
        return false;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool RunFile::Append(const char* data, std::size_t length, std::size_t& written, std::string& error) {
    written = 0;
    ssize_t result = 0;
    while ((result = ::write(m_File.Get(), data, length)) < 0 && errno == EINTR) {
    }
    if (result == static_cast<ssize_t>(length)) {
        written = length;
        return true;
    }
    if (result < 0) {
        error = LastErrorReason();
        return false;
    }
    written = static_cast<std::size_t>(result);
    error = "the disk is full";
    return false;
}

bool RunFile::Truncate(std::uint64_t size, std::string& error) {
    if (::ftruncate(m_File.Get(), static_cast<off_t>(size)) == 0)
        return true;
    error = LastErrorReason();
    return false;
}

bool RunFile::ReadAt(std::uint64_t offset, char* data, std::size_t length) {
    std::size_t got = 0;
    while (got < length) {
        const ssize_t part =
            ::pread(m_File.Get(), data + got, length - got, static_cast<off_t>(offset + got));
        if (part < 0 && errno == EINTR)
            continue;
        if (part <= 0)
            return false;
        got += static_cast<std::size_t>(part);
    }
    return true;
}

bool ReplaceRunFile(const std::string& from, const std::string& to, std::string& error) {
    if (::rename(from.c_str(), to.c_str()) == 0)
        return true;
    error = LastErrorReason();
    return false;
}

bool RemoveRunFile(const std::string& path, std::string& error) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT)
        return true;
    error = LastErrorReason();
    return false;
}
