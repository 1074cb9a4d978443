// Hostile summary files: parsing ends quickly with bounded memory and still reads
// what is readable.
#include "device/DeviceDescription.h"
#include "device/ProfileFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using namespace std::string_literals;

class SummaryBadInputTest : public testing::Test {
protected:
    void Parse(std::string_view text) {
        ASSERT_TRUE(ParseSummaryFile(m_Description, m_Directory.Write("#summary.sta", text)));
    }
    std::int64_t TotalRecords() const {
        std::int64_t total = m_Description.VariableCount() + m_Description.ModuleCount();
        for (const DeviceModule& module : m_Description.Modules) {
            total += module.VariableCount();
        }
        return total;
    }

    TempFolder m_Directory;
    DeviceDescription m_Description;
};

TEST_F(SummaryBadInputTest, HugeCountsAreBoundedByWhatTheFileCanHold) {
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
}

TEST_F(SummaryBadInputTest, NegativeCountsGiveNoRecords) {
    Parse("[GENERAL]\nVariablesCount=-5\nSlavesCount=1\n[M0]\nVariablesCount=-2147483648\n");
    EXPECT_EQ(TotalRecords(), 1) << "just the module";
    EXPECT_EQ(m_Description.CountLimitMessage, "");
}

TEST_F(SummaryBadInputTest, OddContentIsReadAsFarAsItGoes) {
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
