#include "config/VariableReferences.h"

#include "config/EventConfiguration.h"
#include "device/DeviceDescription.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The variable exists at device level, is a 32-bit "SPT" variable in both
// directions and lies where the reference says; then its index is stored.
bool ConfirmReference(const DeviceDescription& description, const std::string& name,
                      VariableReference& reference) {
    std::uint32_t index = 0;
    const DeviceVariable* variable = description.FindVariableByName(name, index);
    if (variable == nullptr)
        return false;
    const std::string dataType = Upper(variable->DataType);
    const bool passes = Upper(variable->DataDirection) == "IO" &&
                        (dataType == "USINT32" || dataType == "SINT32" || dataType == "SET32") &&
                        Upper(variable->VarType) == "SPT" &&
                        variable->InpSplitDataFieldOffs == static_cast<std::int32_t>(reference.InputOffset) &&
                        variable->OutSplitDataFieldOffs == static_cast<std::int32_t>(reference.OutputOffset);
    if (passes)
        reference.DeviceIndex = index;
    return passes;
}

} // namespace

bool CheckVariableReferences(const AppSettings& settings, VariableReferencePair& references) {
    const EventConfiguration* configuration = ConfigurationInUse(settings);
    const DeviceDescription* description = CurrentDeviceDescription();
    if (configuration == nullptr || description == nullptr)
        return false;
    const GlobalParameters& parameters = configuration->GetGlobalParameters();
    const bool eventPasses = ConfirmReference(*description, parameters.EventVariable, references.Event);
    const bool acknowledgePasses =
        ConfirmReference(*description, parameters.AcknowledgeVariable, references.Acknowledge);
    return eventPasses && acknowledgePasses;
}
