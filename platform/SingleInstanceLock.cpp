#include "platform/SingleInstanceLock.h"

#include "platform/ErrorText.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

SingleInstanceLock::SingleInstanceLock(const std::string& name) : m_Path("/tmp/" + name + ".lock") {
    // O_NOFOLLOW: a link planted in /tmp must not make us create or lock another file.
    m_Fd.Reset(::open(m_Path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!m_Fd.IsValid()) {
        m_Error = LastErrorText();
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
