#include "config/VariableReferences.h"
#include "config/EventConfiguration.h"
#include "controller/ControllerSession.h"
#include "platform/Paths.h"
#include "tests/config/ConfigTestSupport.h"

namespace {

class LoadVariableReferencesTest : public ConfigTest {
protected:
    void SetUp() override {
        ConfigTest::SetUp();
        UseOnlyConfiguration(2);
        m_Settings.UseSimEnvironment = 1;
        m_References.Event = {1, 2, 3, 4};
        m_References.Acknowledge = {5, 6, 7, 8};
        m_Paths.SummaryDirectory = m_Folder.Path();
        m_Paths.SummaryFileName = "#summary.sta";
    }
    void TearDown() override {
        Configurations().ClearConfigurations();
        ConfigTest::TearDown();
    }

    void WriteSummary(const std::string& sections, int count = 2) {
        m_Folder.Write("#summary.sta",
                       "[GENERAL]\nVARIABLESCOUNT=" + std::to_string(count) + "\n" + sections);
        ClearPrivateProfileCache();
    }
    std::uint32_t Load() {
        return LoadVariableReferences(&m_Owner, m_Settings, m_Paths, m_References, m_Session);
    }

    int m_Owner = 0;
    ProjectPaths m_Paths;
    VariableReferencePair m_References;
    ControllerSession m_Session;
};

void ExpectReference(const VariableReference& reference, std::uint16_t input, std::uint16_t output,
                     std::uint32_t length, std::uint32_t index) {
    EXPECT_EQ(reference.InputOffset, input);
    EXPECT_EQ(reference.OutputOffset, output);
    EXPECT_EQ(reference.Length, length);
    EXPECT_EQ(reference.DeviceIndex, index);
}

} // namespace

TEST_F(LoadVariableReferencesTest, ResolvesBothVariablesFromTheSimulationSummary) {
    WriteSummary(VariableSection(0, "Ack", "0x14", "24") + VariableSection(1, "Ev", "10", "20"));
    EXPECT_EQ(Load(), ReferencesResolved);
    ExpectReference(m_References.Event, 0x10, 0x20, 4, 4);
    ExpectReference(m_References.Acknowledge, 0x14, 0x24, 4, 8);
    EXPECT_TRUE(m_Sink.Lines().empty());
}

TEST_F(LoadVariableReferencesTest, EachFailureHasItsCodeAndLine) {
    WriteSummary(VariableSection(0, "Ev", "10", "20"));
    EXPECT_EQ(Load(), ReferencesNoAcknowledgeVariable);
    ExpectReference(m_References.Event, 0x10, 0x20, 4, 4);
    ExpectReference(m_References.Acknowledge, 5, 6, 7, 8);

    m_References.Event = {1, 2, 3, 4};
    WriteSummary(VariableSection(0, "Ack", "10", "20") + VariableSection(1, "Ev", "10", "-1"));
    EXPECT_EQ(Load(), ReferencesNoEventVariable);
    ExpectReference(m_References.Event, 1, 2, 3, 4);
    // The acknowledge variable is not looked at once the event variable failed.
    ExpectReference(m_References.Acknowledge, 5, 6, 7, 8);

    m_Paths.SummaryFileName = "missing.sta";
    EXPECT_EQ(Load(), ReferencesNoSummaryFile);
    m_Paths.SummaryDirectory.clear();
    m_Paths.SummaryFileName = "#summary.sta";
    EXPECT_EQ(Load(), ReferencesNoSummaryFile) << "no folder, no path";

    m_Settings.UsedUniqueID = -1;
    EXPECT_EQ(Load(), ReferencesNoConfiguration);

    EXPECT_EQ(m_Sink.Lines(), (std::vector<std::string>{
                                  "Error ! Data of acknowledge variable are not available in summary !",
                                  "Error ! Data of event variable are not available in summary !",
                                  "Error ! Summary file " + m_Folder.Path() + PathSeparator + "missing.sta" +
                                      " was not found !",
                                  "Error ! Summary file  was not found !",
                                  "Unknown error Gbl_LoadVarReferences !",
                              }));
    ExpectReference(m_References.Acknowledge, 5, 6, 7, 8);
}

TEST_F(LoadVariableReferencesTest, ControllerModeWithoutControllerGivesCodeOne) {
    m_Settings.UseSimEnvironment = 0;
    m_Session.Paths.ControllerAddress = "127.0.0.1";
    const ProjectPaths before = m_Paths;
    EXPECT_EQ(Load(), ReferencesNoDeviceDescription);
    ASSERT_FALSE(m_Sink.Lines().empty());
    EXPECT_EQ(m_Sink.Lines().back(),
              "Error ! Online was no device configuration for " + SummaryFilePath() + " available !");
    EXPECT_EQ(m_Paths.SummaryDirectory, before.SummaryDirectory) << "set only from a downloaded file";
    ExpectReference(m_References.Event, 1, 2, 3, 4);
}
