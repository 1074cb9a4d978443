#pragma once

#include <atomic>
#include <cstdint>
#include <ostream>

class SharedArea;

struct WatchOptions {
    std::uint32_t EventOffset = 4;
    std::uint32_t AckOffset = 4;
    double DurationSeconds = 60.0;
    std::uint32_t PollMicroseconds = 200;
    bool Json = false;
};

// Prints the event and acknowledge values once at the start and again whenever
// either changes, until the duration ends or `stop` is set. Returns the lines printed.
std::uint64_t WatchValues(const SharedArea& eventArea, const SharedArea& ackArea, const WatchOptions& options,
                          std::ostream& out, const std::atomic<bool>& stop);
