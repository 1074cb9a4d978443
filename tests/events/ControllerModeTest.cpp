#include "config/EventConfiguration.h"
#include "events/Activation.h"
#include "tests/events/EventTestSupport.h"
#include "tests/events/RecordingObservationState.h"
#include "tests/support/EmulatorProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace std::chrono_literals;
using ::testing::StartsWith;

constexpr std::uint32_t ConfigurationId = 11;

// Controller mode against the real emulator. Every test has a loopback address
// of its own, so that other test programs may run emulators at the same time.
class ControllerModeTest : public ::testing::Test {
protected:
    void Prepare(const std::string& address) {
        Address = address;
        State.UseController(ConfigurationId, address);
        SummaryPath = Folder.Write("summary.sta", ControllerSummary());
    }

    // Starts the controller, or starts it anew; true once it serves.
    bool StartEmulator() {
        Emulator.reset();
        Emulator.emplace(Address, std::vector<std::string>{"--summary", SummaryPath});
        return Emulator->Serving();
    }

    void TearDown() override { DeactivateObservation(State); }

    std::vector<std::string> Tool(int slot) { return {"--log", Log, "slot=" + std::to_string(slot)}; }

    bool AcknowledgeBecomes(std::uint32_t value) {
        return WaitUntil([&] { return Emulator->OutputValue("AckVar") == value; });
    }

    TempFolder Folder;
    std::string Log = Folder.File("calls.log");
    std::string Address;
    std::string SummaryPath;
    std::optional<EmulatorProcess> Emulator;
    RecordingObservationState State;
};

// Toggles are handled and acknowledged in the controller's output image, and
// observation goes on when the controller comes back.
TEST_F(ControllerModeTest, TogglesOfTheControllerAreHandledAndAcknowledgedInItsOutputImage) {
    Prepare("127.0.0.61");
    ASSERT_TRUE(StartEmulator()) << Emulator->Output();
    for (int slot : {0, 1, 3, 5})
        State.ConfigureTestTool(slot, Tool(slot));
    ActivateObservation(State);
    ASSERT_EQ(State.ObservationActive, 1);
    EXPECT_TRUE(State.HasMessageContaining("---- Highspeed TCP/IP connection opened to <127.0.0.61>!"));

    ASSERT_THAT(Emulator->Command("toggle EventVar 3"), StartsWith("in EventVar = "));
    ASSERT_TRUE(AcknowledgeBecomes(0x8));
    EXPECT_EQ(State.ToolSlots[3].CallCount, 1u);
    // Two bits in one read: both tools run, and both bits come back.
    ASSERT_THAT(Emulator->Command("set EventVar 11"), StartsWith("in EventVar = "));
    ASSERT_TRUE(AcknowledgeBecomes(11));
    EXPECT_EQ(State.ToolSlots[0].CallCount, 1u);
    EXPECT_EQ(State.ToolSlots[1].CallCount, 1u);
    EXPECT_EQ(ReadToolLog(Log).size(), 3u);

    const std::size_t faultsBefore = State.LinesContaining("**** ");
    Emulator->Kill();
    ASSERT_TRUE(WaitUntil([&] { return State.LinesContaining("**** ") > faultsBefore; }));
    ASSERT_TRUE(StartEmulator()) << Emulator->Output();
    // The new controller starts from zero images: bits 0, 1 and 3 read as toggled, bit 5 is.
    ASSERT_THAT(Emulator->Command("toggle EventVar 5"), StartsWith("in EventVar = "));
    EXPECT_TRUE(WaitUntil([&] {
        const auto ack = Emulator->OutputValue("AckVar");
        return ack && (*ack & 0x20u) != 0;
    }));
    EXPECT_EQ(State.ToolSlots[5].CallCount, 1u);

    DeactivateObservation(State);
    EXPECT_TRUE(State.HasMessageContaining("---- Highspeed TCP/IP connection to <127.0.0.61> closed!"));
}

// Without a controller, or with variables beyond its images, activation says why,
// never connects and hands the window back to the user.
TEST_F(ControllerModeTest, ActivationThatCannotConnectOrMatchDeactivates) {
    struct Case {
        const char* Name;
        bool Emulator;
        std::string Line;
    };
    const Case cases[] = {
        {"no controller", false,
         "Error ! Online was no device configuration for " + SummaryFilePath() + " available !"},
        {"acknowledge beyond the summary", true,
         "Error ! The data of configured and the selected variables do not match !"},
    };
    int host = 62;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        Prepare("127.0.0." + std::to_string(host++));
        State.DeactivateButtonCount = 0;
        if (test.Emulator) {
            ASSERT_TRUE(StartEmulator()) << Emulator->Output();
            State.References.Acknowledge.InputOffset = 8;
        }
        ActivateObservation(State);
        EXPECT_EQ(State.ObservationActive, 0);
        EXPECT_EQ(State.DeactivateButtonCount, 1);
        EXPECT_TRUE(State.HasMessageContaining(test.Line));
        EXPECT_FALSE(State.HasMessageContaining("Highspeed TCP/IP connection opened"));
    }
}

TEST_F(ControllerModeTest, TheDemoProjectRunsAgainstTheEmulator) {
    const std::filesystem::path source =
        std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
    const std::string demo = Folder.File("demo");
    const std::string bin = Folder.File("bin");
    std::filesystem::create_directory(bin);
    ASSERT_EQ(RunProgram({"/bin/bash", (source / "scripts" / "make-demo-project").string(), demo, bin}), 0);
    Prepare("127.0.0.65");
    Configurations().ClearConfigurations();
    GlobalParameters parameters;
    parameters.UniqueID = ConfigurationId;
    parameters.EventVariable = "EventWord";
    parameters.AcknowledgeVariable = "AckWord";
    Configurations().AppendConfiguration(parameters);
    State.References.Event = {0x10, 0x30, 4, 0};
    State.References.Acknowledge = {0x14, 0x34, 4, 0};
    Emulator.emplace(Address, std::vector<std::string>{"--summary", demo + "/#summary.sta"});
    ASSERT_TRUE(Emulator->Serving()) << Emulator->Output();
    State.ConfigureTestTool(0, Tool(0));

    ActivateObservation(State);
    ASSERT_EQ(State.ObservationActive, 1);
    ASSERT_THAT(Emulator->Command("toggle EventWord 0"), StartsWith("in EventWord = "));
    EXPECT_TRUE(WaitUntil([&] { return Emulator->OutputValue("AckWord") == 1u; }));
    EXPECT_FALSE(State.HasMessageContaining("**** "));
}

} // namespace
