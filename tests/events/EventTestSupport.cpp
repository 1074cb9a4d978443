#include "tests/events/EventTestSupport.h"

#include "config/EventConfiguration.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

void UseOnlyConfiguration(std::uint32_t uniqueId, std::uint32_t pollCycle, const std::string& description) {
    GlobalParameters parameters;
    parameters.Description = description;
    parameters.UniqueID = uniqueId;
    parameters.EventVariable = "EventVar";
    parameters.AcknowledgeVariable = "AckVar";
    parameters.PollCycle = pollCycle;
    Configurations().ClearConfigurations();
    Configurations().AppendConfiguration(parameters);
}

std::string TestToolPath() {
    return KAVEL_TEST_APPLICATION;
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
    // Its output is captured, so it does not clutter the test's.
    ChildProcess program(argv);
    if (!program.Started())
        return -1;
    if (processId != nullptr)
        *processId = program.Pid();
    const std::optional<int> exitCode = program.WaitForExit(timeout);
    return exitCode && !program.EndedBySignal() ? *exitCode : -1;
}
