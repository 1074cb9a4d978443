#pragma once

#include "config/ProjectPaths.h"
#include "config/VariableReference.h"

#include <cstdint>
#include <string>

struct AppSettings;
class ControllerSession;

// Results of LoadVariableReferences, one bit per kind of failure.
constexpr std::uint32_t ReferencesResolved = 0;
constexpr std::uint32_t ReferencesNoDeviceDescription = 1;
constexpr std::uint32_t ReferencesNoSummaryFile = 2;
constexpr std::uint32_t ReferencesNoEventVariable = 16;
constexpr std::uint32_t ReferencesNoAcknowledgeVariable = 32;
constexpr std::uint32_t ReferencesNoConfiguration = 0x80000000u;

// Looks the variable `name` up in the summary file at `path`: a "V<i>" section
// whose "Name" is exactly `name`, of type "SPT", direction "IO", a 32-bit data
// type and valid offsets in both images. The last such section wins; only a
// section that passes every test writes the three results.
bool ReadVariableDefinition(const std::string& path, const std::string& name, std::uint16_t& inputOffset,
                            std::uint16_t& outputOffset, std::uint32_t& length);

// Resolves the event and acknowledge variables of the configuration in use from
// the summary file: in controller mode a fresh download through `session` (its
// path then becomes the summary path in `paths`), in simulation mode the file
// `paths` names. Reports each failure as a line and returns its code.
std::uint32_t LoadVariableReferences(void* owner, const AppSettings& settings, ProjectPaths& paths,
                                     VariableReferencePair& references, ControllerSession& session);

// Confirms both references against the current device description and stores
// each confirmed variable's device index. True only when both variables pass:
// observation must never read or write a variable that was not confirmed.
bool CheckVariableReferences(const AppSettings& settings, VariableReferencePair& references);
