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

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

constexpr std::uint32_t MinimumPollCycleMs = 5;
constexpr const char* PollTimerNotStarted =
    "Error ! The poll timer could not be started: no event is observed !";

std::string Bytes(std::uint32_t offset, std::uint32_t length) {
    return "bytes " + std::to_string(offset) + " to " + std::to_string(offset + length - 1);
}

// Empty when every exchange can read the event variable and write the
// acknowledge variable within the images that the description and the
// controller's hello give; else why not. Each cycle would fail otherwise.
std::string VariablesOutsideImages(ObservationState& state) {
    const std::uint32_t readLength = ControllerSession::ReadLength();
    const VariableReference& event = state.References.Event;
    const VariableReference& acknowledge = state.References.Acknowledge;
    const std::uint32_t eventLength = std::max<std::uint32_t>(event.Length, sizeof(std::uint32_t));
    if (std::uint64_t{event.InputOffset} + eventLength > readLength)
        return "The event variable (input " + Bytes(event.InputOffset, eventLength) +
               ") lies beyond the input data length of " + std::to_string(readLength) +
               " bytes of the device description";
    std::uint32_t inputSize = 0;
    std::uint32_t outputSize = 0;
    switch (state.Session.ControllerImageSizes(inputSize, outputSize)) {
    case ControllerSession::ImageSizes::Known:
        break;
    case ControllerSession::ImageSizes::NotOffered:
        // The exchanges report a misfit then, cycle by cycle.
        return {};
    case ControllerSession::ImageSizes::Failed:
        return "The controller's image sizes are not known";
    }
    if (readLength > inputSize)
        return "The controller announces an input image of " + std::to_string(inputSize) +
               " bytes, but the device description needs " + std::to_string(readLength);
    if (std::uint64_t{acknowledge.OutputOffset} + acknowledge.Length > outputSize)
        return "The acknowledge variable (output " + Bytes(acknowledge.OutputOffset, acknowledge.Length) +
               ") lies beyond the controller's output image of " + std::to_string(outputSize) + " bytes";
    return {};
}

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
    if (state.Session.OpenHighspeedPort() == 0)
        return false;
    if (const std::string outside = VariablesOutsideImages(state); !outside.empty()) {
        ShowSystemMessage(nullptr, 0, "Error ! " + outside + ": no event is observed !", MB_ICONEXCLAMATION,
                          false);
        state.Session.CloseHighspeedPort();
        state.OnDeactivateButton();
        return false;
    }
    return true;
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
        // Bounded: one attempt; a value that does not arrive waits for the next activation.
        AcknowledgeFinishedTools(state, UndeliveredAcknowledge::GiveUp);
        if (state.Settings.UseSimEnvironment == 0)
            state.Session.CloseHighspeedPort();
    }
    if (state.Settings.UseSimEnvironment != 0) {
        CloseSimulationBuffers();
        ResetSimulationBuffers();
    }
    state.ObservationActive = 0;
}
