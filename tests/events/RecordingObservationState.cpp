#include "tests/events/RecordingObservationState.h"

#include "events/PollTimer.h"
#include "events/ToolRunner.h"
#include "tests/events/EventTestSupport.h"

#include <algorithm>

RecordingObservationState::~RecordingObservationState() {
    StopPollTimer();
    TerminateRunningTools(*this);
    for (ToolSlot& slot : ToolSlots) {
        if (slot.WorkerThread.joinable())
            slot.WorkerThread.join();
    }
}

bool RecordingObservationState::HasMessageContaining(const std::string& part) const {
    return LinesContaining(part) > 0;
}

std::size_t RecordingObservationState::LinesContaining(const std::string& part) const {
    const auto lines = Messages();
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(part) != std::string::npos;
    }));
}

void RecordingObservationState::ConfigureTestTool(int index, const std::vector<std::string>& arguments) {
    ToolSlot& slot = ToolSlots.at(static_cast<std::size_t>(index));
    slot.Defined = 1;
    slot.Runnable = 1;
    slot.Program = TestToolPath();
    slot.Arguments = arguments;
    slot.CommandLine = slot.Program;
    for (const std::string& argument : arguments)
        slot.CommandLine += " " + argument;
}

void RecordingObservationState::UseSimulation(std::uint32_t uniqueId) {
    Settings.UseSimEnvironment = 1;
    Settings.UsedUniqueID = uniqueId;
    References.Event = {0x10, 0x20, 4, 0};
    References.Acknowledge = {0x14, 0x24, 4, 1};
}

void RecordingObservationState::UseController(std::uint32_t uniqueId, const std::string& address,
                                              std::uint16_t eventInputOffset) {
    UseOnlyConfiguration(uniqueId);
    Settings.UseSimEnvironment = 0;
    Settings.UsedUniqueID = uniqueId;
    Session.Paths.ControllerAddress = address;
    References.Event = {eventInputOffset, 0, 4, 0};
    References.Acknowledge = {4, 4, 4, 0};
}
