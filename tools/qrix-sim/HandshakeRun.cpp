#include "tools/qrix-sim/HandshakeRun.h"

#include "tools/qrix-sim/LatencyRecorder.h"
#include "tools/qrix-sim/SharedArea.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned EventBitCount = 16;
constexpr double LongestDurationSeconds = 86400.0;
constexpr double HighestRate = 1'000'000.0;
constexpr std::uint32_t LongestTimeoutMs = 3'600'000;
constexpr std::uint32_t LongestPollMicroseconds = 1'000'000;

double Milliseconds(std::uint64_t nanoseconds) {
    return static_cast<double>(nanoseconds) / 1e6;
}

std::uint64_t Nanoseconds(Clock::duration duration) {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count());
}

// Whose turn the next toggle is, and when it comes.
class ToggleSchedule {
public:
    ToggleSchedule(const HandshakeOptions& options, Clock::time_point start)
        : m_Options(options), m_Next(start), m_Random(options.Seed) {}

    bool Due(Clock::time_point now) const { return now >= m_Next; }
    Clock::time_point Next() const { return m_Next; }

    // The bits to toggle now, from the idle ones.
    std::uint32_t Pick(std::uint32_t idle) {
        if (m_Options.Rate <= 0.0)
            return m_Options.Random ? RandomSubset(idle) : idle;
        return m_Options.Random ? RandomBit(idle) : NextInTurn(idle);
    }

    // One toggle was made at `now`; a backlog is dropped, not caught up.
    void Advance(Clock::time_point now) {
        if (m_Options.Rate <= 0.0)
            return;
        double seconds = 1.0 / m_Options.Rate;
        if (m_Options.Random)
            seconds = std::exponential_distribution<double>(m_Options.Rate)(m_Random);
        const auto gap = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        m_Next += gap;
        if (m_Next + gap < now)
            m_Next = now;
    }

private:
    std::uint32_t NextInTurn(std::uint32_t idle) {
        for (unsigned step = 1; step <= EventBitCount; ++step) {
            const unsigned bit = (m_LastBit + step) % EventBitCount;
            if ((idle & (1u << bit)) != 0) {
                m_LastBit = bit;
                return 1u << bit;
            }
        }
        return 0;
    }

    std::uint32_t RandomBit(std::uint32_t idle) {
        std::array<unsigned, EventBitCount> candidates{};
        unsigned count = 0;
        for (unsigned bit = 0; bit < EventBitCount; ++bit)
            if ((idle & (1u << bit)) != 0)
                candidates[count++] = bit;
        if (count == 0)
            return 0;
        return 1u << candidates[std::uniform_int_distribution<unsigned>(0, count - 1)(m_Random)];
    }

    std::uint32_t RandomSubset(std::uint32_t idle) { return idle & static_cast<std::uint32_t>(m_Random()); }

    const HandshakeOptions& m_Options;
    Clock::time_point m_Next;
    unsigned m_LastBit = EventBitCount - 1;
    std::mt19937_64 m_Random;
};

} // namespace

std::string CheckHandshakeOptions(const HandshakeOptions& options) {
    if (std::string problem = CheckHandshakeLayout(options.Layout); !problem.empty())
        return problem;
    if (options.Bits == 0)
        return "no bits to toggle";
    if (!(options.Rate >= 0.0 && options.Rate <= HighestRate))
        return "the rate must lie between 0 and 1000000 toggles per second";
    if (!(options.DurationSeconds > 0.0 && options.DurationSeconds <= LongestDurationSeconds))
        return "the duration must lie above 0 and at most 86400 seconds";
    if (options.TimeoutMs == 0 || options.TimeoutMs > LongestTimeoutMs)
        return "the timeout must lie between 1 and 3600000 ms";
    if (options.PollMicroseconds > LongestPollMicroseconds)
        return "the poll interval must be at most 1000000 microseconds";
    return {};
}

HandshakeReport RunHandshake(SharedArea& input, const SharedArea& output, const HandshakeOptions& options,
                             const std::atomic<bool>& stop) {
    const HandshakeLayout& layout = options.Layout;
    const std::uint32_t selected = options.Bits;
    const auto timeout = std::chrono::milliseconds(options.TimeoutMs);
    const auto poll = std::chrono::microseconds(options.PollMicroseconds);

    HandshakeReport report;
    report.Bits = options.Bits;
    report.Seed = options.Seed;
    LatencyRecorder latencies(options.Seed);

    const Clock::time_point start = Clock::now();
    const Clock::time_point toggleEnd = start + std::chrono::duration_cast<Clock::duration>(
                                                    std::chrono::duration<double>(options.DurationSeconds));
    std::uint32_t event = input.Read32(layout.EventOffset);
    std::uint32_t ack = output.Read32(layout.AckOutOffset);

    // Bits out of step get one timeout to come back into step; they count no latency.
    std::uint32_t pending = (event ^ ack) & selected;
    std::uint32_t counted = 0;
    std::uint32_t givenUp = 0;
    std::array<Clock::time_point, EventBitCount> since{};
    since.fill(start);
    report.OutOfStepAtStart = static_cast<std::uint16_t>(pending);

    ToggleSchedule schedule(options, start);
    for (;;) {
        if (stop.load(std::memory_order_relaxed)) {
            report.Interrupted = true;
            break;
        }
        Clock::time_point now = Clock::now();
        ack = output.Read32(layout.AckOutOffset);
        const std::uint32_t differing = (event ^ ack) & selected;
        // A bit given up that comes back into step (a late acknowledgement, or the
        // event manager synchronising at activation) takes part again.
        givenUp &= differing;

        const std::uint32_t answered = pending & ~differing;
        for (unsigned bit = 0; bit < EventBitCount; ++bit) {
            const std::uint32_t mask = 1u << bit;
            if ((answered & mask) != 0 && (counted & mask) != 0) {
                latencies.Add(Nanoseconds(now - since[bit]));
                ++report.PerBit[bit].Acknowledged;
                ++report.Handshakes;
            }
            if ((pending & ~answered & mask) != 0 && now - since[bit] >= timeout) {
                report.NeverAcknowledged |= static_cast<std::uint16_t>(mask);
                givenUp |= mask;
            }
        }
        pending &= ~(answered | givenUp);
        counted &= pending;

        // An idle bit out of step: the acknowledge moved without a toggle of ours.
        const std::uint32_t unexpected = differing & ~pending & ~givenUp;
        report.UnexpectedAcknowledge |= static_cast<std::uint16_t>(unexpected);
        givenUp |= unexpected;

        if (now >= toggleEnd) {
            if (pending == 0)
                break;
        } else if (const std::uint32_t idle = selected & ~pending & ~givenUp;
                   idle != 0 && schedule.Due(now)) {
            if (const std::uint32_t toggled = schedule.Pick(idle); toggled != 0) {
                event ^= toggled;
                now = Clock::now();
                input.Write32(layout.EventOffset, event);
                for (unsigned bit = 0; bit < EventBitCount; ++bit)
                    if ((toggled & (1u << bit)) != 0) {
                        since[bit] = now;
                        ++report.PerBit[bit].Toggles;
                        ++report.Toggles;
                    }
                pending |= toggled;
                counted |= toggled;
                schedule.Advance(now);
            }
        }

        // Sleep a poll interval, or less when the next toggle comes sooner.
        Clock::duration pause = poll;
        if (options.Rate > 0.0 && now < toggleEnd && (selected & ~pending & ~givenUp) != 0)
            pause =
                std::clamp<Clock::duration>(schedule.Next() - Clock::now(), Clock::duration::zero(), poll);
        if (pause > Clock::duration::zero())
            std::this_thread::sleep_for(pause);
    }

    const Clock::time_point end = Clock::now();
    report.ElapsedSeconds = std::chrono::duration<double>(end - start).count();
    if (report.ElapsedSeconds > 0.0)
        report.HandshakesPerSecond = static_cast<double>(report.Handshakes) / report.ElapsedSeconds;
    report.LatencyP50Ms = Milliseconds(latencies.Percentile(50.0));
    report.LatencyP99Ms = Milliseconds(latencies.Percentile(99.0));
    report.LatencyMaxMs = Milliseconds(latencies.Maximum());
    const std::uint32_t ackCopy = input.Read32(layout.AckInOffset);
    report.AckCopiesAgree = ((ackCopy ^ output.Read32(layout.AckOutOffset)) & selected) == 0;
    return report;
}
