#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How a run of a tool ended.
enum class RunOutcome {
    Exited,                   // ExitCode holds its exit code
    Signalled,                // Signal holds the signal that ended it
    TerminatedAtDeactivation, // deactivation ended it (or came before it started)
    NotStarted,               // Reason says why
};

// What one run of a tool did, from the toggle that started it to its end.
struct RunRecord {
    int Bit = 0;                           // the slot; the tool table's row is Bit + 1
    std::int32_t UniqueID = -1;            // the configuration in use
    std::vector<std::string> Arguments;    // argv as started, program first
    long ProcessId = 0;                    // 0: no process
    std::int64_t StartMilliseconds = 0;    // wall clock, since the epoch
    std::int64_t EndMilliseconds = 0;      // wall clock, since the epoch
    std::int64_t DurationMicroseconds = 0; // monotonic clock
    RunOutcome Outcome = RunOutcome::Exited;
    int ExitCode = 0;
    int Signal = 0;
    std::string Reason;
};

// Not a clean exit with code 0 (a run ended at deactivation is no failure of the tool).
bool RunFailed(const RunRecord& record);

// "Tool 3 (bit 2) ended with exit code 3 after 1.52 s" and the like.
std::string RunLine(const RunRecord& record);

// "Tool 3 (bit 2) started at 2026-12-06 17:44:36.123 (process 4711): <command>",
// the heading of a run in its output file.
std::string RunStartLine(const RunRecord& record);

// The arguments joined by blanks, those with blanks, quotes or nothing quoted.
std::string ShownCommandLine(const std::vector<std::string>& arguments);

// Local time "2026-12-06 17:44:36.123" of a wall-clock time in milliseconds.
std::string LocalTimeText(std::int64_t milliseconds);
// ISO 8601 local time with its offset, "2026-12-06T17:44:36.123+01:00".
std::string IsoLocalTimeText(std::int64_t milliseconds);
// The symbolic name of a signal ("SIGKILL"), or "signal N".
std::string SignalName(int signal);

// Hands the record to the main window, if there is one (any thread).
void RecordRun(const RunRecord& record);
