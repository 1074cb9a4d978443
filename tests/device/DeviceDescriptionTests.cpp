#include "device/DeviceDescription.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

namespace {

const char* const SampleSummary = R"([GENERAL]
AppName=QRixApp
SampleRate=1.5E+03
SlavesCount=2
VariablesCount=5
[FEATURES]
ReadBufferSingleWithStateResponse=3
[V0]
Name=Event
DataType=BOOL
DataDirection=I
Format=%10.2f
InpCombDataFieldOffs=0x001a
InpSplitDataFieldOffs=0x1A
OutSplitDataFieldOffs=26
AccessIndex=5
[v1]
name=Ack
DATATYPE=SINT16
DataDirection=O
InpSplitDataFieldOffs=0X1A
OutSplitDataFieldOffs=0xZ1
[V2]
Name=Ack
DataType=FLOAT
DataDirection=IO
[V3]
DataType=USINT32
DataDirection=i
[M0]
Type=AI8
UartIndex=2
[M1]
VariablesCount=3
[M1_V2]
Name=Third
DataType=DOUBLE
DataDirection=I
Format=%8.4f
OutSplitDataFieldOffs=0x20
)";

class DeviceDescriptionTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ParseSummaryFile(m_Description, m_Directory.Write("#summary.sta", SampleSummary)));
    }

    TempFolder m_Directory;
    DeviceDescription m_Description;
};

TEST_F(DeviceDescriptionTest, SectionsAndKeysAreReadWithTheirDefaults) {
    EXPECT_EQ(m_Description.SectionName + m_Description.AppName + m_Description.Vendor, "GENERALQRixApp-");
    EXPECT_FLOAT_EQ(m_Description.SampleRate, 1500.0F);
    EXPECT_EQ(m_Description.ReadBufferSingleWithStateResponse, 3);
    ASSERT_EQ(m_Description.VariableCount(), 5);
    ASSERT_EQ(m_Description.ModuleCount(), 2);

    const DeviceVariable& v0 = m_Description.VariableAt(0);
    EXPECT_EQ(v0.FormatWidth * 100 + v0.FormatPrecision, 1002);
    EXPECT_EQ(v0.InpCombDataFieldOffs, 26);
    EXPECT_EQ(v0.InpSplitDataFieldOffs, 26);
    EXPECT_EQ(v0.OutSplitDataFieldOffs, 0) << "decimal offsets give 0";
    EXPECT_EQ(v0.OutCombDataFieldOffs, 0) << "missing offsets give 0";
    EXPECT_EQ(v0.AccessIndex, 5);
    const DeviceVariable& v1 = m_Description.VariableAt(1);
    EXPECT_EQ(v1.Name + v1.DataType, "AckSINT16") << "section and key names in any case";
    EXPECT_EQ(v1.InpSplitDataFieldOffs, 0) << "0X is no prefix";
    EXPECT_EQ(v1.OutSplitDataFieldOffs, 1);
    const DeviceVariable& missing = m_Description.VariableAt(4);
    EXPECT_EQ(missing.SectionName + missing.Name + missing.DataType + missing.VarType, "V4---");
    EXPECT_EQ(missing.InpSplitDataFieldOffs | missing.OutSplitDataFieldOffs | missing.FormatPrecision, 0);

    EXPECT_EQ(m_Description.ModuleAt(0).Type, "AI8");
    EXPECT_EQ(m_Description.ModuleAt(0).UartIndex, 2);
    EXPECT_EQ(m_Description.ModuleAt(1).UartIndex, 0) << "a missing UartIndex reads as 0";
    const DeviceVariable& third = m_Description.ModuleVariableAt(m_Description.ModuleAt(1), 2);
    EXPECT_EQ(third.SectionName + "/" + third.Name, "M1_V2/Third");
    EXPECT_EQ(m_Description.GetDataTypeName(1, 2), "DOUBLE");
    EXPECT_EQ(m_Description.GetDataTypeSize(1, 2), 8);
    EXPECT_EQ(m_Description.GetFormatPrecision(1, 2), 4);
    EXPECT_EQ(m_Description.GetOutSplitOffset(1, 2), 0x20);
}

TEST_F(DeviceDescriptionTest, IndexErrorsCarryTheirTexts) {
    const DeviceModule& m1 = m_Description.ModuleAt(1);
    const std::pair<std::function<void()>, const char*> calls[] = {
        {[&] { m_Description.ModuleAt(2); }, "Index for module is out of bound!"},
        {[&] { m_Description.IsReadable(2, 0); }, "Index for module is out of bound!"},
        {[&] { m_Description.VariableAt(-1); }, "Index for variables is out of bound!"},
        {[&] { m_Description.GetDataTypeSize(-1, 5); }, "Index for variables is out of bound!"},
        {[&] { m_Description.ModuleVariableAt(m1, 3); }, "Index for variable is out of bound!"},
        {[&] { m_Description.GetOutSplitOffset(0, 0); }, "Index for variable is out of bound!"},
    };
    for (const auto& [call, text] : calls) {
        try {
            call();
            ADD_FAILURE() << "no exception, expected " << text;
        } catch (const std::runtime_error& error) {
            EXPECT_NE(dynamic_cast<const DescriptionIndexError*>(&error), nullptr);
            EXPECT_STREQ(error.what(), text);
        }
    }
}

TEST_F(DeviceDescriptionTest, DirectionsSizesAndNamesAreComparedExactly) {
    // V0 "I", V1 "O", V2 "IO", V3 "i", V4 "-".
    const std::array<bool, 5> readable = {true, false, true, false, false};
    const std::array<bool, 5> writable = {false, true, true, false, false};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(m_Description.IsReadable(-1, i), readable[i]) << i;
        EXPECT_EQ(m_Description.IsWritable(-1, i), writable[i]) << i;
    }
    EXPECT_EQ(m_Description.InputDataLength(), 1 + 4 + 8) << "BOOL, FLOAT and the module's DOUBLE";

    std::uint32_t index = 99;
    EXPECT_EQ(m_Description.FindVariableByName("Ack", index), &m_Description.VariableAt(1));
    EXPECT_EQ(index, 1U) << "the first of two equal names";
    EXPECT_EQ(m_Description.FindVariableByName("ack", index), nullptr);
    EXPECT_EQ(index, 0U);
    EXPECT_EQ(m_Description.FindVariableByName("Third", index), nullptr)
        << "module variables are not searched";

    std::array<unsigned char, 100> raw{};
    ASSERT_TRUE(m_Description.ValueToRaw(-1, 0, 1.0, raw.data()));
    EXPECT_EQ(raw[0], 100) << "scaled by the variable's precision 2";
    EXPECT_FALSE(m_Description.ValueToRaw(1, 0, 1.0, raw.data())) << "type \"-\"";
}

TEST_F(DeviceDescriptionTest, ParsingStartsFromAnEmptyDescription) {
    ParseSummaryFile(m_Description, m_Directory.File("missing.sta"));
    EXPECT_EQ(m_Description.SectionName + m_Description.AppName, "GENERAL-");
    EXPECT_EQ(m_Description.VariableCount() + m_Description.ModuleCount() + m_Description.InputDataLength(),
              0);
}

TEST(ParseHexOffsetTest, OnlyTextsWithALowerCasePrefixAreRead) {
    const std::pair<std::string, std::uint32_t> cases[] = {
        {"0x1A", 26},
        {"0x001a", 26},
        {"26", 0},
        {"0X1A", 0},
        {"0xZ1", 1},
        {"-1", 0},
        {"", 0},
        {"0x", 0},
        {"10x5", 0x1005},
        {"0xFFFFFFFF", 0xFFFFFFFF},
        {"0x12345678901234567890", 0x34567890}, // the lowest 32 bits
        {"0x" + std::string(240, 'F'), 0xFFFFFFFF}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ParseHexOffset(text), value) << text;
    }
}

TEST(ParseFormatTest, WidthAndPrecision) {
    const std::pair<std::string, std::pair<int, int>> cases[] = {
        {"%8.3f", {8, 3}}, {"%.0f", {0, 0}},      {"%d", {0, 0}},
        {"-", {0, 0}},     {"%%5.12ff", {5, 12}}, {"%5.99999999999f", {5, 2147483647}},
        {"", {-7, -7}}, // an empty text changes nothing
    };
    for (const auto& [text, expected] : cases) {
        DeviceVariable variable;
        variable.FormatWidth = variable.FormatPrecision = -7;
        ParseFormat(variable, text);
        EXPECT_EQ(std::pair(variable.FormatWidth, variable.FormatPrecision), expected) << text;
    }
}

} // namespace
