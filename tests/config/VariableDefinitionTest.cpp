#include "config/VariableReferences.h"
#include "platform/PrivateProfile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

std::string Section(long long index, const std::string& name, const std::string& input,
                    const std::string& output, const std::string& dataType = "USINT32",
                    const std::string& direction = "IO", const std::string& varType = "SPT") {
    return "[V" + std::to_string(index) + "]\nName=" + name + "\nVarType=" + varType +
           "\nDataDirection=" + direction + "\nDataType=" + dataType + "\nInpSplitDataFieldOffs=" + input +
           "\nOutSplitDataFieldOffs=" + output + "\n";
}

class ReadVariableDefinitionTest : public ::testing::Test {
protected:
    // Looks `name` up in a summary of this count and these sections; the results start at 7.
    bool Lookup(const std::string& count, const std::string& sections, const std::string& name) {
        ClearPrivateProfileCache();
        const std::string path =
            m_Folder.Write("#summary.sta", "[GENERAL]\nVARIABLESCOUNT=" + count + "\n" + sections);
        m_Input = m_Output = 7;
        m_Length = 7;
        return ReadVariableDefinition(path, name, m_Input, m_Output, m_Length);
    }

    TempFolder m_Folder;
    std::uint16_t m_Input = 0;
    std::uint16_t m_Output = 0;
    std::uint32_t m_Length = 0;
};

} // namespace

TEST_F(ReadVariableDefinitionTest, AcceptsThirtyTwoBitSptVariablesOfBothDirections) {
    ASSERT_TRUE(Lookup("2", Section(0, "Other", "0", "0") + Section(1, "Ev", "1A", "0x20"), "Ev"));
    EXPECT_EQ(m_Input, 26);
    EXPECT_EQ(m_Output, 32);
    EXPECT_EQ(m_Length, 4u);
    ASSERT_TRUE(Lookup("1", Section(0, "Ev", "10", "12345", "set32", "io", "spt"), "Ev"));
    EXPECT_EQ(m_Output, 0x2345) << "the low 16 bits";
    EXPECT_TRUE(Lookup("1", Section(0, "Ev", "0", "0", "SINT32"), "Ev"));
    EXPECT_TRUE(Lookup("1",
                       "[v0]\nvartype=SPT\ndatadirection=IO\ndatatype=USINT32\ninpsplitdatafieldoffs=4\n"
                       "outsplitdatafieldoffs=8\n",
                       "n.def."))
        << "a section without a name matches the name n.def.";
}

TEST_F(ReadVariableDefinitionTest, RejectsOtherKindsNamesAndOffsetsWithoutWriting) {
    const std::string noOutput = Section(0, "Ev", "0", "0");
    const std::string longName(38, 'N');
    for (const std::string& section :
         {Section(0, "ev", "0", "0"), Section(0, "Ev", "0", "0", "FLOAT"),
          Section(0, "Ev", "0", "0", "USINT16"), Section(0, "Ev", "0", "0", "USINT32", "I"),
          Section(0, "Ev", "0", "0", "USINT32", "IO", "SPX"), Section(0, "Ev", "-1", "0"),
          Section(0, "Ev", "0", "-1"), Section(0, "Ev", "", "0"), Section(0, "Ev", "zz", "0"),
          Section(0, "Ev", "80000000", "0"), Section(0, "Ev", "0", "-2"),
          noOutput.substr(0, noOutput.find("OutSplit"))}) {
        EXPECT_FALSE(Lookup("1", section, "Ev")) << section;
        EXPECT_EQ(m_Input + m_Output + m_Length, 21u) << section;
    }
    EXPECT_FALSE(Lookup("1", Section(0, longName + "XY", "0", "0"), longName)) << "names are compared whole";
    EXPECT_FALSE(ReadVariableDefinition(m_Folder.File("missing.sta"), "Ev", m_Input, m_Output, m_Length));
}

TEST_F(ReadVariableDefinitionTest, ScansExactlyTheCountedSections) {
    const std::string sections = Section(0, "A", "1", "1") + Section(5, "Ev", "2", "2") +
                                 "[V06]\nName=B\nVarType=SPT\nDataDirection=IO\nDataType=SET32\n"
                                 "InpSplitDataFieldOffs=1\nOutSplitDataFieldOffs=1\n";
    EXPECT_FALSE(Lookup("5", sections, "Ev")) << "V5 lies beyond a count of 5";
    EXPECT_TRUE(Lookup("6", sections, "Ev"));
    EXPECT_FALSE(Lookup("7", sections, "B")) << "V06 is no section V6";
    EXPECT_FALSE(Lookup("0", sections, "A"));
    EXPECT_FALSE(Lookup("-3", sections, "A"));
}

TEST_F(ReadVariableDefinitionTest, AHugeCountCostsOnlyTheSectionsThatExist) {
    const std::string sections = Section(3, "Ev", "3", "3") + Section(2000000000, "Ev", "9", "9") +
                                 Section(7, "Ev", "7", "7") + Section(2147483647, "Ev", "5", "5") +
                                 Section(99999999999, "Ev", "6", "6");
    ASSERT_TRUE(Lookup("2147483647", sections, "Ev"));
    EXPECT_EQ(m_Input, 9) << "the highest counted section that passes";
    ASSERT_TRUE(Lookup("0x7FFFFFFF", Section(40000, "Ev", "4", "4"), "Ev"));
    EXPECT_EQ(m_Input, 4);
}

TEST_F(ReadVariableDefinitionTest, TheLastFullyPassingSectionWinsWhole) {
    ASSERT_TRUE(Lookup(
        "3", Section(0, "Ev", "1", "2") + Section(1, "Ev", "3", "4") + Section(2, "Ev", "5", "-1"), "Ev"));
    EXPECT_EQ(m_Input, 3) << "a section that fails its output offset changes nothing";
    EXPECT_EQ(m_Output, 4);
    ASSERT_TRUE(Lookup("1", Section(0, "Ev", std::string(40, '0') + "1A", "1"), "Ev"));
    EXPECT_EQ(m_Input, 26) << "long values are read whole";
}
