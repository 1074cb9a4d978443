#include "events/Activation.h"
#include "config/EventConfiguration.h"
#include "controller/SimulationBuffers.h"
#include "events/PollTimer.h"
#include "tests/app/SimulationAreas.h"
#include "tests/events/EventTestSupport.h"
#include "tests/events/RecordingObservationState.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t ConfigurationId = 7;

// Activation and deactivation in simulation mode, with the real poll timer. The
// areas are made by each test, so that one may start "the simulator" late.
class SimulationActivationTest : public ::testing::Test {
protected:
    void SetUp() override {
        State.UseSimulation(ConfigurationId);
        UseOnlyConfiguration(ConfigurationId, 5, "Test");
        SetSimulationBufferNames(InputName, OutputName);
    }

    void TearDown() override { DeactivateObservation(State); }

    SimulationAreas& Areas() {
        if (!m_Areas)
            m_Areas.emplace(InputName, OutputName);
        return *m_Areas;
    }

    std::vector<std::string> Tool(int slot) { return {"--log", Log, "slot=" + std::to_string(slot)}; }

    TempFolder Folder;
    std::string Log = Folder.File("calls.log");
    std::string InputName = UniqueName("/kavel-act-in");
    std::string OutputName = UniqueName("/kavel-act-out");
    std::optional<SimulationAreas> m_Areas;
    RecordingObservationState State;
};

TEST_F(SimulationActivationTest, APollCycleBelowFiveMillisecondsStillObservesUntilDeactivation) {
    ASSERT_TRUE(Areas().Valid());
    State.ConfigureTestTool(1, Tool(1));
    for (std::uint32_t pollCycle : {0u, 4u}) {
        UseOnlyConfiguration(ConfigurationId, pollCycle, "Test");
        Areas().SetEvent(0x10);
        ActivateObservation(State);
        EXPECT_EQ(State.ObservationActive, 1);
        EXPECT_EQ(Areas().AckOutputValue(), 0x10u);
        Areas().ToggleEvent(1);
        ASSERT_TRUE(WaitUntil([&] { return Areas().AckOutputValue() == 0x12u; })) << pollCycle;
        DeactivateObservation(State);
        EXPECT_EQ(State.ObservationActive, 0);
        Areas().SetEvent(0x10);
    }
    Areas().ToggleEvent(1);
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(ReadToolLog(Log).size(), 2u);
    EXPECT_EQ(State.ToolSlots[1].CallCount, 2u);
}

TEST_F(SimulationActivationTest, ASimulatorStartedAfterActivationIsPickedUp) {
    State.ConfigureTestTool(2, Tool(2));
    ActivateObservation(State);
    EXPECT_EQ(State.ObservationActive, 1);
    EXPECT_EQ(State.LastEventValue, 0u);
    EXPECT_EQ(State.LastAckValue, 0u);
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(Areas().Valid());
    std::this_thread::sleep_for(20ms);
    Areas().ToggleEvent(2);
    EXPECT_TRUE(WaitUntil([&] { return Areas().AckOutputValue() == 0x4u; }));
    EXPECT_TRUE(State.Messages().empty());
}

// Live processes (not zombies) whose command line holds `token` as one argument;
// every process a zoo tool forks keeps the tool's arguments.
std::vector<pid_t> LiveProcessesWith(const std::string& token) {
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream file(entry.path() / "cmdline");
        std::string argument;
        while (std::getline(file, argument, '\0')) {
            const pid_t pid = std::stoi(name);
            if (argument == token && !ProcessEnded(pid)) {
                found.push_back(pid);
                break;
            }
        }
    }
    return found;
}

// Standard output and error go to /dev/null while it lives (for a tool that floods them).
class SilencedOutput {
public:
    SilencedOutput() {
        std::fflush(nullptr);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
            m_Saved[fd - 1] = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
            ::dup2(null, fd);
        }
        ::close(null);
    }
    ~SilencedOutput() {
        for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
            ::dup2(m_Saved[fd - 1], fd);
            ::close(m_Saved[fd - 1]);
        }
    }
    SilencedOutput(const SilencedOutput&) = delete;
    SilencedOutput& operator=(const SilencedOutput&) = delete;

private:
    int m_Saved[2] = {-1, -1};
};

// Tools that make stopping hard. Whatever they do, deactivation returns, ends
// every process they left and acknowledges each run exactly once.
struct ZooTool {
    const char* Name;
    std::vector<std::string> Options;
    bool EndsByItself; // acknowledged before deactivation
    bool Floods = false;
};

const ZooTool Zoo[] = {
    {"runs with a child", {"--sleep", "60000", "--spawn-child", "60000"}, false},
    {"ignores SIGTERM and SIGHUP", {"--ignore-signals", "--sleep", "60000"}, false},
    {"leaves its process group", {"--spawn-child", "60000", "--leave-group", "--sleep", "60000"}, false},
    {"daemonises", {"--daemonise", "60000", "--ignore-signals"}, true},
    {"keeps standard output open in a child", {"--spawn-child", "60000"}, true},
    {"writes megabytes to its output", {"--write-output", "4000000"}, true, true},
};

TEST_F(SimulationActivationTest, DeactivationEndsEveryToolOfTheZooAndAcknowledgesEachRunOnce) {
    ASSERT_TRUE(Areas().Valid());
    for (const ZooTool& tool : Zoo) {
        SCOPED_TRACE(tool.Name);
        RecordingObservationState state;
        state.UseSimulation(ConfigurationId);
        const std::string token = UniqueName("zoo");
        const std::string log = Folder.File(token + ".log");
        std::vector<std::string> arguments = {"--log", log, token};
        arguments.insert(arguments.end(), tool.Options.begin(), tool.Options.end());
        state.ConfigureTestTool(4, arguments);
        Areas().SetEvent(0);
        {
            std::optional<SilencedOutput> silenced;
            if (tool.Floods)
                silenced.emplace();
            ActivateObservation(state);
            Areas().ToggleEvent(4);
            ASSERT_TRUE(WaitUntil([&] { return ReadToolLog(log).size() == 1; }, 20s));
            if (tool.EndsByItself) {
                ASSERT_TRUE(WaitUntil([&] { return Areas().AckOutputValue() == 0x10u; }, 20s));
            }
        }
        const int refreshes = state.RefreshCount;
        auto deactivation = std::async(std::launch::async, [&] { DeactivateObservation(state); });
        const bool returned = deactivation.wait_for(30s) == std::future_status::ready;
        if (!returned) {
            for (pid_t pid : LiveProcessesWith(token))
                ::kill(pid, SIGKILL);
        }
        deactivation.wait();
        EXPECT_TRUE(returned);
        EXPECT_TRUE(WaitUntil([&] { return LiveProcessesWith(token).empty(); }, 20s));
        EXPECT_EQ(state.ToolSlots[4].CallCount, 1u);
        EXPECT_EQ(state.ToolSlots[4].Running, 0);
        EXPECT_EQ(Areas().AckOutputValue(), 0x10u);
        EXPECT_EQ(state.RefreshCount, refreshes + (tool.EndsByItself ? 0 : 1));
        EXPECT_EQ(ReadToolLog(log).size(), 1u);
        EXPECT_TRUE(state.Messages().empty());
        // A second deactivation finds nothing left to acknowledge.
        DeactivateObservation(state);
        EXPECT_EQ(state.RefreshCount, refreshes + (tool.EndsByItself ? 0 : 1));
    }
}

TEST_F(SimulationActivationTest, WithoutTheConfigurationInUseObservationStaysOff) {
    ASSERT_TRUE(Areas().Valid());
    State.Settings.UsedUniqueID = 99;
    State.ConfigureTestTool(0, Tool(0));
    Areas().SetEvent(0x3);
    ActivateObservation(State);
    EXPECT_EQ(State.ObservationActive, 0);
    EXPECT_EQ(Areas().AckOutputValue(), 0x3u); // synchronised before the look-up
    Areas().ToggleEvent(0);
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(std::filesystem::exists(Log));
    EXPECT_TRUE(State.Messages().empty());
}

TEST_F(SimulationActivationTest, ActivationWhileActiveChangesNothing) {
    ASSERT_TRUE(Areas().Valid());
    ActivateObservation(State);
    Areas().SetEvent(0x1); // slot 0 has no tool: seen, never acknowledged
    ASSERT_TRUE(WaitUntil([&] { return State.LastEventValue == 0x1u; }));
    ActivateObservation(State);
    EXPECT_EQ(State.LastAckValue, 0u);
    EXPECT_EQ(Areas().AckOutputValue(), 0u);
}

void NoCycle(void*) {}

TEST_F(SimulationActivationTest, ATimerThatCannotStartIsReportedAndDeactivationStillWorks) {
    ASSERT_TRUE(Areas().Valid());
    ASSERT_TRUE(StartPollTimer(5, NoCycle, nullptr)); // the one timer is taken
    ActivateObservation(State);
    StopPollTimer();
    EXPECT_EQ(State.ObservationActive, 1);
    EXPECT_EQ(State.Messages(), std::vector<std::string>{
                                    "Error ! The poll timer could not be started: no event is observed !"});
    DeactivateObservation(State);
    EXPECT_EQ(State.ObservationActive, 0);
}

} // namespace
