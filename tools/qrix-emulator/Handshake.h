#pragma once

#include "tools/qrix-emulator/ProcessImages.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct HandshakeSettings {
    std::vector<unsigned> Bits;
    std::chrono::milliseconds Duration{10000};
    double Rate = 0.0; // toggles per second and bit; 0: as fast as acknowledged
    std::chrono::milliseconds Grace{2000};
};

// Acts like the controller: toggles bits of the event variable (input image)
// and waits until the same bit of the acknowledge variable (output image, which
// the event manager writes) matches again.
class Handshake {
public:
    using Clock = std::chrono::steady_clock;

    Handshake(ProcessImages& images, ImageSlot event, ImageSlot acknowledge, HandshakeSettings settings,
              Clock::time_point now);

    // Takes acknowledgements, toggles what is due; call after every exchange and
    // whenever NextWakeup has come.
    void Step(Clock::time_point now);
    bool Done() const { return m_Done; }
    Clock::time_point NextWakeup() const;
    // One line: handshakes per second, latency p50/p99/max, bits never acknowledged.
    std::string Report() const;

    static constexpr std::size_t MaxSamples = 1000000;

private:
    enum class BitState { Settling, Waiting, Idle };
    struct BitRun {
        unsigned Bit = 0;
        BitState State = BitState::Settling;
        Clock::time_point ToggledAt{};
        Clock::time_point NextToggle{};
    };

    bool Matches(unsigned bit) const;

    ProcessImages& m_Images;
    ImageSlot m_Event;
    ImageSlot m_Acknowledge;
    HandshakeSettings m_Settings;
    Clock::time_point m_Start;
    Clock::time_point m_End;
    std::vector<BitRun> m_Runs;
    std::vector<double> m_LatenciesMs;
    std::uint64_t m_Completed = 0;
    bool m_Done = false;
};

// Bits "0-3,7" or "all" for 0 to 31; false with a text for anything else.
bool ParseBitList(const std::string& text, unsigned limit, std::vector<unsigned>& bits, std::string& error);
