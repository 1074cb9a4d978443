#pragma once

#include <cstdint>
#include <string>

// The simulator's two shared-memory areas under names of this test's own, made
// the program's buffer names while the object lives.
class SimulationAreas {
public:
    SimulationAreas();
    // Areas of the given names; not valid when one of them exists already.
    SimulationAreas(const std::string& inputName, const std::string& outputName);
    ~SimulationAreas();
    SimulationAreas(const SimulationAreas&) = delete;
    SimulationAreas& operator=(const SimulationAreas&) = delete;

    bool Valid() const { return m_Input != nullptr && m_Output != nullptr; }
    std::uint32_t ReadInput(std::uint32_t offset) const;
    std::uint32_t ReadOutput(std::uint32_t offset) const;
    void WriteInput(std::uint32_t offset, std::uint32_t value);
    void ToggleInputBit(std::uint32_t offset, int bit) {
        WriteInput(offset, ReadInput(offset) ^ (1u << bit));
    }

private:
    std::string m_InputName;
    std::string m_OutputName;
    bool m_InputCreated = false;
    bool m_OutputCreated = false;
    unsigned char* m_Input = nullptr;
    unsigned char* m_Output = nullptr;
};
