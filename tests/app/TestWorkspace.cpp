#include "tests/app/TestWorkspace.h"

#include "platform/PrivateProfile.h"

#include <filesystem>
#include <sstream>

namespace {

std::string Attribute(const std::string& name, const std::string& value) {
    return value.empty() ? std::string() : " " + name + "=\"" + value + "\"";
}

std::string ToolElement(const TestTool& tool) {
    const std::string number = std::to_string(tool.Index + 1);
    const std::string name = "TOOL" + std::string(number.size() < 2 ? "0" : "") + number;
    return "<" + name + Attribute("Path", tool.Path) + Attribute("Tool", tool.Tool) +
           Attribute("Paramater", tool.Parameter) + "/>";
}

std::string Hex(unsigned value) {
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

} // namespace

TestWorkspace::TestWorkspace() {
    SetSettingsFilePath(SettingsFile());
    ClearPrivateProfileCache();
}

TestWorkspace::~TestWorkspace() {
    SetSettingsFilePath("");
    ClearPrivateProfileCache();
}

std::string TestWorkspace::WriteProject(const std::string& name,
                                        const std::vector<TestConfiguration>& configurations,
                                        const std::string& summaryName,
                                        const std::string& controllerAddress) const {
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\"?>\n<AdvancedPara><KavelPara><PathData>"
        << "<BinPath>" << Folder() << "/bin/app.bin</BinPath>"
        << "<ProjectPath>" << Folder() << "/project/demo.prj</ProjectPath>"
        << "<TempPath>" << Folder() << "/temp</TempPath>"
        << "<SummaryPath>" << Folder() << "/" << summaryName << "</SummaryPath>"
        << "</PathData>\n<KavelData>\n";
    for (const TestConfiguration& configuration : configurations) {
        xml << "<KVDATA><GlobalPara" << Attribute("UniqueID", configuration.UniqueID)
            << Attribute("ConfigDescription", configuration.Description)
            << Attribute("EventVar", configuration.EventVar) << Attribute("AckVar", configuration.AckVar)
            << Attribute("PollCycle", configuration.PollCycle) << "/><ToolPara>";
        for (const TestTool& tool : configuration.Tools)
            xml << ToolElement(tool);
        xml << "</ToolPara></KVDATA>\n";
    }
    xml << "</KavelData></KavelPara></AdvancedPara>\n";
    std::filesystem::create_directories(PathOf("project"));
    if (!controllerAddress.empty())
        WriteFile("project/demo.DATCFG", "[DATA]\nIP=" + controllerAddress + "\n");
    return WriteFile(name, xml.str());
}

std::string TestWorkspace::WriteSummary(const std::string& name,
                                        const std::vector<TestVariable>& variables) const {
    std::ostringstream text;
    text << "[GENERAL]\nAppName=test\nVariablesCount=" << variables.size() << "\nSlavesCount=0\n";
    for (std::size_t i = 0; i < variables.size(); ++i) {
        const TestVariable& variable = variables[i];
        text << "[V" << i << "]\nName=" << variable.Name << "\nVarType=SPT\nDataType=" << variable.DataType
             << "\nDataDirection=IO\nInpSplitDataFieldOffs=" << Hex(variable.InputOffset)
             << "\nOutSplitDataFieldOffs=" << Hex(variable.OutputOffset)
             << "\nInpCombDataFieldOffs=" << Hex(variable.InputOffset)
             << "\nOutCombDataFieldOffs=" << Hex(variable.OutputOffset) << "\n";
    }
    return WriteFile(name, text.str());
}

std::string TestWorkspace::WriteFile(const std::string& name, const std::string& content) const {
    const std::string path = PathOf(name);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    m_Folder.Write(name, content);
    ClearPrivateProfileCache();
    return path;
}

void TestWorkspace::SaveTestSettings(const AppSettings& settings) const {
    SaveSettings(settings);
    ClearPrivateProfileCache();
}

AppSettings TestWorkspace::StoredSettings() const {
    ClearPrivateProfileCache();
    AppSettings settings;
    LoadSettings(settings);
    return settings;
}

std::vector<TestVariable> StandardVariables() {
    return {{"EventVar", 0x10, 0x20, "USINT32"}, {"AckVar", 0x14, 0x24, "USINT32"}};
}
