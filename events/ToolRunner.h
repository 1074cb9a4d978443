#pragma once

class ObservationState;
struct ToolSlot;

// Starts the worker thread of the run of slot `bit`; the caller has set Running
// and cleared Finished. The worker starts the slot's program with its arguments
// in a process group of its own, its output going to the state's capture, waits
// for it, hands the run's record to the main window and sets Finished last. When
// no thread can be created, WorkerThread stays empty and errno tells why.
void StartToolRunner(ObservationState& state, int bit);

// Kills every tool that runs (its process group and its own process, which may
// have left the group) and every descendant of a tool that came back to this
// program, its subreaper: re-parented processes that carry the tools' token in
// their environment. Returns once the killed tools are reaped and marked finished,
// so the acknowledge pass that follows acknowledges them, and no such descendant
// lives; at most after 3 seconds, whatever the tools do. A process is never
// signalled once it may have been reaped. Message 2003 for a tool that cannot be
// stopped (its slot stays running).
void TerminateRunningTools(ObservationState& state);

// A reload starts from fresh slots: every slot whose run has no live process (it
// ended, or its program could not be started) is no longer running. Call counts
// stay. Only while observation is inactive.
void ResetToolRuns(ObservationState& state);
