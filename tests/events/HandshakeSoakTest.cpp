#include "config/EventConfiguration.h"
#include "events/Activation.h"
#include "tests/app/SimulationAreas.h"
#include "tests/events/EventTestSupport.h"
#include "tests/events/RecordingObservationState.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t ConfigurationId = 3;
constexpr std::uint32_t Seed = 20240611;

// The simulator's side toggles random bits of all 16 slots at random moments
// while the real timer drives the engine; tools take random short times.
class HandshakeSoakTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Controller.Valid());
        UseOnlyConfiguration(ConfigurationId);
        State.UseSimulation(ConfigurationId);
        for (int slot = 0; slot < ToolSlotCount; ++slot) {
            const int sleepMs = std::uniform_int_distribution<int>(0, 20)(Random);
            State.ConfigureTestTool(slot, {"--log", Log, "--sleep", std::to_string(sleepMs), Marker(slot)});
        }
        Controller.SetEvent(std::uniform_int_distribution<std::uint32_t>(0, 0xFFFF)(Random));
        ActivateObservation(State);
        ASSERT_EQ(State.ObservationActive, 1);
        Synchronised = Controller.AckOutputValue();
        ASSERT_EQ(Synchronised, Controller.Event());
    }

    void TearDown() override { DeactivateObservation(State); }

    static std::string Marker(int slot) { return "slot=" + std::to_string(slot); }

    void PauseRandomly(int maximumMs) {
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(0, maximumMs * 1000)(Random)));
    }

    std::array<std::uint32_t, ToolSlotCount> LoggedRuns() {
        std::array<std::uint32_t, ToolSlotCount> runs{};
        for (const ToolLogEntry& entry : ReadToolLog(Log)) {
            for (int slot = 0; slot < ToolSlotCount; ++slot)
                runs[slot] += entry.Arguments.back() == Marker(slot) ? 1 : 0;
        }
        return runs;
    }

    bool Quiet() {
        for (const ToolSlot& slot : State.ToolSlots) {
            if (slot.Running != 0)
                return false;
        }
        return State.LastEventValue == Controller.Event();
    }

    std::mt19937 Random{Seed};
    TempFolder Folder;
    std::string Log = Folder.File("calls.log");
    SimulationAreas Controller;
    RecordingObservationState State;
    std::uint32_t Synchronised = 0;
};

TEST_F(HandshakeSoakTest, FreeTogglingMatchesTheAcknowledgedRunsExactly) {
    for (int toggle = 0; toggle < 300; ++toggle) {
        Controller.ToggleEvent(std::uniform_int_distribution<int>(0, 15)(Random));
        PauseRandomly(6);
    }
    ASSERT_TRUE(WaitUntil([&] { return Quiet(); }, 20s));
    DeactivateObservation(State);
    const auto runs = LoggedRuns();
    for (int slot = 0; slot < ToolSlotCount; ++slot) {
        const std::uint32_t calls = State.ToolSlots[slot].CallCount;
        EXPECT_EQ(calls, runs[slot]) << "slot " << slot;
        // Every acknowledged run toggles its bit once, starting from the synchronised value.
        EXPECT_EQ((Controller.AckOutputValue() >> slot) & 1u, ((Synchronised >> slot) ^ calls) & 1u)
            << "slot " << slot;
        // However slowly the machine ran: an idle slot whose bit ends up changed has
        // seen that change, so it ran at least once.
        if (((Controller.Event() ^ Synchronised) >> slot) & 1u) {
            EXPECT_GE(calls, 1u) << "slot " << slot;
        }
    }
    EXPECT_EQ(Controller.AckInputValue(), Controller.AckOutputValue());
}

TEST_F(HandshakeSoakTest, AControllerThatWaitsForEachAcknowledgementSeesEveryEventHandledOnce) {
    std::array<std::uint32_t, ToolSlotCount> toggles{};
    for (int handshake = 0; handshake < 300;) {
        const int bit = std::uniform_int_distribution<int>(0, 15)(Random);
        const std::uint32_t mask = 1u << bit;
        if ((Controller.Event() & mask) != (Controller.AckOutputValue() & mask)) {
            std::this_thread::sleep_for(200us);
            continue;
        }
        Controller.ToggleEvent(bit);
        ++toggles[bit];
        ++handshake;
        PauseRandomly(2);
    }
    ASSERT_TRUE(WaitUntil([&] { return Controller.AckOutputValue() == Controller.Event() && Quiet(); }, 20s));
    DeactivateObservation(State);
    const auto runs = LoggedRuns();
    for (int slot = 0; slot < ToolSlotCount; ++slot) {
        EXPECT_EQ(State.ToolSlots[slot].CallCount, toggles[slot]) << "slot " << slot;
        EXPECT_EQ(runs[slot], toggles[slot]) << "slot " << slot;
    }
}

} // namespace
