#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/types.h>
#include <unistd.h>

#include <fstream>
#include <string>

// Voluntary context switches of one thread of this process: one each time it
// went to sleep; -1 when the system does not tell.
inline long VoluntarySwitches(pid_t thread) {
    std::ifstream status("/proc/self/task/" + std::to_string(thread) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
            return std::stol(line.substr(24));
    }
    return -1;
}

// Truncates or grows a shared-memory area the way `truncate -s` on /dev/shm does.
inline bool ResizeSharedMemory(const std::string& name, off_t size) {
    const int fd = ::shm_open(name.c_str(), O_RDWR, 0);
    if (fd < 0)
        return false;
    const bool resized = ::ftruncate(fd, size) == 0;
    ::close(fd);
    return resized;
}
