#include "controller/ControllerSession.h"
#include "controller/access/ControllerAccessLibrary.h"
#include "device/DeviceDescription.h"
#include "tests/controller/ControllerTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

using EmulatorTest = ControllerTest;

// ---- the command channel ---------------------------------------------------

TEST_F(EmulatorTest, CommandsSetAndShowNamedVariables) {
    const auto emulator = StartEmulator(40);
    ASSERT_TRUE(emulator->Serving()) << emulator->Output();
    EXPECT_THAT(emulator->Output(), HasSubstr("input image 16 bytes, output image 40 bytes"));
    const std::pair<const char*, const char*> dialogue[] = {
        {"set Event 258", "in Event = 258 (0x00000102)"},
        {"toggle Event 31", "in Event = 2147483906 (0x80000102)"},
        {"peek in 4 4", "in 4: 80 00 01 02"},
        {"poke out 0x20 00 00 00 2A", "ok"},
        {"get out Ack", "out Ack = 42 (0x0000002A)"},
        {"set Nothing 1", "error: no variable named Nothing"},
        {"set AckScaled 1", "error: AckScaled is not part of the input image"},
        {"get out Event", "error: Event is not part of the output image"},
        {"set Event 0x100000000", "error: 0x100000000 does not fit into 4 bytes"},
        {"set Event twelve", "error: not a number: twelve"},
        {"toggle Event 32", "error: bit 32 is beyond the variable's 32 bits"},
        {"peek in 12 5", "error: bytes 12 to 17 lie outside the in image of 16 bytes"},
        {"poke out 39 00 01", "error: bytes 39 to 41 lie outside the out image of 40 bytes"},
        {"poke out 0 0", "error: usage: poke in|out OFFSET HEXBYTES, e.g. poke in 0 00 00 01 02"},
        {"launch", "error: unknown command or wrong number of words: launch (try help)"},
        {"get in Event", "in Event = 2147483906 (0x80000102)"}, // the refusals changed nothing
        {"quit", "bye"},
    };
    for (const auto& [command, answer] : dialogue)
        EXPECT_EQ(emulator->Command(command), answer) << command;
    EXPECT_EQ(emulator->WaitForExit(std::chrono::milliseconds(3000)), 0);
    // Writing to an emulator that has gone must not end the test program (SIGPIPE).
    EXPECT_EQ(emulator->Command("stats"), "<not running>");
}

// ---- the handshake mode ----------------------------------------------------

// The event manager's part: makes the acknowledge value equal to the event
// value, gives the emulator `command` (if any), then acknowledges the bits in
// `acknowledged` by copying them into the acknowledge value; gives the report
// that ends the handshake (none within 20 s).
std::optional<std::string> AcknowledgeLoop(ControllerSession& session, std::uint32_t acknowledged,
                                           EmulatorProcess& emulator, const std::string& command) {
    VariableReferencePair references;
    references.Event.InputOffset = 4;
    references.Event.Length = 4;
    references.Acknowledge.DeviceIndex = 2;
    std::uint32_t acknowledge = 0;
    session.CommunicateVariable(acknowledge, references, 0);
    session.CommunicateVariable(acknowledge, references, 1);
    if (!command.empty() && emulator.Command(command) != "ok: handshake running")
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        std::uint32_t event = acknowledge;
        session.CommunicateVariable(event, references, 0);
        const std::uint32_t next = (acknowledge & ~acknowledged) | (event & acknowledged);
        if (next != acknowledge) {
            acknowledge = next;
            session.CommunicateVariable(acknowledge, references, 1);
        }
        const auto line = emulator.WaitForLine("handshake:", std::chrono::milliseconds(4));
        if (line && line->find("never acknowledged") != std::string::npos)
            return line;
    }
    return std::nullopt;
}

// A session on the emulator at host `n`, its description loaded and its port open.
void Activate(ControllerSession& session, int n) {
    session.Paths.ControllerAddress = EmulatorProcess::Address(EmulatorNetwork, n);
    std::string path;
    ASSERT_EQ(session.LoadDeviceDescription(path), 1);
    ASSERT_EQ(session.OpenHighspeedPort(), 1);
}

TEST_F(EmulatorTest, HandshakeCountsAcknowledgedToggles) {
    const auto emulator = StartEmulator(46);
    ASSERT_TRUE(emulator->Serving()) << emulator->Output();
    MessageCapture messages;
    ControllerSession session;
    Activate(session, 46);
    messages.Take();

    std::optional<std::string> report =
        AcknowledgeLoop(session, 0x0F, *emulator, "handshake Event Ack 0-3 0.5");
    ASSERT_TRUE(report.has_value()) << emulator->Output();
    EXPECT_THAT(*report, StartsWith("handshake: "));
    EXPECT_THAT(*report, HasSubstr("never acknowledged: none"));
    EXPECT_THAT(*report, HasSubstr("per second; latency p50 "));

    // Bit 3 is left alone this time: it is reported.
    report = AcknowledgeLoop(session, 0x07, *emulator, "handshake Event Ack 0-3 0.3 50");
    ASSERT_TRUE(report.has_value()) << emulator->Output();
    EXPECT_THAT(*report, HasSubstr("never acknowledged: 3"));
    EXPECT_TRUE(messages.Take().empty());

    EXPECT_EQ(emulator->Command("handshake Event Nothing 0 1"), "error: no variable named Nothing");
    EXPECT_EQ(emulator->Command("handshake Event Ack 40 1"), "error: bit 40 lies beyond the variables");
    EXPECT_EQ(emulator->Command("handshake Event Ack 0"), "error: unknown command or wrong number of words: "
                                                          "handshake Event Ack 0 (try help)");
    ASSERT_EQ(emulator->Command("handshake Event Ack 0 5"), "ok: handshake running");
    EXPECT_EQ(emulator->Command("handshake Event Ack 0 1"), "error: a handshake is running already");
}

} // namespace
