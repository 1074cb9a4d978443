#include "events/PollCycle.h"

#include "app/core/SystemMessage.h"
#include "events/EventVariableAccess.h"
#include "events/ObservationState.h"
#include "events/ToolRunner.h"
#include "platform/ErrorText.h"

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
        StartToolRunner(&slot);
        if (!slot.WorkerThread.joinable())
            ShowSystemMessage(nullptr, 0, LastErrorText(), MB_ICONHAND, false);
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
}

void SynchroniseAcknowledge(ObservationState& state) {
    const std::uint32_t value = ReadEventVariable(state);
    state.LastEventValue.store(value, std::memory_order_relaxed);
    state.LastAckValue.store(value, std::memory_order_relaxed);
    WriteAcknowledgeVariable(state, value);
}

void AcknowledgeFinishedTools(ObservationState& state) {
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
    if (ack == last)
        return;
    WriteAcknowledgeVariable(state, ack);
    state.LastAckValue.store(ack, std::memory_order_relaxed);
    state.RefreshCallCounts();
}
