#include "tools/eventmanager-headless/HeadlessObserver.h"

#include "app/core/AppSettings.h"
#include "config/EventConfiguration.h"
#include "events/Activation.h"
#include "platform/ErrorText.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

constexpr std::uint32_t MinimumPollCycle = 5;

std::string SignalName(int signal) {
    switch (signal) {
    case SIGHUP:
        return "SIGHUP";
    case SIGTERM:
        return "SIGTERM";
    case SIGINT:
        return "SIGINT";
    default:
        return "signal " + std::to_string(signal);
    }
}

} // namespace

int HeadlessObserver::Run() {
    LoadSettings(m_Dialog.Settings);
    const char* phase = "start-up";
    bool active = LoadAndActivate();
    for (;;) {
        TakeSignals();
        // A stop request wins over everything else, a failed start included.
        if (m_StopSignal != 0) {
            m_Log.WriteLine(SignalName(m_StopSignal) +
                            (active ? ": stopping observation"
                                    : std::string(": ") + phase + " cut short, observation is not active"));
            Stop();
            if (active)
                m_Log.WriteLine("Observation stopped");
            return 0;
        }
        if (!active) {
            Stop();
            return 1;
        }
        if (m_ReloadRequested) {
            m_ReloadRequested = false;
            m_Log.WriteLine("SIGHUP: reloading the settings and the configuration");
            phase = "reload";
            active = Reload();
            continue;
        }
        pollfd descriptors[2] = {{m_Signals.Descriptor(), POLLIN, 0}, {m_WakeUp.Descriptor(), POLLIN, 0}};
        if (::poll(descriptors, 2, -1) < 0 && errno != EINTR) {
            m_Log.WriteLine("Waiting for signals failed: " + LastErrorText());
            Stop();
            return 1;
        }
        if (descriptors[1].revents != 0) {
            m_WakeUp.Clear();
            DeliverRequests();
        }
    }
}

void HeadlessObserver::TakeSignals() {
    while (const int signal = m_Signals.TakeSignal()) {
        if (signal == SIGHUP)
            m_ReloadRequested = true;
        else if (m_StopSignal == 0)
            m_StopSignal = signal;
    }
}

bool HeadlessObserver::LoadAndActivate() {
    m_Dialog.ControlStateCode = 255;
    m_Dialog.LoadConfiguration();
    // A download that stalled may have kept a stop request waiting: no activation then.
    TakeSignals();
    if (m_StopSignal != 0)
        return false;
    if (!m_Dialog.ActivationAllowed()) {
        m_Log.WriteLine("No usable configuration: observation cannot be activated");
        return false;
    }
    m_Dialog.OnActivateButton();
    DeliverRequests();
    if (!m_Dialog.ObservationActive) {
        m_Log.WriteLine("Observation could not be activated");
        return false;
    }
    LogObservation();
    return true;
}

bool HeadlessObserver::Reload() {
    DeactivateObservation(m_Dialog);
    DeliverRequests();
    LoadSettings(m_Dialog.Settings);
    return LoadAndActivate();
}

void HeadlessObserver::Stop() {
    m_Dialog.OnCancel();
    DeliverRequests();
    m_Log.FinishRepeats();
}

void HeadlessObserver::DeliverRequests() {
    if (m_Controls.TakeMessageDelivery())
        m_Dialog.DeliverPendingMessages();
    if (m_Controls.TakeCallCountRefresh())
        m_Dialog.ApplyCallCounts();
}

void HeadlessObserver::LogObservation() {
    const EventConfiguration* configuration = ConfigurationInUse(m_Dialog.Settings);
    if (configuration == nullptr)
        return;
    const GlobalParameters& parameters = configuration->GetGlobalParameters();
    const std::uint32_t pollCycle = std::max(parameters.PollCycle, MinimumPollCycle);
    const std::string source = m_Dialog.Settings.UseSimEnvironment
                                   ? std::string("the simulation buffers")
                                   : "the controller at " + m_Dialog.Session.Paths.ControllerAddress;
    m_Log.WriteLine("Observing \"" + parameters.Description + "\" (UniqueID " +
                    std::to_string(parameters.UniqueID) + ") in " + source + " every " +
                    std::to_string(pollCycle) + " ms");
}
