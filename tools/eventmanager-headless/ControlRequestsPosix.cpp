#include "tools/eventmanager-headless/ControlRequests.h"

#include "events/RunRecord.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <vector>

// Signals become bytes on a pipe: the handler only writes the signal's number,
// and the main loop reads and acts on it.
struct ControlRequests::State {
    UniqueFd ReadEnd;
    UniqueFd WriteEnd;
    bool Valid = false;
    std::vector<int> Signals;
};

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

ControlRequests::ControlRequests() : m_State(std::make_unique<State>()) {
    // A reader that went away costs lines, never the observation; tools are
    // started with the default dispositions whatever this process ignores.
    std::signal(SIGPIPE, SIG_IGN);
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    m_State->ReadEnd.Reset(ends[0]);
    m_State->WriteEnd.Reset(ends[1]);
    WriteDescriptor = m_State->WriteEnd.Get();

    struct sigaction action {};
    action.sa_handler = ForwardSignal;
    sigemptyset(&action.sa_mask);
    // Other threads' interrupted system calls resume by themselves.
    action.sa_flags = SA_RESTART;
    m_State->Valid = true;
    for (const int signal : {SIGHUP, SIGTERM, SIGINT}) {
        if (::sigaction(signal, &action, nullptr) != 0) {
            m_State->Valid = false;
            break;
        }
        m_State->Signals.push_back(signal);
    }
}

ControlRequests::~ControlRequests() {
    for (const int signal : m_State->Signals)
        std::signal(signal, SIG_DFL);
    WriteDescriptor = -1;
}

bool ControlRequests::IsValid() const {
    return m_State->Valid;
}

ControlRequest ControlRequests::Take() {
    unsigned char number = 0;
    for (;;) {
        const auto got = ::read(m_State->ReadEnd.Get(), &number, 1);
        if (got == 1)
            return {number == SIGHUP ? ControlRequest::Kind::Reload : ControlRequest::Kind::Stop,
                    SignalName(number)};
        if (got < 0 && errno == EINTR)
            continue;
        return {};
    }
}

ControlRequests::WaitResult ControlRequests::Wait(const WakeUpChannel& wakeUp, int timeoutMs) {
    pollfd descriptors[2] = {{m_State->ReadEnd.Get(), POLLIN, 0}, {wakeUp.Get(), POLLIN, 0}};
    WaitResult result;
    if (::poll(descriptors, 2, timeoutMs) < 0)
        result.Failed = errno != EINTR;
    else
        result.WokenUp = descriptors[1].revents != 0;
    return result;
}

int SendReloadRequest() {
    std::fputs("eventmanager-headless: --reload is for Windows; send SIGHUP to the observer instead\n",
               stderr);
    return 2;
}

const char* ControlRequestsUsage() {
    return "Under systemd (a unit of Type=notify) it reports ready, reloading, stopping and\n"
           "its status, pings the watchdog while the poll cycle runs, and gives the lines\n"
           "their journal priority when standard output is the journal.\n"
           "\n"
           "Signals:\n"
           "  SIGHUP           deactivate, read the settings and the configuration again, activate\n"
           "  SIGTERM, SIGINT  deactivate (running tools are stopped and acknowledged) and exit 0,\n"
           "                   also when they cut the start or a reload short\n"
           "\n"
           "Exit status: 0 after SIGTERM or SIGINT; 1 when another event manager runs, the\n"
           "single-instance lock cannot be taken, no usable configuration loads or observation\n"
           "cannot start (the lines before say why); 2 for a wrong option.\n";
}
