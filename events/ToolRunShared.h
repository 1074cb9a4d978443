#pragma once

#include "events/ObservationState.h"
#include "events/RunRecord.h"

#include <chrono>
#include <memory>
#include <string>

// What the tool runners of every system share.

inline constexpr const char* ToolNotStartedFormat = "The process %s could not be started ! %s";
inline constexpr const char* NotEndedInTime = "It did not end within 3 seconds.\n";
// How long deactivation waits for killed tools (and their descendants) to end.
inline constexpr auto StopBound = std::chrono::seconds(3);

// A message with two "%s": the first takes `first`, the second `second`.
std::string FormatTwoArguments(const std::string& format, const std::string& first,
                               const std::string& second);
const std::string& ShownCommand(const ToolSlot& slot);
bool RunInFlight(const ToolSlot& slot);

// What a worker needs besides its slot, taken on the poll thread when the run starts.
struct RunStart {
    ToolSlot* Slot = nullptr;
    RunRecord Record;
    std::shared_ptr<ToolOutputCapture> Capture;
};
// The run of slot `bit` before it starts: its slot, configuration and argv.
RunStart NewRunStart(ObservationState& state, int bit);

std::int64_t WallMilliseconds();
// The end time and the duration of a run that started at `started`.
void FinishRecord(RunRecord& record, std::chrono::steady_clock::time_point started);
// A run whose worker could not be created: recorded as not started.
void RecordThreadFailure(RunStart& run, const std::string& reason);
