#include "tools/qrix-sim/SharedArea.h"

#include "controller/SimulationBuffers.h"
#include "platform/ErrorText.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

std::string Describe(const std::string& name, const std::string& action, int errorNumber) {
    std::string text = ErrorText(errorNumber);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return name + ": cannot " + action + ": " + text;
}

std::byte* MapWhole(const std::string& name, const UniqueFd& handle, std::string& error) {
    void* address =
        ::mmap(nullptr, SimulationBufferSize, PROT_READ | PROT_WRITE, MAP_SHARED, handle.Get(), 0);
    if (address == MAP_FAILED) {
        error = Describe(name, "map", errno);
        return nullptr;
    }
    return static_cast<std::byte*>(address);
}

} // namespace

SharedArea::SharedArea(std::string name, std::byte* view, std::uint32_t size)
    : m_Name(std::move(name)), m_View(view), m_Size(size) {}

SharedArea::SharedArea(SharedArea&& other) noexcept
    : m_Name(std::move(other.m_Name)), m_View(std::exchange(other.m_View, nullptr)),
      m_Size(std::exchange(other.m_Size, 0)) {}

SharedArea& SharedArea::operator=(SharedArea&& other) noexcept {
    if (this != &other) {
        Unmap();
        m_Name = std::move(other.m_Name);
        m_View = std::exchange(other.m_View, nullptr);
        m_Size = std::exchange(other.m_Size, 0);
    }
    return *this;
}

SharedArea::~SharedArea() {
    Unmap();
}

void SharedArea::Unmap() {
    if (m_View != nullptr)
        ::munmap(m_View, m_Size);
    m_View = nullptr;
}

std::optional<SharedArea> SharedArea::Create(const std::string& name, std::string& error) {
    UniqueFd handle(::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!handle.IsValid()) {
        error = errno == EEXIST ? name + ": exists already (remove it first, or use --replace)"
                                : Describe(name, "create", errno);
        return std::nullopt;
    }
    // shm_open applies the umask; the mode must be exactly owner read-write.
    if (::fchmod(handle.Get(), 0600) != 0 || ::ftruncate(handle.Get(), SimulationBufferSize) != 0) {
        error = Describe(name, "size", errno);
        ::shm_unlink(name.c_str());
        return std::nullopt;
    }
    std::byte* view = MapWhole(name, handle, error);
    if (view == nullptr) {
        ::shm_unlink(name.c_str());
        return std::nullopt;
    }
    return SharedArea(name, view, SimulationBufferSize);
}

std::optional<SharedArea> SharedArea::Open(const std::string& name, std::string& error) {
    UniqueFd handle(::shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0));
    if (!handle.IsValid()) {
        error = errno == ENOENT ? name + ": does not exist (run 'qrix-sim create' first)"
                                : Describe(name, "open", errno);
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(handle.Get(), &status) != 0) {
        error = Describe(name, "examine", errno);
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode) || status.st_size < static_cast<off_t>(SimulationBufferSize)) {
        error = name + ": is not an area of " + std::to_string(SimulationBufferSize) + " bytes";
        return std::nullopt;
    }
    std::byte* view = MapWhole(name, handle, error);
    if (view == nullptr)
        return std::nullopt;
    return SharedArea(name, view, SimulationBufferSize);
}

bool SharedArea::Remove(const std::string& name, bool& existed, std::string& error) {
    existed = false;
    if (::shm_unlink(name.c_str()) == 0) {
        existed = true;
        return true;
    }
    if (errno == ENOENT)
        return true;
    error = Describe(name, "remove", errno);
    return false;
}

void SharedArea::Read(std::uint32_t offset, void* destination, std::uint32_t length) const {
    std::memcpy(destination, m_View + offset, length);
}

void SharedArea::Write(std::uint32_t offset, const void* source, std::uint32_t length) {
    std::memcpy(m_View + offset, source, length);
}

std::uint32_t SharedArea::Read32(std::uint32_t offset) const {
    // Volatile, so that a polling loop sees what the other process wrote meanwhile.
    const volatile std::uint8_t* bytes = reinterpret_cast<const volatile std::uint8_t*>(m_View + offset);
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void SharedArea::Write32(std::uint32_t offset, std::uint32_t value) {
    volatile std::uint8_t* bytes = reinterpret_cast<volatile std::uint8_t*>(m_View + offset);
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
    bytes[2] = static_cast<std::uint8_t>(value >> 16);
    bytes[3] = static_cast<std::uint8_t>(value >> 24);
}
