#include "app/window/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<int> WriteEnd{-1};

void OnSignal(int) {
    const int fd = WriteEnd.load();
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
    }
}

} // namespace

TerminationSignals::TerminationSignals() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_ReadEnd.Reset(fds[0]);
    WriteEnd.store(fds[1]);
    m_Notifier = std::make_unique<QSocketNotifier>(m_ReadEnd.Get(), QSocketNotifier::Read);
    connect(m_Notifier.get(), &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(m_ReadEnd.Get(), buffer, sizeof buffer) > 0) {
        }
        emit Received();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    const int fd = WriteEnd.exchange(-1);
    if (fd >= 0)
        ::close(fd);
}
