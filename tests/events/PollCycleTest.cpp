#include "events/PollCycle.h"
#include "controller/SimulationBuffers.h"
#include "tests/app/SimulationAreas.h"
#include "tests/events/EventTestSupport.h"
#include "tests/events/RecordingObservationState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The cycle driven by hand in simulation mode, one cycle at a time.
class PollCycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Controller.Valid());
        State.UseSimulation(0);
        ResetSimulationBuffers();
        OpenSimulationBuffers();
    }

    std::vector<std::string> Tool(int slot, int sleepMs) {
        return {"--log", Log, "--sleep", std::to_string(sleepMs), "slot=" + std::to_string(slot)};
    }

    bool CycleUntil(const std::function<bool()>& condition) {
        return WaitUntil([&] {
            RunPollCycle(&State);
            return condition();
        });
    }

    void CycleFor(std::chrono::milliseconds duration) {
        const auto end = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < end) {
            RunPollCycle(&State);
            std::this_thread::sleep_for(1ms);
        }
    }

    std::size_t LoggedRuns() { return ReadToolLog(Log).size(); }

    TempFolder Folder;
    std::string Log = Folder.File("calls.log");
    SimulationAreas Controller;
    RecordingObservationState State;
};

TEST_F(PollCycleTest, AToggledBitStartsItsToolAndItsEndTogglesTheAcknowledgeBitInBothImages) {
    Controller.SetEvent(0x00A5);
    SynchroniseAcknowledge(State);
    EXPECT_EQ(Controller.AckOutputValue(), 0x00A5u);
    EXPECT_EQ(Controller.AckInputValue(), 0x00A5u);
    EXPECT_EQ(State.LastEventValue, 0x00A5u);
    EXPECT_EQ(State.LastAckValue, 0x00A5u);

    State.ConfigureTestTool(0, {"--log", Log, "/project/dir", "127.0.0.9", "two words"});
    Controller.SetEvent(0x00A4);
    RunPollCycle(&State);
    EXPECT_EQ(State.ToolSlots[0].Running, 1);
    ASSERT_TRUE(CycleUntil([&] { return Controller.AckOutputValue() == 0x00A4u; }));
    EXPECT_EQ(Controller.AckInputValue(), 0x00A4u);
    EXPECT_EQ(State.LastAckValue, 0x00A4u);
    EXPECT_EQ(State.ToolSlots[0].CallCount, 1u);
    EXPECT_EQ(State.ToolSlots[0].Running, 0);
    EXPECT_EQ(State.RefreshCount, 1);
    const auto runs = ReadToolLog(Log);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Arguments, (std::vector<std::string>{TestToolPath(), "--log", Log, "/project/dir",
                                                           "127.0.0.9", "two words"}));
    CycleFor(30ms);
    EXPECT_EQ(LoggedRuns(), 1u);
    EXPECT_EQ(State.RefreshCount, 1);
    RunPollCycle(nullptr);
}

// Bits 0 and 15 in one read (the event's bytes lowest address first) start both
// tools, and one write acknowledges both once both have ended.
TEST_F(PollCycleTest, TwoBitsInOneReadStartBothAndOneWriteAcknowledgesBoth) {
    State.ConfigureTestTool(0, Tool(0, 100));
    State.ConfigureTestTool(15, Tool(15, 100));
    SynchroniseAcknowledge(State);
    const unsigned char bytes[4] = {0x01, 0x80, 0x00, 0x00};
    std::uint32_t word = 0;
    std::memcpy(&word, bytes, sizeof word); // the same bytes at the same addresses
    Controller.SetEvent(word);
    RunPollCycle(&State);
    EXPECT_EQ(State.ToolSlots[0].Running, 1);
    EXPECT_EQ(State.ToolSlots[15].Running, 1);
    ASSERT_TRUE(
        WaitUntil([&] { return State.ToolSlots[0].Finished == 1 && State.ToolSlots[15].Finished == 1; }));
    EXPECT_EQ(Controller.AckOutputValue(), 0u);
    RunPollCycle(&State);
    EXPECT_EQ(Controller.AckOutputValue(), 0x8001u);
    EXPECT_EQ(State.RefreshCount, 1);
    EXPECT_EQ(State.ToolSlots[0].CallCount, 1u);
    EXPECT_EQ(State.ToolSlots[15].CallCount, 1u);
    EXPECT_EQ(LoggedRuns(), 2u);
}

TEST_F(PollCycleTest, ABitToggledBackWhileItsToolRunsGivesOneAcknowledgement) {
    State.ConfigureTestTool(2, Tool(2, 150));
    SynchroniseAcknowledge(State);
    Controller.ToggleEvent(2);
    RunPollCycle(&State);
    Controller.ToggleEvent(2);
    RunPollCycle(&State);
    EXPECT_EQ(State.LastEventValue, 0u);
    ASSERT_TRUE(CycleUntil([&] { return Controller.AckOutputValue() == 0x4u; }));
    CycleFor(30ms);
    EXPECT_EQ(Controller.Event(), 0u);
    EXPECT_EQ(Controller.AckOutputValue(), 0x4u);
    EXPECT_EQ(State.ToolSlots[2].CallCount, 1u);
    EXPECT_EQ(LoggedRuns(), 1u);
}

TEST_F(PollCycleTest, HighBitsAndBitsOfSlotsThatMayNotRunStartNothing) {
    State.ToolSlots[5].Defined = 1; // configured, but its program was not found
    SynchroniseAcknowledge(State);
    Controller.SetEvent(0xFFFF0020u);
    CycleFor(20ms);
    EXPECT_EQ(State.LastEventValue, 0xFFFF0020u);
    EXPECT_EQ(State.ToolSlots[5].Running, 0);
    EXPECT_EQ(Controller.AckOutputValue(), 0u);
    EXPECT_EQ(State.RefreshCount, 0);
}

TEST_F(PollCycleTest, AnAcknowledgementThatFindsNoAreaIsWrittenAgainUntilItArrives) {
    State.ConfigureTestTool(2, Tool(2, 0));
    SynchroniseAcknowledge(State);
    const auto runOnce = [&] {
        Controller.ToggleEvent(2);
        RunPollCycle(&State);
        ASSERT_TRUE(WaitUntil([&] { return State.ToolSlots[2].Finished == 1; }));
        CloseSimulationBuffers(); // the write finds no area, and opens them for the next one
    };
    runOnce();
    AcknowledgeFinishedTools(State);
    EXPECT_EQ(Controller.AckOutputValue(), 0u);
    EXPECT_EQ(State.ToolSlots[2].CallCount, 1u);
    EXPECT_EQ(State.RefreshCount, 1);
    RunPollCycle(&State);
    EXPECT_EQ(Controller.AckOutputValue(), 0x4u);
    EXPECT_EQ(Controller.AckInputValue(), 0x4u);
    CycleFor(20ms);
    EXPECT_EQ(State.RefreshCount, 1);
    EXPECT_EQ(State.Messages(),
              (std::vector<std::string>{
                  "**** Acknowledge value 0x00000004 not delivered: it is written again every cycle until it "
                  "arrives",
                  "---- Acknowledge value 0x00000004 delivered"}));

    // Deactivation tries once and leaves the rest to the next synchronisation.
    runOnce();
    AcknowledgeFinishedTools(State, UndeliveredAcknowledge::GiveUp);
    CycleFor(20ms);
    EXPECT_EQ(Controller.AckOutputValue(), 0x4u);
    EXPECT_EQ(State.ToolSlots[2].CallCount, 2u);
    EXPECT_EQ(
        State.Messages().back(),
        "**** Acknowledge value 0x00000000 not delivered: it stays unacknowledged until the next activation");
}

TEST_F(PollCycleTest, AMissingProgramIsReportedAndItsSlotIsNeverAcknowledged) {
    ToolSlot& slot = State.ToolSlots[1];
    slot.Runnable = 1;
    slot.Program = Folder.File("no-such-tool");
    slot.CommandLine = slot.Program;
    SynchroniseAcknowledge(State);
    Controller.ToggleEvent(1);
    ASSERT_TRUE(CycleUntil([&] { return State.HasMessageContaining("could not be started"); }));
    Controller.ToggleEvent(1);
    CycleFor(30ms);
    Controller.ToggleEvent(1);
    CycleFor(30ms);
    EXPECT_EQ(Controller.AckOutputValue(), 0u);
    EXPECT_EQ(slot.Running, 1);
    EXPECT_EQ(State.Messages().size(), 1u);
}

} // namespace
