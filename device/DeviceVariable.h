#pragma once

#include <cstdint>
#include <string>

// One variable of the summary file. Offsets are byte offsets into the
// controller's input ("Inp") and output ("Out") images.
struct DeviceVariable {
    std::string SectionName;
    std::string Name;
    std::string VarType;
    std::string DataDirection;
    std::string DataType;
    std::int32_t FormatWidth = 0;
    std::int32_t FormatPrecision = 0;
    std::string Unit;
    std::int32_t AccessIndex = 0;
    std::int32_t InpSplitDataFieldOffs = -1;
    std::int32_t OutSplitDataFieldOffs = -1;
    std::int32_t InpCombDataFieldOffs = -1;
    std::int32_t OutCombDataFieldOffs = -1;
};
