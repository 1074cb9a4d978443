#pragma once

#include "device/DescriptionIndexError.h"
#include "device/DeviceModule.h"
#include "device/DeviceVariable.h"

#include <cstdint>
#include <string>
#include <vector>

// The controller's description of itself, parsed from its summary file. It is
// filled once and then only read; it owns its modules and variables.
class DeviceDescription {
public:
    std::string SectionName;
    std::string Type;
    std::string Location;
    std::string SNR;
    std::string AppName;
    std::string AppVersion;
    std::string Vendor;
    float SampleRate = 0.0F;
    std::string FeaturesSectionName;
    std::int32_t DeviceDiagEx = 0;
    std::int32_t ReadBufferSingleWithStateResponse = 0;
    std::vector<DeviceModule> Modules;
    std::vector<DeviceVariable> Variables;
    // Empty unless a count of the file was cut to the parser's limit; says which.
    std::string CountLimitMessage;

    std::int32_t ModuleCount() const { return static_cast<std::int32_t>(Modules.size()); }
    std::int32_t VariableCount() const { return static_cast<std::int32_t>(Variables.size()); }

    // These throw DescriptionIndexError for an index outside 0 .. count - 1.
    const DeviceModule& ModuleAt(int index) const;
    const DeviceVariable& VariableAt(int index) const;
    const DeviceVariable& ModuleVariableAt(const DeviceModule& module, int index) const;

    // A module index below 0 addresses the device-level variable, any other the
    // module's variable; indices are checked as above.
    std::string GetDataTypeName(int module, int variable) const;
    int GetDataTypeSize(int module, int variable) const;
    int GetFormatPrecision(int module, int variable) const;
    std::int32_t GetOutSplitOffset(int module, int variable) const;
    bool IsReadable(int module, int variable) const;
    bool IsWritable(int module, int variable) const;
    bool ValueToRaw(int module, int variable, double value, unsigned char* raw) const;

    // Bytes of the whole input image: the sizes of all readable variables,
    // device-level first, then module by module.
    std::int32_t InputDataLength() const;

    // The first device-level variable of exactly this name and its index; none and 0 otherwise.
    const DeviceVariable* FindVariableByName(const std::string& name, std::uint32_t& index) const;

private:
    const DeviceVariable& VariableFor(int module, int variable) const;
};

// Replaces the description with the content of a summary file. A file that
// cannot be read leaves it empty (defaults, no modules or variables). Counts of
// the file are bounded, see docs/device-description.md. Always true.
bool ParseSummaryFile(DeviceDescription& description, const std::string& path);

// Hexadecimal offset written with "0x"; text without "0x" gives 0. Characters
// that are no hex digit count as a 0 digit; longer numbers keep their lowest 32 bits.
std::uint32_t ParseHexOffset(const std::string& text);

// Width and precision of a format such as "%8.3f"; an empty text changes nothing.
void ParseFormat(DeviceVariable& variable, const std::string& formatText);

// The program-wide description: none before the first renewal.
DeviceDescription* CurrentDeviceDescription();
// Destroys the current description and makes a new, empty one current.
DeviceDescription& RenewCurrentDeviceDescription();
void ReleaseDeviceDescription();
