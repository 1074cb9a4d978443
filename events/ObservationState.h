#pragma once

#include "app/core/AppSettings.h"
#include "config/ToolSlot.h"
#include "config/VariableReference.h"
#include "controller/ControllerSession.h"
#include "events/ToolOutputCapture.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

// The main window's state that loading, activation and the poll cycle work on.
// The main window derives from it and supplies the two operations below.
class ObservationState {
public:
    virtual ~ObservationState() = default;

    // Shows the call counts of the runnable slots; called from the poll thread,
    // so it must not wait for the window's thread.
    virtual void RefreshCallCounts() = 0;
    // What the Deactivate button does (deactivate, lock, reload); activation runs
    // it when the controller's description does not fit.
    virtual void OnDeactivateButton() = 0;

    AppSettings Settings;
    int ObservationActive = 0;
    std::uint16_t ControlStateCode = 255;
    std::array<ToolSlot, ToolSlotCount> ToolSlots;
    ControllerSession Session;
    VariableReferencePair References;
    std::atomic<std::uint32_t> LastEventValue{0};
    std::atomic<std::uint32_t> LastAckValue{0};
    // LastAckValue has not reached the controller yet: every cycle writes it again.
    std::atomic<bool> AcknowledgePending{false};
    // The user was told so (only values that carry a finished run are announced).
    std::atomic<bool> AcknowledgePendingReported{false};
    // Counted up at the end of every poll cycle: a supervisor sees the poll thread move.
    std::atomic<std::uint64_t> PollCycles{0};
    // Where the tools' output goes; none: where ours goes. Set while observation is
    // inactive; a run keeps the capture it started with.
    std::shared_ptr<ToolOutputCapture> OutputCapture;
};
