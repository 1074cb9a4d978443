#include "tools/qrix-emulator/FileCatalogue.h"

#include "controller/access/PlainErrorText.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

bool IsServableName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x20 && c != '/' && c != 0x7F; });
}

} // namespace

ProtocolStatus FileCatalogue::Load(const std::string& name, std::vector<unsigned char>& content,
                                   std::string& error) const {
    std::string path;
    if (name == SummaryName && !m_SummaryPath.empty())
        path = m_SummaryPath;
    else if (IsServableName(name) && !m_Folder.empty())
        path = m_Folder + "/" + name;
    if (path.empty()) {
        error = "file \"" + name + "\" not found";
        return ProtocolStatus::FileNotFound;
    }
    // Links inside the served folder could lead anywhere: only plain files count.
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (path == m_SummaryPath ? 0 : O_NOFOLLOW);
    UniqueFd fd(::open(path.c_str(), flags));
    struct stat info {};
    if (!fd.IsValid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "file \"" + name + "\" not found";
        return ProtocolStatus::FileNotFound;
    }
    if (info.st_size > static_cast<off_t>(MaxFileSize)) {
        error = "file \"" + name + "\" is larger than " + std::to_string(MaxFileSize) + " bytes";
        return ProtocolStatus::TooLarge;
    }
    content.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t got = ::read(fd.Get(), content.data() + done, content.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = "file \"" + name + "\" cannot be read: " + PlainErrorText(errno);
            return ProtocolStatus::FileUnreadable;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    content.resize(done); // a file that shrank meanwhile is served as it is now
    return ProtocolStatus::Ok;
}
