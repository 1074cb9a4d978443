#include "tools/eventmanager-headless/ServiceNotifier.h"

#include <algorithm>
#include <limits>

ServiceNotifier::ServiceNotifier(const std::atomic<std::uint64_t>& cycles) : m_Cycles(cycles) {
    m_PingInterval = ServiceWatchdogInterval() / 2;
    m_LastAdvance = Clock::now();
    m_NextPing = m_LastAdvance + m_PingInterval;
    m_CyclesAtLastPing = m_Cycles.load(std::memory_order_relaxed);
}

void ServiceNotifier::Ready(const std::string& status) {
    Notify("READY=1\nSTATUS=" + status);
}

void ServiceNotifier::Status(const std::string& status) {
    Notify("STATUS=" + status);
}

void ServiceNotifier::Reloading() {
    Notify("RELOADING=1\nSTATUS=Reloading the settings and the configuration");
}

void ServiceNotifier::Stopping() {
    Notify("STOPPING=1\nSTATUS=Stopping observation");
}

int ServiceNotifier::MillisecondsToNextPing(Clock::time_point now) const {
    if (m_PingInterval == Clock::duration::zero())
        return -1;
    if (now >= m_NextPing)
        return 0;
    // Rounded up, so that the wake-up does not come a little early and spin.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_NextPing - now).count();
    return static_cast<int>(std::min<long long>(wait, std::numeric_limits<int>::max()));
}

void ServiceNotifier::PingIfDue(Clock::time_point now) {
    if (m_PingInterval == Clock::duration::zero() || now < m_NextPing)
        return;
    const std::uint64_t cycles = m_Cycles.load(std::memory_order_relaxed);
    if (cycles != m_CyclesAtLastPing) {
        m_CyclesAtLastPing = cycles;
        m_LastAdvance = now;
    }
    // A thread waiting for a deadline further away than the ping interval is not stuck.
    const bool waiting =
        m_CyclePeriod > m_PingInterval && now - m_LastAdvance < m_CyclePeriod + m_PingInterval;
    if (m_LastAdvance == now || waiting)
        Notify("WATCHDOG=1");
    // From now, not from the missed time: a main loop held up pings once, not in a burst.
    m_NextPing = now + m_PingInterval;
}

void ServiceNotifier::Notify(const std::string& state) {
    SendServiceNotification(state);
}
