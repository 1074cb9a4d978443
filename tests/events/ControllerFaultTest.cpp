#include "events/Activation.h"
#include "tests/events/EventTestSupport.h"
#include "tests/events/RecordingObservationState.h"
#include "tests/support/MisbehavingController.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t ConfigurationId = 12;
constexpr int Slot = 2;

std::string Summary(const char* eventInputOffset) {
    std::string text = "[GENERAL]\nAppName=Faults\nVariablesCount=2\n";
    text += "[V0]\nName=EventVar\nVarType=SPT\nDataType=USINT32\nDataDirection=IO\nInpSplitDataFieldOffs=";
    text += eventInputOffset;
    text += "\nOutSplitDataFieldOffs=0x0\n";
    text += "[V1]\nName=AckVar\nVarType=SPT\nDataType=USINT32\nDataDirection=IO\n"
            "InpSplitDataFieldOffs=0x4\nOutSplitDataFieldOffs=0x4\n";
    return text;
}

// The real engine, the real access library and a controller on loopback that
// misbehaves. Each case has a loopback address of its own.
class ControllerFaultTest : public ::testing::Test {
protected:
    void Prepare(int host, std::uint16_t eventInputOffset = 0) {
        UseOnlyConfiguration(ConfigurationId);
        State.Settings.UseSimEnvironment = 0;
        State.Settings.UsedUniqueID = ConfigurationId;
        State.Session.Paths.ControllerAddress = "127.0.0." + std::to_string(host);
        State.References.Event = {eventInputOffset, 0, 4, 0};
        State.References.Acknowledge = {4, 4, 4, 0};
        State.ConfigureTestTool(Slot, {"--log", Log, "slot=2"});
    }

    void TearDown() override { DeactivateObservation(State); }

    std::size_t LinesContaining(const std::string& part) const {
        const auto lines = State.Messages();
        return static_cast<std::size_t>(
            std::count_if(lines.begin(), lines.end(),
                          [&](const std::string& line) { return line.find(part) != std::string::npos; }));
    }

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
        RecordingObservationState& state = State;
        DeactivateObservation(state);
        state.ToolSlots[Slot].CallCount = 0;
        std::remove(Log.c_str());
        Prepare(++host);
        MisbehavingController controller(state.Session.Paths.ControllerAddress, Summary("0x0"), 8, 8, 0, 4);
        ASSERT_TRUE(controller.Listening());
        const std::size_t pendingBefore = LinesContaining("not delivered: it is written again");
        const std::size_t deliveredBefore = LinesContaining("---- Acknowledge value");
        const std::size_t errorsBefore = LinesContaining("**** Error occured: ");
        ActivateObservation(state);
        ASSERT_EQ(state.ObservationActive, 1);

        // The first run's acknowledgement meets the fault three times.
        controller.Misbehave(fault.Kind, 3, fault.Status);
        controller.ToggleEvent(Slot);
        ASSERT_TRUE(
            WaitUntil([&] { return controller.Acknowledge() == 0x4u && !controller.Misbehaving(); }, 20s));
        // Observation goes on by itself: the next run is handled as usual.
        controller.ToggleEvent(Slot);
        ASSERT_TRUE(WaitUntil([&] { return controller.Acknowledge() == 0u; }, 20s));
        DeactivateObservation(state);

        EXPECT_EQ(controller.AcknowledgeToggles(Slot), 2);
        EXPECT_EQ(state.ToolSlots[Slot].CallCount, 2u);
        EXPECT_EQ(ReadToolLog(Log).size(), 2u);
        EXPECT_GT(LinesContaining("**** Error occured: "), errorsBefore);
        EXPECT_EQ(LinesContaining("not delivered: it is written again"), pendingBefore + 1);
        EXPECT_EQ(LinesContaining("---- Acknowledge value"), deliveredBefore + 1);
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
        const std::string offset = test.EventOffset == 0 ? "0x0" : "0x10";
        MisbehavingController controller(State.Session.Paths.ControllerAddress, Summary(offset.c_str()),
                                         test.InputSize, test.OutputSize, test.EventOffset, 4);
        ASSERT_TRUE(controller.Listening());
        const int deactivations = State.DeactivateButtonCount;
        ActivateObservation(State);
        EXPECT_EQ(State.ObservationActive, 0);
        EXPECT_EQ(State.DeactivateButtonCount, deactivations + 1);
        EXPECT_EQ(LinesContaining(test.Line), 1u);
        EXPECT_EQ(LinesContaining("no event is observed"), LinesContaining("Error ! "));
    }
}

} // namespace
