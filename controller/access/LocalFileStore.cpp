#include "controller/access/LocalFileStore.h"

#include "controller/access/PlainErrorText.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool WriteAll(int fd, const unsigned char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string SystemText() {
    return PlainErrorText(errno);
}

} // namespace

bool StoreFileWhole(const std::string& localPath, const std::vector<unsigned char>& content,
                    std::string& error) {
    std::string temporary = localPath + ".partXXXXXX";
    UniqueFd fd(::mkstemp(temporary.data()));
    if (!fd.IsValid()) {
        error = "cannot create " + temporary + ": " + SystemText();
        return false;
    }
    const bool written = WriteAll(fd.Get(), content.data(), content.size()) && ::fsync(fd.Get()) == 0 &&
                         ::fchmod(fd.Get(), 0644) == 0;
    const std::string writeError = written ? std::string() : SystemText();
    fd.Reset();
    if (!written || ::rename(temporary.c_str(), localPath.c_str()) != 0) {
        error = "cannot store " + localPath + ": " + (written ? SystemText() : writeError);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
