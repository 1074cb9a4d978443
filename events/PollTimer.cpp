#include "events/PollTimer.h"

#include "events/DeadlineTimer.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// One timer thread with the timer it sleeps on.
struct TimerThread {
    std::thread Thread;
    std::unique_ptr<DeadlineTimer> Timer;
};

class PollTimerState {
public:
    ~PollTimerState() {
        Stop();
        // Only a thread that stopped its own timer and then ended the program is
        // left; its handles go with the process.
        for (TimerThread& retired : m_Retired) {
            retired.Thread.detach();
            [[maybe_unused]] DeadlineTimer* kept = retired.Timer.release();
        }
    }

    bool Start(std::uint32_t periodMs, void (*cycle)(void*), void* argument) {
        std::vector<TimerThread> finished;
        const bool started = Launch(periodMs, cycle, argument, finished);
        for (TimerThread& thread : finished)
            thread.Thread.join();
        return started;
    }

    void Stop() {
        std::vector<TimerThread> threads;
        {
            std::lock_guard lock(m_Guard);
            if (m_Started) {
                m_TimerId.store(0, std::memory_order_release);
                m_Started = false;
                m_Current.Timer->Stop();
                m_Retired.push_back(std::move(m_Current));
            }
            TakeRetired(threads);
        }
        for (TimerThread& thread : threads)
            thread.Thread.join();
    }

private:
    bool Launch(std::uint32_t periodMs, void (*cycle)(void*), void* argument,
                std::vector<TimerThread>& finished) {
        std::lock_guard lock(m_Guard);
        if (m_Started || periodMs == 0)
            return false;
        TakeRetired(finished);
        TimerThread next;
        next.Timer = std::make_unique<DeadlineTimer>();
        if (!next.Timer->IsValid())
            return false;
        if (++m_LastId == 0)
            ++m_LastId;
        const std::uint32_t id = m_LastId;
        const Clock::duration period = std::chrono::milliseconds(periodMs);
        const Clock::time_point firstDeadline = Clock::now() + period;
        m_TimerId.store(id, std::memory_order_release);
        try {
            next.Thread = std::thread(&PollTimerState::Run, this, id, period, firstDeadline, cycle, argument,
                                      next.Timer.get());
        } catch (const std::system_error&) {
            m_TimerId.store(0, std::memory_order_release);
            return false;
        }
        m_Current = std::move(next);
        m_Started = true;
        return true;
    }

    // Moves every retired thread except the calling one into `threads`, for joining
    // outside the lock (a cycle may call Stop, which takes the lock).
    void TakeRetired(std::vector<TimerThread>& threads) {
        const auto self = std::this_thread::get_id();
        for (auto it = m_Retired.begin(); it != m_Retired.end();) {
            if (it->Thread.get_id() == self) {
                ++it;
                continue;
            }
            threads.push_back(std::move(*it));
            it = m_Retired.erase(it);
        }
    }

    bool IsCurrent(std::uint32_t id) const { return m_TimerId.load(std::memory_order_acquire) == id; }

    void Run(std::uint32_t id, Clock::duration period, Clock::time_point deadline, void (*cycle)(void*),
             void* argument, DeadlineTimer* timer) {
        DeadlineTimer::PrepareThread();
        for (;;) {
            // One wake-up per period; a tick of a timer that is no longer current is ignored.
            if (timer->SleepUntil(deadline) != DeadlineTimer::Wake::Deadline || !IsCurrent(id))
                return;
            if (cycle != nullptr)
                cycle(argument);
            // Deadlines that passed while the cycle ran are dropped, not queued.
            deadline += period;
            const Clock::time_point now = Clock::now();
            if (deadline <= now)
                deadline += ((now - deadline) / period + 1) * period;
        }
    }

    std::mutex m_Guard;
    TimerThread m_Current;
    std::vector<TimerThread> m_Retired;
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
