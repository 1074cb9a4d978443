#include "config/VariableReferences.h"
#include "tests/config/ConfigTestSupport.h"

#include <tuple>

namespace {

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
    ASSERT_TRUE(
        Lookup("2", VariableSection(0, "Other", "0", "0") + VariableSection(1, "Ev", "1A", "0x20"), "Ev"));
    EXPECT_EQ(m_Input, 26);
    EXPECT_EQ(m_Output, 32);
    EXPECT_EQ(m_Length, 4u);
    ASSERT_TRUE(Lookup("1", VariableSection(0, "Ev", "10", "12345", "set32", "io", "spt"), "Ev"));
    EXPECT_EQ(m_Output, 0x2345) << "the low 16 bits";
    EXPECT_TRUE(Lookup("1", VariableSection(0, "Ev", "0", "0", "SINT32"), "Ev"));
    EXPECT_TRUE(Lookup("1",
                       "[v0]\nvartype=SPT\ndatadirection=IO\ndatatype=USINT32\ninpsplitdatafieldoffs=4\n"
                       "outsplitdatafieldoffs=8\n",
                       "n.def."))
        << "a section without a name matches the name n.def.";
}

TEST_F(ReadVariableDefinitionTest, RejectsOtherKindsNamesAndOffsetsWithoutWriting) {
    const std::string noOutput = VariableSection(0, "Ev", "0", "0");
    const std::string longName(38, 'N');
    for (const std::string& section :
         {VariableSection(0, "ev", "0", "0"), VariableSection(0, "Ev", "0", "0", "FLOAT"),
          VariableSection(0, "Ev", "0", "0", "USINT16"), VariableSection(0, "Ev", "0", "0", "USINT32", "I"),
          VariableSection(0, "Ev", "0", "0", "USINT32", "IO", "SPX"), VariableSection(0, "Ev", "-1", "0"),
          VariableSection(0, "Ev", "0", "-1"), VariableSection(0, "Ev", "", "0"),
          VariableSection(0, "Ev", "zz", "0"), VariableSection(0, "Ev", "80000000", "0"),
          VariableSection(0, "Ev", "0", "-2"), noOutput.substr(0, noOutput.find("OutSplit"))}) {
        EXPECT_FALSE(Lookup("1", section, "Ev")) << section;
        EXPECT_EQ(m_Input + m_Output + m_Length, 21u) << section;
    }
    EXPECT_FALSE(Lookup("1", VariableSection(0, longName + "XY", "0", "0"), longName))
        << "names are compared whole";
    EXPECT_FALSE(ReadVariableDefinition(m_Folder.File("missing.sta"), "Ev", m_Input, m_Output, m_Length));
}

TEST_F(ReadVariableDefinitionTest, ScansExactlyTheCountedSections) {
    const std::string sections = VariableSection(0, "A", "1", "1") + VariableSection(5, "Ev", "2", "2") +
                                 "[V06]\nName=B\nVarType=SPT\nDataDirection=IO\nDataType=SET32\n"
                                 "InpSplitDataFieldOffs=1\nOutSplitDataFieldOffs=1\n";
    // V5 lies beyond a count of 5; V06 is no section V6.
    for (const auto& [count, name, found] :
         {std::tuple{"5", "Ev", false}, std::tuple{"6", "Ev", true}, std::tuple{"7", "B", false},
          std::tuple{"0", "A", false}, std::tuple{"-3", "A", false}})
        EXPECT_EQ(Lookup(count, sections, name), found) << count << " " << name;
}

TEST_F(ReadVariableDefinitionTest, AHugeCountCostsOnlyTheSectionsThatExist) {
    const std::string sections =
        VariableSection(3, "Ev", "3", "3") + VariableSection(2000000000, "Ev", "9", "9") +
        VariableSection(7, "Ev", "7", "7") + VariableSection(2147483647, "Ev", "5", "5") +
        VariableSection(99999999999, "Ev", "6", "6");
    ASSERT_TRUE(Lookup("2147483647", sections, "Ev"));
    EXPECT_EQ(m_Input, 9) << "the highest counted section that passes";
    ASSERT_TRUE(Lookup("0x7FFFFFFF", VariableSection(40000, "Ev", "4", "4"), "Ev"));
    EXPECT_EQ(m_Input, 4);
}

TEST_F(ReadVariableDefinitionTest, TheLastFullyPassingSectionWinsWhole) {
    ASSERT_TRUE(Lookup("3",
                       VariableSection(0, "Ev", "1", "2") + VariableSection(1, "Ev", "3", "4") +
                           VariableSection(2, "Ev", "5", "-1"),
                       "Ev"));
    EXPECT_EQ(m_Input, 3) << "a section that fails its output offset changes nothing";
    EXPECT_EQ(m_Output, 4);
    ASSERT_TRUE(Lookup("1", VariableSection(0, "Ev", std::string(40, '0') + "1A", "1"), "Ev"));
    EXPECT_EQ(m_Input, 26) << "long values are read whole";
}
