#include "tests/app/DialogFixture.h"

#include "tests/app/SimulationAreas.h"
#include "tests/support/WaitUntil.h"

#include <sys/stat.h>

#include <cerrno>
#include <csignal>

namespace {

constexpr std::uint32_t EventInput = 0x10;
constexpr std::uint32_t AckInput = 0x14;
constexpr std::uint32_t AckOutput = 0x24;

class ObservationTest : public DialogFixture {
protected:
    void SetUp() override { ASSERT_TRUE(Areas.Valid()); }
    // Observation ends before the areas go.
    void TearDown() override { Dialog.reset(); }

    AppSettings ProjectWithTool(const std::string& path, const std::string& tool,
                                const std::string& parameter) {
        Workspace.WriteSummary("summary.sta", StandardVariables());
        AppSettings settings;
        settings.PathToKavelCfg = Workspace.WriteProject(
            "p.ADPXML", {{"1", "Observed", "EventVar", "AckVar", "5", {{0, path, tool, parameter}}}});
        settings.UseSimEnvironment = 1;
        settings.ActivateOnStart = 1;
        settings.MinimizeOnStart = 1;
        return settings;
    }

    // Toggles bit 0 and waits for its tool's process; its id, or 0.
    pid_t StartToolOfBit0() {
        ToolSlot& slot = Dialog->ToolSlots[0];
        Areas.ToggleInputBit(EventInput, 0);
        pid_t tool = 0;
        WaitUntil(
            [&] {
                std::lock_guard lock(slot.Process.Guard);
                tool = slot.Process.Reaped ? 0 : slot.Process.ProcessId;
                return tool > 0;
            },
            std::chrono::milliseconds(5000));
        return tool;
    }

    static bool Gone(pid_t process) {
        return WaitUntil([&] { return ::kill(process, 0) != 0 && errno == ESRCH; },
                         std::chrono::milliseconds(2000));
    }

    SimulationAreas Areas;
};

TEST_F(ObservationTest, StartOptionsTakeNoEffectWhenTheConfigurationCannotBeActivated) {
    AppSettings settings = ProjectWithTool("/bin", "true", "");
    Workspace.WriteSummary("summary.sta", {{"AckVar", 0x14, 0x24}});
    OpenWith(settings);

    EXPECT_EQ(Dialog->ControlStateCode, 224);
    EXPECT_EQ(Controls.MinimizeCount, 0);
    EXPECT_EQ(Dialog->ObservationActive, 0);
}

TEST_F(ObservationTest, StartOptionsMinimiseFirstThenObserve) {
    Areas.WriteInput(EventInput, 0xA5);
    int activeWhenMinimised = -1;
    Controls.MinimizeHook = [&] { activeWhenMinimised = Dialog->ObservationActive; };
    OpenWith(ProjectWithTool("/bin", "true", ""));

    EXPECT_EQ(Controls.MinimizeCount, 1);
    EXPECT_EQ(activeWhenMinimised, 0);
    EXPECT_EQ(Dialog->ObservationActive, 1);
    EXPECT_EQ(Dialog->ControlStateCode, 127);
    EXPECT_FALSE(Controls.IsEnabled(IDC_ACTIVATE_OBSERVATION));
    EXPECT_TRUE(Controls.IsEnabled(IDC_DEACTIVATE_OBSERVATION));
    EXPECT_FALSE(Controls.IsEnabled(IDC_BROWSE_CONFIGURATION));
    // Activation made the acknowledge variable mirror the event variable.
    EXPECT_EQ(Areas.ReadOutput(AckOutput), 0xA5u);

    Dialog->OnDeactivateButton();
    EXPECT_EQ(Dialog->ObservationActive, 0);
    EXPECT_EQ(Dialog->ControlStateCode, 160);
}

TEST_F(ObservationTest, AnEventRunsItsToolAndItsCallsShowInTheTable) {
    const std::string marker = Workspace.PathOf("ran");
    OpenWith(ProjectWithTool("/usr/bin", "touch", marker));
    ASSERT_EQ(Dialog->ObservationActive, 1);

    Areas.ToggleInputBit(EventInput, 0);
    ASSERT_TRUE(
        WaitUntil([&] { return (Areas.ReadOutput(AckOutput) & 1u) == 1u; }, std::chrono::milliseconds(5000)));
    struct stat info {};
    EXPECT_EQ(::stat(marker.c_str(), &info), 0);
    EXPECT_EQ(Areas.ReadInput(AckInput) & 1u, 1u);

    // The poll thread asked for a refresh; the window's thread shows it.
    ASSERT_TRUE(WaitUntil([&] { return Controls.RefreshPosts.load() > 0; }, std::chrono::milliseconds(2000)));
    Dialog->ApplyCallCounts();
    EXPECT_EQ(Table.Text(1, 1), "1");

    Dialog->Settings.ActivateOnStart = 0;
    Dialog->OnOK();
    EXPECT_EQ(Dialog->ObservationActive, 0);
    EXPECT_EQ(Workspace.StoredSettings().ActivateOnStart, 0);
}

TEST_F(ObservationTest, CancelStopsARunningToolAndAcknowledgesItOnce) {
    OpenWith(ProjectWithTool("/bin", "sleep", "30"));
    ASSERT_EQ(Dialog->ObservationActive, 1);
    const ToolSlot& slot = Dialog->ToolSlots[0];
    const pid_t tool = StartToolOfBit0();
    ASSERT_GT(tool, 0);
    Dialog->Settings.MinimizeOnStart = 0;

    Dialog->OnCancel();

    EXPECT_EQ(Dialog->ObservationActive, 0);
    EXPECT_EQ(slot.Running, 0);
    EXPECT_EQ(slot.CallCount, 1u);
    EXPECT_EQ(Areas.ReadOutput(AckOutput) & 1u, 1u);
    EXPECT_TRUE(Gone(tool));
    EXPECT_EQ(Workspace.StoredSettings().MinimizeOnStart, 0);
}

TEST_F(ObservationTest, ADialogThatGoesWhileObservingStopsItsToolsFirst) {
    OpenWith(ProjectWithTool("/bin", "sleep", "30"));
    const pid_t tool = StartToolOfBit0();
    ASSERT_GT(tool, 0);

    Dialog.reset();

    EXPECT_TRUE(Gone(tool));
    EXPECT_EQ(Areas.ReadOutput(AckOutput) & 1u, 1u);
}

} // namespace
