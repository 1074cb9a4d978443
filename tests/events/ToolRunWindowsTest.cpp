#include "events/ObservationState.h"
#include "events/PollTimer.h"
#include "events/ToolRunner.h"
#include "platform/Paths.h"
#include "tests/support/MessageCapture.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

// After the engine's headers: its names are also macros of the system's.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The engine's state without a window: messages and records go to the capture.
class StubState : public ObservationState {
public:
    ~StubState() override {
        TerminateRunningTools(*this);
        for (ToolSlot& slot : ToolSlots) {
            if (slot.WorkerThread.joinable())
                slot.WorkerThread.join();
        }
    }
    void RefreshCallCounts() override {}
    void OnDeactivateButton() override {}
};

// Beside the test program, as the programs are installed.
std::string StubProgram() {
    return DirectoryPart(ProgramPath()) + PathSeparator + "ToolStub.exe";
}

// The strings NUL-separated in a file; the process id after the last.
std::vector<std::string> Fields(const std::string& content) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (auto end = content.find('\0'); end != std::string::npos; end = content.find('\0', start)) {
        fields.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    fields.push_back(content.substr(start));
    return fields;
}

bool ProcessAlive(DWORD id) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, id);
    if (process == nullptr)
        return false;
    const bool alive = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return alive;
}

class ToolRunWindowsTest : public ::testing::Test {
protected:
    // Starts slot `bit` as a toggle would and waits for its record.
    RunRecord Run(int bit, std::vector<std::string> arguments, const std::string& program = StubProgram()) {
        Start(bit, std::move(arguments), program);
        EXPECT_TRUE(WaitUntil([&] { return State.ToolSlots[bit].Finished.load() != 0 || Failed(bit); }, 20s));
        EXPECT_TRUE(WaitUntil([&] { return !Messages.Runs().empty(); }, 20s));
        const std::vector<RunRecord> runs = Messages.Runs();
        return runs.empty() ? RunRecord{} : runs.back();
    }
    void Start(int bit, std::vector<std::string> arguments, const std::string& program = StubProgram()) {
        ToolSlot& slot = State.ToolSlots[bit];
        slot.Program = program;
        slot.Arguments = std::move(arguments);
        slot.Running.store(1);
        slot.Finished.store(0);
        StartToolRunner(State, bit);
    }
    bool Failed(int bit) {
        std::lock_guard lock(State.ToolSlots[bit].Process.Guard);
        return State.ToolSlots[bit].Process.StartFailed;
    }

    TempFolder Folder;
    MessageCapture Messages;
    StubState State;
};

TEST_F(ToolRunWindowsTest, EveryArgumentArrivesExactlyAndEveryExitCodeIsRecorded) {
    const std::string out = Folder.File("argv");
    const std::vector<std::string> tricky{
        "plain", "",         "with blank",     "tab\there", "say \"hi\"", "back\\slash",
        "end\\", "end \\\\", "\\\"quoted\\\"", "Prüfstand", "a\\\\\"b",   "\"\""};
    std::vector<std::string> arguments = tricky;
    arguments.push_back("out=" + out);
    arguments.push_back("exit=0xC0000005"); // a crash's code is an exit code like any other
    const RunRecord record = Run(0, arguments);
    ASSERT_EQ(record.Outcome, RunOutcome::Exited);
    EXPECT_EQ(static_cast<std::uint32_t>(record.ExitCode), 0xC0000005u);
    const std::vector<std::string> fields = Fields(TempFolder::Read(out));
    ASSERT_EQ(fields.size(), arguments.size() + 2);
    for (std::size_t i = 0; i < arguments.size(); ++i)
        EXPECT_EQ(fields[i + 1], arguments[i]) << i;
    EXPECT_EQ(std::to_string(record.ProcessId), fields.back());
    EXPECT_EQ(record.Arguments.front(), StubProgram());

    for (const std::uint32_t code : {0u, 3u, 255u, 0x80000000u}) {
        SCOPED_TRACE(code);
        const RunRecord next = Run(1, {"exit=" + std::to_string(code)});
        EXPECT_EQ(next.Outcome, RunOutcome::Exited);
        EXPECT_EQ(static_cast<std::uint32_t>(next.ExitCode), code);
        EXPECT_EQ(RunFailed(next), code != 0);
    }
}

TEST_F(ToolRunWindowsTest, AMissingProgramIsRecordedAsNotStartedWithTheSystemsReason) {
    const RunRecord record = Run(2, {}, Folder.File("missing.exe"));
    EXPECT_EQ(record.Outcome, RunOutcome::NotStarted);
    EXPECT_FALSE(record.Reason.empty());
    EXPECT_EQ(record.Reason.find('\n'), std::string::npos);
    EXPECT_TRUE(Failed(2));
    EXPECT_EQ(State.ToolSlots[2].Running.load(), 1);
    const std::vector<std::string> lines = Messages.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("could not be started"), std::string::npos);
    ResetToolRuns(State);
    EXPECT_EQ(State.ToolSlots[2].Running.load(), 0);
}

// The job ends the tool and the process it started; the record says deactivation.
TEST_F(ToolRunWindowsTest, DeactivationEndsTheToolAndWhatItStartedWithinTheBound) {
    const std::string childFile = Folder.File("child");
    Start(3, {"child=" + childFile, "sleep=60000"});
    ASSERT_TRUE(WaitUntil([&] { return Fields(TempFolder::Read(childFile)).size() == 4; }, 20s));
    const auto childId = static_cast<DWORD>(std::stoul(Fields(TempFolder::Read(childFile)).back()));
    ASSERT_TRUE(ProcessAlive(childId));

    const auto before = std::chrono::steady_clock::now();
    TerminateRunningTools(State);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 4s);
    EXPECT_EQ(State.ToolSlots[3].Finished.load(), 1);
    EXPECT_FALSE(ProcessAlive(childId));
    const std::vector<RunRecord> runs = Messages.Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Outcome, RunOutcome::TerminatedAtDeactivation);
    EXPECT_FALSE(RunFailed(runs[0]));
}

// A tool that ends leaves its child alive until deactivation, as on Linux.
TEST_F(ToolRunWindowsTest, AChildOfAnEndedToolLivesUntilDeactivation) {
    const std::string childFile = Folder.File("child");
    const RunRecord record = Run(4, {"child=" + childFile, "exit=0"});
    EXPECT_EQ(record.Outcome, RunOutcome::Exited);
    ASSERT_TRUE(WaitUntil([&] { return Fields(TempFolder::Read(childFile)).size() == 4; }, 20s));
    const auto childId = static_cast<DWORD>(std::stoul(Fields(TempFolder::Read(childFile)).back()));
    EXPECT_TRUE(ProcessAlive(childId));
    TerminateRunningTools(State);
    EXPECT_FALSE(ProcessAlive(childId));
}

TEST_F(ToolRunWindowsTest, TheOutputFileKeepsTheNewestBytesOfAFloodAndHeadsEachRun) {
    State.OutputCapture = std::make_shared<ToolOutputCapture>(Folder.Path());
    ASSERT_TRUE(State.OutputCapture->IsValid());
    const RunRecord record = Run(5, {"bytes=3000000"}); // 200000 numbered lines
    EXPECT_EQ(record.Outcome, RunOutcome::Exited);
    ASSERT_TRUE(State.OutputCapture->WaitUntilWritten(20000));
    const std::string path = State.OutputCapture->FilePath(5);
    const std::string content = TempFolder::Read(path);
    EXPECT_LE(content.size(), ToolOutputCapture::DefaultKeptBytes);
    EXPECT_GT(content.size(), ToolOutputCapture::DefaultKeptBytes - 16);
    // Whole lines, the newest last and none missing between.
    ASSERT_GE(content.size(), 15u);
    EXPECT_EQ(content.substr(content.size() - 15), "line 000199999\n");
    EXPECT_EQ(content.rfind("line ", 0), 0u);
    EXPECT_EQ(content.size() % 15, 0u);

    const RunRecord second = Run(5, {"bytes=15", "exit=2"});
    EXPECT_EQ(second.ExitCode, 2);
    ASSERT_TRUE(State.OutputCapture->WaitUntilWritten(20000));
    const std::string after = TempFolder::Read(path);
    EXPECT_NE(after.find(RunStartLine(second) + "\nline 000000000\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
}

TEST(PollTimerWindowsTest, TicksUntilStoppedAndAStoppedTimerCanStartAgain) {
    for (int round = 0; round < 2; ++round) {
        std::atomic<int> ticks{0};
        ASSERT_TRUE(StartPollTimer(
            1, [](void* count) { ++*static_cast<std::atomic<int>*>(count); }, &ticks));
        EXPECT_FALSE(StartPollTimer(
            1, [](void*) {}, nullptr));
        ASSERT_TRUE(WaitUntil([&] { return ticks.load() >= 20; }, 20s));
        StopPollTimer();
        const int stopped = ticks.load();
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(ticks.load(), stopped);
    }
    EXPECT_FALSE(StartPollTimer(
        0, [](void*) {}, nullptr));
}

} // namespace
