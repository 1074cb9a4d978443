#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

// Collects latencies for percentiles. Past the sample limit it keeps a uniform
// random sample (reservoir), so memory stays bounded however long a run lasts;
// the count and the maximum stay exact.
class LatencyRecorder {
public:
    explicit LatencyRecorder(std::uint64_t seed, std::size_t sampleLimit = 1'000'000);

    void Add(std::uint64_t nanoseconds);
    std::uint64_t Count() const { return m_Count; }
    std::uint64_t Maximum() const { return m_Maximum; }
    // Nearest-rank percentile (0 < percent <= 100); 0 without samples.
    std::uint64_t Percentile(double percent) const;

private:
    std::vector<std::uint64_t> m_Samples;
    std::size_t m_SampleLimit = 0;
    std::uint64_t m_Count = 0;
    std::uint64_t m_Maximum = 0;
    std::mt19937_64 m_Random;
};
