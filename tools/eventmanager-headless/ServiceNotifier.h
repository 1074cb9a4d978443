#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

// Tells systemd how the observer is doing (a unit of Type=notify): ready, reloading,
// stopping, a status line, and watchdog pings. A ping goes out only when the poll
// cycle counter moved since the last one, so a poll thread that hangs lets the
// watchdog fire even though the main loop still runs. Does nothing outside systemd.
class ServiceNotifier {
public:
    using Clock = std::chrono::steady_clock;

    // `cycles` is counted up by the poll thread at the end of every cycle.
    explicit ServiceNotifier(const std::atomic<std::uint64_t>& cycles);

    void Ready(const std::string& status);
    void Status(const std::string& status);
    void Reloading();
    void Stopping();

    // The poll cycle's period: a cycle longer than the ping interval still counts
    // as moving while the thread waits for its next deadline.
    void SetCyclePeriod(Clock::duration period) { m_CyclePeriod = period; }

    // How long the main loop may wait before PingIfDue has work (for poll()), -1: never.
    int MillisecondsToNextPing(Clock::time_point now) const;
    // At half the watchdog interval: WATCHDOG=1 when the poll cycle has moved on.
    void PingIfDue(Clock::time_point now);

private:
    void Notify(const std::string& state);

    const std::atomic<std::uint64_t>& m_Cycles;
    Clock::duration m_PingInterval{}; // zero: no watchdog
    Clock::time_point m_NextPing;
    Clock::duration m_CyclePeriod{};
    std::uint64_t m_CyclesAtLastPing = 0;
    Clock::time_point m_LastAdvance;
};

// The service manager's side, one per system. The watchdog interval it asks for,
// zero for none.
std::chrono::microseconds ServiceWatchdogInterval();
// Sends a notification such as "READY=1"; nothing without a service manager.
void SendServiceNotification(const std::string& state);
