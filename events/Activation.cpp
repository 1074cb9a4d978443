#include "events/Activation.h"

#include "app/core/StringTable.h"
#include "app/core/SystemMessage.h"
#include "config/EventConfiguration.h"
#include "config/VariableReferences.h"
#include "controller/SimulationBuffers.h"
#include "events/ObservationState.h"
#include "events/PollCycle.h"
#include "events/PollTimer.h"
#include "events/ToolRunner.h"

#include <string>

namespace {

constexpr std::uint32_t MinimumPollCycleMs = 5;
constexpr const char* PollTimerNotStarted =
    "Error ! The poll timer could not be started: no event is observed !";

// Controller mode: a fresh description, both variables confirmed against it and
// the port open. False when observation cannot go on.
bool OpenControllerPath(ObservationState& state) {
    std::string summaryPath;
    if (state.Session.LoadDeviceDescription(summaryPath) == 0) {
        ShowSystemMessage(nullptr, IDS_NO_ONLINE_DEVICE_CONFIGURATION, summaryPath, MB_ICONEXCLAMATION,
                          false);
        state.OnDeactivateButton();
        return false;
    }
    if (!CheckVariableReferences(state.Settings, state.References)) {
        ShowSystemMessage(nullptr, IDS_VARIABLES_DO_NOT_MATCH, nullptr, MB_ICONEXCLAMATION, false);
        state.OnDeactivateButton();
        return false;
    }
    // A port that fails to open has reported itself; the Deactivate button leads back.
    return state.Session.OpenHighspeedPort() != 0;
}

} // namespace

void ActivateObservation(ObservationState& state) {
    if (state.ObservationActive != 0)
        return;
    if (state.Settings.UseSimEnvironment != 0) {
        // Areas that do not exist yet are opened by a later read.
        ResetSimulationBuffers();
        OpenSimulationBuffers();
    } else if (!OpenControllerPath(state)) {
        return;
    }
    SynchroniseAcknowledge(state);
    const EventConfiguration* configuration = ConfigurationInUse(state.Settings);
    if (configuration == nullptr)
        return;
    std::uint32_t pollCycle = configuration->GetGlobalParameters().PollCycle;
    if (pollCycle < MinimumPollCycleMs)
        pollCycle = MinimumPollCycleMs;
    state.ObservationActive = 1;
    // Deactivation works as usual, but the user must not believe that observation runs.
    if (!StartPollTimer(pollCycle, RunPollCycle, &state))
        ShowSystemMessage(nullptr, 0, PollTimerNotStarted, MB_ICONHAND, false);
}

void DeactivateObservation(ObservationState& state) {
    StopPollTimer();
    if (state.ObservationActive != 0) {
        TerminateRunningTools(state);
        AcknowledgeFinishedTools(state);
        if (state.Settings.UseSimEnvironment == 0)
            state.Session.CloseHighspeedPort();
    }
    if (state.Settings.UseSimEnvironment != 0) {
        CloseSimulationBuffers();
        ResetSimulationBuffers();
    }
    state.ObservationActive = 0;
}
