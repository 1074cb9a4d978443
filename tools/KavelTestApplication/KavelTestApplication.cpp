// The tool behind "@TEST_TOOL_CFG": records each call in a log file, then
// sleeps and exits as its options say. Tests, demo and benchmarks start it; its
// misbehaving modes (leaving its group, daemonising, ignoring signals, flooding
// its output) stand for tools that make stopping hard.

#include "platform/Paths.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr const char* LogFileName = "KavelTestApplication.log";
constexpr unsigned long MaximumMilliseconds = 24ul * 60 * 60 * 1000;
constexpr unsigned long MaximumOutputBytes = 1ul << 30;

constexpr const char* HelpText =
    "Usage: KavelTestApplication [options] [arguments...]\n"
    "\n"
    "Appends one line per call to a log file, then sleeps and exits as told.\n"
    "Every argument is logged; arguments that are no option are only logged.\n"
    "\n"
    "Options:\n"
    "  --log FILE          log file (default: KavelTestApplication.log beside the program)\n"
    "  --sleep MS          sleep MS milliseconds before exiting (default 0)\n"
    "  --exit CODE         exit with CODE, 0 to 255 (default 0)\n"
    "  --spawn-child MS    start a child process that sleeps MS milliseconds (it stays\n"
    "                      in this process's group and is not waited for)\n"
    "  --leave-group       move into a process group of a helper child (sleeping as long\n"
    "                      as the tool), leaving the --spawn-child child in the old group\n"
    "  --daemonise MS      leave a daemon behind (double fork, new session) that sleeps\n"
    "                      MS milliseconds\n"
    "  --ignore-signals    ignore SIGTERM, SIGHUP and SIGINT\n"
    "  --write-output N    write N bytes to standard output and N to standard error\n"
    "  --help              show this text and exit without logging\n"
    "  --                  everything after it is an argument, never an option\n"
    "\n"
    "Log line (one write per line, so concurrent calls never interleave):\n"
    "  <UTC time, ms> pid=<pid> mono_us=<monotonic clock, us> child=<child pid or 0>\n"
    "  argc=<n> \"<argv[0]>\" \"<argv[1]>\" ...\n"
    "Each argument is in double quotes; \\ \" and control characters are written as\n"
    "\\\\ \\\" \\n \\r \\t or \\xHH.\n"
    "\n"
    "Exit codes: CODE, or 2 when an option has a missing or invalid value (the call is\n"
    "still logged), 3 when the log cannot be written.\n";

struct Options {
    std::string LogPath;
    unsigned long SleepMs = 0;
    unsigned long ExitCode = 0;
    unsigned long ChildSleepMs = 0;
    unsigned long DaemonSleepMs = 0;
    unsigned long OutputBytes = 0;
    bool SpawnChild = false;
    bool LeaveGroup = false;
    bool Daemonise = false;
    bool IgnoreSignals = false;
    bool Help = false;
    std::string Error;
};

bool ParseNumber(const char* text, unsigned long maximum, unsigned long& value) {
    if (text == nullptr || *text < '0' || *text > '9')
        return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed > maximum)
        return false;
    value = parsed;
    return true;
}

std::string DefaultLogPath() {
    const std::string program = ProgramPath();
    if (program.empty())
        return LogFileName;
    return DirectoryPart(program) + PathSeparator + LogFileName;
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--")
            break;
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool valid = true;
        if (argument == "--help" || argument == "-h") {
            options.Help = true;
            continue;
        } else if (argument == "--leave-group") {
            options.LeaveGroup = true;
            continue;
        } else if (argument == "--ignore-signals") {
            options.IgnoreSignals = true;
            continue;
        } else if (argument == "--daemonise") {
            valid = ParseNumber(value, MaximumMilliseconds, options.DaemonSleepMs);
            options.Daemonise = valid;
        } else if (argument == "--write-output") {
            valid = ParseNumber(value, MaximumOutputBytes, options.OutputBytes);
        } else if (argument == "--log") {
            valid = value != nullptr && *value != '\0';
            if (valid)
                options.LogPath = value;
        } else if (argument == "--sleep") {
            valid = ParseNumber(value, MaximumMilliseconds, options.SleepMs);
        } else if (argument == "--exit") {
            valid = ParseNumber(value, 255, options.ExitCode);
        } else if (argument == "--spawn-child") {
            valid = ParseNumber(value, MaximumMilliseconds, options.ChildSleepMs);
            options.SpawnChild = valid;
        } else {
            continue;
        }
        if (!valid && options.Error.empty())
            options.Error = "missing or invalid value for " + argument;
        if (value != nullptr)
            ++i;
    }
    if (options.LogPath.empty())
        options.LogPath = DefaultLogPath();
    return options;
}

void AppendQuoted(std::string& line, const char* text) {
    static const char Hex[] = "0123456789abcdef";
    line += '"';
    for (const char* p = text; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        switch (c) {
        case '"':
            line += "\\\"";
            break;
        case '\\':
            line += "\\\\";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        case '\t':
            line += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                line += "\\x";
                line += Hex[c >> 4];
                line += Hex[c & 0xf];
            } else {
                line += static_cast<char>(c);
            }
        }
    }
    line += '"';
}

std::string TimeStamp() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm utc{};
    ::gmtime_r(&now.tv_sec, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, now.tv_nsec / 1000000);
    return text;
}

std::uint64_t MonotonicMicroseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

std::string LogLine(int argc, char** argv, pid_t child) {
    std::string line = TimeStamp();
    line += " pid=" + std::to_string(::getpid());
    line += " mono_us=" + std::to_string(MonotonicMicroseconds());
    line += " child=" + std::to_string(child);
    line += " argc=" + std::to_string(argc);
    for (int i = 0; i < argc; ++i) {
        line += ' ';
        AppendQuoted(line, argv[i]);
    }
    line += '\n';
    return line;
}

// One write() on an O_APPEND descriptor: lines of concurrent calls never mix.
bool AppendLine(const std::string& path, const std::string& line) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const ssize_t written = ::write(fd, line.data(), line.size());
    const bool ok = written == static_cast<ssize_t>(line.size());
    return ::close(fd) == 0 && ok;
}

void SleepMilliseconds(unsigned long milliseconds) {
    timespec remaining{};
    remaining.tv_sec = static_cast<time_t>(milliseconds / 1000);
    remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000;
    while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

// A child that only sleeps; it stays in our process group.
pid_t SpawnSleepingChild(unsigned long milliseconds) {
    const pid_t child = ::fork();
    if (child == 0) {
        SleepMilliseconds(milliseconds);
        ::_exit(0);
    }
    return child < 0 ? 0 : child;
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

void WriteBytes(int fd, unsigned long count) {
    static const std::string Block(65536, 'x');
    while (count > 0) {
        const std::size_t size = count < Block.size() ? count : Block.size();
        const ssize_t written = ::write(fd, Block.data(), size);
        if (written <= 0 && errno != EINTR)
            return;
        if (written > 0)
            count -= static_cast<unsigned long>(written);
    }
}

} // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    if (options.Help) {
        std::fputs(HelpText, stdout);
        return 0;
    }
    if (options.IgnoreSignals) {
        ::signal(SIGTERM, SIG_IGN);
        ::signal(SIGHUP, SIG_IGN);
        ::signal(SIGINT, SIG_IGN);
    }
    const pid_t child = options.SpawnChild ? SpawnSleepingChild(options.ChildSleepMs) : 0;
    if (options.LeaveGroup)
        LeaveProcessGroup(options.SleepMs);
    if (options.Daemonise)
        Daemonise(options.DaemonSleepMs);
    if (!AppendLine(options.LogPath, LogLine(argc, argv, child))) {
        std::fprintf(stderr, "KavelTestApplication: cannot write %s: %s\n", options.LogPath.c_str(),
                     std::strerror(errno));
        return 3;
    }
    if (!options.Error.empty()) {
        std::fprintf(stderr, "KavelTestApplication: %s (see --help)\n", options.Error.c_str());
        return 2;
    }
    WriteBytes(STDOUT_FILENO, options.OutputBytes);
    WriteBytes(STDERR_FILENO, options.OutputBytes);
    SleepMilliseconds(options.SleepMs);
    return static_cast<int>(options.ExitCode);
}
