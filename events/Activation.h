#pragma once

class ObservationState;

// Opens the data path (simulation buffers, or the controller's description, the
// variable check and the high-speed port), synchronises the acknowledge variable
// and starts the poll timer with the configuration's poll cycle (at least 5 ms).
// Does nothing while observation is active.
void ActivateObservation(ObservationState& state);

// Stops the poll timer (after a running cycle has ended), terminates the tools
// that still run, acknowledges what has finished in one write and closes the
// data path. Harmless while observation is inactive.
void DeactivateObservation(ObservationState& state);
