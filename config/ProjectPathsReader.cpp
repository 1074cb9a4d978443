#include "config/ProjectPathsReader.h"

#include "app/core/AppSettings.h"
#include "app/core/StringTable.h"
#include "app/core/SystemMessage.h"
#include "config/Placeholders.h"
#include "config/ProjectDocument.h"
#include "platform/Paths.h"
#include "platform/PrivateProfile.h"

namespace {

constexpr const char* DefaultControllerAddress = "127.0.0.1";

// The element's text with "@KAVEL_PATH" replaced; false (nothing read) when the
// element is missing or its text is empty.
bool ReadPathText(const pugi::xml_node& pathData, const char* name, const std::string& programDirectory,
                  std::string& text) {
    const std::string raw = ElementText(FindChildElement(pathData, name));
    if (raw.empty())
        return false;
    text = ReplacePlaceholder(raw, "@KAVEL_PATH", programDirectory);
    return true;
}

std::string ReadControllerAddress(const std::string& projectPath) {
    const std::string definitionFile = ReplaceExtension(projectPath, ".DATCFG");
    std::string address =
        ReadPrivateProfileString("DATA", "IP", DefaultControllerAddress, MaximumPathLength, definitionFile);
    return address.empty() ? DefaultControllerAddress : address;
}

} // namespace

bool ReadProjectPaths(ProjectPaths& paths) {
    std::string path;
    if (!ReadConfigurationPath(path)) {
        ShowSystemMessage(nullptr, IDS_CONFIGURATIONS_NOT_LOADED, path, 0, false);
        return false;
    }
    pugi::xml_document document;
    const pugi::xml_node pathData = OpenProjectSection(path, document, "PathData");
    if (!pathData)
        return false;

    const std::string programDirectory = ProgramDirectory();
    std::string text;
    if (ReadPathText(pathData, "BinPath", programDirectory, text)) {
        paths.BinPath = text;
        paths.BinDirectory = DirectoryPart(text);
    }
    if (ReadPathText(pathData, "ProjectPath", programDirectory, text)) {
        paths.ProjectDirectory = DirectoryPart(text);
        paths.ProjectFileName = FileNamePart(text);
        paths.ControllerAddress = ReadControllerAddress(text);
    }
    if (ReadPathText(pathData, "TempPath", programDirectory, text))
        paths.TempPath = text;
    if (ReadPathText(pathData, "SummaryPath", programDirectory, text)) {
        paths.SummaryDirectory = DirectoryPart(text);
        paths.SummaryFileName = FileNamePart(text);
    }
    return true;
}
