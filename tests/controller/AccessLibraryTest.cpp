#include "controller/access/ControllerAccessLibrary.h"
#include "controller/access/ControllerProtocol.h"
#include "tests/controller/ControllerTestSupport.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/FakeController.h"
#include "tests/support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

using ::testing::HasSubstr;

namespace {

using ErrorText = std::array<char, CDDLG_ERROR_TEXT_SIZE>;

class AccessLibraryTest : public ControllerTest {
protected:
    std::string Error() const { return m_Error.data(); }

    int32_t Open(const std::string& address, const std::string& user = "1", double timeout = 2.0) {
        std::array<char, CDDLG_TEXT_SIZE> server{}, name{}, secret{'1'};
        address.copy(server.data(), server.size() - 1);
        user.copy(name.data(), name.size() - 1);
        return _CDDLG_OpenConnection(server.data(), name.data(), secret.data(), timeout, m_Error.data());
    }

    int32_t ReadFile(const std::string& remote, const std::string& local) {
        std::array<char, CDDLG_TEXT_SIZE> path{};
        local.copy(path.data(), path.size() - 1);
        return _CDDLG_ReadFile(remote.c_str(), path.data(), 0, m_Error.data());
    }

    int32_t Exchange(const unsigned char* write, int32_t writeLength, int32_t writeOffset,
                     unsigned char* read, int32_t readLength, double timeout = 1.0) {
        return _CDDLG_CommunicateHighspeedPortTCPIP(0, write, writeLength, writeOffset, read, &readLength,
                                                    timeout, 1, m_Error.data());
    }

    ErrorText m_Error{};
};

// ---- arguments -------------------------------------------------------------

TEST_F(AccessLibraryTest, BadArgumentsAreRefusedWithAText) {
    unsigned char data[8] = {};
    int32_t length = 4;
    EXPECT_EQ(_CDDLG_CommunicateHighspeedPortTCPIP(0, data, 0, 0, data, &length, 1.0, 1, m_Error.data()),
              CDDLG_ERROR_NOT_OPEN);
    EXPECT_EQ(Error(), "no high-speed port is open");
    EXPECT_EQ(_CDDLG_CommunicateHighspeedPortTCPIP(1, data, 0, 0, data, &length, 1.0, 1, m_Error.data()),
              CDDLG_ERROR_ARGUMENT);
    EXPECT_EQ(_CDDLG_CommunicateHighspeedPortTCPIP(0, data, 0, 0, data, &length, 1.0, 0, m_Error.data()),
              CDDLG_ERROR_ARGUMENT);
    EXPECT_EQ(_CDDLG_CommunicateHighspeedPortTCPIP(0, data, 0, 0, data, nullptr, 1.0, 1, m_Error.data()),
              CDDLG_ERROR_ARGUMENT);
    EXPECT_EQ(_CDDLG_CommunicateHighspeedPortTCPIP(0, data, 0, 0, data, &length, 1.0, 1, nullptr),
              CDDLG_ERROR_NOT_OPEN);

    // A text without its terminator inside the documented 200 characters.
    std::array<char, 300> unterminated{};
    unterminated.fill('a');
    unterminated.back() = '\0';
    char one[] = "1";
    EXPECT_EQ(_CDDLG_OpenConnection(unterminated.data(), one, one, 2.0, m_Error.data()),
              CDDLG_ERROR_ARGUMENT);
    EXPECT_EQ(Error(), "controller address longer than 199 characters");
    EXPECT_EQ(_CDDLG_OpenConnection(nullptr, one, one, 2.0, m_Error.data()), CDDLG_ERROR_ARGUMENT);
    EXPECT_EQ(_CDDLG_OpenHighspeedPortTCPIP("", 1.0, m_Error.data()), CDDLG_ERROR_ARGUMENT);

    EXPECT_EQ(ReadFile("#summary.sta", m_Folder.File("s.sta")), CDDLG_ERROR_NOT_OPEN);
    EXPECT_EQ(Error(), "no file transfer connection is open");
    EXPECT_EQ(_CDDLG_CloseConnection(m_Error.data()), CDDLG_OK);
    EXPECT_EQ(_CDDLG_CloseHighspeedPortTCPIP(m_Error.data()), CDDLG_OK);
    EXPECT_EQ(Error(), "");
}

TEST_F(AccessLibraryTest, LengthsAndOffsetsAreCheckedAgainstTheImages) {
    const std::string address = Host(30);
    EmulatorProcess emulator(address, {"--input-size", "16", "--output-size", "8"});
    ASSERT_TRUE(emulator.Serving()) << emulator.Output();
    ASSERT_EQ(_CDDLG_OpenHighspeedPortTCPIP(address.c_str(), 1.0, m_Error.data()), CDDLG_OK) << Error();

    std::array<unsigned char, 24> read{};
    read.fill(0xEE);
    const unsigned char write[4] = {1, 2, 3, 4};
    ASSERT_EQ(emulator.Command("poke in 0 000102030405060708090A0B0C0D0E0F"), "ok");
    EXPECT_EQ(Exchange(write, 4, 4, read.data(), 8), CDDLG_OK) << Error();
    EXPECT_EQ(read[7], 7);
    EXPECT_EQ(read[8], 0xEE) << "nothing beyond the read length is touched";
    EXPECT_EQ(emulator.Command("peek out 0 8"), "out 0: 00 00 00 00 01 02 03 04");

    EXPECT_EQ(Exchange(write, 4, 5, read.data(), 8), CDDLG_ERROR_ARGUMENT);
    EXPECT_EQ(Error(), "write of 4 bytes at offset 5 lies outside the output image of 8 bytes");
    EXPECT_EQ(Exchange(write, 4, -1, read.data(), 8), CDDLG_ERROR_ARGUMENT);
    EXPECT_EQ(Exchange(write, -4, 0, read.data(), 8), CDDLG_ERROR_ARGUMENT);
    EXPECT_EQ(Exchange(write, 0, 0, read.data(), 17), CDDLG_ERROR_ARGUMENT);
    EXPECT_EQ(Error(), "read of 17 bytes exceeds the input image of 16 bytes");
    EXPECT_EQ(Exchange(write, 0, 0, read.data(), -1), CDDLG_ERROR_ARGUMENT);
    EXPECT_EQ(Exchange(nullptr, 4, 0, read.data(), 8), CDDLG_ERROR_ARGUMENT);
    EXPECT_EQ(Exchange(write, 0, 0, nullptr, 8), CDDLG_ERROR_ARGUMENT);
    EXPECT_EQ(emulator.Command("peek out 0 8"), "out 0: 00 00 00 00 01 02 03 04");

    // A write of nothing ignores its offset; a read of nothing still writes.
    EXPECT_EQ(Exchange(write, 0, 1000, read.data(), 0), CDDLG_OK) << Error();
    EXPECT_EQ(Exchange(write + 2, 2, 0, nullptr, 0), CDDLG_OK) << Error();
    EXPECT_EQ(emulator.Command("peek out 0 2"), "out 0: 03 04");
}

TEST_F(AccessLibraryTest, FileTransferLogsInAndStoresTheFileWhole) {
    const std::string address = Host(31);
    const std::string summary = m_Folder.Write("served.sta", SummaryText(StandardVariables()));
    TempFolder served;
    std::string big(200000, 'x'); // several pieces
    for (std::size_t i = 0; i < big.size(); i += 97)
        big[i] = static_cast<char>('a' + i % 26);
    served.Write("big.bin", big);
    served.Write("empty.txt", "");
    std::filesystem::create_symlink(summary, served.File("link.sta"));
    EmulatorProcess emulator(address, {"--summary", summary, "--folder", served.Path(), "--user", "kavel"});
    ASSERT_TRUE(emulator.Serving()) << emulator.Output();

    EXPECT_EQ(Open(address), CDDLG_ERROR_REFUSED);
    EXPECT_EQ(Error(), "the controller answered: wrong user name or password");
    ASSERT_EQ(Open(address, "kavel"), CDDLG_OK) << Error();

    EXPECT_EQ(ReadFile("#summary.sta", m_Folder.File("copy.sta")), CDDLG_OK) << Error();
    EXPECT_EQ(TempFolder::Read(m_Folder.File("copy.sta")), TempFolder::Read(summary));
    EXPECT_EQ(ReadFile("big.bin", m_Folder.File("big.bin")), CDDLG_OK) << Error();
    EXPECT_EQ(TempFolder::Read(m_Folder.File("big.bin")), big);
    EXPECT_EQ(ReadFile("empty.txt", m_Folder.File("empty.txt")), CDDLG_OK) << Error();
    EXPECT_TRUE(std::filesystem::exists(m_Folder.File("empty.txt")));

    // Nothing outside the folder, and no links out of it.
    for (const std::string name : {"../served.sta", "link.sta", ".", "..", "missing"}) {
        EXPECT_EQ(ReadFile(name, m_Folder.File("out")), CDDLG_ERROR_REFUSED) << name;
        EXPECT_EQ(Error(), "the controller answered: file \"" + name + "\" not found");
    }
    EXPECT_FALSE(std::filesystem::exists(m_Folder.File("out")));

    // A local folder that does not exist: the old file stays, no piece is left.
    EXPECT_EQ(ReadFile("#summary.sta", m_Folder.File("no/such/folder/s.sta")), CDDLG_ERROR_LOCAL_FILE);
    EXPECT_THAT(Error(), HasSubstr("cannot create"));
    std::filesystem::create_directory(m_Folder.File("folder.sta"));
    EXPECT_EQ(ReadFile("#summary.sta", m_Folder.File("folder.sta")), CDDLG_ERROR_LOCAL_FILE);
    EXPECT_THAT(Error(), HasSubstr("cannot store"));
    for (const auto& entry : std::filesystem::directory_iterator(m_Folder.Path()))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();

    EXPECT_EQ(_CDDLG_CloseConnection(m_Error.data()), CDDLG_OK);
    EXPECT_EQ(ReadFile("#summary.sta", m_Folder.File("copy.sta")), CDDLG_ERROR_NOT_OPEN);
}

TEST_F(AccessLibraryTest, DownloadAndExchangesRunSideBySide) {
    const std::string address = Host(32);
    const auto emulator = StartEmulator(32);
    ASSERT_TRUE(emulator->Serving()) << emulator->Output();
    ASSERT_EQ(_CDDLG_OpenHighspeedPortTCPIP(address.c_str(), 1.0, m_Error.data()), CDDLG_OK) << Error();
    std::atomic<int> failures{0};
    std::thread exchanges([&] {
        ErrorText error{};
        std::array<unsigned char, 16> read{};
        for (int i = 0; i < 300; ++i) {
            int32_t length = 16;
            if (_CDDLG_CommunicateHighspeedPortTCPIP(0, nullptr, 0, 0, read.data(), &length, 1.0, 1,
                                                     error.data()) != 0)
                ++failures;
        }
    });
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(Open(address), CDDLG_OK) << Error();
        EXPECT_EQ(ReadFile("#summary.sta", m_Folder.File("copy.sta")), CDDLG_OK) << Error();
        EXPECT_EQ(_CDDLG_CloseConnection(m_Error.data()), CDDLG_OK);
    }
    exchanges.join();
    EXPECT_EQ(failures, 0);
}

// ---- a controller that misbehaves ------------------------------------------

TEST_F(AccessLibraryTest, MalformedAnswersFailWithoutTouchingTheBuffers) {
    using Bytes = std::vector<unsigned char>;
    Bytes foreign = Frame(MessageType::ExchangeAnswer, Bytes(8));
    foreign[0] = 'X';
    Bytes noText(MaxErrorTextLength, 'e');
    noText[0] = 0x07;
    noText[1] = 0xFF;
    const std::vector<std::pair<Bytes, std::string>> cases{
        {Frame(MessageType::ExchangeAnswer, Bytes(12, 0xAB)),
         "malformed answer from the controller: answer longer than requested"},
        {Frame(MessageType::ExchangeAnswer, Bytes(4, 0xAB)),
         "malformed answer from the controller: 4 bytes instead of 8"},
        {foreign, "malformed answer from the controller: not a frame of this protocol"},
        {{'Q', 'R', 'X', 'P', 1, 0x91, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},
         "malformed answer from the controller: payload longer than the message allows"},
        {Frame(MessageType::HelloAnswer, Bytes(8)),
         "malformed answer from the controller: unexpected message type"},
        {Frame(MessageType::ErrorAnswer, noText, static_cast<std::uint16_t>(ProtocolStatus::OutOfRange)),
         "the controller answered: ??" + std::string(MaxErrorTextLength - 2, 'e')},
        {{}, "no answer from the controller within the time allowed"},
    };
    std::atomic<std::size_t> current{0};
    FakeController fake(Host(33), HighspeedPort, [&](int fd) {
        AnswerHello(fd, 16, 16);
        FrameHeader header;
        Bytes payload;
        if (!ReadFrame(fd, header, payload))
            return;
        if (const Bytes& answer = cases[current].first; !answer.empty())
            SendBytes(fd, answer);
        else
            ReadFrame(fd, header, payload, std::chrono::milliseconds(1500));
    });
    ASSERT_TRUE(fake.Listening());
    for (current = 0; current < cases.size(); ++current) {
        SCOPED_TRACE(cases[current].second);
        ASSERT_EQ(_CDDLG_OpenHighspeedPortTCPIP(Host(33).c_str(), 1.0, m_Error.data()), CDDLG_OK) << Error();
        std::array<unsigned char, 16> read{};
        read.fill(0xEE);
        EXPECT_NE(Exchange(nullptr, 0, 0, read.data(), 8, 0.2), CDDLG_OK);
        EXPECT_EQ(Error(), cases[current].second);
        EXPECT_EQ(read[8], 0xEE);
        EXPECT_EQ(_CDDLG_CloseHighspeedPortTCPIP(m_Error.data()), CDDLG_OK);
    }
}

TEST_F(AccessLibraryTest, ImageSizesThatDoNotFitDropTheLinkAndTheNextExchangeSaysHelloAgain) {
    const std::string address = Host(34);
    std::atomic<int> hellos{0};
    FakeController fake(address, HighspeedPort, [&](int fd) {
        // 1: too large; 2: too small to read 8 bytes; then sizes that fit.
        const int hello = ++hellos;
        AnswerHello(fd, hello == 1 ? MaxImageSize + 1 : hello == 2 ? 4 : 16, 16);
        FrameHeader header;
        std::vector<unsigned char> payload;
        while (ReadFrame(fd, header, payload))
            SendBytes(fd, Frame(MessageType::ExchangeAnswer, std::vector<unsigned char>(8, 0x42)));
    });
    ASSERT_TRUE(fake.Listening());
    EXPECT_EQ(_CDDLG_OpenHighspeedPortTCPIP(address.c_str(), 1.0, m_Error.data()), CDDLG_ERROR_COMMUNICATION);
    EXPECT_EQ(Error(), "malformed answer from the controller: image larger than 1048576 bytes");

    ASSERT_EQ(_CDDLG_OpenHighspeedPortTCPIP(address.c_str(), 1.0, m_Error.data()), CDDLG_OK) << Error();
    int32_t input = 0, output = 0;
    EXPECT_EQ(_CDDLG_HighspeedImageSizesTCPIP(&input, &output, 1.0, m_Error.data()), CDDLG_OK);
    EXPECT_EQ(input, 4);
    EXPECT_EQ(output, 16);
    std::array<unsigned char, 8> read{};
    EXPECT_EQ(Exchange(nullptr, 0, 0, read.data(), 8), CDDLG_ERROR_ARGUMENT);
    EXPECT_EQ(Error(), "read of 8 bytes exceeds the input image of 4 bytes");
    EXPECT_EQ(Exchange(nullptr, 0, 0, read.data(), 8), CDDLG_OK) << Error();
    EXPECT_EQ(read[7], 0x42);
    EXPECT_EQ(hellos, 3);
    _CDDLG_CloseHighspeedPortTCPIP(m_Error.data()); // lets the fake's handler end
}

TEST_F(AccessLibraryTest, MalformedOrMissingFileAnswersLeaveTheLocalFileAlone) {
    const std::string address = Host(35);
    std::atomic<int> scenario{0};
    FakeController fake(address, FileTransferPort, [&scenario](int fd) {
        FrameHeader header;
        std::vector<unsigned char> payload;
        if (!ReadFrame(fd, header, payload))
            return;
        if (scenario == 3) { // the log-in is never answered
            ReadFrame(fd, header, payload, std::chrono::milliseconds(2500));
            return;
        }
        SendBytes(fd, Frame(MessageType::LoginAnswer, {}));
        if (!ReadFrame(fd, header, payload))
            return;
        std::vector<unsigned char> answer(4);
        // Too large; announces 10 bytes and sends 3; announces 2 and sends 3.
        PutUint32(answer.data(), scenario == 0 ? MaxFileSize + 1 : scenario == 1 ? 10 : 2);
        if (scenario != 0)
            answer.insert(answer.end(), {'a', 'b', 'c'});
        SendBytes(fd, Frame(MessageType::ReadFileAnswer, answer));
    });
    ASSERT_TRUE(fake.Listening());
    const std::string local = m_Folder.Write("local.sta", "old content");
    const std::vector<std::string> expected{
        "the file #summary.sta is larger than 16777216 bytes",
        "malformed answer from the controller: file size or piece out of range",
        "malformed answer from the controller: file size or piece out of range",
    };
    for (scenario = 0; scenario < 3; ++scenario) {
        SCOPED_TRACE(expected[static_cast<std::size_t>(scenario.load())]);
        ASSERT_EQ(Open(address), CDDLG_OK) << Error();
        EXPECT_EQ(ReadFile("#summary.sta", local), CDDLG_ERROR_COMMUNICATION);
        EXPECT_EQ(Error(), expected[static_cast<std::size_t>(scenario.load())]);
        EXPECT_EQ(TempFolder::Read(local), "old content");
        _CDDLG_CloseConnection(m_Error.data());
    }
    // The request time-out ends a log-in that is never answered.
    EXPECT_EQ(Open(address, "1", 0.3), CDDLG_ERROR_COMMUNICATION);
    EXPECT_EQ(Error(), "no answer from the controller within the time allowed");
}

} // namespace
