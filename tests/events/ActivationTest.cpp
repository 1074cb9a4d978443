#include "events/Activation.h"
#include "config/EventConfiguration.h"
#include "events/PollTimer.h"
#include "tests/events/EventTestSupport.h"
#include "tests/events/RecordingObservationState.h"
#include "tests/events/SimulatedController.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t ConfigurationId = 7;

// Activation and deactivation in simulation mode, with the real poll timer.
class SimulationActivationTest : public ::testing::Test {
protected:
    void SetUp() override {
        State.Settings.UseSimEnvironment = 1;
        State.Settings.UsedUniqueID = ConfigurationId;
        State.References = SimulatedController::References();
        UsePollCycle(5);
    }

    void TearDown() override { DeactivateObservation(State); }

    static void UsePollCycle(std::uint32_t pollCycle) {
        UseOnlyConfiguration(ConfigurationId, pollCycle, "Test");
    }

    std::vector<std::string> Tool(int slot, const std::vector<std::string>& more = {}) {
        std::vector<std::string> arguments = {"--log", Log, "slot=" + std::to_string(slot)};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }

    TempFolder Folder;
    std::string Log = Folder.File("calls.log");
    SimulatedController Controller;
    RecordingObservationState State;
};

TEST_F(SimulationActivationTest, APollCycleBelowFiveMillisecondsStillObservesUntilDeactivation) {
    ASSERT_TRUE(Controller.Create());
    State.ConfigureTestTool(1, Tool(1));
    for (std::uint32_t pollCycle : {0u, 4u}) {
        UsePollCycle(pollCycle);
        Controller.SetEvent(0x10);
        ActivateObservation(State);
        EXPECT_EQ(State.ObservationActive, 1);
        EXPECT_EQ(Controller.AckOutput(), 0x10u);
        Controller.ToggleEvent(1);
        ASSERT_TRUE(WaitUntil([&] { return Controller.AckOutput() == 0x12u; })) << pollCycle;
        DeactivateObservation(State);
        EXPECT_EQ(State.ObservationActive, 0);
        Controller.SetEvent(0x10);
    }
    Controller.ToggleEvent(1);
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(ReadToolLog(Log).size(), 2u);
    EXPECT_EQ(State.ToolSlots[1].CallCount, 2u);
}

TEST_F(SimulationActivationTest, ASimulatorStartedAfterActivationIsPickedUp) {
    State.ConfigureTestTool(2, Tool(2));
    ActivateObservation(State);
    EXPECT_EQ(State.ObservationActive, 1);
    EXPECT_EQ(State.LastEventValue, 0u);
    EXPECT_EQ(State.LastAckValue, 0u);
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(Controller.Create());
    std::this_thread::sleep_for(20ms);
    Controller.ToggleEvent(2);
    EXPECT_TRUE(WaitUntil([&] { return Controller.AckOutput() == 0x4u; }));
    EXPECT_TRUE(State.Messages().empty());
}

TEST_F(SimulationActivationTest, DeactivationKillsARunningToolWithItsChildAndAcknowledgesOnce) {
    ASSERT_TRUE(Controller.Create());
    State.ConfigureTestTool(4, Tool(4, {"--sleep", "30000", "--spawn-child", "30000"}));
    ActivateObservation(State);
    Controller.ToggleEvent(4);
    ASSERT_TRUE(WaitUntil([&] { return ReadToolLog(Log).size() == 1; }));
    const ToolLogEntry run = ReadToolLog(Log)[0];
    const int refreshes = State.RefreshCount;
    DeactivateObservation(State);
    EXPECT_EQ(State.ObservationActive, 0);
    EXPECT_EQ(State.ToolSlots[4].CallCount, 1u);
    EXPECT_EQ(State.ToolSlots[4].Running, 0);
    EXPECT_EQ(Controller.AckOutput(), 0x10u);
    EXPECT_EQ(State.RefreshCount, refreshes + 1);
    EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(run.ProcessId) && ProcessEnded(run.ChildId); }));
    // A second deactivation finds nothing left to acknowledge.
    DeactivateObservation(State);
    EXPECT_EQ(State.RefreshCount, refreshes + 1);
}

TEST_F(SimulationActivationTest, DeactivationWithNothingFinishedWritesNothing) {
    ASSERT_TRUE(Controller.Create());
    ActivateObservation(State);
    Controller.SetAckOutput(0xDEAD);
    DeactivateObservation(State);
    EXPECT_EQ(Controller.AckOutput(), 0xDEADu);
    EXPECT_EQ(State.RefreshCount, 0);
}

TEST_F(SimulationActivationTest, WithoutTheConfigurationInUseObservationStaysOff) {
    ASSERT_TRUE(Controller.Create());
    State.Settings.UsedUniqueID = 99;
    State.ConfigureTestTool(0, Tool(0));
    Controller.SetEvent(0x3);
    ActivateObservation(State);
    EXPECT_EQ(State.ObservationActive, 0);
    EXPECT_EQ(Controller.AckOutput(), 0x3u); // synchronised before the look-up
    Controller.ToggleEvent(0);
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(std::filesystem::exists(Log));
    EXPECT_TRUE(State.Messages().empty());
}

TEST_F(SimulationActivationTest, ActivationWhileActiveChangesNothing) {
    ASSERT_TRUE(Controller.Create());
    ActivateObservation(State);
    Controller.SetEvent(0x1); // slot 0 has no tool: seen, never acknowledged
    ASSERT_TRUE(WaitUntil([&] { return State.LastEventValue == 0x1u; }));
    ActivateObservation(State);
    EXPECT_EQ(State.LastAckValue, 0u);
    EXPECT_EQ(Controller.AckOutput(), 0u);
}

void NoCycle(void*) {}

TEST_F(SimulationActivationTest, ATimerThatCannotStartIsReportedAndDeactivationStillWorks) {
    ASSERT_TRUE(Controller.Create());
    ASSERT_TRUE(StartPollTimer(5, NoCycle, nullptr)); // the one timer is taken
    ActivateObservation(State);
    StopPollTimer();
    EXPECT_EQ(State.ObservationActive, 1);
    EXPECT_EQ(State.Messages(), std::vector<std::string>{
                                    "Error ! The poll timer could not be started: no event is observed !"});
    DeactivateObservation(State);
    EXPECT_EQ(State.ObservationActive, 0);
}

} // namespace
