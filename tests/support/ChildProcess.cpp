#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fstream>
#include <thread>

namespace {

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// A child that has gone would otherwise kill the test program with SIGPIPE.
bool WriteWithoutSigpipe(int descriptor, const std::string& text) {
    sigset_t pipeSignal;
    sigset_t previous;
    ::sigemptyset(&pipeSignal);
    ::sigaddset(&pipeSignal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    std::size_t written = 0;
    bool broken = false;
    while (written < text.size()) {
        const ssize_t got = ::write(descriptor, text.data() + written, text.size() - written);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            broken = errno == EPIPE;
            break;
        }
        written += static_cast<std::size_t>(got);
    }
    if (broken) {
        const timespec none{0, 0};
        while (::sigtimedwait(&pipeSignal, nullptr, &none) < 0 && errno == EINTR) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return written == text.size();
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& workingDirectory,
                           ErrorOutput errors)
    : ChildProcess(argv, Options{workingDirectory, errors, OutputReader::Test, {}}) {}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Options& options) {
    if (argv.empty() || options.ClosedDescriptors.size() > 3)
        return;
    int output[2] = {-1, -1};
    int input[2] = {-1, -1};
    if (::pipe2(output, O_CLOEXEC) != 0)
        return;
    m_Output.Reset(output[0]);
    const UniqueFd outputWrite(output[1]);
    if (::pipe2(input, O_CLOEXEC) != 0)
        return;
    const UniqueFd inputRead(input[0]);
    m_Input.Reset(input[1]);
    ::fcntl(m_Output.Get(), F_SETFL, O_NONBLOCK);
    if (options.Output == OutputReader::Never)
        ::fcntl(m_Output.Get(), F_SETPIPE_SZ, 4096);
    int closed[3] = {-1, -1, -1};
    std::copy(options.ClosedDescriptors.begin(), options.ClosedDescriptors.end(), closed);

    std::vector<char*> arguments;
    for (const std::string& argument : argv)
        arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    const char* folder = options.WorkingDirectory.empty() ? nullptr : options.WorkingDirectory.c_str();
    const bool captureErrors = options.Errors == ErrorOutput::Captured;
    // The child reports a failed exec through this pipe; a successful exec closes it.
    int execReport[2] = {-1, -1};
    if (::pipe2(execReport, O_CLOEXEC) != 0)
        return;
    UniqueFd reportRead(execReport[0]);
    UniqueFd reportWrite(execReport[1]);
    const int reportFd = reportWrite.Get();
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(inputRead.Get(), STDIN_FILENO);
        ::dup2(outputWrite.Get(), STDOUT_FILENO);
        if (captureErrors)
            ::dup2(outputWrite.Get(), STDERR_FILENO);
        for (const int descriptor : closed) {
            if (descriptor >= 0)
                ::close(descriptor);
        }
        if (folder == nullptr || ::chdir(folder) == 0)
            ::execv(arguments[0], arguments.data());
        const int error = errno;
        [[maybe_unused]] const ssize_t ignored = ::write(reportFd, &error, sizeof error);
        ::_exit(127);
    }
    if (pid < 0)
        return;
    reportWrite.Reset();
    int error = 0;
    ssize_t got = -1;
    do {
        got = ::read(reportRead.Get(), &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return;
    }
    m_Pid = pid;
    if (options.Output == OutputReader::Gone)
        m_Output.Reset();
    m_Unread = options.Output == OutputReader::Never;
}

ChildProcess::~ChildProcess() {
    Kill();
}

void ChildProcess::Signal(int signal) const {
    if (m_Pid > 0 && !m_ExitCode)
        ::kill(m_Pid, signal);
}

void ChildProcess::Kill() {
    if (m_Pid > 0 && !m_ExitCode) {
        ::kill(m_Pid, SIGKILL);
        int status = 0;
        while (::waitpid(m_Pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_ExitCode = 128 + SIGKILL;
        m_EndedBySignal = true;
    }
    Pump(0);
    m_Input.Reset();
    m_Output.Reset();
}

std::optional<int> ChildProcess::WaitForExit(Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_Pid > 0 && !m_ExitCode) {
        int status = 0;
        const pid_t done = ::waitpid(m_Pid, &status, WNOHANG);
        if (done == m_Pid) {
            m_ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            m_EndedBySignal = !WIFEXITED(status);
            break;
        }
        if (RemainingMs(deadline) == 0)
            break;
        Pump(5);
        std::this_thread::sleep_for(Milliseconds(1));
    }
    Pump(0);
    return m_ExitCode;
}

const std::string& ChildProcess::Output() {
    Pump(0);
    return m_Text;
}

std::optional<std::size_t> ChildProcess::WaitForOutput(const std::string& text, Milliseconds timeout,
                                                       std::size_t from) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        Pump(0);
        const std::size_t position = m_Text.find(text, from);
        if (position != std::string::npos)
            return position;
        if (RemainingMs(deadline) == 0 || m_OutputEnded)
            return std::nullopt;
        Pump(std::min(RemainingMs(deadline), 20));
    }
}

std::optional<std::string> ChildProcess::ReadLine(Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const std::size_t end = m_Text.find('\n', m_LineStart);
        if (end != std::string::npos) {
            std::string line = m_Text.substr(m_LineStart, end - m_LineStart);
            m_LineStart = end + 1;
            return line;
        }
        if (m_OutputEnded || !m_Output.IsValid() || RemainingMs(deadline) == 0)
            return std::nullopt;
        Pump(RemainingMs(deadline));
    }
}

bool ChildProcess::Write(const std::string& text) {
    return m_Input.IsValid() && WriteWithoutSigpipe(m_Input.Get(), text);
}

void ChildProcess::Pump(int timeoutMs) {
    if (!m_Output.IsValid() || m_OutputEnded || m_Unread)
        return;
    pollfd descriptor{m_Output.Get(), POLLIN, 0};
    if (::poll(&descriptor, 1, timeoutMs) <= 0)
        return;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(m_Output.Get(), buffer, sizeof buffer);
        if (got == 0)
            m_OutputEnded = true;
        if (got <= 0)
            return;
        m_Text.append(buffer, static_cast<std::size_t>(got));
    }
}

bool ProcessEnded(pid_t processId) {
    std::ifstream stat("/proc/" + std::to_string(processId) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return true;
    const auto close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() || text[close + 2] == 'Z' ||
           text[close + 2] == 'X';
}
