// The tool behind "@TEST_TOOL_CFG": records each call in a log file, then
// sleeps and exits as its options say. Tests, demo and benchmarks start it; its
// misbehaving modes (leaving its group, daemonising, ignoring signals, flooding
// its output) stand for tools that make stopping hard.

#include "platform/Paths.h"
#include "tools/KavelTestApplication/TestToolSystem.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

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
    "Exit codes: CODE, or 2 when an option has a missing or invalid value or is not\n"
    "available on this system (the call is still logged), 3 when the log cannot be written.\n"
    "On Windows --leave-group, --daemonise and --ignore-signals are refused.\n";

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

Options ParseOptions(const std::vector<std::string>& argv) {
    Options options;
    const std::size_t argc = argv.size();
    for (std::size_t i = 1; i < argc; ++i) {
        const std::string& argument = argv[i];
        if (argument == "--")
            break;
        const char* value = i + 1 < argc ? argv[i + 1].c_str() : nullptr;
        if (const std::string refusal = UnavailableOption(argument); !refusal.empty()) {
            if (options.Error.empty())
                options.Error = refusal;
            continue;
        }
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

void AppendQuoted(std::string& line, const std::string& text) {
    static const char Hex[] = "0123456789abcdef";
    line += '"';
    for (const char character : text) {
        const auto c = static_cast<unsigned char>(character);
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
    using namespace std::chrono;
    const auto now = time_point_cast<milliseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date(day);
    const hh_mm_ss time(now - day);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
    return text;
}

// The clock the event manager's poll timer uses.
std::uint64_t MonotonicMicroseconds() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string LogLine(const std::vector<std::string>& argv, std::uint64_t child) {
    std::string line = TimeStamp();
    line += " pid=" + std::to_string(CurrentProcessId());
    line += " mono_us=" + std::to_string(MonotonicMicroseconds());
    line += " child=" + std::to_string(child);
    line += " argc=" + std::to_string(argv.size());
    for (const std::string& argument : argv) {
        line += ' ';
        AppendQuoted(line, argument);
    }
    line += '\n';
    return line;
}

void SleepMilliseconds(unsigned long milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = ProgramArguments(argc, argv);
    unsigned long childSleepMs = 0;
    if (arguments.size() > 2 && arguments[1] == SleepingChildOption &&
        ParseNumber(arguments[2].c_str(), MaximumMilliseconds, childSleepMs)) {
        SleepMilliseconds(childSleepMs);
        return 0;
    }
    const Options options = ParseOptions(arguments);
    if (options.Help) {
        std::fputs(HelpText, stdout);
        return 0;
    }
    if (options.IgnoreSignals)
        IgnoreStopSignals();
    const std::uint64_t child = options.SpawnChild ? SpawnSleepingChild(options.ChildSleepMs) : 0;
    if (options.LeaveGroup)
        LeaveProcessGroup(options.SleepMs);
    if (options.Daemonise)
        Daemonise(options.DaemonSleepMs);
    if (std::string error; !AppendLine(options.LogPath, LogLine(arguments, child), error)) {
        std::fprintf(stderr, "KavelTestApplication: cannot write %s: %s\n", options.LogPath.c_str(),
                     error.c_str());
        return 3;
    }
    if (!options.Error.empty()) {
        std::fprintf(stderr, "KavelTestApplication: %s (see --help)\n", options.Error.c_str());
        return 2;
    }
    WriteBytes(false, options.OutputBytes);
    WriteBytes(true, options.OutputBytes);
    SleepMilliseconds(options.SleepMs);
    return static_cast<int>(options.ExitCode);
}
