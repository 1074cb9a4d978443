#include "tests/config/ProjectFileBadInput.h"

TEST_F(ProjectFileBadInputTest, EmptyBinaryOrBrokenFilesAreRefused) {
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 131 + 7) % 256);
    const char withZero[] = "<AdvancedPara>\0<KavelPara/></AdvancedPara>";
    for (const std::string& content :
         {std::string(), std::string(" \n\t"), binary, std::string(withZero, sizeof withZero - 1),
          std::string("<AdvancedPara><KavelPara><PathData/><KavelData/></KavelPara>"),
          std::string("<AdvancedPara><KavelPara></AdvancedPara></KavelPara>"),
          std::string("<AdvancedPara x=\"1\" x=\"2\"/>"), std::string("<AdvancedPara/><AdvancedPara/>")})
        ExpectRefused(content);
}

TEST_F(ProjectFileBadInputTest, AFiftyMegabyteFileAndAMegabyteValueAreReadWhole) {
    const std::string huge(1024 * 1024, 'v');
    ExpectRead("<AdvancedPara><KavelPara><Padding>" + std::string(50 * 1024 * 1024, 'p') +
                   "</Padding><PathData><TempPath>" + huge + "</TempPath></PathData><KavelData>" +
                   "<KVDATA><GlobalPara EventVar=\"Ev\" AckVar=\"Ack\" ConfigDescription=\"" + huge +
                   "\"/><ToolPara><TOOL02 Tool=\"" + huge + "\" Paramater=\"-x\"/></ToolPara></KVDATA>" +
                   "</KavelData></KavelPara></AdvancedPara>",
               huge);
    EXPECT_EQ(Configurations().begin()->GetGlobalParameters().Description, huge);
    EXPECT_EQ(Configurations().begin()->GetToolEntry(1).Tool, huge);
    EXPECT_EQ(Configurations().begin()->GetToolEntry(1).Parameter, "-x");
}

TEST_F(ProjectFileBadInputTest, DeepNestingIsRefusedWithoutExhaustingTheStack) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<n>";
    for (int i = 0; i < 100000; ++i)
        deep += "</n>";
    ExpectRefused(ProjectXml("<TempPath>/t</TempPath>", OneConfiguration + deep));
    ExpectRead(
        ProjectXml("<TempPath>/t</TempPath>", OneConfiguration + "<X><a><b><c><d><e/></d></c></b></a></X>"));
}
