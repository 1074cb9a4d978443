#pragma once

#include "app/logic/EventManagerDialog.h"
#include "tools/eventmanager-headless/ConsoleControls.h"
#include "tools/eventmanager-headless/ConsoleLog.h"
#include "tools/eventmanager-headless/ServiceNotifier.h"
#include "tools/eventmanager-headless/SignalPipe.h"
#include "tools/eventmanager-headless/WakeUpChannel.h"

// The observer's life: load the configuration from the settings, observe, and
// answer signals (SIGHUP reloads, SIGTERM and SIGINT stop) until it ends.
class HeadlessObserver {
public:
    HeadlessObserver(EventManagerDialog& dialog, ConsoleControls& controls, ConsoleLog& log,
                     WakeUpChannel& wakeUp, SignalPipe& signals, ServiceNotifier& notifier)
        : m_Dialog(dialog), m_Controls(controls), m_Log(log), m_WakeUp(wakeUp), m_Signals(signals),
          m_Notifier(notifier) {}

    // The process's exit code: 0 after a stop by signal (also one that cut the
    // start short), 1 when no usable configuration loads or observation cannot start.
    int Run();

private:
    // Reads the signals that arrived into the two requests below.
    void TakeSignals();
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
    SignalPipe& m_Signals;
    ServiceNotifier& m_Notifier;
    std::uint64_t m_CallsInStatus = 0;
    int m_StopSignal = 0;
    bool m_ReloadRequested = false;
};
