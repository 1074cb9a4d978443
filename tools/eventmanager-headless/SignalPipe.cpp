#include "tools/eventmanager-headless/SignalPipe.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace {

std::atomic<int> WriteDescriptor{-1};

void ForwardSignal(int signal) {
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    const int fd = WriteDescriptor.load();
    if (fd >= 0) {
        [[maybe_unused]] const auto written = ::write(fd, &number, 1);
    }
    errno = savedErrno;
}

} // namespace

SignalPipe::SignalPipe(std::initializer_list<int> signals) {
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    m_ReadEnd.Reset(ends[0]);
    m_WriteEnd.Reset(ends[1]);
    WriteDescriptor = m_WriteEnd.Get();

    struct sigaction action {};
    action.sa_handler = ForwardSignal;
    sigemptyset(&action.sa_mask);
    // Other threads' interrupted system calls resume by themselves.
    action.sa_flags = SA_RESTART;
    m_Valid = true;
    for (const int signal : signals) {
        if (::sigaction(signal, &action, nullptr) != 0) {
            m_Valid = false;
            break;
        }
        m_Signals.push_back(signal);
    }
}

SignalPipe::~SignalPipe() {
    for (const int signal : m_Signals)
        std::signal(signal, SIG_DFL);
    WriteDescriptor = -1;
}

int SignalPipe::TakeSignal() {
    unsigned char number = 0;
    for (;;) {
        const auto got = ::read(m_ReadEnd.Get(), &number, 1);
        if (got == 1)
            return number;
        if (got < 0 && errno == EINTR)
            continue;
        return 0;
    }
}
