#pragma once

#include <array>
#include <cstdint>
#include <ostream>

struct BitCounts {
    std::uint64_t Toggles = 0;
    std::uint64_t Acknowledged = 0;
};

// What one handshake run saw.
struct HandshakeReport {
    std::uint16_t Bits = 0;
    std::uint64_t Seed = 0;
    std::uint64_t Toggles = 0;
    std::uint64_t Handshakes = 0;
    double ElapsedSeconds = 0.0;
    double HandshakesPerSecond = 0.0;
    double LatencyP50Ms = 0.0;
    double LatencyP99Ms = 0.0;
    double LatencyMaxMs = 0.0;
    // Bits whose toggle was not acknowledged within the timeout (including bits
    // already out of step at the start that never came back into step).
    std::uint16_t NeverAcknowledged = 0;
    std::uint16_t OutOfStepAtStart = 0;
    // Bits whose acknowledge toggled although no toggle of ours was waiting.
    std::uint16_t UnexpectedAcknowledge = 0;
    // The acknowledge copy in the input image matched the output image at the end.
    bool AckCopiesAgree = true;
    bool Interrupted = false;
    std::array<BitCounts, 16> PerBit{};

    bool Succeeded() const { return NeverAcknowledged == 0 && UnexpectedAcknowledge == 0; }
};

// One "key=value" per line, or one JSON object.
void WriteHandshakeReport(const HandshakeReport& report, bool json, std::ostream& out);
