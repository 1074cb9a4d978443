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
    if (!LoadAndActivate()) {
        Stop();
        return 1;
    }
    for (;;) {
        pollfd descriptors[2] = {{m_Signals.Descriptor(), POLLIN, 0}, {m_WakeUp.Descriptor(), POLLIN, 0}};
        if (::poll(descriptors, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            m_Log.WriteLine("Waiting for signals failed: " + LastErrorText());
            Stop();
            return 1;
        }
        if (descriptors[1].revents != 0) {
            m_WakeUp.Clear();
            DeliverRequests();
        }
        if (descriptors[0].revents == 0)
            continue;
        while (const int signal = m_Signals.TakeSignal()) {
            if (signal == SIGHUP) {
                m_Log.WriteLine("SIGHUP: reloading the settings and the configuration");
                if (!Reload()) {
                    Stop();
                    return 1;
                }
                continue;
            }
            m_Log.WriteLine(SignalName(signal) + ": stopping observation");
            Stop();
            m_Log.WriteLine("Observation stopped");
            return 0;
        }
    }
}

bool HeadlessObserver::LoadAndActivate() {
    m_Dialog.ControlStateCode = 255;
    m_Dialog.LoadConfiguration();
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
    m_Controls.FinishRepeats();
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
