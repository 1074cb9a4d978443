#include "tools/qrix-sim/LatencyRecorder.h"

#include <algorithm>
#include <cmath>

LatencyRecorder::LatencyRecorder(std::uint64_t seed, std::size_t sampleLimit)
    : m_SampleLimit(std::max<std::size_t>(sampleLimit, 1)), m_Random(seed) {}

void LatencyRecorder::Add(std::uint64_t nanoseconds) {
    ++m_Count;
    m_Maximum = std::max(m_Maximum, nanoseconds);
    if (m_Samples.size() < m_SampleLimit) {
        m_Samples.push_back(nanoseconds);
        return;
    }
    std::uniform_int_distribution<std::uint64_t> pick(0, m_Count - 1);
    const std::uint64_t slot = pick(m_Random);
    if (slot < m_SampleLimit)
        m_Samples[slot] = nanoseconds;
}

std::uint64_t LatencyRecorder::Percentile(double percent) const {
    if (m_Samples.empty())
        return 0;
    std::vector<std::uint64_t> sorted = m_Samples;
    const double rank =
        std::ceil(std::clamp(percent, 0.0, 100.0) / 100.0 * static_cast<double>(sorted.size()));
    const std::size_t index = rank < 1.0 ? 0 : static_cast<std::size_t>(rank) - 1;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(index), sorted.end());
    return sorted[index];
}
