#pragma once

#include "app/logic/EventManagerDialog.h"
#include "tools/eventmanager-headless/ConsoleControls.h"
#include "tools/eventmanager-headless/ConsoleLog.h"
#include "tools/eventmanager-headless/ControlRequests.h"
#include "tools/eventmanager-headless/ServiceNotifier.h"
#include "tools/eventmanager-headless/WakeUpChannel.h"

// The observer's life: load the configuration from the settings, observe, and
// answer requests from outside (reload, stop) until it ends.
class HeadlessObserver {
public:
    HeadlessObserver(EventManagerDialog& dialog, ConsoleControls& controls, ConsoleLog& log,
                     WakeUpChannel& wakeUp, ControlRequests& requests, ServiceNotifier& notifier)
        : m_Dialog(dialog), m_Controls(controls), m_Log(log), m_WakeUp(wakeUp), m_Requests(requests),
          m_Notifier(notifier) {}

    // The process's exit code: 0 after a stop request (also one that cut the
    // start short), 1 when no usable configuration loads or observation cannot start.
    int Run();

private:
    // Reads the requests that arrived into the two below.
    void TakeRequests();
    bool LoadAndActivate();
    bool Reload();
    void Stop();
    void DeliverRequests();
    void LogObservation();
    // The configuration in use and the calls of all tools, for the service manager.
    std::string StatusText();
    std::uint64_t TotalCalls() const;

    EventManagerDialog& m_Dialog;
    ConsoleControls& m_Controls;
    ConsoleLog& m_Log;
    WakeUpChannel& m_WakeUp;
    ControlRequests& m_Requests;
    ServiceNotifier& m_Notifier;
    std::uint64_t m_CallsInStatus = 0;
    std::string m_StopRequest; // how the stop came; empty while none did
    std::string m_ReloadRequest;
};
