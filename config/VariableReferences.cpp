#include "config/VariableReferences.h"

#include "app/core/AppSettings.h"
#include "app/core/StringTable.h"
#include "app/core/SystemMessage.h"
#include "config/EventConfiguration.h"
#include "controller/ControllerSession.h"
#include "platform/Paths.h"

namespace {

std::uint32_t Report(void* owner, std::uint32_t code, unsigned stringId, const std::string* text) {
    ShowSystemMessage(owner, stringId, text, MB_ICONEXCLAMATION, false);
    return code;
}

// Resolves one reference; a variable that is not found leaves it as it was.
bool ResolveReference(const std::string& summaryPath, const std::string& name, VariableReference& reference) {
    std::uint16_t input = 0;
    std::uint16_t output = 0;
    std::uint32_t length = 0;
    if (!ReadVariableDefinition(summaryPath, name, input, output, length))
        return false;
    reference.InputOffset = input;
    reference.OutputOffset = output;
    reference.Length = length;
    return true;
}

} // namespace

std::uint32_t LoadVariableReferences(void* owner, const AppSettings& settings, ProjectPaths& paths,
                                     VariableReferencePair& references, ControllerSession& session) {
    const EventConfiguration* configuration = ConfigurationInUse(settings);
    if (configuration == nullptr) {
        const std::string where = "Gbl_LoadVarReferences";
        return Report(owner, ReferencesNoConfiguration, IDS_UNKNOWN_ERROR, &where);
    }
    std::string summaryPath;
    if (settings.UseSimEnvironment == 0) {
        if (session.LoadDeviceDescription(summaryPath) == 0)
            return Report(owner, ReferencesNoDeviceDescription, IDS_NO_ONLINE_DEVICE_CONFIGURATION,
                          &summaryPath);
        paths.SummaryDirectory = DirectoryPart(summaryPath);
        paths.SummaryFileName = FileNamePart(summaryPath);
    } else if (!paths.SummaryDirectory.empty()) {
        summaryPath = paths.SummaryDirectory + PathSeparator + paths.SummaryFileName;
    }
    if (!FileExists(summaryPath))
        return Report(owner, ReferencesNoSummaryFile, IDS_SUMMARY_FILE_NOT_FOUND, &summaryPath);

    const GlobalParameters& parameters = configuration->GetGlobalParameters();
    if (!ResolveReference(summaryPath, parameters.EventVariable, references.Event))
        return Report(owner, ReferencesNoEventVariable, IDS_EVENT_VARIABLE_NOT_IN_SUMMARY, nullptr);
    if (!ResolveReference(summaryPath, parameters.AcknowledgeVariable, references.Acknowledge))
        return Report(owner, ReferencesNoAcknowledgeVariable, IDS_ACK_VARIABLE_NOT_IN_SUMMARY, nullptr);
    return ReferencesResolved;
}
