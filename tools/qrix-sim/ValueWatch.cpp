#include "tools/qrix-sim/ValueWatch.h"

#include "tools/qrix-sim/NumberText.h"
#include "tools/qrix-sim/SharedArea.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

void PrintValues(double milliseconds, std::uint32_t event, std::uint32_t ack, bool json, std::ostream& out) {
    char time[32] = {};
    std::snprintf(time, sizeof time, "%.3f", milliseconds);
    const std::string differ = FormatHex32((event ^ ack) & 0xFFFF);
    if (json)
        out << "{\"t_ms\":" << time << ",\"event\":" << event << ",\"ack\":" << ack << ",\"differ\":\""
            << differ << "\"}\n";
    else
        out << "t_ms=" << time << " event=" << FormatHex32(event) << " ack=" << FormatHex32(ack)
            << " differ=" << differ << '\n';
    out.flush();
}

} // namespace

std::uint64_t WatchValues(const SharedArea& eventArea, const SharedArea& ackArea, const WatchOptions& options,
                          std::ostream& out, const std::atomic<bool>& stop) {
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(options.DurationSeconds));
    std::uint64_t lines = 0;
    bool first = true;
    std::uint32_t lastEvent = 0;
    std::uint32_t lastAck = 0;
    for (Clock::time_point now = start; now < end && !stop.load(std::memory_order_relaxed);
         now = Clock::now()) {
        const std::uint32_t event = eventArea.Read32(options.EventOffset);
        const std::uint32_t ack = ackArea.Read32(options.AckOffset);
        if (first || event != lastEvent || ack != lastAck) {
            PrintValues(std::chrono::duration<double, std::milli>(now - start).count(), event, ack,
                        options.Json, out);
            ++lines;
            first = false;
            lastEvent = event;
            lastAck = ack;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(options.PollMicroseconds));
    }
    return lines;
}
