#pragma once

#include "app/core/AppSettings.h"
#include "config/EventConfiguration.h"
#include "platform/PrivateProfile.h"
#include "tests/support/MessageCapture.h"
#include "tests/support/RecordingToolTable.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

// A program folder of its own: the settings file lives in a fresh folder, so
// "@KAVEL_PATH" is that folder, and the project file is written beside it.
class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearPrivateProfileCache();
        SetSettingsFilePath(m_Folder.File("eventmanager.KAVELCFG"));
    }
    void TearDown() override { SetSettingsFilePath(""); }

    // Writes the project file and names it in the settings.
    std::string UseProject(const std::string& content, const std::string& name = "project.ADPXML") {
        const std::string path = m_Folder.Write(name, content);
        m_Settings.PathToKavelCfg = path;
        EXPECT_TRUE(SaveSettings(m_Settings));
        return path;
    }

    // Makes configuration `uniqueId` ("Ev"/"Ack", 5 ms) the only one, and the one in use.
    EventConfiguration* UseOnlyConfiguration(std::uint32_t uniqueId) {
        Configurations().ClearConfigurations();
        m_Settings.UsedUniqueID = static_cast<int>(uniqueId);
        return Configurations().AppendConfiguration({"d", uniqueId, "Ev", 0, "Ack", 0, 5});
    }

    TempFolder m_Folder;
    AppSettings m_Settings;
    MessageCapture m_Sink;
};

// A project file with the given "PathData" content and "KavelData" content.
inline std::string ProjectXml(const std::string& pathData, const std::string& kavelData) {
    return "<?xml version=\"1.0\"?>\n<AdvancedPara><KavelPara><PathData>" + pathData +
           "</PathData><KavelData>" + kavelData + "</KavelData></KavelPara></AdvancedPara>\n";
}

// One variable section of a summary file.
inline std::string VariableSection(long long index, const std::string& name, const std::string& input,
                                   const std::string& output, const std::string& dataType = "USINT32",
                                   const std::string& direction = "IO", const std::string& varType = "SPT") {
    return "[V" + std::to_string(index) + "]\nName=" + name + "\nVarType=" + varType +
           "\nDataDirection=" + direction + "\nDataType=" + dataType + "\nInpSplitDataFieldOffs=" + input +
           "\nOutSplitDataFieldOffs=" + output + "\n";
}
