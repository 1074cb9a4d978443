#include "tests/events/EventTestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

std::string TestToolPath() {
    return KAVEL_TEST_APPLICATION;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

namespace {

bool ReadQuoted(std::istream& in, std::string& text) {
    text.clear();
    if (in.get() != '"')
        return false;
    for (int c = in.get(); c != EOF; c = in.get()) {
        if (c == '"')
            return true;
        if (c != '\\') {
            text += static_cast<char>(c);
            continue;
        }
        switch (in.get()) {
        case '\\':
            text += '\\';
            break;
        case '"':
            text += '"';
            break;
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        case 't':
            text += '\t';
            break;
        case 'x': {
            char hex[3] = {};
            in.read(hex, 2);
            text += static_cast<char>(std::stoi(hex, nullptr, 16));
            break;
        }
        default:
            return false;
        }
    }
    return false;
}

bool ParseLine(const std::string& line, ToolLogEntry& entry) {
    std::istringstream in(line);
    std::string stamp;
    std::string pid;
    std::string mono;
    std::string child;
    std::string argc;
    if (!(in >> stamp >> pid >> mono >> child >> argc))
        return false;
    if (stamp.size() != 24 || stamp.back() != 'Z' || pid.rfind("pid=", 0) != 0 ||
        mono.rfind("mono_us=", 0) != 0 || child.rfind("child=", 0) != 0 || argc.rfind("argc=", 0) != 0)
        return false;
    entry.ProcessId = std::stoi(pid.substr(4));
    entry.MonotonicMicroseconds = std::stoull(mono.substr(8));
    entry.ChildId = std::stoi(child.substr(6));
    const int count = std::stoi(argc.substr(5));
    for (int i = 0; i < count; ++i) {
        if (in.get() != ' ')
            return false;
        std::string argument;
        if (!ReadQuoted(in, argument))
            return false;
        entry.Arguments.push_back(argument);
    }
    return in.peek() == EOF;
}

} // namespace

std::vector<ToolLogEntry> ReadToolLog(const std::string& path) {
    std::vector<ToolLogEntry> entries;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        ToolLogEntry entry;
        EXPECT_TRUE(ParseLine(line, entry)) << "log line: " << line;
        entries.push_back(entry);
    }
    return entries;
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

std::string UniqueName(const std::string& stem) {
    static std::atomic<int> counter{0};
    return stem + "-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

int RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds timeout, pid_t* processId) {
    std::vector<char*> pointers;
    for (const std::string& argument : argv)
        pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);
    // The program's own output would only clutter the test's.
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return -1;
    if (processId != nullptr)
        *processId = pid;
    int status = 0;
    const bool ended = WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, timeout);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
