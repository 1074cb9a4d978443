#pragma once

class ObservationState;

// One tick of observation (the poll timer's cycle function; the argument is the
// ObservationState, none does nothing): reads the event variable, starts the
// tools of toggled bits whose slots may run and are idle, then acknowledges.
void RunPollCycle(void* state);

// Makes the acknowledge variable equal to the event variable, so that only
// toggles from now on count; written unconditionally.
void SynchroniseAcknowledge(ObservationState& state);

// What becomes of an acknowledge value that did not reach the controller.
enum class UndeliveredAcknowledge {
    WriteAgain, // pending: the next cycles write the whole value until one write succeeds
    GiveUp,     // deactivation: reported once; the next activation synchronises anyway
};

// Toggles the acknowledge bit of every finished run, counts the call and writes
// the acknowledge variable once when its value changed or is still pending.
void AcknowledgeFinishedTools(ObservationState& state,
                              UndeliveredAcknowledge undelivered = UndeliveredAcknowledge::WriteAgain);
