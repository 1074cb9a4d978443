#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

// What the poll timer's thread sleeps on: a timer of the system armed to an
// absolute deadline of the steady clock, and an event that wakes the sleeper at
// once from any thread and keeps it awake from then on.
class DeadlineTimer {
public:
    enum class Wake { Deadline, Stopped, Failed };

    DeadlineTimer();
    ~DeadlineTimer();
    DeadlineTimer(const DeadlineTimer&) = delete;
    DeadlineTimer& operator=(const DeadlineTimer&) = delete;

    bool IsValid() const;
    // On the sleeping thread, once before its first wait: the finest wake-up the system offers.
    static void PrepareThread();
    Wake SleepUntil(std::chrono::steady_clock::time_point deadline);
    void Stop();

private:
    struct Handles;
    std::unique_ptr<Handles> m_Handles;
};
