#include "config/EventConfiguration.h"
#include "config/NumberText.h"
#include "tests/config/ConfigTestSupport.h"

namespace {

std::vector<std::uint32_t> Ids() {
    std::vector<std::uint32_t> ids;
    for (const auto& configuration : Configurations())
        ids.push_back(configuration.UniqueID());
    return ids;
}

std::string Kvdata(const std::string& globalAttributes, const std::string& tools = "") {
    return "<KVDATA><GlobalPara " + globalAttributes + "/>" + tools + "</KVDATA>";
}

const std::string Variables = "EventVar=\"Ev\" AckVar=\"Ack\" ";

} // namespace

TEST(ScanNumbers, ReadLikePercentUAndPercentX) {
    struct Case {
        const char* Text;
        bool Hexadecimal;
        bool Read;
        std::uint32_t Value;
    };
    for (const Case& c :
         {Case{" \t+100ms", false, true, 100}, Case{"-1", false, true, 4294967295u},
          Case{"4294967297", false, true, 1}, Case{"0x10", false, true, 0}, Case{"", false, false, 77},
          Case{"abc", false, false, 77}, Case{"- 5", false, false, 77}, Case{"ff", true, true, 255},
          Case{" 0X1aG", true, true, 26}, Case{"-0x2", true, true, 0xFFFFFFFE}, Case{"0x", true, true, 0},
          Case{"x5", true, false, 77}}) {
        std::uint32_t value = 77;
        EXPECT_EQ(c.Hexadecimal ? ScanHexadecimal(c.Text, value) : ScanUnsignedDecimal(c.Text, value), c.Read)
            << c.Text;
        EXPECT_EQ(value, c.Value) << c.Text;
    }
}

TEST(EventConfigurationList, NumbersFindsAndBoundsItsEntries) {
    using Ids = std::vector<std::uint32_t>;
    // Missing ids take one more than the largest, or the smallest free one after the largest number.
    for (const auto& [given, assigned] :
         {std::pair{Ids{0, 7, 0, 5, 5}, Ids{8, 7, 9, 5, 5}},
          std::pair{Ids{4294967295u, 0, 1, 0, 3}, Ids{4294967295u, 2, 1, 4, 3}}}) {
        EventConfigurationList list;
        EXPECT_EQ(list.NextFreeUniqueID(), 1u);
        for (const std::uint32_t id : given)
            list.AppendConfiguration({"c" + std::to_string(list.Count()), id, "Ev", 0, "Ack", 0, 5});
        list.AssignMissingUniqueIDs();
        Ids ids;
        for (const auto& configuration : list)
            ids.push_back(configuration.UniqueID());
        EXPECT_EQ(ids, assigned);
    }
    EventConfigurationList list;
    EXPECT_EQ(list.AppendConfiguration({"d", 1, "Ev", 0, "", 0, 5}), nullptr);
    EXPECT_EQ(list.AppendConfiguration({"d", 1, "", 0, "Ack", 0, 5}), nullptr);
    list.AppendConfiguration({"first", 5, "Ev", 0, "Ack", 0, 5});
    EventConfiguration* configuration = list.AppendConfiguration({"second", 5, "Ev", 0, "Ack", 0, 5});
    EXPECT_EQ(list.FindConfiguration(5)->GetGlobalParameters().Description, "first");
    EXPECT_EQ(list.FindConfiguration(0), nullptr);
    configuration->SetToolEntry(15, {"/p", "t", "x"});
    configuration->SetToolEntry(16, {"/q", "u", "y"});
    EXPECT_EQ(configuration->GetToolEntry(15).Tool, "t");
    EXPECT_EQ(configuration->GetToolEntry(16).Tool, "");
    EXPECT_EQ(configuration->GetToolEntry(-1).Tool, "");
}

using ReadToolConfigurationsTest = ConfigTest;

TEST_F(ReadToolConfigurationsTest, ReadsTheGlobalValuesAsTheFormatSays) {
    UseProject(ProjectXml(
        "",
        Kvdata("UniqueID=\"3\" " + Variables + "EventOption=\"ff\" AckOption=\"0x10\" PollCycle=\"100\"") +
            Kvdata("UniqueID=\"\" ConfigDescription=\"\" EventOption=\"\" PollCycle=\"abc\" " + Variables) +
            Kvdata("ConfigDescription=\"Named\" EventVar=\" a b \" AckVar=\"&amp;\"") +
            Kvdata("UniqueID=\" -2x\" " + Variables)));
    ASSERT_TRUE(ReadToolConfigurations());
    EXPECT_EQ(Ids(), (std::vector<std::uint32_t>{3, 4294967295u, 1, 4294967294u}));
    std::vector<GlobalParameters> read;
    for (const auto& configuration : Configurations())
        read.push_back(configuration.GetGlobalParameters());
    EXPECT_EQ(read[0].Description, "Tool configuration 3");
    EXPECT_EQ(read[0].EventOption, 255u);
    EXPECT_EQ(read[0].AcknowledgeOption, 16u);
    EXPECT_EQ(read[0].PollCycle, 100u);
    EXPECT_EQ(read[1].Description, "Tool configuration 0") << "named before it got its id";
    EXPECT_EQ(read[1].PollCycle, 5u);
    EXPECT_EQ(read[2].Description, "Named");
    EXPECT_EQ(read[2].EventVariable, " a b ");
    EXPECT_EQ(read[2].AcknowledgeVariable, "&");
}

TEST_F(ReadToolConfigurationsTest, ReadsEverySiblingFromTheFirstKvdataThatHasBothVariables) {
    UseProject(ProjectXml("", "<Other><GlobalPara UniqueID=\"9\" " + Variables + "/></Other>" +
                                  Kvdata("UniqueID=\"1\" " + Variables) +
                                  "text<Anything><GlobalPara UniqueID=\"2\" " + Variables +
                                  "/></Anything><KVDATA/><KVDATA><globalpara UniqueID=\"3\" " + Variables +
                                  "/></KVDATA>" + Kvdata("UniqueID=\"4\" EventVar=\"Ev\"") +
                                  Kvdata("UniqueID=\"5\" EventVar=\"Ev\" AckVar=\"\"") +
                                  Kvdata("UniqueID=\"6\" " + Variables)));
    ASSERT_TRUE(ReadToolConfigurations());
    EXPECT_EQ(Ids(), (std::vector<std::uint32_t>{1, 2, 6}));
}

TEST_F(ReadToolConfigurationsTest, ReadsToolsByTheirTwoDigitNames) {
    UseProject(ProjectXml(
        "", Kvdata("UniqueID=\"1\" " + Variables,
                   "<ToolPara><TOOL00 Tool=\"zero\"/><TOOL1 Tool=\"short\"/><tool02 Tool=\"l\"/>"
                   "<TOOL03 tool=\"lower\" Tool=\"t3\" Path=\"/p\" Paramater=\"-a b\" Parameter=\"no\"/>"
                   "<TOOL03 Tool=\"second\"/><TOOL16 Path=\"/only/path\"/><TOOL17 Tool=\"17\"/>"
                   "</ToolPara>") +
                Kvdata("UniqueID=\"2\" " + Variables)));
    ASSERT_TRUE(ReadToolConfigurations());
    const EventConfiguration* withTools = Configurations().FindConfiguration(1);
    ASSERT_NE(withTools, nullptr);
    for (int i = 0; i < ToolSlotCount; ++i)
        EXPECT_EQ(withTools->GetToolEntry(i).Tool, i == 2 ? "t3" : "") << i;
    EXPECT_EQ(withTools->GetToolEntry(2).Path, "/p");
    EXPECT_EQ(withTools->GetToolEntry(2).Parameter, "-a b");
    EXPECT_EQ(withTools->GetToolEntry(15).Path, "/only/path");
    EXPECT_EQ(Configurations().FindConfiguration(2)->GetToolEntry(0).Tool, "") << "no ToolPara, no tools";
}

TEST_F(ReadToolConfigurationsTest, FailsWithoutTheRequiredElements) {
    const std::string configurations = Kvdata("UniqueID=\"1\" " + Variables);
    for (const std::string& text :
         {"<AdvancedPara><KavelPara><kaveldata>" + configurations + "</kaveldata></KavelPara></AdvancedPara>",
          "<AdvancedPara><KavelData>" + configurations + "</KavelData></AdvancedPara>",
          "<Root><AdvancedPara><KavelPara><KavelData>" + configurations +
              "</KavelData></KavelPara></AdvancedPara></Root>"}) {
        UseProject(ProjectXml("", configurations));
        ASSERT_TRUE(ReadToolConfigurations());
        UseProject(text);
        EXPECT_FALSE(ReadToolConfigurations()) << text;
        EXPECT_TRUE(Configurations().Empty()) << "the list is cleared first";
    }
    UseProject(ProjectXml("", "<KVDAT/>"));
    EXPECT_TRUE(ReadToolConfigurations()) << "no configuration at all is fine";
    m_Settings.PathToKavelCfg.clear();
    ASSERT_TRUE(SaveSettings(m_Settings));
    EXPECT_FALSE(ReadToolConfigurations());
    EXPECT_TRUE(m_Sink.Lines().empty()) << "this reader reports nothing itself";
}
