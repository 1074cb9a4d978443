#include "device/DeviceDescription.h"
#include "device/ProfileFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <string>

namespace {

using namespace std::string_literals;

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

class SummaryTest : public testing::Test {
protected:
    void Parse(std::string_view text) {
        ASSERT_TRUE(ParseSummaryFile(m_Description, m_Directory.Write("#summary.sta", text)));
    }
    std::int64_t TotalRecords() const {
        std::int64_t total = m_Description.VariableCount() + m_Description.ModuleCount();
        for (const DeviceModule& module : m_Description.Modules)
            total += module.VariableCount();
        return total;
    }

    TempFolder m_Directory;
    DeviceDescription m_Description;
};

class DeviceDescriptionTest : public SummaryTest {
protected:
    void SetUp() override { Parse(SampleSummary); }
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

    // Parsing starts from an empty description, also when the file is missing.
    ParseSummaryFile(m_Description, m_Directory.File("missing.sta"));
    EXPECT_EQ(m_Description.SectionName + m_Description.AppName, "GENERAL-");
    EXPECT_EQ(TotalRecords() + m_Description.InputDataLength(), 0);
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

// Hostile summary files: parsing ends quickly with bounded memory and still reads
// what is readable.
TEST_F(SummaryTest, HugeOrNegativeCountsAreBoundedByWhatTheFileCanHold) {
    Parse("[GENERAL]\nVariablesCount=2147483647\nSlavesCount=2147483647\n[V0]\nName=First\n");
    EXPECT_EQ(TotalRecords(), 1024) << "the floor for small files";
    EXPECT_EQ(m_Description.VariableAt(0).Name, "First");
    EXPECT_EQ(m_Description.CountLimitMessage,
              "\"VariablesCount\" of section GENERAL is 2147483647, more than "
              "the summary file can describe; 1024 read");

    Parse("[GENERAL]\nSlavesCount=2\n[M0]\nVariablesCount=99999999999\n[M1]\nVariablesCount=1\n[M0_V0]\nName="
          "Kept\n");
    ASSERT_EQ(m_Description.ModuleCount(), 2);
    EXPECT_EQ(m_Description.ModuleAt(0).Variables.at(0).Name, "Kept");
    EXPECT_EQ(m_Description.ModuleAt(1).VariableCount(), 0) << "the budget is spent in file order";
    EXPECT_EQ(TotalRecords(), 1024);
    EXPECT_NE(m_Description.CountLimitMessage.find("section M0"), std::string::npos);

    Parse("[GENERAL]\nVariablesCount=2147483647\n" + std::string(5000, '\n'));
    EXPECT_EQ(TotalRecords(), 5002) << "a budget of the file's line count";

    // Negative counts give no records.
    Parse("[GENERAL]\nVariablesCount=-5\nSlavesCount=1\n[M0]\nVariablesCount=-2147483648\n");
    EXPECT_EQ(TotalRecords(), 1) << "just the module";
    EXPECT_EQ(m_Description.CountLimitMessage, "");
}

TEST_F(SummaryTest, OddContentIsReadAsFarAsItGoes) {
    std::mt19937 random(7);
    std::string garbage;
    for (int i = 0; i < 20000; ++i) {
        garbage += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
    }
    const std::string longLine(1024 * 1024, 'x');
    Parse(garbage + "\n[GENERAL]\nVariablesCount=1\nAppName=" + longLine +
          "\nVendor=\xC4\xD6\n[V0]\nName=N\0hidden\n"s + "Unit=" + std::string(200, 'u') +
          "\nInpSplitDataFieldOffs=0x12345678901234567890\n" + garbage);
    EXPECT_EQ(m_Description.AppName, std::string(ProfileFile::MaxPieceLength - 8, 'x'))
        << "a 1 MB line in pieces";
    EXPECT_EQ(m_Description.Vendor, "\xC4\xD6");
    ASSERT_EQ(m_Description.VariableCount(), 1);
    EXPECT_EQ(m_Description.VariableAt(0).Name, "N") << "a NUL ends the text";
    EXPECT_EQ(m_Description.VariableAt(0).Unit, std::string(200, 'u')) << "beyond 127 characters, whole";
    EXPECT_EQ(m_Description.VariableAt(0).InpSplitDataFieldOffs, 0x34567890);

    Parse("");
    EXPECT_EQ(m_Description.AppName, "-");
    EXPECT_EQ(TotalRecords(), 0);
}

} // namespace
