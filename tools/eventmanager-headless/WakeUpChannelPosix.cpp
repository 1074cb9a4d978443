#include "tools/eventmanager-headless/WakeUpChannel.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

WakeUpChannel::WakeUpChannel() : m_Handle(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

void WakeUpChannel::Signal() {
    const std::uint64_t one = 1;
    // A full counter already wakes the loop; nothing is lost by ignoring EAGAIN.
    [[maybe_unused]] const auto written = ::write(m_Handle.Get(), &one, sizeof one);
}

void WakeUpChannel::Clear() {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto read = ::read(m_Handle.Get(), &count, sizeof count);
}
