#pragma once

#include <cstdint>

// Where one controller variable lies in the process data images.
struct VariableReference {
    std::uint16_t InputOffset = 0;
    std::uint16_t OutputOffset = 0;
    std::uint32_t Length = 0;
    // Index among the device-level variables of the current device description.
    std::uint32_t DeviceIndex = 0;
};

// The event variable's reference and the acknowledge variable's, always handed on together.
struct VariableReferencePair {
    VariableReference Event;
    VariableReference Acknowledge;
};
