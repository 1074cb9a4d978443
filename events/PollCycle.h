#pragma once

class ObservationState;

// One tick of observation (the poll timer's cycle function; the argument is the
// ObservationState, none does nothing): reads the event variable, starts the
// tools of toggled bits whose slots may run and are idle, then acknowledges.
void RunPollCycle(void* state);

// Makes the acknowledge variable equal to the event variable, so that only
// toggles from now on count; written unconditionally.
void SynchroniseAcknowledge(ObservationState& state);

// Toggles the acknowledge bit of every finished run, counts the call and writes
// the acknowledge variable once when its value changed.
void AcknowledgeFinishedTools(ObservationState& state);
