#include "tests/controller/EmulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

EmulatorProcess::EmulatorProcess(const std::string& address, const std::vector<std::string>& arguments) {
    std::vector<std::string> words{QRIX_EMULATOR_PATH, "--address", address};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    int toChild[2] = {-1, -1};
    int fromChild[2] = {-1, -1};
    if (::pipe2(toChild, O_CLOEXEC) != 0)
        return;
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        return;
    }
    const pid_t parent = ::getpid();
    m_Pid = ::fork();
    if (m_Pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(toChild[0], STDIN_FILENO);
        ::dup2(fromChild[1], STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    m_Input = toChild[1];
    m_OutputFd = fromChild[0];
    if (m_Pid < 0) {
        Kill();
        return;
    }
    ::fcntl(m_OutputFd, F_SETFL, O_NONBLOCK);
    m_Serving = WaitForLine("qrix-emulator: serving", Milliseconds(10000)).has_value();
}

EmulatorProcess::~EmulatorProcess() {
    Kill();
}

void EmulatorProcess::Kill() {
    if (m_Pid > 0) {
        ::kill(m_Pid, SIGKILL);
        while (::waitpid(m_Pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_Pid = -1;
    }
    if (m_Input >= 0)
        ::close(m_Input);
    if (m_OutputFd >= 0)
        ::close(m_OutputFd);
    m_Input = m_OutputFd = -1;
    m_Serving = false;
}

std::optional<std::string> EmulatorProcess::NextLine(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto end = m_Pending.find('\n');
        if (end != std::string::npos) {
            std::string line = m_Pending.substr(0, end);
            m_Pending.erase(0, end + 1);
            return line;
        }
        if (m_OutputFd < 0)
            return std::nullopt;
        const auto left =
            std::chrono::duration_cast<Milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd entry{m_OutputFd, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[4096];
        const ssize_t got = ::read(m_OutputFd, buffer, sizeof buffer);
        if (got == 0)
            return std::nullopt;
        if (got > 0) {
            m_Pending.append(buffer, static_cast<std::size_t>(got));
            m_Output.append(buffer, static_cast<std::size_t>(got));
        }
    }
}

std::optional<std::string> EmulatorProcess::WaitForLine(const std::string& prefix, Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (auto line = NextLine(deadline)) {
        if (line->starts_with(prefix))
            return line;
    }
    return std::nullopt;
}

std::string EmulatorProcess::Command(const std::string& line, Milliseconds timeout) {
    const std::string text = line + "\n";
    if (m_Input < 0 || ::write(m_Input, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        return "<not running>";
    return NextLine(std::chrono::steady_clock::now() + timeout).value_or("<no answer>");
}

std::optional<int> EmulatorProcess::WaitForExit(Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_Pid > 0) {
        int status = 0;
        const pid_t done = ::waitpid(m_Pid, &status, WNOHANG);
        if (done == m_Pid) {
            m_Pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(Milliseconds(10));
    }
    return std::nullopt;
}
