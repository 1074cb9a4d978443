#include "platform/Paths.h"

#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

std::string ProgramPath() {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0)
        return {};
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string DirectoryPart(const std::string& path) {
    const auto pos = path.rfind(PathSeparator);
    return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

std::string FileNamePart(const std::string& path) {
    const auto pos = path.rfind(PathSeparator);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
    const auto slash = path.rfind(PathSeparator);
    const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return path + extension;
    return path.substr(0, dot) + extension;
}

bool FileExists(const std::string& path) {
    if (path.empty())
        return false;
    // A folder opens for reading on this system but is no file.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.IsValid())
        return false;
    struct stat info {};
    return ::fstat(fd.Get(), &info) == 0 && !S_ISDIR(info.st_mode);
}
