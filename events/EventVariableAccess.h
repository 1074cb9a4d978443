#pragma once

#include <cstdint>

class ObservationState;

// The event variable as the current mode delivers it: the simulation input image
// (host order), or the controller's exchange, which leaves `LastEventValue` when
// the read fails.
std::uint32_t ReadEventVariable(ObservationState& state);

// The acknowledge variable into the simulation output and input images, or to the
// controller. True only when the value reached both images, or the controller.
bool WriteAcknowledgeVariable(ObservationState& state, std::uint32_t value);
