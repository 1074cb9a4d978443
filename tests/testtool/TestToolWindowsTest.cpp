#include "platform/UniqueHandle.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct LogEntry {
    unsigned long ProcessId = 0;
    unsigned long ChildId = 0;
    std::vector<std::string> Arguments;
};

// Undoes the log's quoting: \\ \" \n \r \t and \xHH.
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
        const int escaped = in.get();
        if (escaped == 'x') {
            char hex[3] = {static_cast<char>(in.get()), static_cast<char>(in.get()), 0};
            text += static_cast<char>(std::stoi(hex, nullptr, 16));
        } else {
            text += escaped == 'n'   ? '\n'
                    : escaped == 'r' ? '\r'
                    : escaped == 't' ? '\t'
                                     : static_cast<char>(escaped);
        }
    }
    return false;
}

std::vector<LogEntry> ReadLog(const std::string& path) {
    std::vector<LogEntry> entries;
    std::istringstream lines(TempFolder::Read(path));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream in(line);
        std::string stamp, pid, mono, child, argc;
        in >> stamp >> pid >> mono >> child >> argc;
        LogEntry entry;
        entry.ProcessId = std::stoul(pid.substr(4));
        entry.ChildId = std::stoul(child.substr(6));
        const unsigned long count = std::stoul(argc.substr(5));
        for (std::string argument;
             entry.Arguments.size() < count && in.get() == ' ' && ReadQuoted(in, argument);)
            entry.Arguments.push_back(argument);
        EXPECT_EQ(entry.Arguments.size(), count) << line;
        entries.push_back(entry);
    }
    return entries;
}

ProgramRun RunTool(const std::string& log, const std::vector<std::string>& rest,
                   const std::string& tool = KAVEL_TEST_APPLICATION) {
    std::vector<std::string> argv = {tool, "--log", log};
    argv.insert(argv.end(), rest.begin(), rest.end());
    return RunToEnd(argv, 20s);
}

bool ProcessRuns(unsigned long processId) {
    UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    return process.IsValid() && ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

// The command line passes the Windows quoting rules and the wide-character
// boundary: every argument reads back as it was given, beyond ASCII too.
TEST(TestToolWindowsTest, EveryArgumentArrivesAndIsLoggedExactly) {
    TempFolder folder;
    const std::string log = folder.File("calls.log");
    const std::vector<std::string> rest = {
        "plain",           "with space", "quote\"inside",  "back\\slash",          "trailing\\",
        "two\\\\\"quoted", "",           "tab\tnew\nline", "\xc3\xbcml\xc3\xa4ut", "\xe6\x97\xa5\xe6\x9c\xac",
        "--unknown",       "@IP_ADDR"};
    const ProgramRun run = RunTool(log, rest);
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    const std::vector<LogEntry> entries = ReadLog(log);
    ASSERT_EQ(entries.size(), 1u);
    std::vector<std::string> expected = {"--log", log};
    expected.insert(expected.end(), rest.begin(), rest.end());
    ASSERT_FALSE(entries[0].Arguments.empty());
    EXPECT_EQ(std::vector<std::string>(entries[0].Arguments.begin() + 1, entries[0].Arguments.end()),
              expected);
    EXPECT_EQ(entries[0].ProcessId, run.ProcessId);
    EXPECT_EQ(entries[0].ChildId, 0u);
}

TEST(TestToolWindowsTest, ExitCodesAndOptionsThatWindowsCannotHonour) {
    TempFolder folder;
    const std::string log = folder.File("calls.log");
    const struct {
        std::vector<std::string> Arguments;
        int ExitCode;
        const char* Message;
    } cases[] = {
        {{"--exit", "7", "--sleep", "50"}, 7, ""},
        {{"--exit", "256"}, 2, "invalid value for --exit"},
        {{"--sleep", "abc"}, 2, "invalid value for --sleep"},
        {{"--", "--exit", "9"}, 0, ""},
        {{"--leave-group"}, 2, "--leave-group is not available on Windows"},
        {{"--daemonise", "100"}, 2, "--daemonise is not available on Windows"},
        {{"--ignore-signals", "--exit", "4"}, 2, "--ignore-signals is not available on Windows"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Arguments.front());
        const ProgramRun run = RunTool(log, test.Arguments);
        EXPECT_EQ(run.ExitCode, test.ExitCode);
        EXPECT_NE(run.Output.find(test.Message), std::string::npos) << run.Output;
    }
    // Refused calls are on record all the same; --help is not.
    EXPECT_EQ(RunTool(folder.File("help.log"), {"--help"}).ExitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(folder.File("help.log")));
    EXPECT_EQ(ReadLog(log).size(), std::size(cases));
    EXPECT_EQ(RunTool(folder.File("missing\\folder\\calls.log"), {}).ExitCode, 3);
}

TEST(TestToolWindowsTest, SpawnedChildOutlivesTheToolAndOutputIsWritten) {
    TempFolder folder;
    const std::string log = folder.File("calls.log");
    const ProgramRun run = RunTool(log, {"--spawn-child", "3000", "--write-output", "70000"});
    ASSERT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Output, std::string(140000, 'x'));
    const std::vector<LogEntry> entries = ReadLog(log);
    ASSERT_EQ(entries.size(), 1u);
    ASSERT_NE(entries[0].ChildId, 0u);
    EXPECT_TRUE(ProcessRuns(entries[0].ChildId)) << "the child sleeps on after the tool ended";
    UniqueHandle child(::OpenProcess(SYNCHRONIZE, FALSE, entries[0].ChildId));
    if (child.IsValid()) {
        EXPECT_EQ(::WaitForSingleObject(child.Get(), 20000), WAIT_OBJECT_0);
    }
    EXPECT_EQ(ReadLog(log).size(), 1u) << "the child logs nothing";
}

TEST(TestToolWindowsTest, LogsBesideItselfAndConcurrentLinesNeverMix) {
    TempFolder folder;
    const std::string copy = folder.File("KavelTestApplication.exe");
    std::filesystem::copy_file(KAVEL_TEST_APPLICATION, copy);
    ASSERT_EQ(RunToEnd({copy, "first"}, 20s).ExitCode, 0);
    EXPECT_EQ(ReadLog(folder.File("KavelTestApplication.log")).size(), 1u);

    const std::string log = folder.File("calls.log");
    constexpr int Calls = 8;
    std::vector<std::thread> callers;
    std::vector<int> exitCodes(Calls, -1);
    for (int i = 0; i < Calls; ++i)
        callers.emplace_back([&, i] {
            exitCodes[i] =
                RunTool(log, {std::to_string(i), std::string(20000, static_cast<char>('a' + i))}).ExitCode;
        });
    for (std::thread& caller : callers)
        caller.join();
    EXPECT_EQ(exitCodes, std::vector<int>(Calls, 0));
    const std::vector<LogEntry> entries = ReadLog(log);
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(Calls));
    for (const LogEntry& entry : entries) {
        ASSERT_EQ(entry.Arguments.size(), 5u);
        EXPECT_EQ(entry.Arguments[4],
                  std::string(20000, static_cast<char>('a' + std::stoi(entry.Arguments[3]))));
    }
}

} // namespace
