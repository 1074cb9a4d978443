#pragma once

#include "platform/SharedMemory.h"

#include <cstdint>
#include <string>

// The simulator's two shared-memory areas under names of this test's own, made
// the program's buffer names while the object lives.
class SimulationAreas {
public:
    // The event and acknowledge variables of StandardVariables().
    static constexpr std::uint32_t EventInput = 0x10;
    static constexpr std::uint32_t AckInput = 0x14;
    static constexpr std::uint32_t AckOutput = 0x24;

    SimulationAreas();
    // Areas of the given names; not valid when one of them exists already.
    SimulationAreas(const std::string& inputName, const std::string& outputName);
    ~SimulationAreas();
    SimulationAreas(const SimulationAreas&) = delete;
    SimulationAreas& operator=(const SimulationAreas&) = delete;

    bool Valid() const { return m_Input.IsValid() && m_Output.IsValid(); }
    std::uint32_t ReadInput(std::uint32_t offset) const;
    std::uint32_t ReadOutput(std::uint32_t offset) const;
    void WriteInput(std::uint32_t offset, std::uint32_t value);
    void ToggleInputBit(std::uint32_t offset, int bit) {
        WriteInput(offset, ReadInput(offset) ^ (1u << bit));
    }
    std::uint32_t Event() const { return ReadInput(EventInput); }
    std::uint32_t AckInputValue() const { return ReadInput(AckInput); }
    std::uint32_t AckOutputValue() const { return ReadOutput(AckOutput); }
    void SetEvent(std::uint32_t value) { WriteInput(EventInput, value); }
    void ToggleEvent(int bit) { ToggleInputBit(EventInput, bit); }

private:
    std::string m_InputName;
    std::string m_OutputName;
    MappedView m_Input;
    MappedView m_Output;
};
