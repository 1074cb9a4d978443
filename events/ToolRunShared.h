#pragma once

#include "events/ObservationState.h"
#include "events/RunRecord.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

// A new run of the slot starts: no process yet, nothing cancelled or failed.
void ResetRunProcess(ToolSlot& slot);

// Ends what deactivation must end. `kill` stops one tool whose process lives (its
// slot's guard held) and gives an error text, empty when it worked. Then it waits
// until every killed tool is marked finished and `descendantsAlive` (called each
// round; it may kill them) gives 0, at most StopBound; message 2003 for a tool
// that failed to stop or did not end in time (its slot stays running).
void StopRunningTools(ObservationState& state, const std::function<std::string(ToolSlot&)>& kill,
                      const std::function<int()>& descendantsAlive);
