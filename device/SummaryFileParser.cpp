#include "device/DeviceDescription.h"

#include "device/ProfileFile.h"
#include "device/TextConversion.h"

#include <algorithm>
#include <cstddef>

namespace {

// Every real module or variable needs a section line of its own, so a file can
// describe at most as many as it has lines; counts beyond that only create
// records of defaults. The floor keeps small hand-written files working, the
// ceiling bounds memory for any file.
constexpr std::int64_t MinRecordBudget = 1024;
constexpr std::int64_t MaxRecordBudget = 262144;

class RecordBudget {
public:
    explicit RecordBudget(std::size_t lineCount)
        : m_Remaining(std::clamp(static_cast<std::int64_t>(lineCount), MinRecordBudget, MaxRecordBudget)) {}

    // The part of a count that the budget still allows; negative counts give 0.
    std::int32_t Take(std::int32_t requested, const std::string& key, const std::string& section,
                      std::string& limitMessage) {
        if (requested <= 0) {
            return 0;
        }
        const auto granted = static_cast<std::int32_t>(std::min<std::int64_t>(requested, m_Remaining));
        m_Remaining -= granted;
        if (granted < requested && limitMessage.empty()) {
            limitMessage = "\"" + key + "\" of section " + section + " is " + std::to_string(requested) +
                           ", more than the summary file can describe; " + std::to_string(granted) + " read";
        }
        return granted;
    }

private:
    std::int64_t m_Remaining = 0;
};

const std::string NoText = "-";

DeviceVariable ReadVariable(const ProfileFile& profile, const std::string& sectionName) {
    DeviceVariable variable;
    variable.SectionName = sectionName;
    // The section is found once for all its keys; a missing one gives defaults throughout.
    const ProfileLine* section = profile.FindSection(sectionName);
    const auto text = [&](const char* key) {
        return section != nullptr ? profile.GetString(*section, key, NoText) : NoText;
    };
    const auto offset = [&](const char* key) { return static_cast<std::int32_t>(ParseHexOffset(text(key))); };
    variable.DataDirection = text("DataDirection");
    variable.DataType = text("DataType");
    ParseFormat(variable, text("Format"));
    variable.Name = text("Name");
    variable.VarType = text("VarType");
    variable.Unit = text("Unit");
    variable.InpCombDataFieldOffs = offset("InpCombDataFieldOffs");
    variable.InpSplitDataFieldOffs = offset("InpSplitDataFieldOffs");
    variable.OutCombDataFieldOffs = offset("OutCombDataFieldOffs");
    variable.OutSplitDataFieldOffs = offset("OutSplitDataFieldOffs");
    variable.AccessIndex = section != nullptr ? profile.GetInt(*section, "AccessIndex", 0) : 0;
    return variable;
}

unsigned HexDigitValue(char c) {
    const char upper = ToUpperAscii(c);
    if (upper >= '0' && upper <= '9') {
        return static_cast<unsigned>(upper - '0');
    }
    if (upper >= 'A' && upper <= 'F') {
        return static_cast<unsigned>(upper - 'A' + 10);
    }
    return 0;
}

} // namespace

bool ParseSummaryFile(DeviceDescription& description, const std::string& path) {
    description = DeviceDescription{};
    ProfileFile profile;
    profile.LoadFile(path);

    const std::string general = "GENERAL";
    description.SectionName = general;
    description.AppName = profile.GetString(general, "AppName", NoText);
    description.AppVersion = profile.GetString(general, "AppVersion", NoText);
    description.Location = profile.GetString(general, "Location", NoText);
    description.Vendor = profile.GetString(general, "Vendor", NoText);
    description.SNR = profile.GetString(general, "SNR", NoText);
    description.Type = profile.GetString(general, "Type", NoText);
    description.SampleRate = static_cast<float>(profile.GetDouble(general, "SampleRate", 0.0));
    const std::int32_t slavesCount = profile.GetInt(general, "SlavesCount", 0);
    const std::int32_t variablesCount = profile.GetInt(general, "VariablesCount", 0);

    description.FeaturesSectionName = "FEATURES";
    description.DeviceDiagEx = profile.GetInt(description.FeaturesSectionName, "DeviceDiagEx", 0);
    description.ReadBufferSingleWithStateResponse =
        profile.GetInt(description.FeaturesSectionName, "ReadBufferSingleWithStateResponse", 0);

    RecordBudget budget(profile.Lines().size());
    std::string& limitMessage = description.CountLimitMessage;

    const std::int32_t variablesRead = budget.Take(variablesCount, "VariablesCount", general, limitMessage);
    description.Variables.reserve(static_cast<std::size_t>(variablesRead));
    for (std::int32_t i = 0; i < variablesRead; ++i) {
        description.Variables.push_back(ReadVariable(profile, "V" + std::to_string(i)));
    }

    const std::int32_t modulesRead = budget.Take(slavesCount, "SlavesCount", general, limitMessage);
    description.Modules.reserve(static_cast<std::size_t>(modulesRead));
    for (std::int32_t m = 0; m < modulesRead; ++m) {
        DeviceModule module;
        module.SectionName = "M" + std::to_string(m);
        module.Location = profile.GetString(module.SectionName, "Location", NoText);
        module.Type = profile.GetString(module.SectionName, "Type", NoText);
        module.UartIndex = profile.GetInt(module.SectionName, "UartIndex", 0);
        module.Address = profile.GetInt(module.SectionName, "Address", 0);
        const std::int32_t count = budget.Take(profile.GetInt(module.SectionName, "VariablesCount", 0),
                                               "VariablesCount", module.SectionName, limitMessage);
        module.Variables.reserve(static_cast<std::size_t>(count));
        for (std::int32_t j = 0; j < count; ++j) {
            module.Variables.push_back(ReadVariable(profile, module.SectionName + "_V" + std::to_string(j)));
        }
        description.Modules.push_back(std::move(module));
    }

    profile.CloseFile();
    return true;
}

std::uint32_t ParseHexOffset(const std::string& text) {
    const std::string_view digits = CText(text);
    if (digits.find("0x") == std::string_view::npos) {
        return 0;
    }
    const std::size_t first = digits.find_first_not_of("0x");
    if (first == std::string_view::npos) {
        return 0;
    }
    // Each place weighs 16 times the next; summing modulo 2^32 keeps the lowest 32 bits of longer numbers.
    std::uint32_t sum = 0;
    for (const char c : digits.substr(first)) {
        sum = sum * 16U + HexDigitValue(c);
    }
    return sum;
}

void ParseFormat(DeviceVariable& variable, const std::string& formatText) {
    const std::string_view text = CText(formatText);
    if (text.empty()) {
        return;
    }
    const std::size_t dot = text.find('.');
    std::string_view left = dot == std::string_view::npos ? std::string_view() : text.substr(0, dot);
    std::string_view right = dot == std::string_view::npos ? text : text.substr(dot + 1);
    left.remove_prefix(std::min(left.find_first_not_of('%'), left.size()));
    const std::size_t lastKept = right.find_last_not_of('f');
    right = lastKept == std::string_view::npos ? std::string_view() : right.substr(0, lastKept + 1);
    variable.FormatWidth = ParseLeadingInt(left);
    variable.FormatPrecision = ParseLeadingInt(right);
}
