#pragma once

#include "tools/qrix-sim/HandshakeLayout.h"
#include "tools/qrix-sim/HandshakeReport.h"

#include <atomic>
#include <cstdint>
#include <string>

class SharedArea;

// The controller's side of the event handshake.
struct HandshakeOptions {
    HandshakeLayout Layout;
    std::uint16_t Bits = 0xFFFF;
    // Toggles per second over all bits; 0 toggles every idle bit at once.
    double Rate = 0.0;
    double DurationSeconds = 10.0;
    // How long a toggle may wait for its acknowledgement.
    std::uint32_t TimeoutMs = 2000;
    std::uint64_t Seed = 1;
    // Random idle bits at random moments instead of round robin at even intervals.
    bool Random = false;
    std::uint32_t PollMicroseconds = 100;
};

std::string CheckHandshakeOptions(const HandshakeOptions& options);

// Toggles event bits in the input image and waits for each acknowledgement in the
// output image. A bit that waited longer than the timeout is reported and left
// alone until it comes back into step. Ends after the duration plus at most one
// timeout, or soon after `stop` is set.
HandshakeReport RunHandshake(SharedArea& input, const SharedArea& output, const HandshakeOptions& options,
                             const std::atomic<bool>& stop);
