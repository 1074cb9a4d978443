#include "config/ProjectPathsReader.h"
#include "tests/config/ConfigTestSupport.h"

#include <filesystem>

using ReadProjectPathsTest = ConfigTest;

TEST_F(ReadProjectPathsTest, SplitsThePathsAndReadsTheControllerAddress) {
    std::filesystem::create_directories(m_Folder.File("demo.d"));
    m_Folder.Write("demo.d/demo.DATCFG", "[DATA]\nIP = 10.1.2.3\n");
    m_Folder.Write("demo.d/noip.DATCFG", "[DATA]\nIP=\n");
    UseProject(ProjectXml("\n  <BinPath>\n    /opt/q/bin/tool.bin\n  </BinPath>\n"
                          "  <ProjectPath>@KAVEL_PATH/demo.d/demo.prj</ProjectPath>\n"
                          "  <TempPath>@KAVEL_PATH/tmp:@KAVEL_PATH</TempPath>\n"
                          "  <SummaryPath>/proj/<i>s<b>u</b>m</i><![CDATA[/#summary.sta]]></SummaryPath>\n",
                          ""));
    ProjectPaths paths;
    ASSERT_TRUE(ReadProjectPaths(paths));
    EXPECT_EQ(paths.BinPath, "/opt/q/bin/tool.bin");
    EXPECT_EQ(paths.BinDirectory, "/opt/q/bin");
    EXPECT_EQ(paths.ProjectDirectory, m_Folder.File("demo.d"));
    EXPECT_EQ(paths.ProjectFileName, "demo.prj");
    EXPECT_EQ(paths.ControllerAddress, "10.1.2.3")
        << "from demo.d/demo.DATCFG: no extension cut at a folder's dot";
    EXPECT_EQ(paths.TempPath, m_Folder.Path() + "/tmp:" + m_Folder.Path());
    EXPECT_EQ(paths.SummaryDirectory, "/proj/sum");
    EXPECT_EQ(paths.SummaryFileName, "#summary.sta");

    for (const std::string name : {"demo.d/noip.prj", "demo.d/none.prj", "demo.d/demo"}) {
        UseProject(ProjectXml("<ProjectPath>@KAVEL_PATH/" + name + "</ProjectPath>", ""));
        paths.ControllerAddress = "stale";
        ASSERT_TRUE(ReadProjectPaths(paths));
        EXPECT_EQ(paths.ControllerAddress, name == "demo.d/demo" ? "10.1.2.3" : "127.0.0.1") << name;
    }
    EXPECT_TRUE(m_Sink.Lines().empty());
}

TEST_F(ReadProjectPathsTest, MissingOrEmptyElementsKeepEarlierValues) {
    ProjectPaths paths{"/old/bin", "/old",      "/old/project", "old.prj",
                       "10.0.0.1", "/old/temp", "/old/sum",     "o.sta"};
    const ProjectPaths before = paths;
    UseProject(
        ProjectXml("<BinPath></BinPath><ProjectPath> \n </ProjectPath><TempPath/><binpath>/x</binpath>", ""));
    ASSERT_TRUE(ReadProjectPaths(paths));
    EXPECT_EQ(paths.BinPath + paths.BinDirectory + paths.ProjectDirectory + paths.ControllerAddress +
                  paths.TempPath + paths.SummaryDirectory,
              before.BinPath + before.BinDirectory + before.ProjectDirectory + before.ControllerAddress +
                  before.TempPath + before.SummaryDirectory);

    UseProject(ProjectXml("<SummaryPath>#summary.sta</SummaryPath>", ""));
    ASSERT_TRUE(ReadProjectPaths(paths));
    EXPECT_EQ(paths.SummaryDirectory, "");
    EXPECT_EQ(paths.SummaryFileName, "#summary.sta");
}

TEST_F(ReadProjectPathsTest, FailsWithoutProjectFileOrPathData) {
    ProjectPaths paths;
    UseProject("<AdvancedPara><KavelPara><KavelData/></KavelPara></AdvancedPara>");
    EXPECT_FALSE(ReadProjectPaths(paths));
    UseProject("<AdvancedPara><PathData><TempPath>/t</TempPath></PathData></AdvancedPara>");
    EXPECT_FALSE(ReadProjectPaths(paths));
    EXPECT_EQ(paths.TempPath, "");
    EXPECT_TRUE(m_Sink.Lines().empty()) << "the caller reports an unusable file";

    m_Settings.PathToKavelCfg.clear();
    ASSERT_TRUE(SaveSettings(m_Settings));
    EXPECT_FALSE(ReadProjectPaths(paths));
    EXPECT_EQ(m_Sink.Lines(),
              std::vector<std::string>{"Error ! The Kavel - configurations could not be loaded ! ()"});
}
