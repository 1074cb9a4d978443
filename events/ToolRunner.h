#pragma once

class ObservationState;
struct ToolSlot;

// Starts the worker thread of one run; the caller has set Running and cleared
// Finished. The worker starts the slot's program with its arguments in a process
// group of its own, waits for it and sets Finished last. When no thread can be
// created, WorkerThread stays empty and errno tells why.
void StartToolRunner(ToolSlot* slot);

// Kills the process group of every slot that runs and marks it finished, so the
// acknowledge pass that follows acknowledges it. A process is never signalled
// once it may have been reaped. Message 2003 for a tool that cannot be stopped.
void TerminateRunningTools(ObservationState& state);
