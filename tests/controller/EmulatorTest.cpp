#include "controller/ControllerSession.h"
#include "controller/access/ControllerAccessLibrary.h"
#include "controller/access/ControllerProtocol.h"
#include "device/DeviceDescription.h"
#include "tests/controller/ControllerTestSupport.h"
#include "tests/support/FakeController.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <optional>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

UniqueFd ConnectRaw(const std::string& address, std::uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &where.sin_addr);
    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0)
        return {};
    return fd;
}

// The status of the error answer that came, or Ok for any other answer.
ProtocolStatus AnswerStatus(int fd, std::string* text = nullptr) {
    FrameHeader header;
    std::vector<unsigned char> payload;
    if (!ReadFrame(fd, header, payload))
        return static_cast<ProtocolStatus>(0xFFFF);
    if (text != nullptr)
        *text = std::string(payload.begin(), payload.end());
    return header.Type == MessageType::ErrorAnswer ? static_cast<ProtocolStatus>(header.Status)
                                                   : ProtocolStatus::Ok;
}

bool ClosedByPeer(int fd) {
    pollfd entry{fd, POLLIN, 0};
    char byte = 0;
    return ::poll(&entry, 1, 2000) == 1 && ::recv(fd, &byte, 1, 0) == 0;
}

std::vector<unsigned char> ExchangePayload(std::uint32_t offset, const std::vector<unsigned char>& write,
                                           std::uint32_t readLength) {
    std::vector<unsigned char> payload(12);
    PutUint32(payload.data(), offset);
    PutUint32(payload.data() + 4, static_cast<std::uint32_t>(write.size()));
    PutUint32(payload.data() + 8, readLength);
    payload.insert(payload.end(), write.begin(), write.end());
    return payload;
}

std::vector<unsigned char> Login(const std::string& user, const std::string& password) {
    std::vector<unsigned char> payload{static_cast<unsigned char>(user.size())};
    payload.insert(payload.end(), user.begin(), user.end());
    payload.push_back(static_cast<unsigned char>(password.size()));
    payload.insert(payload.end(), password.begin(), password.end());
    return payload;
}

// Sends one request and gives the status of the answer.
ProtocolStatus Ask(int fd, MessageType type, const std::vector<unsigned char>& payload,
                   std::string* text = nullptr) {
    SendBytes(fd, Frame(type, payload));
    return AnswerStatus(fd, text);
}

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

TEST_F(EmulatorTest, RefusesToStartOnABusyAddressOrWithImagesTooSmall) {
    EmulatorProcess first(Host(41), {});
    ASSERT_TRUE(first.Serving()) << first.Output();
    EmulatorProcess second(Host(41), {});
    EXPECT_FALSE(second.Serving());
    EXPECT_EQ(second.WaitForExit(std::chrono::milliseconds(3000)), 1);

    const auto small = StartEmulator(42, {"--input-size", "8"});
    EXPECT_FALSE(small->Serving());
    EXPECT_EQ(small->WaitForExit(std::chrono::milliseconds(3000)), 1);
}

// ---- the protocol as a client may get it wrong -----------------------------

TEST_F(EmulatorTest, BrokenFramesAreAnsweredAndTheConnectionClosed) {
    const auto emulator = StartEmulator(43);
    ASSERT_TRUE(emulator->Serving()) << emulator->Output();

    const std::vector<std::pair<std::vector<unsigned char>, ProtocolStatus>> cases{
        {{'H', 'T', 'T', 'P', ' ', '/', ' ', 'G', 'E', 'T', '\r', '\n'}, ProtocolStatus::Malformed},
        {{'Q', 'R', 'X', 'P', 2, 0x10, 0, 0, 0, 0, 0, 0}, ProtocolStatus::UnsupportedVersion},
        {{'Q', 'R', 'X', 'P', 1, 0x55, 0, 0, 0, 0, 0, 0}, ProtocolStatus::UnknownMessage},
        {{'Q', 'R', 'X', 'P', 1, 0x11, 0, 0, 0xFF, 0xFF, 0xFF, 0xF0}, ProtocolStatus::Malformed},
        {Frame(MessageType::ExchangeRequest, {0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 4, 1}),
         ProtocolStatus::Malformed},
        {Frame(MessageType::LoginRequest, Login("1", "1")), ProtocolStatus::UnknownMessage},
        {Frame(MessageType::ExchangeAnswer, {}), ProtocolStatus::UnknownMessage},
    };
    for (const auto& [bytes, status] : cases) {
        SCOPED_TRACE(std::string(bytes.begin(), bytes.begin() + 6));
        UniqueFd fd = ConnectRaw(Host(43), HighspeedPort);
        ASSERT_TRUE(fd.IsValid());
        SendBytes(fd.Get(), bytes);
        EXPECT_EQ(AnswerStatus(fd.Get()), status);
        EXPECT_TRUE(ClosedByPeer(fd.Get()));
    }
    EXPECT_EQ(emulator->Command("stats"),
              "stats: logins 0, refused log-ins 0, files served 0, exchanges 0, error answers 7");
}

// Refusals that keep the connection: ranges on the high-speed port, files before a log-in.
TEST_F(EmulatorTest, RangesAndLogInAreCheckedByTheServerToo) {
    const auto emulator = StartEmulator(44);
    ASSERT_TRUE(emulator->Serving()) << emulator->Output();
    UniqueFd fd = ConnectRaw(Host(44), HighspeedPort);
    ASSERT_TRUE(fd.IsValid());
    std::string text;
    EXPECT_EQ(Ask(fd.Get(), MessageType::ExchangeRequest, ExchangePayload(38, {1, 2, 3}, 0), &text),
              ProtocolStatus::OutOfRange);
    EXPECT_EQ(text, "write of 3 bytes at offset 38 lies outside the output image of 40 bytes");
    EXPECT_EQ(Ask(fd.Get(), MessageType::ExchangeRequest, ExchangePayload(0xFFFFFFFF, {1}, 0)),
              ProtocolStatus::OutOfRange);
    EXPECT_EQ(Ask(fd.Get(), MessageType::ExchangeRequest, ExchangePayload(0, {}, 17), &text),
              ProtocolStatus::OutOfRange);
    EXPECT_EQ(text, "read of 17 bytes exceeds the input image of 16 bytes");
    EXPECT_EQ(Ask(fd.Get(), MessageType::ExchangeRequest, ExchangePayload(37, {1, 2, 3}, 16)),
              ProtocolStatus::Ok);
    EXPECT_EQ(emulator->Command("peek out 36 4"), "out 36: 00 01 02 03");

    UniqueFd files = ConnectRaw(Host(44), FileTransferPort);
    ASSERT_TRUE(files.IsValid());
    std::vector<unsigned char> read(9);
    PutUint32(read.data() + 4, MaxFileChunk);
    read[8] = 12;
    const std::string name = "#summary.sta";
    read.insert(read.end(), name.begin(), name.end());
    const std::pair<std::pair<MessageType, std::vector<unsigned char>>, ProtocolStatus> steps[] = {
        {{MessageType::ReadFileRequest, read}, ProtocolStatus::NotLoggedIn},
        {{MessageType::LoginRequest, Login("1", "2")}, ProtocolStatus::LoginFailed},
        {{MessageType::ReadFileRequest, read}, ProtocolStatus::NotLoggedIn},
        {{MessageType::LoginRequest, Login("1", "1")}, ProtocolStatus::Ok},
        {{MessageType::ReadFileRequest, read}, ProtocolStatus::Ok},
        // A log-in whose inner lengths disagree with the frame ends the connection.
        {{MessageType::LoginRequest, {5, '1', 1, '1'}}, ProtocolStatus::Malformed},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i)
        EXPECT_EQ(Ask(files.Get(), steps[i].first.first, steps[i].first.second), steps[i].second)
            << "step " << i;
    EXPECT_TRUE(ClosedByPeer(files.Get()));
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

TEST_F(EmulatorTest, StartupHandshakeBeginsWithTheFirstExchangeAndEnds) {
    const auto emulator = StartEmulator(47, {"--event", "Event", "--ack", "Ack", "--bits", "0,5",
                                             "--duration", "0.3", "--quit-after", "--no-commands"});
    ASSERT_TRUE(emulator->Serving()) << emulator->Output();
    MessageCapture messages;
    ControllerSession session;
    Activate(session, 47);
    const std::optional<std::string> report = AcknowledgeLoop(session, 0x21, *emulator, "");
    ASSERT_TRUE(report.has_value()) << emulator->Output();
    EXPECT_THAT(emulator->Output(), HasSubstr("\nhandshake: started with the first exchange\n"));
    EXPECT_THAT(*report, HasSubstr("never acknowledged: none"));
    EXPECT_EQ(emulator->WaitForExit(std::chrono::seconds(20)), 0) << emulator->Output();
}

} // namespace
