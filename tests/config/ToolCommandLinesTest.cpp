#include "config/ToolCommandLines.h"
#include "config/CommandLineArguments.h"
#include "config/EventConfiguration.h"
#include "platform/Paths.h"
#include "tests/config/ConfigTestSupport.h"

#include <filesystem>
#include <fstream>

namespace {

using Strings = std::vector<std::string>;

constexpr COLORREF White = Rgb(255, 255, 255);
constexpr COLORREF Black = Rgb(0, 0, 0);
constexpr COLORREF Red = Rgb(255, 0, 0);
const std::string TestTool = std::string("KavelTestApplication") + ExecutableSuffix;

// A folder and what follows it, as the tool's command line joins them.
std::string Joined(const std::string& folder, const std::string& rest) {
    return folder + PathSeparator + rest;
}

class PrepareToolSlotsTest : public ConfigTest {
protected:
    void SetUp() override {
        ConfigTest::SetUp();
        m_Configuration = UseOnlyConfiguration(4);
        m_Paths.ControllerAddress = "10.0.0.1";
        m_Paths.ProjectDirectory = "/proj";
    }
    void TearDown() override {
        // The slots always set text and format together.
        for (const unsigned mask : m_Table.Masks)
            EXPECT_EQ(mask, GVIF_TEXT | GVIF_FORMAT);
        Configurations().ClearConfigurations();
        ConfigTest::TearDown();
    }

    // Prepares the slots with this tool at `index` and returns that slot.
    const ToolSlot& Prepare(const ToolEntry& entry, int index = 0) {
        m_Configuration->SetToolEntry(index, entry);
        PrepareToolSlots(m_Slots, m_Settings, m_Paths, m_Table);
        return m_Slots[static_cast<std::size_t>(index)];
    }
    void ExpectRow(int row, const std::string& calls, const std::string& line, COLORREF back, COLORREF fore) {
        EXPECT_EQ(m_Table.At(row, 1).Text, calls);
        EXPECT_EQ(m_Table.At(row, 1).Format, DT_CENTER | ToolCellLine);
        EXPECT_EQ(m_Table.At(row, 2).Text, line);
        EXPECT_EQ(m_Table.At(row, 2).Format, DT_LEFT | ToolCellLine);
        for (const int column : {1, 2}) {
            EXPECT_EQ(m_Table.At(row, column).BackColour, back) << row;
            EXPECT_EQ(m_Table.At(row, column).TextColour, fore) << row;
        }
    }

    EventConfiguration* m_Configuration = nullptr;
    ProjectPaths m_Paths;
    std::array<ToolSlot, ToolSlotCount> m_Slots;
    RecordingToolTable m_Table;
};

} // namespace

TEST(SplitArguments, BlanksSeparateAndQuotesGroup) {
    EXPECT_EQ(SplitArguments(" \t "), Strings{});
    EXPECT_EQ(SplitArguments("  -a\tb   c "), (Strings{"-a", "b", "c"}));
    EXPECT_EQ(SplitArguments("pre\"mid dle\"post \"/my dir/f\""), (Strings{"premid dlepost", "/my dir/f"}));
    EXPECT_EQ(SplitArguments("a \"\" b \"open  to end"), (Strings{"a", "", "b", "open  to end"}));
    EXPECT_EQ(SplitArguments("$(rm x) `y` ;|>*"), (Strings{"$(rm", "x)", "`y`", ";|>*"}))
        << "nothing is interpreted";
}

TEST_F(PrepareToolSlotsTest, WithoutWindowNothingHappensWithoutConfigurationAllIsBlank) {
    m_Table.WindowExists = false;
    m_Slots[3].CommandLine = "old";
    m_Slots[3].Program = "old";
    m_Slots[3].CallCount = 9;
    m_Slots[3].Running = 1;
    Prepare({"", "run", ""});
    EXPECT_EQ(m_Slots[3].CommandLine, "old");
    EXPECT_EQ(m_Table.CallCount + m_Table.InvalidateCount, 0);

    m_Table.WindowExists = true;
    m_Settings.UsedUniqueID = -1;
    Prepare({"/bin", "sh", ""});
    for (int i = 0; i < ToolSlotCount; ++i) {
        const ToolSlot& slot = m_Slots[static_cast<std::size_t>(i)];
        EXPECT_EQ(slot.Defined + slot.Runnable, 0);
        EXPECT_EQ(slot.CommandLine + slot.Program, "");
        EXPECT_EQ(slot.CallCount.load(), 0u);
        ExpectRow(i + 1, "", "", White, Black);
    }
    EXPECT_EQ(m_Slots[3].Running.load(), 1) << "run-time fields are left alone";
    EXPECT_EQ(m_Table.InvalidateCount, 1);
    EXPECT_EQ(m_Table.Cells.size(), 32u) << "rows 1..16, columns 1 and 2 only";
}

TEST_F(PrepareToolSlotsTest, AProgramIsCheckedAndStartedExactlyAsWritten) {
    const std::string folder = m_Folder.File("with space");
    std::filesystem::create_directories(folder + "/dir");
    m_Folder.Write("with space/run", "#!/bin/sh\n");
    const ToolSlot& slot = Prepare({folder, "run", "\"a b\" @PROJECT_PATH"}, 5);
    EXPECT_EQ(slot.Defined, 1);
    EXPECT_EQ(slot.Runnable, 1) << "the parameters are no part of the check";
    EXPECT_EQ(slot.CommandLine, folder + PathSeparator + "run \"a b\" /proj");
    EXPECT_EQ(slot.Program, folder + PathSeparator + "run");
    EXPECT_EQ(slot.Arguments, (Strings{"a b", "/proj"}));
    ExpectRow(6, "0", slot.CommandLine, White, Black);
    ExpectRow(1, "", "", White, Black);
    EXPECT_EQ(m_Table.InvalidateCount, 2);

    m_Slots[15].CallCount = 4;
    for (const std::string missing : {"missing", "dir"}) {
        const ToolSlot& absent = Prepare({folder, missing, "-v"}, 15);
        EXPECT_EQ(absent.Defined, 1);
        EXPECT_EQ(absent.Runnable, 0);
        EXPECT_EQ(absent.CallCount.load(), 0u);
        ExpectRow(16, "0", folder + PathSeparator + missing + " -v", Red, White);
    }
}

TEST_F(PrepareToolSlotsTest, AnEmptyPathMeansTheProgramsOwnFolder) {
    const std::string name = UniqueName("config-tests-tool");
    const std::string beside = DirectoryPart(ProgramPath()) + PathSeparator + name;
    std::ofstream(beside) << "x";
    const ToolSlot& slot = Prepare({"", name, ""});
    std::filesystem::remove(beside);
    EXPECT_EQ(slot.CommandLine, beside);
    EXPECT_EQ(slot.Runnable, 1);
}

TEST_F(PrepareToolSlotsTest, NoPathCheckInPathOrToolSwitchesTheCheckOff) {
    const ToolSlot& inPath = Prepare({"@NO_PATHCHECK", "notepad", ""});
    EXPECT_EQ(inPath.CommandLine, "notepad") << "no separator is inserted";
    EXPECT_EQ(inPath.Program, "notepad") << "found along PATH when started";
    EXPECT_EQ(inPath.Runnable, 1);
    ExpectRow(1, "0", "notepad", White, Black);

    const ToolSlot& inTool = Prepare({"/nowhere", "@NO_PATHCHECKrun@NO_PATHCHECK", ""});
    EXPECT_EQ(inTool.CommandLine, Joined("/nowhere", "run")) << "the separator is still inserted";
    EXPECT_EQ(inTool.Runnable, 1);

    const ToolSlot& inParameters = Prepare({"/nowhere", "run", "@NO_PATHCHECK x"});
    EXPECT_EQ(inParameters.CommandLine, Joined("/nowhere", "run @NO_PATHCHECK x"));
    EXPECT_EQ(inParameters.Runnable, 0);
    ExpectRow(1, "0", inParameters.CommandLine, Red, White);
}

TEST_F(PrepareToolSlotsTest, EachPassReplacesItsOwnPlaceholders) {
    const ToolSlot& test = Prepare({"@KAVEL_PATH", "@TEST_TOOL_CFG", "@TEST_TOOL_CFG @IP_ADDR @temp_path"});
    EXPECT_EQ(test.Program, Joined(m_Folder.Path(), TestTool));
    EXPECT_EQ(test.Arguments, (Strings{"@TEST_TOOL_CFG", "10.0.0.1", "@temp_path"}));

    EXPECT_EQ(Prepare({"/opt/@IP_ADDR", "t", ""}).CommandLine, Joined("/opt/@IP_ADDR", "t"));
    const ToolSlot& address = Prepare({"/opt/@IP_ADDR", "t", "@IP_ADDR @PROJECT_PATH"});
    EXPECT_EQ(address.Program, Joined("/opt/@IP_ADDR", "t")) << "started as it was checked";
    EXPECT_EQ(address.CommandLine, Joined("/opt/@IP_ADDR", "t 10.0.0.1 /proj")) << "shown as it is started";

    m_Paths.TempPath.clear();
    EXPECT_EQ(Prepare({"@NO_PATHCHECK", "t", "[@TEMP_PATH] @IP_ADDRESS"}).CommandLine, "t [] 10.0.0.1ESS");
}

TEST_F(PrepareToolSlotsTest, PlaceholdersAreReplacedInTheirOrderWithoutRescanning) {
    m_Paths.SummaryDirectory = "/s/@BIN_PATH";
    m_Paths.BinPath = "/b/@SUMMARY_PATH/bin";
    m_Paths.BinDirectory = "/b";
    m_Paths.TempPath = "/t/@KAVEL_PATH@TEMP_PATH";
    m_Paths.ProjectDirectory = "/p/@TEST_TOOL_CFG@IP_ADDR";
    const std::string all = "@KAVEL_PATH|@SUMMARY_PATH|@BIN_PATH|@REL2BIN_PATH|@TEMP_PATH|@PROJECT_PATH";
    const std::string replaced =
        m_Folder.Path() + "|/s//b/@SUMMARY_PATH/bin|/b/@SUMMARY_PATH/bin|/b|/t/@KAVEL_PATH@TEMP_PATH";
    EXPECT_EQ(Prepare({"@NO_PATHCHECK", all, ""}).Program, replaced + "|/p/" + TestTool + "@IP_ADDR");
    const ToolSlot& parameters = Prepare({"@NO_PATHCHECK", "t", all});
    EXPECT_EQ(parameters.CommandLine, "t " + replaced + "|/p/@TEST_TOOL_CFG10.0.0.1");
    EXPECT_EQ(parameters.Arguments, Strings{replaced + "|/p/@TEST_TOOL_CFG10.0.0.1"});
}
