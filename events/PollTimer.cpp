#include "events/PollTimer.h"

#include <sys/prctl.h>

#include <atomic>
#include <ctime>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr std::int64_t NanosecondsPerMillisecond = 1'000'000;
constexpr std::int64_t NanosecondsPerSecond = 1'000'000'000;
// How long the timer thread sleeps at most before it looks whether it was
// stopped; bounds the time StopPollTimer waits for a sleeping thread.
constexpr std::int64_t StopCheckInterval = 10 * NanosecondsPerMillisecond;

std::int64_t MonotonicNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * NanosecondsPerSecond + now.tv_nsec;
}

void SleepUntil(std::int64_t deadline) {
    timespec wake{};
    wake.tv_sec = static_cast<time_t>(deadline / NanosecondsPerSecond);
    wake.tv_nsec = static_cast<long>(deadline % NanosecondsPerSecond);
    // EINTR simply ends the sleep early; the caller looks at the clock again.
    ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
}

class PollTimerState {
public:
    ~PollTimerState() {
        Stop();
        // Only a thread that stopped its own timer and then ended the program is left.
        for (std::thread& thread : m_Retired)
            thread.detach();
    }

    bool Start(std::uint32_t periodMs, void (*cycle)(void*), void* argument) {
        std::vector<std::thread> finished;
        const bool started = Launch(periodMs, cycle, argument, finished);
        for (std::thread& thread : finished)
            thread.join();
        return started;
    }

    void Stop() {
        std::vector<std::thread> threads;
        {
            std::lock_guard lock(m_Guard);
            if (m_Started) {
                m_TimerId.store(0, std::memory_order_release);
                m_Started = false;
                m_Retired.push_back(std::move(m_Thread));
            }
            TakeRetired(threads);
        }
        for (std::thread& thread : threads)
            thread.join();
    }

private:
    bool Launch(std::uint32_t periodMs, void (*cycle)(void*), void* argument,
                std::vector<std::thread>& finished) {
        std::lock_guard lock(m_Guard);
        if (m_Started || periodMs == 0)
            return false;
        TakeRetired(finished);
        if (++m_LastId == 0)
            ++m_LastId;
        const std::uint32_t id = m_LastId;
        const std::int64_t period = static_cast<std::int64_t>(periodMs) * NanosecondsPerMillisecond;
        const std::int64_t firstDeadline = MonotonicNow() + period;
        m_TimerId.store(id, std::memory_order_release);
        try {
            m_Thread = std::thread(&PollTimerState::Run, this, id, period, firstDeadline, cycle, argument);
        } catch (const std::system_error&) {
            m_TimerId.store(0, std::memory_order_release);
            return false;
        }
        m_Started = true;
        return true;
    }

    // Moves every retired thread except the calling one into `threads`, for joining
    // outside the lock (a cycle may call Stop, which takes the lock).
    void TakeRetired(std::vector<std::thread>& threads) {
        const auto self = std::this_thread::get_id();
        for (auto it = m_Retired.begin(); it != m_Retired.end();) {
            if (it->get_id() == self) {
                ++it;
                continue;
            }
            threads.push_back(std::move(*it));
            it = m_Retired.erase(it);
        }
    }

    bool IsCurrent(std::uint32_t id) const { return m_TimerId.load(std::memory_order_acquire) == id; }

    void Run(std::uint32_t id, std::int64_t period, std::int64_t deadline, void (*cycle)(void*),
             void* argument) {
        // The finest wake-up the kernel offers this thread (its default slack is 50 us).
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        for (;;) {
            for (;;) {
                if (!IsCurrent(id))
                    return;
                const std::int64_t now = MonotonicNow();
                if (now >= deadline)
                    break;
                SleepUntil(deadline - now > StopCheckInterval ? now + StopCheckInterval : deadline);
            }
            // A tick of a timer that is no longer current is ignored.
            if (!IsCurrent(id))
                return;
            if (cycle != nullptr)
                cycle(argument);
            deadline += period;
            const std::int64_t now = MonotonicNow();
            if (deadline <= now)
                deadline += ((now - deadline) / period + 1) * period;
        }
    }

    std::mutex m_Guard;
    std::thread m_Thread;
    std::vector<std::thread> m_Retired;
    std::atomic<std::uint32_t> m_TimerId{0};
    std::uint32_t m_LastId = 0;
    bool m_Started = false;
};

PollTimerState& TheTimer() {
    static PollTimerState timer;
    return timer;
}

} // namespace

bool StartPollTimer(std::uint32_t periodMs, void (*cycle)(void*), void* argument) {
    return TheTimer().Start(periodMs, cycle, argument);
}

void StopPollTimer() {
    TheTimer().Stop();
}
