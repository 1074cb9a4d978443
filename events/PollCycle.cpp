#include "events/PollCycle.h"

#include "app/core/SystemMessage.h"
#include "events/EventVariableAccess.h"
#include "events/ObservationState.h"
#include "events/ToolRunner.h"
#include "platform/ErrorText.h"

#include <cstdio>
#include <string>

namespace {

void StartToolsOfToggledBits(ObservationState& state, std::uint32_t value, std::uint32_t last) {
    const std::uint32_t toggled = value ^ last;
    for (int i = 0; i < ToolSlotCount; ++i) {
        const std::uint32_t mask = 1u << i;
        ToolSlot& slot = state.ToolSlots[i];
        if ((toggled & mask) == 0 || slot.Runnable == 0 || slot.Running.load(std::memory_order_acquire) != 0)
            continue;
        slot.Running.store(1, std::memory_order_release);
        slot.Finished.store(0, std::memory_order_release);
        StartToolRunner(state, i);
        if (!slot.WorkerThread.joinable())
            ShowSystemMessage(nullptr, 0, LastErrorText(), MB_ICONHAND, false);
    }
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// Writes the acknowledge value. A value that carries a finished run is announced
// once when it starts to wait and once when it arrives, so a controller that is
// away does not flood the list; the synchronisation alone waits silently.
void DeliverAcknowledge(ObservationState& state, std::uint32_t value, UndeliveredAcknowledge undelivered,
                        bool carriesRuns) {
    const bool delivered = WriteAcknowledgeVariable(state, value);
    const bool keep = !delivered && undelivered == UndeliveredAcknowledge::WriteAgain;
    state.AcknowledgePending.store(keep, std::memory_order_relaxed);
    const bool reported = state.AcknowledgePendingReported.load(std::memory_order_relaxed);
    const bool tell = carriesRuns || reported;
    state.AcknowledgePendingReported.store(keep && tell, std::memory_order_relaxed);
    if (delivered) {
        if (reported)
            AddMessage("---- Acknowledge value " + Hex(value) + " delivered");
    } else if (keep) {
        if (tell && !reported)
            AddMessage("**** Acknowledge value " + Hex(value) +
                       " not delivered: it is written again every cycle until it arrives");
    } else if (tell) {
        AddMessage("**** Acknowledge value " + Hex(value) +
                   " not delivered: it stays unacknowledged until the next activation");
    }
}

} // namespace

void RunPollCycle(void* argument) {
    if (argument == nullptr)
        return;
    ObservationState& state = *static_cast<ObservationState*>(argument);
    const std::uint32_t value = ReadEventVariable(state);
    const std::uint32_t last = state.LastEventValue.load(std::memory_order_relaxed);
    if (value != last) {
        StartToolsOfToggledBits(state, value, last);
        state.LastEventValue.store(value, std::memory_order_relaxed);
    }
    AcknowledgeFinishedTools(state);
    state.PollCycles.fetch_add(1, std::memory_order_relaxed);
}

void SynchroniseAcknowledge(ObservationState& state) {
    const std::uint32_t value = ReadEventVariable(state);
    state.LastEventValue.store(value, std::memory_order_relaxed);
    state.LastAckValue.store(value, std::memory_order_relaxed);
    state.AcknowledgePendingReported.store(false, std::memory_order_relaxed);
    DeliverAcknowledge(state, value, UndeliveredAcknowledge::WriteAgain, false);
}

void AcknowledgeFinishedTools(ObservationState& state, UndeliveredAcknowledge undelivered) {
    const std::uint32_t last = state.LastAckValue.load(std::memory_order_relaxed);
    std::uint32_t ack = last;
    for (int i = 0; i < ToolSlotCount; ++i) {
        ToolSlot& slot = state.ToolSlots[i];
        if (slot.Running.load(std::memory_order_acquire) == 0 ||
            slot.Finished.load(std::memory_order_acquire) == 0)
            continue;
        slot.Running.store(0, std::memory_order_release);
        ack ^= 1u << i;
        slot.CallCount.fetch_add(1, std::memory_order_relaxed);
        // The worker has made its last write; this only waits for it to return.
        if (slot.WorkerThread.joinable())
            slot.WorkerThread.join();
    }
    if (ack == last && !state.AcknowledgePending.load(std::memory_order_relaxed))
        return;
    // A write carries absolute bytes, so the whole value may go again and again.
    state.LastAckValue.store(ack, std::memory_order_relaxed);
    DeliverAcknowledge(state, ack, undelivered, ack != last);
    if (ack != last)
        state.RefreshCallCounts();
}
