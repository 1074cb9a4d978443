#pragma once

#include <cstdint>

// The one periodic timer of the program. Its thread sleeps to absolute deadlines
// on the monotonic clock and calls the cycle function at every period; deadlines
// that pass while a cycle runs are dropped, not queued.

// False when a timer already runs (it is left alone), for a period of 0, or when
// the timer thread cannot be created.
bool StartPollTimer(std::uint32_t periodMs, void (*cycle)(void*), void* argument);

// Stops the timer; returns only after a cycle that is running has ended. Harmless
// when nothing runs. Called from inside a cycle it only stops further ticks.
void StopPollTimer();
