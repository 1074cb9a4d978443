#include "config/VariableReferences.h"

#include "config/NumberText.h"

#include "platform/Paths.h"
#include "platform/PrivateProfile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <vector>

namespace {

constexpr const char* MissingText = "n.def.";
constexpr const char* MissingOffset = "-1";
// Values are read whole: a cut name could match a shorter configured name, and
// a cut number would read as another offset.
constexpr std::size_t ValueBufferSize = 65536;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The index of a section named "V<i>" as "V%d" writes it (any letter case, as
// the reader matches names), or -1.
long long VariableSectionIndex(const std::string& name) {
    if (name.size() < 2 || name.size() > 11 || (name[0] != 'V' && name[0] != 'v'))
        return -1;
    if (name[1] == '0' && name.size() > 2)
        return -1;
    long long index = 0;
    for (std::size_t i = 1; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return -1;
        index = index * 10 + (name[i] - '0');
    }
    return index;
}

// The indices below `count` of the "V<i>" sections the file has, ascending. A
// missing section can never pass, so only these need reading, however large the
// count the file claims.
std::vector<int> ExistingVariableSections(const PrivateProfileSnapshot& profile, int count) {
    std::vector<int> indices;
    for (const auto& name : profile.SectionNames()) {
        const long long index = VariableSectionIndex(name);
        if (index >= 0 && index < count)
            indices.push_back(static_cast<int>(index));
    }
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    return indices;
}

std::string ReadValue(const std::string& section, const char* key, const char* defaultValue,
                      const PrivateProfileSnapshot& profile) {
    return profile.ReadString(section, key, defaultValue, ValueBufferSize);
}

// An offset as "%x" reads it, neither "-1" nor empty nor negative as a signed
// 32-bit number; its low 16 bits.
bool ReadOffset(const std::string& section, const char* key, const PrivateProfileSnapshot& profile,
                std::uint16_t& offset) {
    const std::string text = ReadValue(section, key, MissingOffset, profile);
    std::uint32_t value = 0;
    if (text == MissingOffset || text.empty() || !ScanHexadecimal(text, value) || value > INT32_MAX)
        return false;
    offset = static_cast<std::uint16_t>(value & 0xFFFFu);
    return true;
}

bool IsAcceptedVariable(const std::string& section, const std::string& name,
                        const PrivateProfileSnapshot& profile, std::uint16_t& inputOffset,
                        std::uint16_t& outputOffset) {
    if (ReadValue(section, "Name", MissingText, profile) != name)
        return false;
    if (Upper(ReadValue(section, "VarType", MissingText, profile)) != "SPT")
        return false;
    if (Upper(ReadValue(section, "DataDirection", MissingText, profile)) != "IO")
        return false;
    const std::string dataType = Upper(ReadValue(section, "DataType", MissingText, profile));
    if (dataType != "USINT32" && dataType != "SINT32" && dataType != "SET32")
        return false;
    return ReadOffset(section, "InpSplitDataFieldOffs", profile, inputOffset) &&
           ReadOffset(section, "OutSplitDataFieldOffs", profile, outputOffset);
}

} // namespace

bool ReadVariableDefinition(const std::string& path, const std::string& name, std::uint16_t& inputOffset,
                            std::uint16_t& outputOffset, std::uint32_t& length) {
    bool found = false;
    if (!FileExists(path))
        return found;
    // One parse of the file serves every look-up of the scan.
    const PrivateProfileSnapshot profile(path);
    const int count = profile.ReadInt("GENERAL", "VARIABLESCOUNT", 0);
    for (const int index : ExistingVariableSections(profile, count)) {
        std::uint16_t input = 0;
        std::uint16_t output = 0;
        if (!IsAcceptedVariable("V" + std::to_string(index), name, profile, input, output))
            continue;
        inputOffset = input;
        outputOffset = output;
        length = 4;
        found = true;
    }
    return found;
}
