#include "events/Activation.h"
#include "tests/events/EventTestSupport.h"
#include "tests/events/RecordingObservationState.h"
#include "tests/support/MisbehavingController.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t ConfigurationId = 12;
constexpr int Slot = 2;

// The real engine, the real access library and a controller on loopback that
// misbehaves. Each case has a loopback address of its own.
class ControllerFaultTest : public ::testing::Test {
protected:
    void Prepare(int host, std::uint16_t eventInputOffset = 0) {
        State.UseController(ConfigurationId, "127.0.0." + std::to_string(host), eventInputOffset);
        State.ConfigureTestTool(Slot, {"--log", Log, "slot=2"});
    }

    void TearDown() override { DeactivateObservation(State); }

    TempFolder Folder;
    std::string Log = Folder.File("calls.log");
    RecordingObservationState State;
};

struct Fault {
    const char* Name;
    Misbehaviour Kind;
    std::uint16_t Status = 0;
};

const Fault Faults[] = {
    {"controller away", Misbehaviour::Away},
    {"closed before the answer", Misbehaviour::CloseBeforeAnswer},
    {"written, then closed", Misbehaviour::ApplyThenClose},
    {"stalled past the time-out", Misbehaviour::Stall},
    {"closed mid-frame", Misbehaviour::CloseMidFrame},
    {"garbage header", Misbehaviour::GarbageHeader},
    {"wrong answer type", Misbehaviour::WrongType},
    {"short payload", Misbehaviour::ShortPayload},
    {"long payload", Misbehaviour::LongPayload},
    {"hello with a small input image", Misbehaviour::SmallInputImage},
    {"hello with a small output image", Misbehaviour::SmallOutputImage},
    {"error answer, status 0", Misbehaviour::ErrorAnswer, 0},
    {"error answer, status 1", Misbehaviour::ErrorAnswer, 1},
    {"error answer, status 2", Misbehaviour::ErrorAnswer, 2},
    {"error answer, status 3", Misbehaviour::ErrorAnswer, 3},
    {"error answer, status 4", Misbehaviour::ErrorAnswer, 4},
    {"error answer, status 5", Misbehaviour::ErrorAnswer, 5},
    {"error answer, status 6", Misbehaviour::ErrorAnswer, 6},
    {"error answer, status 7", Misbehaviour::ErrorAnswer, 7},
    {"error answer, status 8", Misbehaviour::ErrorAnswer, 8},
    {"error answer, status 9", Misbehaviour::ErrorAnswer, 9},
    {"error answer, unknown status", Misbehaviour::ErrorAnswer, 0xBEEF},
};

TEST_F(ControllerFaultTest, AFailedAcknowledgeWriteIsRepeatedUntilItArrivesOnce) {
    int host = 80;
    for (const Fault& fault : Faults) {
        SCOPED_TRACE(fault.Name);
        DeactivateObservation(State);
        State.ToolSlots[Slot].CallCount = 0;
        std::remove(Log.c_str());
        Prepare(++host);
        MisbehavingController controller(State.Session.Paths.ControllerAddress, ControllerSummary(), 8, 8, 0,
                                         4);
        ASSERT_TRUE(controller.Listening());
        const std::size_t pendingBefore = State.LinesContaining("not delivered: it is written again");
        const std::size_t deliveredBefore = State.LinesContaining("---- Acknowledge value");
        const std::size_t errorsBefore = State.LinesContaining("**** Error occured: ");
        ActivateObservation(State);
        ASSERT_EQ(State.ObservationActive, 1);

        // The first run's acknowledgement meets the fault three times.
        controller.Misbehave(fault.Kind, 3, fault.Status);
        controller.ToggleEvent(Slot);
        ASSERT_TRUE(
            WaitUntil([&] { return controller.Acknowledge() == 0x4u && !controller.Misbehaving(); }, 20s));
        // Observation goes on by itself: the next run is handled as usual.
        controller.ToggleEvent(Slot);
        ASSERT_TRUE(WaitUntil([&] { return controller.Acknowledge() == 0u; }, 20s));
        DeactivateObservation(State);

        EXPECT_EQ(controller.AcknowledgeToggles(Slot), 2);
        EXPECT_EQ(State.ToolSlots[Slot].CallCount, 2u);
        EXPECT_EQ(ReadToolLog(Log).size(), 2u);
        EXPECT_GT(State.LinesContaining("**** Error occured: "), errorsBefore);
        EXPECT_EQ(State.LinesContaining("not delivered: it is written again"), pendingBefore + 1);
        EXPECT_EQ(State.LinesContaining("---- Acknowledge value"), deliveredBefore + 1);
    }
}

TEST_F(ControllerFaultTest, VariablesOutsideTheControllersImagesStopTheActivation) {
    struct Case {
        const char* Name;
        std::uint16_t EventOffset;
        std::uint32_t InputSize;
        std::uint32_t OutputSize;
        std::string Line;
    };
    const Case cases[] = {
        {"event beyond the input data length", 0x10, 32, 32,
         "Error ! The event variable (input bytes 16 to 19) lies beyond the input data length of 8 bytes of "
         "the device description: no event is observed !"},
        {"hello with a smaller input image", 0, 4, 8,
         "Error ! The controller announces an input image of 4 bytes, but the device description needs 8: "
         "no event is observed !"},
        {"hello with a smaller output image", 0, 8, 6,
         "Error ! The acknowledge variable (output bytes 4 to 7) lies beyond the controller's output image "
         "of 6 bytes: no event is observed !"},
    };
    int host = 110;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        Prepare(++host, test.EventOffset);
        MisbehavingController controller(State.Session.Paths.ControllerAddress,
                                         ControllerSummary(test.EventOffset), test.InputSize, test.OutputSize,
                                         test.EventOffset, 4);
        ASSERT_TRUE(controller.Listening());
        const int deactivations = State.DeactivateButtonCount;
        ActivateObservation(State);
        EXPECT_EQ(State.ObservationActive, 0);
        EXPECT_EQ(State.DeactivateButtonCount, deactivations + 1);
        EXPECT_EQ(State.LinesContaining(test.Line), 1u);
        EXPECT_EQ(State.LinesContaining("no event is observed"), State.LinesContaining("Error ! "));
    }
}

} // namespace
