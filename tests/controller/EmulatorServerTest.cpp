// The emulator's server and program as they run on every system: in-process
// for the protocol, as a program for its start, its exit codes and a handshake
// with the access library.

// Before the sockets' windows.h, which defines the message box constants as macros.
#include "controller/ControllerSession.h"
#include "tests/support/MessageCapture.h"

#include "controller/access/ControllerProtocol.h"
#include "controller/access/TcpConnection.h"
#include "device/DeviceDescription.h"
#include "tests/controller/SessionSupport.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"
#include "tools/qrix-emulator/ProtocolServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

using namespace std::chrono_literals;

namespace {

std::string Host(int n) {
    return "127.0.12." + std::to_string(n);
}

// A protocol server with the standard images, on a thread of its own until Stop.
class ServerThread {
public:
    ServerThread(const std::string& address, const std::string& summary) : m_Files(summary, "") {
        ParseSummaryFile(m_Description, summary);
        m_Ready = m_Images.Configure(m_Description, {}, {}, m_Error) && m_Server.Listen(address, m_Error);
        if (m_Ready)
            m_Thread = std::thread([this] { Serve(); });
    }
    ~ServerThread() { Stop(); }
    ServerThread(const ServerThread&) = delete;
    ServerThread& operator=(const ServerThread&) = delete;

    bool Ready() const { return m_Ready; }
    const std::string& Error() const { return m_Error; }
    // Counters and images may be looked at once it has stopped.
    void Stop() {
        m_Stop = true;
        if (m_Thread.joinable())
            m_Thread.join();
    }
    const ServerCounters& Counters() const { return m_Server.Counters(); }
    const std::vector<unsigned char>& Output() const { return m_Images.Image(ImageSide::Output); }

private:
    void Serve() {
        SocketWait wait;
        std::string error;
        while (!m_Stop) {
            wait.Clear();
            m_Server.AddPollEntries(wait, Clock::now());
            if (!wait.Wait(20ms, error))
                return;
            m_Server.HandlePollEntries(wait);
        }
    }

    DeviceDescription m_Description;
    ProcessImages m_Images;
    FileCatalogue m_Files;
    ProtocolServer m_Server{m_Images, m_Files, {ControllerUserName, ControllerPassword}, false};
    bool m_Ready = false;
    std::string m_Error;
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
};

std::vector<unsigned char> Frame(MessageType type, const std::vector<unsigned char>& payload) {
    std::vector<unsigned char> frame(FrameHeaderSize);
    EncodeFrameHeader({type, 0, static_cast<std::uint32_t>(payload.size())}, frame.data());
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

// A client that sends whatever bytes a test gives, right or wrong.
class RawClient {
public:
    RawClient(const std::string& host, std::uint16_t port) {
        std::string error;
        m_Connected = m_Connection.Connect(host, port, 5000ms, error);
    }
    bool Connected() const { return m_Connected; }

    void Send(const std::vector<unsigned char>& bytes) {
        std::string error;
        m_Connection.SendAll(bytes.data(), bytes.size(), DeadlineAfter(5000ms), error);
    }
    // The status of the error answer that came, Ok for any other answer, 0xFFFF for none.
    ProtocolStatus AnswerStatus(std::string* text = nullptr) {
        std::string error;
        unsigned char raw[FrameHeaderSize];
        FrameHeader header;
        if (m_Connection.ReceiveAll(raw, sizeof raw, DeadlineAfter(5000ms), error) != TransferResult::Ok ||
            DecodeFrameHeader(raw, header) != HeaderProblem::None)
            return static_cast<ProtocolStatus>(0xFFFF);
        std::vector<unsigned char> payload(header.PayloadLength);
        if (!payload.empty() && m_Connection.ReceiveAll(payload.data(), payload.size(), DeadlineAfter(5000ms),
                                                        error) != TransferResult::Ok)
            return static_cast<ProtocolStatus>(0xFFFF);
        if (text != nullptr)
            *text = std::string(payload.begin(), payload.end());
        return header.Type == MessageType::ErrorAnswer ? static_cast<ProtocolStatus>(header.Status)
                                                       : ProtocolStatus::Ok;
    }
    ProtocolStatus Ask(MessageType type, const std::vector<unsigned char>& payload,
                       std::string* text = nullptr) {
        Send(Frame(type, payload));
        return AnswerStatus(text);
    }
    bool ClosedByPeer() {
        std::string error;
        unsigned char byte = 0;
        return m_Connection.ReceiveAll(&byte, 1, DeadlineAfter(3000ms), error) == TransferResult::Closed;
    }

private:
    TcpConnection m_Connection;
    bool m_Connected = false;
};

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

class EmulatorServerTest : public ::testing::Test {
protected:
    void TearDown() override { CloseControllerSession(); }

    TempFolder m_Folder;
    const std::string m_Summary = m_Folder.Write("summary.sta", SummaryText(StandardVariables()));
};

// ---- the protocol as a client may get it wrong -----------------------------

TEST_F(EmulatorServerTest, BrokenFramesAreAnsweredAndTheConnectionClosed) {
    ServerThread server(Host(43), m_Summary);
    ASSERT_TRUE(server.Ready()) << server.Error();

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
        RawClient client(Host(43), HighspeedPort);
        ASSERT_TRUE(client.Connected());
        client.Send(bytes);
        EXPECT_EQ(client.AnswerStatus(), status);
        EXPECT_TRUE(client.ClosedByPeer());
    }
    server.Stop();
    EXPECT_EQ(server.Counters().ErrorAnswers, cases.size());
    EXPECT_EQ(server.Counters().Exchanges, 0u);
}

// Refusals that keep the connection: ranges on the high-speed port, files before a log-in.
TEST_F(EmulatorServerTest, RangesAndLogInAreCheckedByTheServerToo) {
    ServerThread server(Host(44), m_Summary);
    ASSERT_TRUE(server.Ready()) << server.Error();
    RawClient highspeed(Host(44), HighspeedPort);
    ASSERT_TRUE(highspeed.Connected());
    std::string text;
    EXPECT_EQ(highspeed.Ask(MessageType::ExchangeRequest, ExchangePayload(38, {1, 2, 3}, 0), &text),
              ProtocolStatus::OutOfRange);
    EXPECT_EQ(text, "write of 3 bytes at offset 38 lies outside the output image of 40 bytes");
    EXPECT_EQ(highspeed.Ask(MessageType::ExchangeRequest, ExchangePayload(0xFFFFFFFF, {1}, 0)),
              ProtocolStatus::OutOfRange);
    EXPECT_EQ(highspeed.Ask(MessageType::ExchangeRequest, ExchangePayload(0, {}, 17), &text),
              ProtocolStatus::OutOfRange);
    EXPECT_EQ(text, "read of 17 bytes exceeds the input image of 16 bytes");
    EXPECT_EQ(highspeed.Ask(MessageType::ExchangeRequest, ExchangePayload(37, {1, 2, 3}, 16)),
              ProtocolStatus::Ok);

    RawClient files(Host(44), FileTransferPort);
    ASSERT_TRUE(files.Connected());
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
        EXPECT_EQ(files.Ask(steps[i].first.first, steps[i].first.second), steps[i].second) << "step " << i;
    EXPECT_TRUE(files.ClosedByPeer());

    server.Stop();
    const std::vector<unsigned char> written(server.Output().begin() + 36, server.Output().end());
    EXPECT_EQ(written, (std::vector<unsigned char>{0, 1, 2, 3}));
    EXPECT_EQ(server.Counters().Logins, 1u);
    EXPECT_EQ(server.Counters().FilesServed, 1u);
}

// Only plain files directly inside the served folder, by names that cannot
// lead elsewhere on any system (devices, subfolders, Windows streams).
TEST_F(EmulatorServerTest, ServedFolderGivesOnlyItsOwnPlainFiles) {
    m_Folder.Write("plain.txt", "content");
    std::filesystem::create_directory(m_Folder.File("sub"));
    m_Folder.Write("sub/inner.txt", "inner");
    const FileCatalogue files(m_Summary, m_Folder.Path());
    std::vector<unsigned char> content;
    std::string error;
    ASSERT_EQ(files.Load("plain.txt", content, error), ProtocolStatus::Ok) << error;
    EXPECT_EQ(std::string(content.begin(), content.end()), "content");
    for (const char* name :
         {"sub", "sub\\inner.txt", "sub/inner.txt", "..", "NUL", "CON", "plain.txt:stream", "missing.txt"}) {
        EXPECT_EQ(files.Load(name, content, error), ProtocolStatus::FileNotFound) << name;
        EXPECT_EQ(error, "file \"" + std::string(name) + "\" not found");
    }
}

// ---- the program -----------------------------------------------------------

ProgramRun RunEmulator(const std::string& address, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{QRIX_EMULATOR_PATH, "--address", address};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunToEnd(argv, 30s);
}

// A busy address, images smaller than the summary, a start-up handshake no
// client comes to (with and without the command channel's input at its end).
TEST_F(EmulatorServerTest, ProgramEndsWithTheDocumentedExitCodes) {
    ServerThread busy(Host(41), m_Summary);
    ASSERT_TRUE(busy.Ready()) << busy.Error();
    const std::vector<std::string> handshake{"--summary", m_Summary, "--event", "Event",       "--ack",
                                             "Ack",       "--wait",  "1",       "--quit-after"};
    std::vector<std::string> quietHandshake = handshake;
    quietHandshake.push_back("--no-commands");
    // A path beyond ASCII reaches the program intact.
    std::filesystem::create_directory(std::filesystem::path(m_Folder.Path()) / u8"\u00d6rdner");
    std::vector<std::string> wideHandshake = quietHandshake;
    wideHandshake.insert(wideHandshake.end(), {"--folder", m_Folder.Path() + "/\xc3\x96rdner"});
    struct Case {
        int Host;
        std::vector<std::string> Arguments;
        int ExitCode;
        std::string Text;
    };
    const Case cases[] = {
        {41, {"--no-commands"}, 1, "qrix-emulator: cannot listen on " + Host(41) + ":26801"},
        {42, {"--summary", m_Summary, "--input-size", "8", "--no-commands"}, 1, "qrix-emulator: "},
        {42, {"--summary", m_Folder.File("missing.sta")}, 1, "missing.sta"},
        {42, {"--event", "Event", "--ack", "Ack"}, 1, "no variable named Event"},
        {42, quietHandshake, 2, "handshake: no client exchanged within 1 s"},
        {42, wideHandshake, 2, "handshake: no client exchanged within 1 s"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Arguments.front());
        const ProgramRun run = RunEmulator(Host(test.Host), test.Arguments);
        EXPECT_EQ(run.ExitCode, test.ExitCode) << run.Output;
        EXPECT_NE(run.Output.find(test.Text), std::string::npos) << run.Output;
    }
    const ProgramRun withInput = RunEmulator(Host(42), handshake);
    EXPECT_EQ(withInput.ExitCode, 2) << withInput.Output;
}

// The event manager's side through the access library: acknowledges every bit
// the emulator toggles until the emulator has ended.
TEST_F(EmulatorServerTest, StartupHandshakeBeginsWithTheFirstExchangeAndEnds) {
    ProgramRun run;
    std::atomic<bool> ended{false};
    std::thread emulator([&] {
        run = RunEmulator(Host(47), {"--summary", m_Summary, "--event", "Event", "--ack", "Ack", "--bits",
                                     "0,5", "--duration", "0.3", "--quit-after", "--no-commands"});
        ended = true;
    });
    MessageCapture messages;
    ControllerSession session;
    session.Paths.ControllerAddress = Host(47);
    std::string path;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    bool active = false;
    while (!active && !ended && std::chrono::steady_clock::now() < deadline) {
        active = session.LoadDeviceDescription(path) == 1 && session.OpenHighspeedPort() == 1;
        if (!active)
            std::this_thread::sleep_for(50ms);
    }
    VariableReferencePair references;
    references.Event.InputOffset = 4;
    references.Event.Length = 4;
    references.Acknowledge.DeviceIndex = 2;
    std::uint32_t acknowledge = 0;
    while (active && !ended && std::chrono::steady_clock::now() < deadline) {
        std::uint32_t event = acknowledge;
        if (!session.CommunicateVariable(event, references, 0))
            break;
        if (event != acknowledge) {
            acknowledge = event;
            session.CommunicateVariable(acknowledge, references, 1);
        }
    }
    emulator.join();
    ASSERT_TRUE(active) << run.Output;
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    for (const char* line : {"handshake: started with the first exchange", "never acknowledged: none"})
        EXPECT_NE(run.Output.find(line), std::string::npos) << run.Output;
}

} // namespace
