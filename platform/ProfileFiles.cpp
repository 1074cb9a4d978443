#include "platform/ProfileFiles.h"

#include "platform/PrivateProfile.h"
#include "platform/UniqueFd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <memory>
#include <vector>

namespace {

constexpr int MaximumLinkDepth = 40;

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// The file a write replaces: the end of a chain of links, so that a linked
// settings file keeps its link and its target gets the values. Empty for a loop.
std::string ReplacementTarget(const std::string& path) {
    std::string current = path;
    for (int depth = 0; depth < MaximumLinkDepth; ++depth) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        std::vector<char> buffer(PATH_MAX);
        const ssize_t length = ::readlink(current.c_str(), buffer.data(), buffer.size() - 1);
        if (length <= 0)
            return {};
        std::string target(buffer.data(), static_cast<std::size_t>(length));
        current = target.front() == '/' ? target : DirectoryOf(current) + "/" + target;
    }
    return {};
}

bool WriteAll(int fd, const std::string& content) {
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// Gives the unnamed, complete file a temporary name beside the target.
bool LinkUnnamed(const UniqueFd& fd, const std::string& target, std::string& temporary) {
    const std::string source = "/proc/self/fd/" + std::to_string(fd.Get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target + "." + TemporarySuffix();
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// The new content is written into a file without a name where the file system
// allows it, so that a crash while writing leaves nothing behind; it gets a
// temporary name only for the rename over the target.
bool WriteAtomically(const std::string& path, const std::string& content, mode_t mode) {
    const std::string target = ReplacementTarget(path);
    if (target.empty())
        return false;
    const std::string directory = DirectoryOf(target);
    std::string temporary;
    UniqueFd fd(::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    const bool unnamed = fd.IsValid();
    if (!unnamed) {
        std::string pattern = target + ".XXXXXX";
        fd.Reset(::mkostemp(pattern.data(), O_CLOEXEC));
        if (!fd.IsValid())
            return false;
        temporary = pattern;
    }
    bool ok = ::fchmod(fd.Get(), mode) == 0 && WriteAll(fd.Get(), content) && ::fsync(fd.Get()) == 0;
    if (ok && unnamed)
        ok = LinkUnnamed(fd, target, temporary);
    fd.Reset();
    if (!ok || ::rename(temporary.c_str(), target.c_str()) != 0) {
        if (!temporary.empty())
            ::unlink(temporary.c_str());
        return false;
    }
    UniqueFd dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.IsValid())
        ::fsync(dir.Get());
    return true;
}

} // namespace

ProfileFileStamp StampOfProfileFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {};
    ProfileFileStamp stamp;
    stamp.Kind = S_ISREG(info.st_mode) ? ProfileFileKind::Regular : ProfileFileKind::Other;
    stamp.Device = static_cast<std::uint64_t>(info.st_dev);
    stamp.Identity = static_cast<std::uint64_t>(info.st_ino);
    stamp.Size = static_cast<std::uint64_t>(info.st_size);
    stamp.ModifiedSeconds = info.st_mtim.tv_sec;
    stamp.ModifiedFraction = info.st_mtim.tv_nsec;
    return stamp;
}

bool ReplaceProfileFile(const std::string& path, const std::string& content) {
    // The new file keeps the permissions of the one it replaces.
    struct stat info {};
    const mode_t mode = ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0644;
    return WriteAtomically(path, content, mode);
}

void RemoveLeftoverReplacements(const std::string& path) {
    const std::string target = ReplacementTarget(path);
    if (target.empty())
        return;
    const std::string prefix = target.substr(target.rfind('/') + 1) + ".";
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(DirectoryOf(target).c_str()), ::closedir);
    if (!folder)
        return;
    while (const dirent* entry = ::readdir(folder.get())) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + TemporarySuffixLength || name.rfind(prefix, 0) != 0 ||
            !IsTemporarySuffix(name.substr(prefix.size())))
            continue;
        struct stat info {};
        if (::fstatat(::dirfd(folder.get()), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode))
            ::unlinkat(::dirfd(folder.get()), name.c_str(), 0);
    }
}
