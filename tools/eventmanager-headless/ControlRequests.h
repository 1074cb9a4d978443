#pragma once

#include "tools/eventmanager-headless/WakeUpChannel.h"

#include <memory>
#include <string>

// A request from outside the program to stop or to reload.
struct ControlRequest {
    enum class Kind { None, Reload, Stop };
    Kind What = Kind::None;
    // How it came, for the log: "SIGTERM", "Ctrl+C", ...
    std::string Name;
};

// Stop and reload requests from outside, turned into something the main loop
// can wait for. POSIX: SIGHUP reloads, SIGTERM and SIGINT stop. Windows: Ctrl+C,
// Ctrl+Break, closing the console, log-off and shut-down stop; the named event
// ReloadEventName reloads. One instance per process; the handlers are restored
// when it goes.
class ControlRequests {
public:
    ControlRequests();
    ~ControlRequests();
    ControlRequests(const ControlRequests&) = delete;
    ControlRequests& operator=(const ControlRequests&) = delete;

    bool IsValid() const;
    // The next request that arrived; What is None when none waits.
    ControlRequest Take();

    struct WaitResult {
        bool Failed = false;
        bool WokenUp = false;
    };
    // Returns when a request arrives, `wakeUp` is signalled or `timeoutMs` has
    // passed (-1: no limit). WokenUp tells that `wakeUp` was signalled.
    WaitResult Wait(const WakeUpChannel& wakeUp, int timeoutMs);

    struct State;

private:
    std::unique_ptr<State> m_State;
};

// The `--reload` command: asks the observer that runs to reload; the exit status.
int SendReloadRequest();
// The part of the usage text about stopping and reloading.
const char* ControlRequestsUsage();
