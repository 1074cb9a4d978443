#include "device/DeviceDescription.h"
#include "tests/device/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

const char* const SampleSummary = R"([GENERAL]
AppName=QRixApp
AppVersion=2.1
Location=Hall 3
Vendor=Kavel
SNR=SN-0042
Type=q.rix
SampleRate=1.5E+03
SlavesCount=2
VariablesCount=4
[FEATURES]
DeviceDiagEx=1
ReadBufferSingleWithStateResponse=3
[V0]
Name=Event
VarType=SPT
DataType=BOOL
DataDirection=I
Format=%10.2f
Unit=-
InpCombDataFieldOffs=0x10
InpSplitDataFieldOffs=0x1A
OutCombDataFieldOffs=0x001a
OutSplitDataFieldOffs=26
AccessIndex=5
[v1]
name=Ack
DATATYPE=SINT16
DataDirection=O
Format=%.0f
InpSplitDataFieldOffs=0X1A
OutSplitDataFieldOffs=0xZ1
[V2]
Name=Ack
DataType=FLOAT
DataDirection=IO
Format=%8.3f
[V3]
Name=Lower
DataType=USINT32
DataDirection=i
[M0]
Location=Slot 1
Type=AI8
UartIndex=2
Address=17
VariablesCount=0
[M1]
VariablesCount=3
[M1_V0]
Name=M1a
DataDirection=O
[M1_V1]
Name=M1b
[M1_V2]
Name=Third
DataType=DOUBLE
DataDirection=I
Format=%8.4f
OutSplitDataFieldOffs=0x20
)";

class DeviceDescriptionTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ParseSummaryFile(m_Description, m_Directory.Write("#summary.sta", SampleSummary))); }

    TemporaryDirectory m_Directory;
    DeviceDescription m_Description;
};

TEST_F(DeviceDescriptionTest, GeneralDataAndFeatures) {
    EXPECT_EQ(m_Description.SectionName, "GENERAL");
    EXPECT_EQ(m_Description.AppName, "QRixApp");
    EXPECT_EQ(m_Description.AppVersion, "2.1");
    EXPECT_EQ(m_Description.Location, "Hall 3");
    EXPECT_EQ(m_Description.Vendor, "Kavel");
    EXPECT_EQ(m_Description.SNR, "SN-0042");
    EXPECT_EQ(m_Description.Type, "q.rix");
    EXPECT_FLOAT_EQ(m_Description.SampleRate, 1500.0F);
    EXPECT_EQ(m_Description.FeaturesSectionName, "FEATURES");
    EXPECT_EQ(m_Description.DeviceDiagEx, 1);
    EXPECT_EQ(m_Description.ReadBufferSingleWithStateResponse, 3);
    EXPECT_EQ(m_Description.VariableCount(), 4);
    EXPECT_EQ(m_Description.ModuleCount(), 2);
    EXPECT_TRUE(m_Description.CountLimitMessage.empty());
}

TEST_F(DeviceDescriptionTest, VariableFieldsOffsetsAndFormats) {
    const DeviceVariable& v0 = m_Description.VariableAt(0);
    EXPECT_EQ(v0.SectionName, "V0");
    EXPECT_EQ(v0.Name, "Event");
    EXPECT_EQ(v0.VarType, "SPT");
    EXPECT_EQ(v0.DataType, "BOOL");
    EXPECT_EQ(v0.DataDirection, "I");
    EXPECT_EQ(v0.FormatWidth, 10);
    EXPECT_EQ(v0.FormatPrecision, 2);
    EXPECT_EQ(v0.InpCombDataFieldOffs, 16);
    EXPECT_EQ(v0.InpSplitDataFieldOffs, 26);
    EXPECT_EQ(v0.OutCombDataFieldOffs, 26);
    EXPECT_EQ(v0.OutSplitDataFieldOffs, 0) << "decimal offsets give 0";
    EXPECT_EQ(v0.AccessIndex, 5);

    const DeviceVariable& v1 = m_Description.VariableAt(1);
    EXPECT_EQ(v1.Name, "Ack") << "section and key names match in any case";
    EXPECT_EQ(v1.FormatWidth, 0);
    EXPECT_EQ(v1.FormatPrecision, 0);
    EXPECT_EQ(v1.InpSplitDataFieldOffs, 0) << "a capital X is no hex prefix";
    EXPECT_EQ(v1.OutSplitDataFieldOffs, 1) << "Z counts as a place worth 0";
    EXPECT_EQ(v1.VarType, "-");
    EXPECT_EQ(v1.Unit, "-");
    EXPECT_EQ(v1.InpCombDataFieldOffs, 0) << "a missing offset gives 0";
}

TEST_F(DeviceDescriptionTest, ModulesAndTheirVariables) {
    const DeviceModule& m0 = m_Description.ModuleAt(0);
    EXPECT_EQ(m0.SectionName, "M0");
    EXPECT_EQ(m0.Location, "Slot 1");
    EXPECT_EQ(m0.Type, "AI8");
    EXPECT_EQ(m0.UartIndex, 2);
    EXPECT_EQ(m0.Address, 17);
    EXPECT_EQ(m0.VariableCount(), 0);

    const DeviceModule& m1 = m_Description.ModuleAt(1);
    EXPECT_EQ(m1.Location, "-");
    EXPECT_EQ(m1.UartIndex, 0) << "a missing UartIndex reads as 0";
    ASSERT_EQ(m1.VariableCount(), 3);
    const DeviceVariable& third = m_Description.ModuleVariableAt(m1, 2);
    EXPECT_EQ(third.SectionName, "M1_V2");
    EXPECT_EQ(third.Name, "Third");
    EXPECT_EQ(m_Description.GetDataTypeName(1, 2), "DOUBLE");
    EXPECT_EQ(m_Description.GetDataTypeSize(1, 2), 8);
    EXPECT_EQ(m_Description.GetFormatPrecision(1, 2), 4);
    EXPECT_EQ(m_Description.GetOutSplitOffset(1, 2), 0x20);
}

TEST_F(DeviceDescriptionTest, IndexErrorsCarryTheirTexts) {
    const auto expectError = [](const auto& call, const char* text) {
        try {
            call();
            ADD_FAILURE() << "no exception, expected " << text;
        } catch (const DescriptionIndexError& error) {
            EXPECT_STREQ(error.what(), text);
        }
    };
    const DeviceModule& m1 = m_Description.ModuleAt(1);
    expectError([&] { m_Description.ModuleAt(2); }, "Index for module is out of bound!");
    expectError([&] { m_Description.ModuleAt(-1); }, "Index for module is out of bound!");
    expectError([&] { m_Description.VariableAt(4); }, "Index for variables is out of bound!");
    expectError([&] { m_Description.VariableAt(-1); }, "Index for variables is out of bound!");
    expectError([&] { m_Description.ModuleVariableAt(m1, 3); }, "Index for variable is out of bound!");
    expectError([&] { m_Description.GetDataTypeSize(-1, 4); }, "Index for variables is out of bound!");
    expectError([&] { m_Description.IsReadable(5, 0); }, "Index for module is out of bound!");
    expectError([&] { m_Description.GetOutSplitOffset(0, 0); }, "Index for variable is out of bound!");
    EXPECT_THROW(m_Description.VariableAt(99), std::runtime_error) << "catchable as a runtime error";
}

TEST_F(DeviceDescriptionTest, DirectionsAreComparedExactly) {
    EXPECT_TRUE(m_Description.IsReadable(-1, 0));   // I
    EXPECT_FALSE(m_Description.IsWritable(-1, 0));
    EXPECT_FALSE(m_Description.IsReadable(-1, 1));  // O
    EXPECT_TRUE(m_Description.IsWritable(-1, 1));
    EXPECT_TRUE(m_Description.IsReadable(-1, 2));   // IO
    EXPECT_TRUE(m_Description.IsWritable(-1, 2));
    EXPECT_FALSE(m_Description.IsReadable(-1, 3));  // i
    EXPECT_FALSE(m_Description.IsWritable(-1, 3));
    EXPECT_FALSE(m_Description.IsReadable(1, 1));   // -
    EXPECT_FALSE(m_Description.IsWritable(1, 1));
}

TEST_F(DeviceDescriptionTest, InputDataLengthSumsReadableVariables) {
    // BOOL (I) 1 + SINT16 (O) skipped + FLOAT (IO) 4 + USINT32 (i) skipped + module DOUBLE (I) 8.
    EXPECT_EQ(m_Description.InputDataLength(), 13);
}

TEST_F(DeviceDescriptionTest, FindVariableByNameSearchesDeviceVariablesOnly) {
    std::uint32_t index = 99;
    const DeviceVariable* found = m_Description.FindVariableByName("Ack", index);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(index, 1U) << "the first of two equal names";
    EXPECT_EQ(found, &m_Description.VariableAt(1));

    index = 99;
    EXPECT_EQ(m_Description.FindVariableByName("ack", index), nullptr) << "case-sensitive";
    EXPECT_EQ(index, 0U);
    EXPECT_EQ(m_Description.FindVariableByName("Third", index), nullptr) << "module variables are not searched";
}

TEST_F(DeviceDescriptionTest, ValueToRawUsesTheVariablesTypeAndPrecision) {
    std::array<unsigned char, 100> raw{};
    ASSERT_TRUE(m_Description.ValueToRaw(-1, 0, 1.0, raw.data())); // BOOL with precision 2
    EXPECT_EQ(raw[0], 100);
    raw = {};
    ASSERT_TRUE(m_Description.ValueToRaw(-1, 1, -2.0, raw.data())); // SINT16, precision 0
    EXPECT_EQ(raw[0], 0xFE);
    EXPECT_EQ(raw[1], 0xFF);
    EXPECT_FALSE(m_Description.ValueToRaw(1, 0, 1.0, raw.data())) << "type \"-\" is unknown";
}

TEST_F(DeviceDescriptionTest, ParsingAgainStartsFromAnEmptyDescription) {
    ASSERT_TRUE(ParseSummaryFile(m_Description, m_Directory.Write("small.sta", "[GENERAL]\nVariablesCount=1\n")));
    EXPECT_EQ(m_Description.VariableCount(), 1);
    EXPECT_EQ(m_Description.ModuleCount(), 0);
    EXPECT_EQ(m_Description.AppName, "-");
}

TEST(SummaryFileTest, CountsBeyondThePresentSectionsGiveDefaultVariables) {
    TemporaryDirectory directory;
    DeviceDescription description;
    ParseSummaryFile(description, directory.Write("s.sta", "[GENERAL]\nVariablesCount=2\n[V0]\nName=A\n"));
    ASSERT_EQ(description.VariableCount(), 2);
    const DeviceVariable& second = description.VariableAt(1);
    EXPECT_EQ(second.SectionName, "V1");
    EXPECT_EQ(second.Name, "-");
    EXPECT_EQ(second.DataType, "-");
    EXPECT_EQ(second.DataDirection, "-");
    EXPECT_EQ(second.InpSplitDataFieldOffs, 0);
    EXPECT_EQ(second.OutSplitDataFieldOffs, 0);
    EXPECT_EQ(second.InpCombDataFieldOffs, 0);
    EXPECT_EQ(second.OutCombDataFieldOffs, 0);
    EXPECT_EQ(second.FormatWidth, 0);
    EXPECT_EQ(second.AccessIndex, 0);
}

TEST(SummaryFileTest, AnUnreadableFileGivesAnEmptyDescription) {
    TemporaryDirectory directory;
    DeviceDescription description;
    EXPECT_TRUE(ParseSummaryFile(description, (directory.Path() / "missing.sta").string()));
    EXPECT_EQ(description.SectionName, "GENERAL");
    EXPECT_EQ(description.AppName, "-");
    EXPECT_EQ(description.SampleRate, 0.0F);
    EXPECT_EQ(description.VariableCount(), 0);
    EXPECT_EQ(description.ModuleCount(), 0);
    EXPECT_EQ(description.InputDataLength(), 0);
}

TEST(ParseHexOffsetTest, OnlyTextsWithALowerCasePrefixAreRead) {
    EXPECT_EQ(ParseHexOffset("0x1A"), 26U);
    EXPECT_EQ(ParseHexOffset("0x001a"), 26U);
    EXPECT_EQ(ParseHexOffset("26"), 0U);
    EXPECT_EQ(ParseHexOffset("0X1A"), 0U);
    EXPECT_EQ(ParseHexOffset("0xZ1"), 1U);
    EXPECT_EQ(ParseHexOffset("-1"), 0U);
    EXPECT_EQ(ParseHexOffset("-"), 0U);
    EXPECT_EQ(ParseHexOffset(""), 0U);
    EXPECT_EQ(ParseHexOffset("0x"), 0U);
    EXPECT_EQ(ParseHexOffset("0xxx00"), 0U);
    EXPECT_EQ(ParseHexOffset("10x5"), 0x1005U) << "the prefix may stand anywhere; x is a place worth 0";
    EXPECT_EQ(ParseHexOffset("0xFFFFFFFF"), 0xFFFFFFFFU);
    EXPECT_EQ(ParseHexOffset("0x12345678901234567890"), 0x34567890U) << "the lowest 32 bits of 20 digits";
    EXPECT_EQ(ParseHexOffset("0x" + std::string(240, 'F')), 0xFFFFFFFFU);
}

TEST(ParseFormatTest, WidthAndPrecision) {
    const auto parse = [](const std::string& text) {
        DeviceVariable variable;
        variable.FormatWidth = -7;
        variable.FormatPrecision = -7;
        ParseFormat(variable, text);
        return std::pair{variable.FormatWidth, variable.FormatPrecision};
    };
    EXPECT_EQ(parse("%8.3f"), std::pair(8, 3));
    EXPECT_EQ(parse("%10.2f"), std::pair(10, 2));
    EXPECT_EQ(parse("%.0f"), std::pair(0, 0));
    EXPECT_EQ(parse("%d"), std::pair(0, 0));
    EXPECT_EQ(parse("-"), std::pair(0, 0));
    EXPECT_EQ(parse("%%5.12ff"), std::pair(5, 12));
    EXPECT_EQ(parse("%5.99999999999f"), std::pair(5, 2147483647)) << "saturates";
    EXPECT_EQ(parse(""), std::pair(-7, -7)) << "an empty text changes nothing";
}

TEST(CurrentDeviceDescriptionTest, RenewReplacesAndReleaseFrees) {
    ReleaseDeviceDescription();
    EXPECT_EQ(CurrentDeviceDescription(), nullptr);
    DeviceDescription& first = RenewCurrentDeviceDescription();
    first.AppName = "first";
    EXPECT_EQ(CurrentDeviceDescription(), &first);
    DeviceDescription& second = RenewCurrentDeviceDescription();
    EXPECT_EQ(CurrentDeviceDescription(), &second);
    EXPECT_TRUE(second.AppName.empty()) << "a renewed description is empty";
    EXPECT_EQ(second.VariableCount(), 0);
    ReleaseDeviceDescription();
    EXPECT_EQ(CurrentDeviceDescription(), nullptr);
    ReleaseDeviceDescription();
}

} // namespace
