#include "tests/app/SimulationAreas.h"

#include "controller/SimulationBuffers.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

unsigned char* CreateArea(const std::string& name, bool& created) {
    const UniqueFd fd(::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600));
    created = fd.IsValid();
    if (!fd.IsValid() || ::ftruncate(fd.Get(), SimulationBufferSize) != 0)
        return nullptr;
    void* view = ::mmap(nullptr, SimulationBufferSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd.Get(), 0);
    return view == MAP_FAILED ? nullptr : static_cast<unsigned char*>(view);
}

std::uint32_t Load(const unsigned char* area, std::uint32_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, area + offset, sizeof value);
    return value;
}

std::string UniqueStem() {
    static std::atomic<int> counter{0};
    return "/kavel-app-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

} // namespace

SimulationAreas::SimulationAreas() : SimulationAreas(UniqueStem() + "-in", UniqueStem() + "-out") {}

SimulationAreas::SimulationAreas(const std::string& inputName, const std::string& outputName)
    : m_InputName(inputName), m_OutputName(outputName) {
    m_Input = CreateArea(m_InputName, m_InputCreated);
    m_Output = CreateArea(m_OutputName, m_OutputCreated);
    SetSimulationBufferNames(m_InputName, m_OutputName);
}

SimulationAreas::~SimulationAreas() {
    CloseSimulationBuffers();
    ResetSimulationBuffers();
    SetSimulationBufferNames(DefaultInputBufferName, DefaultOutputBufferName);
    if (m_Input != nullptr)
        ::munmap(m_Input, SimulationBufferSize);
    if (m_Output != nullptr)
        ::munmap(m_Output, SimulationBufferSize);
    // Only what this object made: areas of someone else's simulator stay.
    if (m_InputCreated)
        ::shm_unlink(m_InputName.c_str());
    if (m_OutputCreated)
        ::shm_unlink(m_OutputName.c_str());
}

std::uint32_t SimulationAreas::ReadInput(std::uint32_t offset) const {
    return Load(m_Input, offset);
}

std::uint32_t SimulationAreas::ReadOutput(std::uint32_t offset) const {
    return Load(m_Output, offset);
}

void SimulationAreas::WriteInput(std::uint32_t offset, std::uint32_t value) {
    std::memcpy(m_Input + offset, &value, sizeof value);
}
