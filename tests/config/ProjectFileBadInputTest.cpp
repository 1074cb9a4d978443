#include "config/EventConfiguration.h"
#include "config/ProjectPathsReader.h"
#include "platform/UniqueFd.h"
#include "tests/config/ConfigTestSupport.h"

#include <sys/inotify.h>

#include <cerrno>

namespace {

const std::string OneConfiguration = "<KVDATA><GlobalPara UniqueID=\"1\" EventVar=\"Ev\" AckVar=\"Ack\"/>"
                                     "<ToolPara><TOOL01 Tool=\"run\" Paramater=\"-x\"/></ToolPara></KVDATA>";

class ProjectFileBadInputTest : public ConfigTest {
protected:
    // Both readers refuse the file; nothing is read and nothing is reported.
    void ExpectRefused(const std::string& content) {
        UseProject(content);
        ProjectPaths paths;
        paths.TempPath = "/kept";
        EXPECT_FALSE(ReadProjectPaths(paths));
        EXPECT_FALSE(ReadToolConfigurations());
        EXPECT_EQ(paths.TempPath, "/kept");
        EXPECT_TRUE(Configurations().Empty());
        EXPECT_TRUE(m_Sink.Lines().empty());
    }
    // Both readers take the file; `temp` is the temp path read.
    void ExpectRead(const std::string& content, const std::string& temp = "/t") {
        UseProject(content);
        ProjectPaths paths;
        ASSERT_TRUE(ReadProjectPaths(paths));
        EXPECT_EQ(paths.TempPath, temp);
        ASSERT_TRUE(ReadToolConfigurations());
        ASSERT_EQ(Configurations().Count(), 1u);
    }
};

} // namespace

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

TEST_F(ProjectFileBadInputTest, EntitiesAreNeverLoadedNorExpanded) {
    const std::string secret = m_Folder.Write("secret.txt", "SECRET");
    UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    ASSERT_TRUE(watch.IsValid());
    ASSERT_GE(::inotify_add_watch(watch.Get(), secret.c_str(), IN_OPEN | IN_ACCESS), 0);
    ExpectRead(
        "<?xml version=\"1.0\"?>\n<!DOCTYPE AdvancedPara [\n<!ENTITY ext SYSTEM \"file://" + secret +
            "\">\n<!ENTITY % param SYSTEM \"" + secret + "\">\n%param;\n<!ENTITY a \"lollollollol\">" +
            "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">" +
            "]>\n<AdvancedPara><KavelPara><PathData><TempPath>&ext;</TempPath></PathData><KavelData>" +
            "<KVDATA><GlobalPara EventVar=\"&ext;\" AckVar=\"&c;\"/></KVDATA></KavelData></KavelPara>" +
            "</AdvancedPara>",
        "&ext;");
    char events[4096];
    EXPECT_LT(::read(watch.Get(), events, sizeof events), 0) << "the entity's file was opened";
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(Configurations().begin()->GetGlobalParameters().EventVariable, "&ext;");
    EXPECT_EQ(Configurations().begin()->GetGlobalParameters().AcknowledgeVariable, "&c;");
}
