#include "events/DeadlineTimer.h"

#include "platform/UniqueFd.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/timerfd.h>

#include <cerrno>

struct DeadlineTimer::Handles {
    UniqueFd Timer{::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC)};
    UniqueFd StopEvent{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
};

DeadlineTimer::DeadlineTimer() : m_Handles(std::make_unique<Handles>()) {}
DeadlineTimer::~DeadlineTimer() = default;

bool DeadlineTimer::IsValid() const {
    return m_Handles->Timer.IsValid() && m_Handles->StopEvent.IsValid();
}

void DeadlineTimer::PrepareThread() {
    // Its default slack is 50 us.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

DeadlineTimer::Wake DeadlineTimer::SleepUntil(std::chrono::steady_clock::time_point deadline) {
    // The steady clock is the monotonic clock the timer counts on.
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch()).count();
    itimerspec expiry{};
    expiry.it_value.tv_sec = static_cast<time_t>(nanoseconds / 1'000'000'000);
    expiry.it_value.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
    if (::timerfd_settime(m_Handles->Timer.Get(), TFD_TIMER_ABSTIME, &expiry, nullptr) != 0)
        return Wake::Failed;
    for (;;) {
        pollfd descriptors[2] = {{m_Handles->Timer.Get(), POLLIN, 0},
                                 {m_Handles->StopEvent.Get(), POLLIN, 0}};
        const int ready = ::poll(descriptors, 2, -1);
        if (ready > 0 && descriptors[1].revents != 0)
            return Wake::Stopped;
        if (ready > 0 && descriptors[0].revents != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(m_Handles->Timer.Get(), &count, sizeof count);
            return Wake::Deadline;
        }
        if (ready < 0 && errno != EINTR)
            return Wake::Failed;
    }
}

void DeadlineTimer::Stop() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t put = ::write(m_Handles->StopEvent.Get(), &one, sizeof one);
}
