#pragma once

#include <cstdint>

// Milliseconds of the monotonic clock, truncated to 32 bits (wraps after 49.7 days).
std::uint32_t TickCount();
