#pragma once

#include "config/EventConfiguration.h"
#include "config/ProjectPathsReader.h"
#include "tests/config/ConfigTestSupport.h"

inline const std::string OneConfiguration =
    "<KVDATA><GlobalPara UniqueID=\"1\" EventVar=\"Ev\" AckVar=\"Ack\"/>"
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
