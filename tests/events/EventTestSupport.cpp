#include "tests/events/EventTestSupport.h"

#include "config/EventConfiguration.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

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
    static const std::map<int, char> Escaped{{'\\', '\\'}, {'"', '"'}, {'n', '\n'}, {'r', '\r'}, {'t', '\t'}};
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
        c = in.get();
        if (c == 'x') {
            char hex[3] = {};
            in.read(hex, 2);
            text += static_cast<char>(std::stoi(hex, nullptr, 16));
        } else if (const auto it = Escaped.find(c); it != Escaped.end()) {
            text += it->second;
        } else {
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

std::string ControllerSummary(unsigned eventInputOffset) {
    std::ostringstream text;
    text
        << "[GENERAL]\nAppName=Events\nVariablesCount=2\n[V0]\nName=EventVar\nVarType=SPT\nDataType=USINT32\n"
        << "DataDirection=IO\nInpSplitDataFieldOffs=0x" << std::hex << eventInputOffset
        << "\nOutSplitDataFieldOffs=0x0\n[V1]\nName=AckVar\nVarType=SPT\nDataType=USINT32\n"
        << "DataDirection=IO\nInpSplitDataFieldOffs=0x4\nOutSplitDataFieldOffs=0x4\n";
    return text.str();
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
