#include "tools/eventmanager-headless/ConsoleLog.h"
#include "tools/eventmanager-headless/ServiceNotifier.h"

// No systemd: a service wrapper or the task scheduler watches the process itself.
std::chrono::microseconds ServiceWatchdogInterval() {
    return std::chrono::microseconds::zero();
}

void SendServiceNotification(const std::string&) {}

bool StandardOutputIsJournal() {
    return false;
}
