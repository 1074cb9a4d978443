#include "events/RunFile.h"

#include "platform/ErrorText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

UniqueFd OpenRegularFile(const std::string& path, int flags, std::string& error) {
    UniqueFd file(::open(path.c_str(), flags | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
    struct stat info {};
    if (!file.IsValid() || ::fstat(file.Get(), &info) != 0) {
        error = LastErrorReason();
        return {};
    }
    if (!S_ISREG(info.st_mode)) {
        error = "it is not a regular file";
        return {};
    }
    return file;
}

std::string ErrorReason(int errorNumber) {
    std::string text = ErrorText(errorNumber);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string LastErrorReason() {
    return ErrorReason(errno);
}
