#include "events/DeadlineTimer.h"

#include "platform/UniqueHandle.h"

#include <windows.h>

#include <mmsystem.h>

#include <algorithm>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

struct DeadlineTimer::Handles {
    Handles() {
        Timer.Reset(::CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                             TIMER_ALL_ACCESS));
        if (!Timer.IsValid()) {
            // Older systems (and Wine) refuse the flag: a plain timer at a 1 ms system tick.
            Timer.Reset(::CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS));
            FinerTick = Timer.IsValid() && ::timeBeginPeriod(1) == TIMERR_NOERROR;
        }
    }
    ~Handles() {
        if (FinerTick)
            ::timeEndPeriod(1);
    }
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;

    UniqueHandle Timer;
    UniqueHandle StopEvent{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    bool FinerTick = false;
};

DeadlineTimer::DeadlineTimer() : m_Handles(std::make_unique<Handles>()) {}
DeadlineTimer::~DeadlineTimer() = default;

bool DeadlineTimer::IsValid() const {
    return m_Handles->Timer.IsValid() && m_Handles->StopEvent.IsValid();
}

void DeadlineTimer::PrepareThread() {}

DeadlineTimer::Wake DeadlineTimer::SleepUntil(std::chrono::steady_clock::time_point deadline) {
    // The system's absolute times follow the wall clock; the deadline follows the
    // steady clock, so the timer gets the time left (negative: relative, 100 ns units).
    const auto left = deadline - std::chrono::steady_clock::now();
    const auto units = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count() / 100;
    LARGE_INTEGER due{};
    due.QuadPart = -std::max<long long>(units, 1);
    if (!::SetWaitableTimer(m_Handles->Timer.Get(), &due, 0, nullptr, nullptr, FALSE))
        return Wake::Failed;
    // The stop event first: when both are set, stopping wins.
    const HANDLE handles[2] = {m_Handles->StopEvent.Get(), m_Handles->Timer.Get()};
    switch (::WaitForMultipleObjects(2, handles, FALSE, INFINITE)) {
    case WAIT_OBJECT_0:
        return Wake::Stopped;
    case WAIT_OBJECT_0 + 1:
        return Wake::Deadline;
    default:
        return Wake::Failed;
    }
}

void DeadlineTimer::Stop() {
    ::SetEvent(m_Handles->StopEvent.Get());
}
