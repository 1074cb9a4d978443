#pragma once

#include "app/core/SystemMessage.h"
#include "events/ObservationState.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

// The main window's state for engine tests: it records the refreshes of the call
// counts, the Deactivate button and every message line. Before it goes it stops
// observation and every tool it started, so no worker outlives its slot.
class RecordingObservationState : public ObservationState, public MessageSink {
public:
    RecordingObservationState();
    ~RecordingObservationState() override;
    RecordingObservationState(const RecordingObservationState&) = delete;
    RecordingObservationState& operator=(const RecordingObservationState&) = delete;

    void RefreshCallCounts() override;
    void OnDeactivateButton() override;
    void AddMessage(const std::string& text) override;

    std::vector<std::string> Messages() const;
    bool HasMessageContaining(const std::string& part) const;

    // Points slot `index` at the test tool with the given arguments.
    void ConfigureTestTool(int index, const std::vector<std::string>& arguments);

    std::atomic<int> RefreshCount{0};
    std::atomic<int> DeactivateButtonCount{0};

private:
    mutable std::mutex m_Guard;
    std::vector<std::string> m_Messages;
};
