#include "tools/qrix-emulator/Handshake.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

Handshake::Handshake(ProcessImages& images, ImageSlot event, ImageSlot acknowledge,
                     HandshakeSettings settings, Clock::time_point now)
    : m_Images(images), m_Event(std::move(event)), m_Acknowledge(std::move(acknowledge)),
      m_Settings(std::move(settings)), m_Start(now), m_End(now + m_Settings.Duration) {
    for (unsigned bit : m_Settings.Bits)
        m_Runs.push_back({bit, BitState::Settling, {}, now});
    m_LatenciesMs.reserve(std::min<std::size_t>(MaxSamples, 65536));
    Step(now);
}

bool Handshake::Matches(unsigned bit) const {
    return ((m_Images.Read(m_Event) ^ m_Images.Read(m_Acknowledge)) >> bit & 1U) == 0;
}

void Handshake::Step(Clock::time_point now) {
    if (m_Done)
        return;
    const bool toggling = now < m_End;
    bool outstanding = false;
    for (BitRun& run : m_Runs) {
        if (run.State != BitState::Idle && Matches(run.Bit)) {
            // A bit that differed at the start only settles; it counts from its first toggle.
            if (run.State == BitState::Waiting) {
                ++m_Completed;
                if (m_LatenciesMs.size() < MaxSamples)
                    m_LatenciesMs.push_back(
                        std::chrono::duration<double, std::milli>(now - run.ToggledAt).count());
            }
            run.State = BitState::Idle;
            if (m_Settings.Rate > 0.0 && run.ToggledAt != Clock::time_point{})
                run.NextToggle = run.ToggledAt + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(1.0 / m_Settings.Rate));
            else
                run.NextToggle = now;
        }
        if (toggling && run.State == BitState::Idle && now >= run.NextToggle) {
            std::string error;
            m_Images.ToggleBit(m_Event, run.Bit, error);
            run.State = BitState::Waiting;
            run.ToggledAt = now;
        }
        outstanding = outstanding || run.State != BitState::Idle;
    }
    if (!toggling && (!outstanding || now >= m_End + m_Settings.Grace))
        m_Done = true;
}

Handshake::Clock::time_point Handshake::NextWakeup() const {
    if (m_Done)
        return Clock::time_point::max();
    Clock::time_point next = m_End;
    if (Clock::now() >= m_End)
        next = m_End + m_Settings.Grace;
    for (const BitRun& run : m_Runs)
        if (run.State == BitState::Idle && run.NextToggle < next)
            next = run.NextToggle;
    return next;
}

std::string Handshake::Report() const {
    std::vector<double> sorted = m_LatenciesMs;
    std::sort(sorted.begin(), sorted.end());
    const auto percentile = [&sorted](double fraction) {
        if (sorted.empty())
            return 0.0;
        const auto index =
            static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size()))) - 1;
        return sorted[std::min(index, sorted.size() - 1)];
    };
    const double seconds = std::chrono::duration<double>(m_Settings.Duration).count();
    std::ostringstream line;
    line.setf(std::ios::fixed);
    line.precision(3);
    line << "handshake: " << m_Completed << " handshakes in " << seconds << " s, "
         << (seconds > 0 ? static_cast<double>(m_Completed) / seconds : 0.0) << " per second; latency p50 "
         << percentile(0.50) << " ms, p99 " << percentile(0.99) << " ms, max "
         << (sorted.empty() ? 0.0 : sorted.back()) << " ms; never acknowledged:";
    bool any = false;
    for (const BitRun& run : m_Runs) {
        if (run.State != BitState::Idle) {
            line << ' ' << run.Bit;
            any = true;
        }
    }
    if (!any)
        line << " none";
    return line.str();
}

bool ParseBitList(const std::string& text, unsigned limit, std::vector<unsigned>& bits, std::string& error) {
    bits.clear();
    if (text == "all") {
        for (unsigned bit = 0; bit < std::min(limit, 32U); ++bit)
            bits.push_back(bit);
        return true;
    }
    std::istringstream parts(text);
    std::string part;
    while (std::getline(parts, part, ',')) {
        char* end = nullptr;
        const unsigned long first = std::strtoul(part.c_str(), &end, 10);
        unsigned long last = first;
        if (end != part.c_str() && *end == '-' && std::isdigit(static_cast<unsigned char>(end[1])))
            last = std::strtoul(end + 1, &end, 10);
        if (part.empty() || *end != '\0' || !std::isdigit(static_cast<unsigned char>(part[0])) ||
            last < first || last >= limit) {
            error = "bad bit list \"" + text + "\": give bits below " + std::to_string(limit) + " like 0-3,7";
            return false;
        }
        for (unsigned long bit = first; bit <= last; ++bit)
            if (std::find(bits.begin(), bits.end(), bit) == bits.end())
                bits.push_back(static_cast<unsigned>(bit));
    }
    if (bits.empty()) {
        error = "no bits given";
        return false;
    }
    return true;
}
