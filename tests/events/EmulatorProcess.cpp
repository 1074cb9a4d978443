#include "tests/events/EmulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

} // namespace

EmulatorProcess::EmulatorProcess(std::string address, std::string summaryPath)
    : m_Address(std::move(address)), m_SummaryPath(std::move(summaryPath)) {}

EmulatorProcess::~EmulatorProcess() {
    Kill();
}

bool EmulatorProcess::Start() {
    Kill();
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0)
        return false;
    UniqueFd childInput(toChild[0]);
    m_Input.Reset(toChild[1]);
    if (::pipe2(fromChild, O_CLOEXEC) != 0)
        return false;
    m_Output.Reset(fromChild[0]);
    UniqueFd childOutput(fromChild[1]);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, childInput.Get(), STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, childOutput.Get(), STDOUT_FILENO);
    std::vector<std::string> arguments = {QRIX_EMULATOR, "--address", m_Address, "--summary", m_SummaryPath};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int error = ::posix_spawn(&m_ProcessId, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        m_ProcessId = 0;
        return false;
    }
    m_Pending.clear();
    for (;;) {
        const auto line = ReadLine(5s);
        if (!line)
            return false;
        if (line->find("serving") != std::string::npos)
            return true;
    }
}

void EmulatorProcess::Kill() {
    if (m_ProcessId > 0) {
        ::kill(m_ProcessId, SIGKILL);
        int status = 0;
        ::waitpid(m_ProcessId, &status, 0);
    }
    m_ProcessId = 0;
    m_Input.Reset();
    m_Output.Reset();
}

std::optional<std::string> EmulatorProcess::Command(const std::string& line) {
    const std::string text = line + "\n";
    if (!m_Input.IsValid() ||
        ::write(m_Input.Get(), text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        return std::nullopt;
    return ReadLine(5s);
}

std::optional<std::uint32_t> EmulatorProcess::OutputValue(const std::string& name) {
    // The answer reads "out NAME = 8 (0x00000008)".
    const auto answer = Command("get out " + name);
    const auto equals = answer ? answer->find(" = ") : std::string::npos;
    if (equals == std::string::npos)
        return std::nullopt;
    return static_cast<std::uint32_t>(std::stoul(answer->substr(equals + 3)));
}

std::optional<std::string> EmulatorProcess::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto end = m_Pending.find('\n');
        if (end != std::string::npos) {
            std::string line = m_Pending.substr(0, end);
            m_Pending.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !m_Output.IsValid())
            return std::nullopt;
        pollfd waiting{m_Output.Get(), POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[512];
        const ssize_t got = ::read(m_Output.Get(), buffer, sizeof buffer);
        if (got <= 0)
            return std::nullopt;
        m_Pending.append(buffer, static_cast<std::size_t>(got));
    }
}
