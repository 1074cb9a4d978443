#include "tests/events/EventTestSupport.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::vector<std::string> ToolCall(const std::string& log, const std::vector<std::string>& rest) {
    std::vector<std::string> argv = {TestToolPath(), "--log", log};
    argv.insert(argv.end(), rest.begin(), rest.end());
    return argv;
}

TEST(TestToolTest, LogsEveryArgumentSoThatItReadsBackExactly) {
    TempFolder folder;
    const std::string log = folder.File("calls.log");
    const std::vector<std::string> argv =
        ToolCall(log, {"plain", "with space", "quote\"inside", "back\\slash", "", "tab\tnew\nline\r",
                       "\x01\x7f", "\xc3\xbcml\xc3\xa4ut", "--unknown", "-x", "@IP_ADDR"});
    pid_t pid = 0;
    ASSERT_EQ(RunProgram(argv, 10s, &pid), 0);
    const auto entries = ReadToolLog(log);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Arguments, argv);
    EXPECT_EQ(entries[0].ProcessId, pid);
    EXPECT_EQ(entries[0].ChildId, 0);
}

TEST(TestToolTest, SleepsExitsWithTheCodeAndExplainsItself) {
    TempFolder folder;
    const std::string log = folder.File("calls.log");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunProgram(ToolCall(log, {"--sleep", "200", "--exit", "7"})), 7);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
    EXPECT_EQ(RunProgram({TestToolPath(), "--log", folder.File("help.log"), "--help"}), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.File("help.log")));
    // A bad value is refused, but the call is still on record; "--" ends the options.
    EXPECT_EQ(RunProgram(ToolCall(log, {"--exit", "256"})), 2);
    EXPECT_EQ(RunProgram(ToolCall(log, {"--sleep", "abc"})), 2);
    EXPECT_EQ(RunProgram(ToolCall(log, {"--", "--exit", "9"})), 0);
    EXPECT_EQ(ReadToolLog(log).size(), 4u);
}

TEST(TestToolTest, WritesBesideItselfWithoutALogOption) {
    TempFolder folder;
    const std::string copy = folder.File("KavelTestApplication");
    std::filesystem::copy_file(TestToolPath(), copy);
    ASSERT_EQ(RunProgram({copy, "first"}), 0);
    const auto entries = ReadToolLog(folder.File("KavelTestApplication.log"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Arguments, (std::vector<std::string>{copy, "first"}));
}

TEST(TestToolTest, ConcurrentCallsNeverInterleaveTheirLines) {
    TempFolder folder;
    const std::string log = folder.File("calls.log");
    constexpr int Calls = 12;
    std::vector<std::thread> callers;
    for (int i = 0; i < Calls; ++i) {
        callers.emplace_back([&, i] {
            RunProgram(ToolCall(log, {std::to_string(i), std::string(20000, static_cast<char>('a' + i))}));
        });
    }
    for (std::thread& caller : callers)
        caller.join();
    const auto entries = ReadToolLog(log);
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(Calls));
    for (const ToolLogEntry& entry : entries) {
        ASSERT_EQ(entry.Arguments.size(), 5u);
        const int i = std::stoi(entry.Arguments[3]);
        EXPECT_EQ(entry.Arguments[4], std::string(20000, static_cast<char>('a' + i)));
    }
}

} // namespace
