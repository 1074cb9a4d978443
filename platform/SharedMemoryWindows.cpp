#include "platform/SharedMemory.h"

#include "platform/SharedMemoryWindows.h"
#include "platform/UniqueHandle.h"
#include "platform/WideText.h"

void MappedView::Reset() {
    if (m_Address != nullptr)
        ::UnmapViewOfFile(m_Address);
    m_Address = nullptr;
    m_Size = 0;
    m_Keeper.reset();
}

namespace {

MappedView Fail(SharedMemoryStatus& status, SharedMemoryFailure failure, const char* step = "") {
    status.Failure = failure;
    status.ErrorNumber = failure == SharedMemoryFailure::SystemError ? static_cast<int>(::GetLastError()) : 0;
    status.Step = step;
    return {};
}

std::shared_ptr<void> Keeper(UniqueHandle mapping) {
    return std::shared_ptr<void>(mapping.Release(), ::CloseHandle);
}

} // namespace

std::string MappingName(const std::string& name) {
    return name.starts_with('/') ? name.substr(1) : name;
}

std::size_t MappedRegionSize(const void* address) {
    MEMORY_BASIC_INFORMATION region{};
    return ::VirtualQuery(address, &region, sizeof region) == sizeof region ? region.RegionSize : 0;
}

MappedView MapSharedMemory(const std::string& name, std::size_t size, SharedMemoryStatus& status) {
    UniqueHandle mapping(
        ::OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, WideText(MappingName(name)).c_str()));
    if (!mapping.IsValid())
        return ::GetLastError() == ERROR_FILE_NOT_FOUND
                   ? Fail(status, SharedMemoryFailure::Missing)
                   : Fail(status, SharedMemoryFailure::SystemError, "open");
    // The whole mapping: its size is known only once it is mapped.
    void* address = ::MapViewOfFile(mapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
    if (address == nullptr)
        return Fail(status, SharedMemoryFailure::SystemError, "map");
    if (MappedRegionSize(address) < size) {
        ::UnmapViewOfFile(address);
        return Fail(status, SharedMemoryFailure::TooSmall);
    }
    status = {};
    return MappedView(address, size, Keeper(std::move(mapping)));
}

MappedView CreateSharedMemory(const std::string& name, std::size_t size, mode_t, SharedMemoryStatus& status) {
    const auto wide = static_cast<unsigned long long>(size);
    UniqueHandle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                              static_cast<DWORD>(wide >> 32), static_cast<DWORD>(wide),
                                              WideText(MappingName(name)).c_str()));
    if (!mapping.IsValid())
        return Fail(status, SharedMemoryFailure::SystemError, "create");
    if (::GetLastError() == ERROR_ALREADY_EXISTS)
        return Fail(status, SharedMemoryFailure::Exists);
    void* address = ::MapViewOfFile(mapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, size);
    if (address == nullptr)
        return Fail(status, SharedMemoryFailure::SystemError, "map");
    status = {};
    return MappedView(address, size, Keeper(std::move(mapping)));
}
