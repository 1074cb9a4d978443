#pragma once

#include "device/DeviceVariable.h"

#include <cstdint>
#include <string>
#include <vector>

// A module (slave) of the controller with its own variables, in file order.
struct DeviceModule {
    std::string SectionName;
    std::string Type;
    std::int32_t UartIndex = -1;
    std::int32_t Address = 0;
    std::string Location;
    std::vector<DeviceVariable> Variables;

    std::int32_t VariableCount() const { return static_cast<std::int32_t>(Variables.size()); }
};
