// How long deactivation takes when the controller stalls (its network up, no
// answers) while an exchange is in flight and a tool still runs, so that the
// final acknowledge write meets the stall too. Prints p50 and max.
#include "events/Activation.h"
#include "tests/events/EventTestSupport.h"
#include "tests/events/RecordingObservationState.h"
#include "tests/support/MisbehavingController.h"
#include "tests/support/TempFolder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t ConfigurationId = 21;
constexpr int Slot = 1;

const char* const Summary = "[GENERAL]\nAppName=Stall\nVariablesCount=2\n"
                            "[V0]\nName=EventVar\nVarType=SPT\nDataType=USINT32\nDataDirection=IO\n"
                            "InpSplitDataFieldOffs=0x0\nOutSplitDataFieldOffs=0x0\n"
                            "[V1]\nName=AckVar\nVarType=SPT\nDataType=USINT32\nDataDirection=IO\n"
                            "InpSplitDataFieldOffs=0x4\nOutSplitDataFieldOffs=0x4\n";

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5)];
}

} // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    MisbehavingController controller("127.0.0.61", Summary, 8, 8, 0, 4);
    if (!controller.Listening()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.61\n");
        return 1;
    }
    TempFolder folder;
    std::mt19937 random(7);
    std::vector<double> milliseconds;
    for (int sample = 0; sample < samples; ++sample) {
        RecordingObservationState state;
        UseOnlyConfiguration(ConfigurationId);
        state.Settings.UseSimEnvironment = 0;
        state.Settings.UsedUniqueID = ConfigurationId;
        state.Session.Paths.ControllerAddress = "127.0.0.61";
        state.References.Event = {0, 0, 4, 0};
        state.References.Acknowledge = {4, 4, 4, 0};
        state.ConfigureTestTool(Slot, {"--log", folder.File("calls.log"), "--sleep", "60000"});
        ActivateObservation(state);
        if (state.ObservationActive == 0) {
            std::fprintf(stderr, "activation failed\n");
            return 1;
        }
        controller.ToggleEvent(Slot);
        if (!WaitUntil([&] { return state.ToolSlots[Slot].Running.load() != 0; }, 10s)) {
            std::fprintf(stderr, "the tool did not start\n");
            return 1;
        }
        controller.Freeze(true);
        // Somewhere inside a stalled exchange of the poll cycle.
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(50, 900)(random)));
        const auto start = std::chrono::steady_clock::now();
        DeactivateObservation(state);
        milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        controller.Freeze(false);
    }
    std::printf(
        "Deactivation with a stalled controller, a tool running (%d samples): p50 %.0f ms  max %.0f ms\n",
        samples, Percentile(milliseconds, 0.5), Percentile(milliseconds, 1.0));
    return 0;
}
