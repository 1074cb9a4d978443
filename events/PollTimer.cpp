#include "events/PollTimer.h"

#include "platform/UniqueFd.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/timerfd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr std::int64_t NanosecondsPerMillisecond = 1'000'000;
constexpr std::int64_t NanosecondsPerSecond = 1'000'000'000;

std::int64_t MonotonicNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * NanosecondsPerSecond + now.tv_nsec;
}

bool ArmAt(int timer, std::int64_t deadline) {
    itimerspec expiry{};
    expiry.it_value.tv_sec = static_cast<time_t>(deadline / NanosecondsPerSecond);
    expiry.it_value.tv_nsec = static_cast<long>(deadline % NanosecondsPerSecond);
    return ::timerfd_settime(timer, TFD_TIMER_ABSTIME, &expiry, nullptr) == 0;
}

void Drain(int fd) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(fd, &count, sizeof count);
}

// One timer thread with its descriptors: a timer on the monotonic clock armed to
// each absolute deadline, and an event that wakes it at once when it is stopped.
struct TimerThread {
    std::thread Thread;
    UniqueFd Timer;
    UniqueFd StopEvent;
};

class PollTimerState {
public:
    ~PollTimerState() {
        Stop();
        // Only a thread that stopped its own timer and then ended the program is
        // left; its descriptors go with the process.
        for (TimerThread& retired : m_Retired) {
            retired.Thread.detach();
            retired.Timer.Release();
            retired.StopEvent.Release();
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
                const std::uint64_t one = 1;
                [[maybe_unused]] const ssize_t put = ::write(m_Current.StopEvent.Get(), &one, sizeof one);
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
        next.Timer.Reset(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC));
        next.StopEvent.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        if (!next.Timer.IsValid() || !next.StopEvent.IsValid())
            return false;
        if (++m_LastId == 0)
            ++m_LastId;
        const std::uint32_t id = m_LastId;
        const std::int64_t period = static_cast<std::int64_t>(periodMs) * NanosecondsPerMillisecond;
        const std::int64_t firstDeadline = MonotonicNow() + period;
        m_TimerId.store(id, std::memory_order_release);
        try {
            next.Thread = std::thread(&PollTimerState::Run, this, id, period, firstDeadline, cycle, argument,
                                      next.Timer.Get(), next.StopEvent.Get());
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

    // Sleeps until the deadline or the stop event, whichever comes first; one
    // wake-up per period. False when the timer was stopped.
    bool WaitFor(std::uint32_t id, std::int64_t deadline, int timer, int stopEvent) {
        if (!ArmAt(timer, deadline))
            return false;
        for (;;) {
            pollfd descriptors[2] = {{timer, POLLIN, 0}, {stopEvent, POLLIN, 0}};
            const int ready = ::poll(descriptors, 2, -1);
            if (!IsCurrent(id) || (ready > 0 && descriptors[1].revents != 0))
                return false;
            if (ready > 0 && descriptors[0].revents != 0) {
                Drain(timer);
                return true;
            }
            if (ready < 0 && errno != EINTR)
                return false;
        }
    }

    void Run(std::uint32_t id, std::int64_t period, std::int64_t deadline, void (*cycle)(void*),
             void* argument, int timer, int stopEvent) {
        // The finest wake-up the kernel offers this thread (its default slack is 50 us).
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        for (;;) {
            if (!WaitFor(id, deadline, timer, stopEvent))
                return;
            // A tick of a timer that is no longer current is ignored.
            if (!IsCurrent(id))
                return;
            if (cycle != nullptr)
                cycle(argument);
            // Deadlines that passed while the cycle ran are dropped, not queued.
            deadline += period;
            const std::int64_t now = MonotonicNow();
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
