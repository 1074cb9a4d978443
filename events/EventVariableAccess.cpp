#include "events/EventVariableAccess.h"

#include "controller/SimulationBuffers.h"
#include "events/ObservationState.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::uint32_t ValueSize = sizeof(std::uint32_t);

// References only accept 32-bit types; a longer length must still never copy
// past the value.
std::uint32_t BoundedLength(std::uint32_t length) {
    return std::min(length, ValueSize);
}

} // namespace

std::uint32_t ReadEventVariable(ObservationState& state) {
    if (state.Settings.UseSimEnvironment != 0) {
        std::array<unsigned char, ValueSize> bytes{};
        std::uint16_t status = SimulationStatusDone;
        const VariableReference& event = state.References.Event;
        ReadInputBuffer(bytes.data(), BoundedLength(event.Length), event.InputOffset, status);
        std::uint32_t value = 0;
        for (std::uint32_t i = 0; i < ValueSize; ++i)
            value |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
        return value;
    }
    std::uint32_t value = state.LastEventValue.load(std::memory_order_relaxed);
    state.Session.CommunicateVariable(value, state.References, 0);
    return value;
}

bool WriteAcknowledgeVariable(ObservationState& state, std::uint32_t value) {
    if (state.Settings.UseSimEnvironment != 0) {
        std::array<unsigned char, ValueSize> bytes{};
        for (std::uint32_t i = 0; i < ValueSize; ++i)
            bytes[i] = static_cast<unsigned char>(value >> (8 * i));
        // An area that is not mapped leaves the status as it was: start from "rejected".
        std::uint16_t outputStatus = SimulationStatusRejected;
        std::uint16_t inputStatus = SimulationStatusRejected;
        const VariableReference& acknowledge = state.References.Acknowledge;
        const std::uint32_t length = BoundedLength(acknowledge.Length);
        WriteOutputBuffer(bytes.data(), length, acknowledge.OutputOffset, outputStatus);
        WriteInputBuffer(bytes.data(), length, acknowledge.InputOffset, inputStatus);
        return outputStatus == SimulationStatusDone && inputStatus == SimulationStatusDone;
    }
    return state.Session.CommunicateVariable(value, state.References, 1);
}
