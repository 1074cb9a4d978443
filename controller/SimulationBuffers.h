#pragma once

#include <cstdint>
#include <string>

// Simulation mode: the controller is replaced by two shared-memory areas that the
// simulator creates. There is one process-wide state; reads and writes run on the
// poll thread, open, close and reset on the main thread while no poll runs.

inline constexpr std::uint32_t SimulationBufferSize = 0x100000;
inline constexpr std::uint16_t SimulationStatusDone = 0;
inline constexpr std::uint16_t SimulationStatusRejected = 2;
// A read below this offset of the input image returns the tick stamp instead.
inline constexpr std::uint16_t SimulationTickStampLength = 4;

inline constexpr const char* DefaultInputBufferName = "/QRIX_INPUT_BUFFER";
inline constexpr const char* DefaultOutputBufferName = "/QRIX_OUTPUT_BUFFER";

// Names used by the next open attempt (tests and the simulator use their own).
void SetSimulationBufferNames(const std::string& input, const std::string& output);

// Forgets both areas; anything still mapped is released first.
void ResetSimulationBuffers();
// Attaches to the areas that are not open yet; never creates them, reports nothing.
void OpenSimulationBuffers();
void CloseSimulationBuffers();

// Each reports 0 (done) or 2 (rejected) in `status`; with the area not attached, it
// tries to open the areas and leaves `status` and the data untouched. An attached
// area that shrank, was removed or was created anew is noticed at the next
// access and said in one line; until a whole area is there again, accesses leave
// `status` untouched as with a missing area.
void ReadInputBuffer(void* destination, std::uint32_t length, std::uint16_t offset, std::uint16_t& status);
void WriteOutputBuffer(const void* source, std::uint32_t length, std::uint16_t offset, std::uint16_t& status);
void WriteInputBuffer(const void* source, std::uint32_t length, std::uint16_t offset, std::uint16_t& status);
