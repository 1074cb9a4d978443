#include "tests/app/SimulationAreas.h"

#include "controller/SimulationBuffers.h"
#include "tests/support/TempFolder.h"

#include <sys/mman.h>

#include <cstring>

namespace {

MappedView CreateArea(const std::string& name) {
    SharedMemoryStatus status;
    return CreateSharedMemory(name, SimulationBufferSize, 0600, status);
}

std::uint32_t Load(const MappedView& area, std::uint32_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, area.Get() + offset, sizeof value);
    return value;
}

} // namespace

SimulationAreas::SimulationAreas() : SimulationAreas(UniqueName("/kavel-in"), UniqueName("/kavel-out")) {}

SimulationAreas::SimulationAreas(const std::string& inputName, const std::string& outputName)
    : m_InputName(inputName), m_OutputName(outputName) {
    m_Input = CreateArea(m_InputName);
    m_Output = CreateArea(m_OutputName);
    SetSimulationBufferNames(m_InputName, m_OutputName);
}

SimulationAreas::~SimulationAreas() {
    CloseSimulationBuffers();
    ResetSimulationBuffers();
    SetSimulationBufferNames(DefaultInputBufferName, DefaultOutputBufferName);
    // Only what this object made: areas of someone else's simulator stay.
    if (m_Input.IsValid())
        ::shm_unlink(m_InputName.c_str());
    if (m_Output.IsValid())
        ::shm_unlink(m_OutputName.c_str());
}

std::uint32_t SimulationAreas::ReadInput(std::uint32_t offset) const {
    return Load(m_Input, offset);
}

std::uint32_t SimulationAreas::ReadOutput(std::uint32_t offset) const {
    return Load(m_Output, offset);
}

void SimulationAreas::WriteInput(std::uint32_t offset, std::uint32_t value) {
    std::memcpy(m_Input.Get() + offset, &value, sizeof value);
}
