#include "config/EventConfiguration.h"
#include "config/VariableReferences.h"
#include "device/DeviceDescription.h"
#include "tests/config/ConfigTestSupport.h"

namespace {

class CheckVariableReferencesTest : public ConfigTest {
protected:
    void SetUp() override {
        ConfigTest::SetUp();
        UseOnlyConfiguration(2);
        m_References.Event = {0x10, 0x20, 4, 77};
        m_References.Acknowledge = {0x14, 0x24, 4, 88};
    }
    void TearDown() override {
        ReleaseDeviceDescription();
        Configurations().ClearConfigurations();
        ConfigTest::TearDown();
    }

    // Makes the description of a summary file with these variable sections current.
    void Describe(int count, const std::string& sections) {
        const std::string path =
            m_Folder.Write("summary" + std::to_string(++m_Files) + ".sta",
                           "[GENERAL]\nVariablesCount=" + std::to_string(count) + "\n" + sections);
        ParseSummaryFile(RenewCurrentDeviceDescription(), path);
    }

    VariableReferencePair m_References;
    int m_Files = 0;
};

} // namespace

TEST_F(CheckVariableReferencesTest, BothConfirmedVariablesPassAndGetTheirIndex) {
    Describe(4, VariableSection(0, "Other", "0x0", "0x0") +
                    VariableSection(1, "Ack", "0x14", "0x24", "set32", "io") +
                    VariableSection(2, "Ev", "0x10", "0x20", "SINT32") +
                    VariableSection(3, "Ev", "0x99", "0x99"));
    EXPECT_TRUE(CheckVariableReferences(m_Settings, m_References));
    EXPECT_EQ(m_References.Event.DeviceIndex, 2u) << "the first variable of the name";
    EXPECT_EQ(m_References.Acknowledge.DeviceIndex, 1u);
    EXPECT_EQ(m_References.Event.InputOffset, 0x10) << "offsets are only compared";
}

TEST_F(CheckVariableReferencesTest, OneFailingVariableFailsTheCheck) {
    const std::string event = VariableSection(0, "Ev", "0x10", "0x20");
    for (const std::string& acknowledge :
         {VariableSection(1, "Ack", "0x14", "0x25"), VariableSection(1, "Ack", "0x10014", "0x24"),
          VariableSection(1, "Ack", "0x14", "0x24", "FLOAT"),
          VariableSection(1, "Ack", "0x14", "0x24", "USINT32", "I"),
          VariableSection(1, "ack", "0x14", "0x24"), VariableSection(1, "Ack", "20", "36")}) {
        m_References.Event.DeviceIndex = 77;
        m_References.Acknowledge.DeviceIndex = 88;
        Describe(2, event + acknowledge);
        EXPECT_FALSE(CheckVariableReferences(m_Settings, m_References)) << acknowledge;
        EXPECT_EQ(m_References.Event.DeviceIndex, 0u) << "the passing variable keeps its index";
        EXPECT_EQ(m_References.Acknowledge.DeviceIndex, 88u);
    }
    Describe(2, VariableSection(0, "Ev", "0x10", "0x21") + VariableSection(1, "Ack", "0x14", "0x24"));
    EXPECT_FALSE(CheckVariableReferences(m_Settings, m_References));
    EXPECT_EQ(m_References.Acknowledge.DeviceIndex, 1u);
    Describe(0, "");
    EXPECT_FALSE(CheckVariableReferences(m_Settings, m_References));
}

TEST_F(CheckVariableReferencesTest, NeedsAConfigurationAndADescription) {
    Describe(2, VariableSection(0, "Ev", "0x10", "0x20") + VariableSection(1, "Ack", "0x14", "0x24"));
    m_Settings.UsedUniqueID = 3;
    EXPECT_FALSE(CheckVariableReferences(m_Settings, m_References));
    m_Settings.UsedUniqueID = 2;
    EXPECT_TRUE(CheckVariableReferences(m_Settings, m_References));
    ReleaseDeviceDescription();
    EXPECT_FALSE(CheckVariableReferences(m_Settings, m_References));
    EXPECT_TRUE(m_Sink.Lines().empty());
}
