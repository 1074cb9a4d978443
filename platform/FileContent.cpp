#include "platform/FileContent.h"

#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

bool ReadFileContent(const std::string& path, std::size_t sizeLimit, std::string& content) {
    if (path.empty())
        return false;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info {};
    if (!fd.IsValid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<std::size_t>(info.st_size) > sizeLimit)
        return false;
    std::string data;
    data.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        // The file may have grown since it was measured.
        if (data.size() + static_cast<std::size_t>(got) > sizeLimit)
            return false;
        data.append(buffer, static_cast<std::size_t>(got));
    }
    content = std::move(data);
    return true;
}
