#include "events/ToolRunner.h"
#include "tests/events/EventTestSupport.h"
#include "tests/events/RecordingObservationState.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <limits>
#include <thread>

namespace {

using namespace std::chrono_literals;

void BeginRun(ObservationState& state, int bit) {
    ToolSlot& slot = state.ToolSlots[bit];
    slot.Running = 1;
    slot.Finished = 0;
    StartToolRunner(state, bit);
}

class ToolRunnerTest : public ::testing::Test {
protected:
    TempFolder Folder;
    std::string Log = Folder.File("calls.log");
    RecordingObservationState State;
    ToolSlot& Slot = State.ToolSlots[0];
};

TEST_F(ToolRunnerTest, StartsTheProgramWithItsArgumentsInAProcessGroupOfItsOwn) {
    State.ConfigureTestTool(0, {"--log", Log, "--sleep", "300", "two words", "\"quoted\"", ""});
    BeginRun(State, 0);
    ASSERT_TRUE(Slot.WorkerThread.joinable());
    ASSERT_TRUE(WaitUntil([&] { return ReadToolLog(Log).size() == 1; }));
    const ToolLogEntry entry = ReadToolLog(Log)[0];
    EXPECT_EQ(entry.Arguments, (std::vector<std::string>{TestToolPath(), "--log", Log, "--sleep", "300",
                                                         "two words", "\"quoted\"", ""}));
    EXPECT_EQ(::getpgid(entry.ProcessId), entry.ProcessId);
    EXPECT_EQ(Slot.Finished, 0);
    ASSERT_TRUE(WaitUntil([&] { return Slot.Finished == 1; }));
    Slot.WorkerThread.join();
    EXPECT_TRUE(ProcessEnded(entry.ProcessId));
    EXPECT_EQ(Slot.Running, 1); // only the acknowledge pass clears it
}

TEST_F(ToolRunnerTest, AProgramWithoutAFolderIsSearchedLikeTheShellWould) {
    Slot.Runnable = 1;
    Slot.Program = "true";
    BeginRun(State, 0);
    EXPECT_TRUE(WaitUntil([&] { return Slot.Finished == 1; }));
    StartToolRunner(State, -1);
    StartToolRunner(State, ToolSlotCount);
}

TEST_F(ToolRunnerTest, AMissingProgramLeavesTheSlotRunningUntilAReloadAndSaysWhy) {
    Slot.Runnable = 1;
    Slot.Program = Folder.File("missing-tool");
    Slot.CommandLine = Slot.Program + " --flag";
    BeginRun(State, 0);
    ASSERT_TRUE(WaitUntil([&] { return State.HasMessageContaining("could not be started"); }));
    EXPECT_EQ(State.Messages().back(),
              "The process " + Slot.CommandLine + " could not be started ! No such file or directory\n");
    // Deactivation finds no process: nothing is stopped, nothing acknowledged.
    TerminateRunningTools(State);
    EXPECT_FALSE(Slot.WorkerThread.joinable());
    EXPECT_EQ(Slot.Running, 1);
    EXPECT_EQ(Slot.Finished, 0);
    EXPECT_EQ(State.Messages().size(), 1u);
    ResetToolRuns(State);
    EXPECT_EQ(Slot.Running, 0);
    EXPECT_EQ(Slot.Finished, 1);
}

TEST_F(ToolRunnerTest, TerminationRightAfterTheStartNeverLeavesAToolBehind) {
    State.ConfigureTestTool(0, {"--log", Log, "--sleep", "30000"});
    // The last run waits until its tool has started, so that path is taken however
    // slowly the machine starts processes.
    for (int run = 0; run <= 40; ++run) {
        BeginRun(State, 0);
        // From before the worker takes the guard to well after the tool has started.
        if (run < 40) {
            std::this_thread::sleep_for(std::chrono::microseconds((run % 8) * (run % 8) * 100));
        } else {
            ASSERT_TRUE(WaitUntil(
                [&] {
                    std::lock_guard lock(Slot.Process.Guard);
                    return Slot.Process.ProcessId != 0;
                },
                20s));
        }
        TerminateRunningTools(State);
        ASSERT_EQ(Slot.Finished, 1);
        // The worker returns only once its process is reaped, or when it started none.
        ASSERT_TRUE(WaitUntil(
            [&] {
                std::lock_guard lock(Slot.Process.Guard);
                return Slot.Process.Cancelled || (Slot.Process.ProcessId != 0 && Slot.Process.Reaped);
            },
            20s));
        Slot.WorkerThread.join();
        Slot.Running = 0;
    }
    EXPECT_FALSE(Slot.Process.Cancelled);
    for (const ToolLogEntry& entry : ReadToolLog(Log))
        EXPECT_TRUE(ProcessEnded(entry.ProcessId));
}

TEST_F(ToolRunnerTest, IdleAndFinishedSlotsAreLeftAloneAndAFailedStopIsReported) {
    State.ToolSlots[1].Running = 1; // finished, not yet acknowledged
    State.ToolSlots[2].CommandLine = "stubborn-tool";
    State.ToolSlots[2].Running = 1;
    State.ToolSlots[2].Finished = 0;
    {
        std::lock_guard lock(State.ToolSlots[2].Process.Guard);
        State.ToolSlots[2].Process.ProcessId = std::numeric_limits<pid_t>::max();
        State.ToolSlots[2].Process.Reaped = false;
    }
    TerminateRunningTools(State);
    EXPECT_EQ(State.ToolSlots[0].Finished, 1);
    EXPECT_EQ(State.ToolSlots[1].Finished, 1);
    EXPECT_EQ(State.ToolSlots[2].Finished, 0);
    EXPECT_EQ(State.Messages(),
              std::vector<std::string>{"The process stubborn-tool could not be stopped ! No such process\n"});
    std::lock_guard lock(State.ToolSlots[2].Process.Guard);
    State.ToolSlots[2].Process.Reaped = true;
    State.ToolSlots[2].Running = 0;
}

} // namespace
