#include "tools/qrix-sim/AreaLifetime.h"

#include <sys/mman.h>

#include <cerrno>
#include <csignal>

namespace {

std::atomic<bool>* StopFlag = nullptr;

void RequestStop(int) {
    StopFlag->store(true);
}

} // namespace

void InstallStopHandlers(std::atomic<bool>& stop) {
    StopFlag = &stop;
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

int KeepCreatedAreas(std::vector<SharedArea>, const std::atomic<bool>&) {
    return 0;
}

bool SharedArea::Remove(const std::string& name, bool& existed, std::string& error) {
    existed = false;
    if (::shm_unlink(name.c_str()) == 0) {
        existed = true;
        return true;
    }
    if (errno == ENOENT)
        return true;
    error = AreaFailureText(name, "remove", errno);
    return false;
}
