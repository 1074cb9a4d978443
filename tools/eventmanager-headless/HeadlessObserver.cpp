#include "tools/eventmanager-headless/HeadlessObserver.h"

#include "app/core/AppSettings.h"
#include "config/EventConfiguration.h"
#include "events/Activation.h"
#include "events/RunRecord.h"
#include "platform/ErrorText.h"

#include <algorithm>

namespace {

constexpr std::uint32_t MinimumPollCycle = 5;

} // namespace

int HeadlessObserver::Run() {
    m_Dialog.OpenRunFiles();
    LoadSettings(m_Dialog.Settings);
    const char* phase = "start-up";
    bool active = LoadAndActivate();
    if (active)
        m_Notifier.Ready(StatusText());
    for (;;) {
        TakeRequests();
        // A stop request wins over everything else, a failed start included.
        if (!m_StopRequest.empty()) {
            m_Log.WriteLine(m_StopRequest +
                            (active ? ": stopping observation"
                                    : std::string(": ") + phase + " cut short, observation is not active"));
            m_Notifier.Stopping();
            Stop();
            if (active)
                m_Log.WriteLine("Observation stopped");
            return 0;
        }
        if (!active) {
            Stop();
            return 1;
        }
        if (!m_ReloadRequest.empty()) {
            m_Log.WriteLine(m_ReloadRequest + ": reloading the settings and the configuration");
            m_ReloadRequest.clear();
            phase = "reload";
            m_Notifier.Reloading();
            active = Reload();
            if (active)
                m_Notifier.Ready(StatusText());
            continue;
        }
        const int timeout = m_Notifier.MillisecondsToNextPing(ServiceNotifier::Clock::now());
        const ControlRequests::WaitResult waited = m_Requests.Wait(m_WakeUp, timeout);
        if (waited.Failed) {
            m_Log.WriteLine("Waiting for requests failed: " + LastErrorText());
            Stop();
            return 1;
        }
        if (waited.WokenUp) {
            m_WakeUp.Clear();
            DeliverRequests();
        }
        m_Notifier.PingIfDue(ServiceNotifier::Clock::now());
    }
}

void HeadlessObserver::TakeRequests() {
    for (ControlRequest request = m_Requests.Take(); request.What != ControlRequest::Kind::None;
         request = m_Requests.Take()) {
        if (request.What == ControlRequest::Kind::Reload)
            m_ReloadRequest = request.Name;
        else if (m_StopRequest.empty())
            m_StopRequest = request.Name;
    }
}

bool HeadlessObserver::LoadAndActivate() {
    m_Dialog.ControlStateCode = 255;
    m_Dialog.LoadConfiguration();
    // A download that stalled may have kept a stop request waiting: no activation then.
    TakeRequests();
    if (!m_StopRequest.empty())
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
    if (m_Controls.TakeCallCountRefresh()) {
        m_Dialog.ApplyCallCounts();
        if (m_Dialog.ObservationActive && TotalCalls() != m_CallsInStatus)
            m_Notifier.Status(StatusText());
    }
}

void HeadlessObserver::LogObservation() {
    const EventConfiguration* configuration = ConfigurationInUse(m_Dialog.Settings);
    if (configuration == nullptr)
        return;
    const GlobalParameters& parameters = configuration->GetGlobalParameters();
    const std::uint32_t pollCycle = std::max(parameters.PollCycle, MinimumPollCycle);
    m_Notifier.SetCyclePeriod(std::chrono::milliseconds(pollCycle));
    const std::string source = m_Dialog.Settings.UseSimEnvironment
                                   ? std::string("the simulation buffers")
                                   : "the controller at " + m_Dialog.Session.Paths.ControllerAddress;
    m_Log.WriteLine("Observing \"" + parameters.Description + "\" (UniqueID " +
                    std::to_string(parameters.UniqueID) + ") in " + source + " every " +
                    std::to_string(pollCycle) + " ms");
}

std::uint64_t HeadlessObserver::TotalCalls() const {
    std::uint64_t calls = 0;
    for (const ToolSlot& slot : m_Dialog.ToolSlots)
        calls += slot.CallCount.load(std::memory_order_relaxed);
    return calls;
}

std::string HeadlessObserver::StatusText() {
    const EventConfiguration* configuration = ConfigurationInUse(m_Dialog.Settings);
    const std::string name = configuration == nullptr
                                 ? std::string("no configuration")
                                 : "\"" + configuration->GetGlobalParameters().Description + "\" (UniqueID " +
                                       std::to_string(configuration->GetGlobalParameters().UniqueID) + ")";
    const std::uint64_t calls = TotalCalls();
    m_CallsInStatus = calls;
    return "Observing " + name + ", " + std::to_string(calls) + (calls == 1 ? " call" : " calls");
}
