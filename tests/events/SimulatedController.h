#pragma once

#include "tools/qrix-sim/SharedArea.h"

#include <cstdint>
#include <optional>
#include <string>

struct VariableReferencePair;

// The controller's side in simulation mode: both images under names of this test
// alone, which the engine is pointed at. The areas exist only after Create().
class SimulatedController {
public:
    static constexpr std::uint16_t EventOffset = 0x20;
    static constexpr std::uint16_t AckInputOffset = 0x24;
    static constexpr std::uint16_t AckOutputOffset = 0x40;

    SimulatedController();
    ~SimulatedController();
    SimulatedController(const SimulatedController&) = delete;
    SimulatedController& operator=(const SimulatedController&) = delete;

    // The references of the event and acknowledge variables in this layout.
    static VariableReferencePair References();

    bool Create();
    void SetEvent(std::uint32_t value);
    void ToggleEvent(int bit);
    void WriteEventBytes(const unsigned char (&bytes)[4]);
    std::uint32_t Event() const;
    std::uint32_t AckOutput() const;
    std::uint32_t AckInput() const;
    void SetAckOutput(std::uint32_t value);

private:
    std::string m_InputName;
    std::string m_OutputName;
    std::optional<SharedArea> m_Input;
    std::optional<SharedArea> m_Output;
};
