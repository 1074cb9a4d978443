#include "platform/SingleInstanceLock.h"

#include "platform/ErrorText.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

namespace {

// flock needs only read access, so every user can take a file that reads for all.
// O_NOFOLLOW: a link planted in /tmp must not make us create or lock another
// file; O_NONBLOCK: a fifo planted there must not hang the start.
constexpr int OpenFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
constexpr mode_t EveryoneReadsAndWrites = 0666;

int OpenOrCreate(const std::string& path) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int opened = ::open(path.c_str(), OpenFlags);
        if (opened >= 0 || errno != ENOENT)
            return opened;
        const int created = ::open(path.c_str(), OpenFlags | O_CREAT | O_EXCL, EveryoneReadsAndWrites);
        if (created >= 0) {
            // The umask must not keep other users out.
            ::fchmod(created, EveryoneReadsAndWrites);
            return created;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

} // namespace

SingleInstanceLock::SingleInstanceLock(const std::string& name) : m_Path("/tmp/" + name + ".lock") {
    m_Fd.Reset(OpenOrCreate(m_Path));
    if (!m_Fd.IsValid()) {
        m_Error = LastErrorText();
        return;
    }
    struct stat info {};
    if (::fstat(m_Fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        m_Error = "not a regular file\n";
        m_Fd.Reset();
        return;
    }
    if (::flock(m_Fd.Get(), LOCK_EX | LOCK_NB) == 0) {
        m_Outcome = Outcome::Acquired;
        return;
    }
    const int error = errno;
    m_Error = ::ErrorText(error);
    m_Outcome = error == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Failed;
    m_Fd.Reset();
}
