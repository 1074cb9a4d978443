#include "tools/KavelTestApplication/TestToolSystem.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

void SleepMilliseconds(unsigned long milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::string UnavailableOption(const std::string&) {
    return {};
}

std::uint64_t CurrentProcessId() {
    return static_cast<std::uint64_t>(::getpid());
}

bool AppendLine(const std::string& path, const std::string& line, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const ssize_t written = ::write(fd, line.data(), line.size());
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (written == static_cast<ssize_t>(line.size()) && closed)
        return true;
    error = std::strerror(written < 0 ? writeError : errno);
    return false;
}

// A child that only sleeps; it stays in our process group.
std::uint64_t SpawnSleepingChild(unsigned long milliseconds) {
    const pid_t child = ::fork();
    if (child == 0) {
        SleepMilliseconds(milliseconds);
        ::_exit(0);
    }
    return child < 0 ? 0 : static_cast<std::uint64_t>(child);
}

// Joins the group of a helper child that made a group of its own: a group kill
// of the tool's first group no longer reaches the tool.
void LeaveProcessGroup(unsigned long milliseconds) {
    const pid_t helper = ::fork();
    if (helper == 0) {
        ::setpgid(0, 0);
        SleepMilliseconds(milliseconds);
        ::_exit(0);
    }
    if (helper > 0) {
        // Both sides make the group, so it exists whichever runs first.
        ::setpgid(helper, helper);
        ::setpgid(0, helper);
    }
}

// The classic way out of a parent's reach: fork, new session, fork again; the
// first child ends at once, the grandchild is re-parented.
void Daemonise(unsigned long milliseconds) {
    const pid_t first = ::fork();
    if (first == 0) {
        ::setsid();
        if (::fork() == 0) {
            SleepMilliseconds(milliseconds);
            ::_exit(0);
        }
        ::_exit(0);
    }
    if (first > 0) {
        while (::waitpid(first, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

void IgnoreStopSignals() {
    ::signal(SIGTERM, SIG_IGN);
    ::signal(SIGHUP, SIG_IGN);
    ::signal(SIGINT, SIG_IGN);
}

void WriteBytes(bool error, unsigned long count) {
    static const std::string Block(65536, 'x');
    const int fd = error ? STDERR_FILENO : STDOUT_FILENO;
    while (count > 0) {
        const std::size_t size = count < Block.size() ? count : Block.size();
        const ssize_t written = ::write(fd, Block.data(), size);
        if (written <= 0 && errno != EINTR)
            return;
        if (written > 0)
            count -= static_cast<unsigned long>(written);
    }
}
