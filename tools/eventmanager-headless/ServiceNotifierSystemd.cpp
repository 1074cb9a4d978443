#include "tools/eventmanager-headless/ConsoleLog.h"
#include "tools/eventmanager-headless/ServiceNotifier.h"

#include <sys/stat.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

std::chrono::microseconds ServiceWatchdogInterval() {
    std::uint64_t watchdogUsec = 0;
    if (sd_watchdog_enabled(0, &watchdogUsec) > 0)
        return std::chrono::microseconds(watchdogUsec);
    return std::chrono::microseconds::zero();
}

void SendServiceNotification(const std::string& state) {
    // Its result is of no use: without NOTIFY_SOCKET nothing is sent, and a
    // supervisor that went away must not stop observation.
    (void)sd_notify(0, state.c_str());
}

bool StandardOutputIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    std::uintmax_t device = 0, inode = 0;
    if (stream == nullptr || std::sscanf(stream, "%" SCNuMAX ":%" SCNuMAX, &device, &inode) != 2)
        return false;
    struct stat output {};
    // Output redirected by the unit's own command goes to a file, not the journal.
    return ::fstat(STDOUT_FILENO, &output) == 0 && output.st_dev == device && output.st_ino == inode;
}
