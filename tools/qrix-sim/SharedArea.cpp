#include "tools/qrix-sim/SharedArea.h"

#include "controller/SimulationBuffers.h"
#include "platform/ErrorText.h"
#include "tools/qrix-sim/AreaLifetime.h"

#include <cstring>
#include <utility>

std::string AreaFailureText(const std::string& name, const std::string& action, int errorNumber) {
    std::string text = ErrorText(errorNumber);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return name + ": cannot " + action + ": " + text;
}

namespace {

std::string Describe(const std::string& name, const SharedMemoryStatus& status) {
    switch (status.Failure) {
    case SharedMemoryFailure::Missing:
        return name + ": does not exist (run 'qrix-sim create' first)";
    case SharedMemoryFailure::Exists:
        return name + ": exists already (remove it first, or use --replace)";
    case SharedMemoryFailure::TooSmall:
        return name + ": is not an area of " + std::to_string(SimulationBufferSize) + " bytes";
    default:
        return AreaFailureText(name, status.Step, status.ErrorNumber);
    }
}

} // namespace

SharedArea::SharedArea(std::string name, MappedView mapping)
    : m_Name(std::move(name)), m_Mapping(std::move(mapping)) {}

std::optional<SharedArea> SharedArea::Create(const std::string& name, std::string& error) {
    SharedMemoryStatus status;
    MappedView mapping = CreateSharedMemory(name, SimulationBufferSize, 0600, status);
    if (!mapping.IsValid()) {
        error = Describe(name, status);
        return std::nullopt;
    }
    return SharedArea(name, std::move(mapping));
}

std::optional<SharedArea> SharedArea::Open(const std::string& name, std::string& error) {
    SharedMemoryStatus status;
    MappedView mapping = MapSharedMemory(name, SimulationBufferSize, status);
    if (!mapping.IsValid()) {
        error = Describe(name, status);
        return std::nullopt;
    }
    return SharedArea(name, std::move(mapping));
}

void SharedArea::Read(std::uint32_t offset, void* destination, std::uint32_t length) const {
    std::memcpy(destination, m_Mapping.Get() + offset, length);
}

void SharedArea::Write(std::uint32_t offset, const void* source, std::uint32_t length) {
    std::memcpy(m_Mapping.Get() + offset, source, length);
}

std::uint32_t SharedArea::Read32(std::uint32_t offset) const {
    // Volatile, so that a polling loop sees what the other process wrote meanwhile.
    const volatile std::uint8_t* bytes =
        reinterpret_cast<const volatile std::uint8_t*>(m_Mapping.Get() + offset);
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void SharedArea::Write32(std::uint32_t offset, std::uint32_t value) {
    volatile std::uint8_t* bytes = reinterpret_cast<volatile std::uint8_t*>(m_Mapping.Get() + offset);
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
    bytes[2] = static_cast<std::uint8_t>(value >> 16);
    bytes[3] = static_cast<std::uint8_t>(value >> 24);
}
