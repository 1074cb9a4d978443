#include "controller/ControllerSession.h"
#include "controller/access/ControllerAccessLibrary.h"
#include "device/DeviceDescription.h"
#include "platform/Paths.h"
#include "tests/controller/ControllerTestSupport.h"
#include "tests/support/WaitUntil.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

using ::testing::ElementsAre;

namespace {

class SessionTest : public ControllerTest {
protected:
    // An emulator serving the standard summary, and the session aimed at it.
    void Start(int n) {
        m_Emulator = StartEmulator(n);
        ASSERT_TRUE(m_Emulator->Serving()) << m_Emulator->Output();
        m_Session.Paths.ControllerAddress = Host(n);
    }

    // Loads the description and opens the port, as activation does.
    void Activate() {
        std::string path;
        ASSERT_EQ(m_Session.LoadDeviceDescription(path), 1) << ::testing::PrintToString(m_Messages.Take());
        ASSERT_EQ(m_Session.OpenHighspeedPort(), 1) << ::testing::PrintToString(m_Messages.Take());
        m_Messages.Take();
    }

    static VariableReferencePair References(std::uint16_t eventOffset, std::uint32_t acknowledgeIndex) {
        VariableReferencePair references;
        references.Event.InputOffset = eventOffset;
        references.Event.Length = 4;
        references.Acknowledge.DeviceIndex = acknowledgeIndex;
        return references;
    }

    MessageCapture m_Messages;
    std::unique_ptr<EmulatorProcess> m_Emulator;
    ControllerSession m_Session;
};

// ---- summary download -------------------------------------------------------

TEST_F(SessionTest, LoadsTheSummaryOfTheControllerNamedIntoTheTempFolder) {
    Start(2);
    std::string path = "unchanged";
    EXPECT_EQ(m_Session.LoadDeviceDescription(path), 1);
    EXPECT_THAT(m_Messages.Take(),
                ElementsAre("---- FTP connection opened to <127.0.10.2>!", "---- file reading succeeded!",
                            "---- FTP connection to <127.0.10.2> closed!"));
    EXPECT_EQ(path, DirectoryPart(ProgramPath()) + "/Temp/#summary.sta");
    ASSERT_NE(CurrentDeviceDescription(), nullptr);
    EXPECT_EQ(CurrentDeviceDescription()->VariableCount(), 5);
    EXPECT_EQ(CurrentDeviceDescription()->VariableAt(1).Name, "Event");
    EXPECT_EQ(CurrentDeviceDescription()->InputDataLength(), 16);

    // A second controller beside the first, whose count the summary cannot hold:
    // loaded from there, and the cut is reported.
    std::string text = SummaryText(StandardVariables());
    text.replace(text.find("VariablesCount=5"), 16, "VariablesCount=2000000");
    EmulatorProcess second(Host(19), {"--summary", m_Folder.Write("cut.sta", text)});
    ASSERT_TRUE(second.Serving()) << second.Output();
    m_Session.Paths.ControllerAddress = Host(19);
    ASSERT_EQ(m_Session.LoadDeviceDescription(path), 1);
    EXPECT_EQ(CurrentDeviceDescription()->VariableCount(), 1024);
    EXPECT_THAT(m_Messages.Take(),
                ElementsAre("---- FTP connection opened to <127.0.10.19>!", "---- file reading succeeded!",
                            "---- FTP connection to <127.0.10.19> closed!",
                            "**** Summary file " + path +
                                ": \"VariablesCount\" of section GENERAL is 2000000, more than the summary "
                                "file can describe; 1024 read"));
}

TEST_F(SessionTest, AFailedDownloadLeavesAnEmptyDescriptionAndStillClosesTheConnection) {
    struct Case {
        int Host;
        std::vector<std::string> Emulator; // none started when empty
        bool ClearAddress;
        std::vector<std::string> Lines;
    };
    const std::vector<Case> cases{
        {3,
         {},
         false,
         {"**** Error occured: cannot connect to 127.0.10.3:26801: Connection refused",
          "---- FTP connection to <127.0.10.3> closed!"}},
        {4,
         {"--summary", "S", "--password", "7"},
         false,
         {"**** Error occured: the controller answered: wrong user name or password",
          "---- FTP connection to <127.0.10.4> closed!"}},
        {5,
         {"--user", "1"},
         false,
         {"---- FTP connection opened to <127.0.10.5>!",
          "**** Error occured: the controller answered: file \"#summary.sta\" not found",
          "---- FTP connection to <127.0.10.5> closed!"}},
        {6,
         {},
         true,
         {"**** Error occured: servername, username or password not defined !!!",
          "---- FTP connection to <> closed!"}},
    };
    const std::string summary = m_Folder.Write("s.sta", SummaryText(StandardVariables()));
    for (const Case& test : cases) {
        SCOPED_TRACE(Host(test.Host));
        std::vector<std::string> arguments = test.Emulator;
        std::replace(arguments.begin(), arguments.end(), std::string("S"), summary);
        std::optional<EmulatorProcess> emulator;
        if (!arguments.empty()) {
            emulator.emplace(Host(test.Host), arguments);
            ASSERT_TRUE(emulator->Serving()) << emulator->Output();
        }
        m_Session.Paths.ControllerAddress = test.ClearAddress ? "" : Host(test.Host);
        std::string path = "unchanged";
        EXPECT_EQ(m_Session.LoadDeviceDescription(path), 0);
        EXPECT_EQ(m_Messages.Take(), test.Lines);
        EXPECT_EQ(path, SummaryFilePath());
        ASSERT_NE(CurrentDeviceDescription(), nullptr);
        EXPECT_EQ(CurrentDeviceDescription()->VariableCount(), 0);
    }
    m_Session.Paths.ControllerAddress = "127.0.10.6";
    m_Session.Password.clear();
    EXPECT_EQ(m_Session.OpenFileTransfer(), -1);
    EXPECT_THAT(m_Messages.Take(),
                ElementsAre("**** Error occured: servername, username or password not defined !!!"));
}

// ---- high-speed port --------------------------------------------------------

TEST_F(SessionTest, PortOpensClosesAndReportsFailures) {
    m_Session.Paths.ControllerAddress = Host(10);
    EXPECT_EQ(m_Session.OpenHighspeedPort(), 0);
    EXPECT_THAT(m_Messages.Take(),
                ElementsAre("**** Error occured: cannot connect to 127.0.10.10:26802: Connection refused"));

    // An exchange without an open port fails and leaves the value alone.
    RenewCurrentDeviceDescription();
    std::uint32_t value = 77;
    m_Session.CommunicateVariable(value, References(4, 2), 0);
    EXPECT_EQ(value, 77U);
    EXPECT_THAT(m_Messages.Take(), ElementsAre("**** Error occured: no high-speed port is open"));

    Start(9);
    EXPECT_EQ(m_Session.OpenHighspeedPort(), 1);
    EXPECT_EQ(m_Session.CloseHighspeedPort(), 1);
    EXPECT_THAT(m_Messages.Take(), ElementsAre("---- Highspeed TCP/IP connection opened to <127.0.10.9>!",
                                               "---- Highspeed TCP/IP connection to <127.0.10.9> closed!"));
}

// ---- exchanges and byte orders ---------------------------------------------

TEST_F(SessionTest, ValuesCrossMostSignificantByteFirst) {
    Start(11);
    Activate();
    ASSERT_EQ(m_Emulator->Command("poke in 4 00 00 01 02"), "ok");
    std::uint32_t value = 0;
    EXPECT_TRUE(m_Session.CommunicateVariable(value, References(4, 2), 0));
    EXPECT_EQ(value, 0x102U);
    ASSERT_EQ(m_Emulator->Command("set Event 0x80000001"), "in Event = 2147483649 (0x80000001)");
    EXPECT_TRUE(m_Session.CommunicateVariable(value, References(4, 2), 0));
    EXPECT_EQ(value, 0x80000001U);

    // A length below two leaves the value.
    VariableReferencePair references = References(4, 2);
    references.Event.Length = 1;
    value = 99;
    EXPECT_FALSE(m_Session.CommunicateVariable(value, references, 0));
    EXPECT_EQ(value, 99U);

    // The acknowledge lands at its output offset; a precision of two writes 5 as 500.
    value = 0x12345678;
    m_Session.CommunicateVariable(value, References(4, 2), 1);
    EXPECT_EQ(m_Emulator->Command("peek out 32 4"), "out 32: 12 34 56 78");
    EXPECT_EQ(value, 0x12345678U);
    value = 5;
    m_Session.CommunicateVariable(value, References(4, 3), 1);
    EXPECT_EQ(m_Emulator->Command("peek out 36 4"), "out 36: 00 00 01 F4");
    EXPECT_TRUE(m_Messages.Take().empty());
}

TEST_F(SessionTest, AnAcknowledgeThatCannotBeWrittenStillExchangesAndIsNotDelivered) {
    Start(14);
    Activate();
    const std::string before = m_Emulator->Command("peek out 0 40");
    const std::vector<std::pair<std::uint32_t, std::string>> cases{
        {1, "**** Error occurred: Variable (1) from Module address (-1) not writeable!"}, // direction "I"
        {50, "**** Error occurred: Index for variables is out of bound!"},
    };
    for (const auto& [index, line] : cases) {
        std::uint32_t value = 0xFFFFFFFF;
        EXPECT_FALSE(m_Session.CommunicateVariable(value, References(4, index), 1));
        EXPECT_THAT(m_Messages.Take(), ElementsAre(line));
    }
    EXPECT_EQ(m_Emulator->Command("peek out 0 40"), before);
    EXPECT_EQ(m_Emulator->Command("stats"),
              "stats: logins 1, refused log-ins 0, files served 1, exchanges 2, error answers 0");
}

// ---- losing the controller -------------------------------------------------

TEST_F(SessionTest, ObservationRecoversWhenTheControllerComesBack) {
    Start(16);
    Activate();
    ASSERT_EQ(m_Emulator->Command("set Event 3"), "in Event = 3 (0x00000003)");
    std::uint32_t value = 0;
    m_Session.CommunicateVariable(value, References(4, 2), 0);
    ASSERT_EQ(value, 3U);

    m_Emulator->Kill();
    m_Session.CommunicateVariable(value, References(4, 2), 0);
    EXPECT_EQ(value, 3U);
    EXPECT_THAT(m_Messages.Take(),
                ElementsAre("**** Error occured: cannot connect to 127.0.10.16:26802: Connection refused"));
    value = 0x55;
    EXPECT_FALSE(m_Session.CommunicateVariable(value, References(4, 2), 1));
    EXPECT_EQ(m_Messages.Take().size(), 1U);

    Start(16);
    ASSERT_EQ(m_Emulator->Command("set Event 9"), "in Event = 9 (0x00000009)");
    for (int i = 0; i < 3; ++i) {
        m_Session.CommunicateVariable(value, References(4, 2), 0);
        EXPECT_EQ(value, 9U);
    }
    value = 0x1234;
    EXPECT_TRUE(m_Session.CommunicateVariable(value, References(4, 2), 1));
    EXPECT_EQ(m_Emulator->Command("get out Ack"), "out Ack = 4660 (0x00001234)");
    EXPECT_TRUE(m_Messages.Take().empty());
}

TEST_F(SessionTest, ASilentControllerTimesOutAndTheNextExchangeReconnects) {
    Start(17);
    Activate();
    ASSERT_EQ(m_Emulator->Command("set Event 4"), "in Event = 4 (0x00000004)");
    ASSERT_EQ(m_Emulator->Command("stall 1500"), "ok");
    std::uint32_t value = 0;
    EXPECT_FALSE(m_Session.CommunicateVariable(value, References(4, 2), 0));
    EXPECT_EQ(value, 0U);
    EXPECT_THAT(m_Messages.Take(),
                ElementsAre("**** Error occured: no answer from the controller within the time allowed"));

    // Once the stall ends, an exchange reconnects and reads.
    EXPECT_TRUE(WaitUntil([&] { return m_Session.CommunicateVariable(value, References(4, 2), 0); },
                          std::chrono::seconds(20)));
    EXPECT_EQ(value, 4U);
}

// ---- the 1024-byte read buffer ---------------------------------------------

TEST_F(SessionTest, InputImageLargerThanTheReadBufferIsReadInPart) {
    // 300 readable 32-bit variables: an input image of 1200 bytes.
    std::vector<SummaryVariable> variables;
    for (int i = 0; i < 300; ++i) {
        char offset[16];
        std::snprintf(offset, sizeof offset, "0x%X", i * 4);
        variables.push_back({"V" + std::to_string(i), "USINT32", "IO", offset, offset, "%d"});
    }
    EmulatorProcess emulator(Host(18), {"--summary", m_Folder.Write("big.sta", SummaryText(variables))});
    ASSERT_TRUE(emulator.Serving()) << emulator.Output();
    m_Session.Paths.ControllerAddress = Host(18);
    std::string path;
    ASSERT_EQ(m_Session.LoadDeviceDescription(path), 1);
    m_Messages.Take();
    ASSERT_EQ(m_Session.OpenHighspeedPort(), 1);
    EXPECT_THAT(
        m_Messages.Take(),
        ElementsAre("---- Highspeed TCP/IP connection opened to <127.0.10.18>!",
                    "**** Error occurred: Input image of 1200 bytes exceeds the read buffer; only its first "
                    "1024 bytes are read!"));

    ASSERT_EQ(emulator.Command("set V255 0x0A0B0C0D"), "in V255 = 168496141 (0x0A0B0C0D)");
    std::uint32_t value = 0;
    m_Session.CommunicateVariable(value, References(1020, 0), 0);
    EXPECT_EQ(value, 0x0A0B0C0DU);
    EXPECT_TRUE(m_Messages.Take().empty());

    ASSERT_EQ(emulator.Command("set V256 7"), "in V256 = 7 (0x00000007)");
    m_Session.CommunicateVariable(value, References(1024, 0), 0);
    EXPECT_EQ(value, 0x0A0B0C0DU);
    VariableReferencePair straddling = References(1022, 0);
    m_Session.CommunicateVariable(value, straddling, 0);
    EXPECT_EQ(value, 0x0A0B0C0DU);
    EXPECT_THAT(
        m_Messages.Take(),
        ElementsAre("**** Error occurred: Event variable at input offset 1024 with 4 bytes lies beyond the "
                    "1024 bytes read!",
                    "**** Error occurred: Event variable at input offset 1022 with 4 bytes lies beyond the "
                    "1024 bytes read!"));

    // Writes are not limited by the read buffer.
    value = 0x01020304;
    m_Session.CommunicateVariable(value, References(0, 299), 1);
    EXPECT_EQ(emulator.Command("get out V299"), "out V299 = 16909060 (0x01020304)");
}

} // namespace
