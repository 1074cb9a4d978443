#include "tools/qrix-sim/Responder.h"

#include "tools/qrix-sim/SharedArea.h"

#include <array>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned EventBitCount = 16;

void WriteAcknowledge(SharedArea& input, SharedArea& output, const HandshakeLayout& layout,
                      std::uint32_t value) {
    output.Write32(layout.AckOutOffset, value);
    input.Write32(layout.AckInOffset, value);
}

} // namespace

std::uint64_t RunResponder(SharedArea& input, SharedArea& output, const ResponderOptions& options,
                           const std::atomic<bool>& stop) {
    const HandshakeLayout& layout = options.Layout;
    const auto delay = std::chrono::milliseconds(options.DelayMs);
    const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(options.DurationSeconds));
    std::uint32_t lastEvent = input.Read32(layout.EventOffset);
    std::uint32_t ack = lastEvent;
    WriteAcknowledge(input, output, layout, ack);

    std::uint32_t running = 0;
    std::array<Clock::time_point, EventBitCount> due{};
    std::uint64_t acknowledged = 0;
    while (!stop.load(std::memory_order_relaxed)) {
        const Clock::time_point now = Clock::now();
        if (now >= end)
            break;
        const std::uint32_t event = input.Read32(layout.EventOffset);
        // A toggle of a running bit is absorbed, as the event manager does.
        const std::uint32_t started = (event ^ lastEvent) & options.Bits & ~running;
        lastEvent = event;
        std::uint32_t finished = 0;
        for (unsigned bit = 0; bit < EventBitCount; ++bit) {
            const std::uint32_t mask = 1u << bit;
            if ((started & mask) != 0)
                due[bit] = now + delay;
            if (((running | started) & mask) != 0 && now >= due[bit])
                finished |= mask;
        }
        running = (running | started) & ~finished;
        if (finished != 0) {
            ack ^= finished;
            WriteAcknowledge(input, output, layout, ack);
            for (std::uint32_t rest = finished; rest != 0; rest &= rest - 1)
                ++acknowledged;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(options.PollMicroseconds));
    }
    return acknowledged;
}
