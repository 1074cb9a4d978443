#include "tests/events/RecordingObservationState.h"

#include "events/PollTimer.h"
#include "events/ToolRunner.h"
#include "tests/events/EventTestSupport.h"

#include <algorithm>

RecordingObservationState::RecordingObservationState() {
    SetMainWindow(this);
}

RecordingObservationState::~RecordingObservationState() {
    StopPollTimer();
    TerminateRunningTools(*this);
    for (ToolSlot& slot : ToolSlots) {
        if (slot.WorkerThread.joinable())
            slot.WorkerThread.join();
    }
    SetMainWindow(nullptr);
}

void RecordingObservationState::RefreshCallCounts() {
    ++RefreshCount;
}

void RecordingObservationState::OnDeactivateButton() {
    ++DeactivateButtonCount;
}

void RecordingObservationState::AddMessage(const std::string& text) {
    std::lock_guard lock(m_Guard);
    m_Messages.push_back(text);
}

std::vector<std::string> RecordingObservationState::Messages() const {
    std::lock_guard lock(m_Guard);
    return m_Messages;
}

bool RecordingObservationState::HasMessageContaining(const std::string& part) const {
    std::lock_guard lock(m_Guard);
    return std::any_of(m_Messages.begin(), m_Messages.end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
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
