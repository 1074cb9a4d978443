#include "platform/Paths.h"

#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string_view>

namespace {

std::string ReadProgramPath() {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0)
        return {};
    std::string path(buffer.data(), static_cast<std::size_t>(length));
    // The system marks a program file that was replaced or removed while it runs
    // (a package upgrade does that); its name is still where the program lives.
    constexpr std::string_view Deleted = " (deleted)";
    if (path.ends_with(Deleted) && !FileExists(path))
        path.erase(path.size() - Deleted.size());
    return path;
}

} // namespace

std::string ProgramPath() {
    // Taken once, at the program's start: settings, help page and Temp folder stay
    // where they were whatever happens to the program file later.
    static const std::string path = ReadProgramPath();
    return path;
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
