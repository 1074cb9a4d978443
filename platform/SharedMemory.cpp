#include "platform/SharedMemory.h"

#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

void MappedView::Reset() {
    if (m_Address != nullptr)
        ::munmap(m_Address, m_Size);
    m_Address = nullptr;
    m_Size = 0;
    m_Keeper.reset();
}

namespace {

MappedView Fail(SharedMemoryStatus& status, SharedMemoryFailure failure, const char* step = "") {
    status.Failure = failure;
    status.ErrorNumber = failure == SharedMemoryFailure::SystemError ? errno : 0;
    status.Step = step;
    return {};
}

MappedView MapWhole(const UniqueFd& handle, std::size_t size, SharedMemoryStatus& status) {
    void* address = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, handle.Get(), 0);
    if (address == MAP_FAILED)
        return Fail(status, SharedMemoryFailure::SystemError, "map");
    status = {};
    return MappedView(address, size);
}

} // namespace

MappedView MapSharedMemory(const std::string& name, std::size_t size, SharedMemoryStatus& status) {
    const UniqueFd handle(::shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0));
    if (!handle.IsValid())
        return errno == ENOENT ? Fail(status, SharedMemoryFailure::Missing)
                               : Fail(status, SharedMemoryFailure::SystemError, "open");
    struct stat info {};
    if (::fstat(handle.Get(), &info) != 0)
        return Fail(status, SharedMemoryFailure::SystemError, "examine");
    if (!S_ISREG(info.st_mode) || info.st_size < static_cast<off_t>(size))
        return Fail(status, SharedMemoryFailure::TooSmall);
    return MapWhole(handle, size, status);
}

MappedView CreateSharedMemory(const std::string& name, std::size_t size, mode_t mode,
                              SharedMemoryStatus& status) {
    const UniqueFd handle(::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (!handle.IsValid())
        return errno == EEXIST ? Fail(status, SharedMemoryFailure::Exists)
                               : Fail(status, SharedMemoryFailure::SystemError, "create");
    // shm_open applies the umask; the mode must be exactly the one asked for.
    if (::fchmod(handle.Get(), mode) != 0 || ::ftruncate(handle.Get(), static_cast<off_t>(size)) != 0) {
        MappedView none = Fail(status, SharedMemoryFailure::SystemError, "size");
        ::shm_unlink(name.c_str());
        return none;
    }
    MappedView view = MapWhole(handle, size, status);
    if (!view.IsValid())
        ::shm_unlink(name.c_str());
    return view;
}
