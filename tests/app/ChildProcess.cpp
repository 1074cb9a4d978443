#include "tests/app/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

extern char** environ;

namespace {

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& workingDirectory) {
    int output[2] = {-1, -1};
    int input[2] = {-1, -1};
    if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(input, O_CLOEXEC) != 0)
        return;
    m_Output.Reset(output[0]);
    UniqueFd outputWrite(output[1]);
    UniqueFd inputRead(input[0]);
    m_Input.Reset(input[1]);
    ::fcntl(m_Output.Get(), F_SETFL, O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, inputRead.Get(), STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, outputWrite.Get(), STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, outputWrite.Get(), STDERR_FILENO);
    if (!workingDirectory.empty())
        ::posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    std::vector<char*> arguments;
    for (const std::string& argument : argv)
        arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv.front().c_str(), &actions, nullptr, arguments.data(), environ) == 0)
        m_Pid = pid;
    ::posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    if (m_Pid > 0 && !m_ExitCode) {
        ::kill(m_Pid, SIGKILL);
        int status = 0;
        ::waitpid(m_Pid, &status, 0);
    }
}

void ChildProcess::Signal(int signal) const {
    if (m_Pid > 0 && !m_ExitCode)
        ::kill(m_Pid, signal);
}

std::optional<int> ChildProcess::WaitForExit(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_Pid > 0 && !m_ExitCode) {
        int status = 0;
        const pid_t done = ::waitpid(m_Pid, &status, WNOHANG);
        if (done == m_Pid) {
            m_ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (RemainingMs(deadline) == 0)
            break;
        Pump(5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Pump(0);
    return m_ExitCode;
}

const std::string& ChildProcess::Output() {
    Pump(0);
    return m_Text;
}

std::optional<std::size_t> ChildProcess::WaitForOutput(const std::string& text, int timeoutMs,
                                                       std::size_t from) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Pump(0);
        const std::size_t position = m_Text.find(text, from);
        if (position != std::string::npos)
            return position;
        if (RemainingMs(deadline) == 0)
            return std::nullopt;
        Pump(std::min(RemainingMs(deadline), 20));
    }
}

void ChildProcess::Pump(int timeoutMs) {
    if (!m_Output.IsValid())
        return;
    pollfd descriptor{m_Output.Get(), POLLIN, 0};
    if (::poll(&descriptor, 1, timeoutMs) <= 0)
        return;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(m_Output.Get(), buffer, sizeof buffer);
        if (got <= 0)
            return;
        m_Text.append(buffer, static_cast<std::size_t>(got));
    }
}
