#pragma once

#include "events/ObservationState.h"
#include "tests/support/MessageCapture.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The main window's state for engine tests: it records the refreshes of the call
// counts, the Deactivate button and every message line. Before it goes it stops
// observation and every tool it started, so no worker outlives its slot.
class RecordingObservationState : public ObservationState {
public:
    RecordingObservationState() = default;
    ~RecordingObservationState() override;
    RecordingObservationState(const RecordingObservationState&) = delete;
    RecordingObservationState& operator=(const RecordingObservationState&) = delete;

    void RefreshCallCounts() override { ++RefreshCount; }
    void OnDeactivateButton() override { ++DeactivateButtonCount; }

    std::vector<std::string> Messages() const { return m_Capture.Lines(); }
    std::vector<RunRecord> Runs() const { return m_Capture.Runs(); }
    bool HasMessageContaining(const std::string& part) const;
    std::size_t LinesContaining(const std::string& part) const;

    // Points slot `index` at the test tool with the given arguments.
    void ConfigureTestTool(int index, const std::vector<std::string>& arguments);
    // Observes configuration `uniqueId` in the simulator's areas of SimulationAreas.
    void UseSimulation(std::uint32_t uniqueId);
    // Observes configuration `uniqueId` on a controller, event word at `eventInputOffset`,
    // acknowledge word at 4 in both images.
    void UseController(std::uint32_t uniqueId, const std::string& address,
                       std::uint16_t eventInputOffset = 0);

    std::atomic<int> RefreshCount{0};
    std::atomic<int> DeactivateButtonCount{0};

private:
    MessageCapture m_Capture;
};
