#pragma once

#include "tools/qrix-sim/HandshakeLayout.h"

#include <atomic>
#include <cstdint>

class SharedArea;

// The event manager's side of the handshake, without tools: a toggled event bit is
// acknowledged after a delay, in the output image and then in the input copy.
struct ResponderOptions {
    HandshakeLayout Layout;
    // Toggles of other bits are never acknowledged, like slots without a tool.
    std::uint16_t Bits = 0xFFFF;
    std::uint32_t DelayMs = 0;
    double DurationSeconds = 60.0;
    std::uint32_t PollMicroseconds = 100;
};

// Makes the acknowledge equal to the event variable first, then answers until the
// duration ends or `stop` is set. Returns the number of bits acknowledged.
std::uint64_t RunResponder(SharedArea& input, SharedArea& output, const ResponderOptions& options,
                           const std::atomic<bool>& stop);
