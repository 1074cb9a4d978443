#include "tests/app/DialogFixture.h"

#include "tests/app/SimulationAreas.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WaitUntil.h"

#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

class ObservationTest : public DialogFixture {
protected:
    void SetUp() override { ASSERT_TRUE(Areas.Valid()); }
    // Observation ends before the areas go.
    void TearDown() override { Dialog.reset(); }

    SimulationAreas Areas;
};

TEST_F(ObservationTest, StartOptionsMinimiseFirstThenObserve) {
    Areas.SetEvent(0xA5);
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
    EXPECT_EQ(Areas.AckOutputValue(), 0xA5u);

    Dialog->OnDeactivateButton();
    EXPECT_EQ(Dialog->ObservationActive, 0);
    EXPECT_EQ(Dialog->ControlStateCode, 160);
}

TEST_F(ObservationTest, AnEventRunsItsToolAndItsCallsShowInTheTable) {
    const std::string marker = Workspace.PathOf("ran");
    OpenWith(ProjectWithTool("/usr/bin", "touch", marker));
    ASSERT_EQ(Dialog->ObservationActive, 1);

    Areas.ToggleEvent(0);
    ASSERT_TRUE(WaitUntil([&] { return (Areas.AckOutputValue() & 1u) == 1u; }, 20s));
    struct stat info {};
    EXPECT_EQ(::stat(marker.c_str(), &info), 0);
    EXPECT_EQ(Areas.AckInputValue() & 1u, 1u);

    // The poll thread asked for a refresh; the window's thread shows it.
    ASSERT_TRUE(WaitUntil([&] { return Controls.RefreshPosts.load() > 0; }, 20s));
    Dialog->ApplyCallCounts();
    EXPECT_EQ(Table.Text(1, 1), "1");

    Dialog->Settings.ActivateOnStart = 0;
    Dialog->OnOK();
    EXPECT_EQ(Dialog->ObservationActive, 0);
    EXPECT_EQ(Workspace.StoredSettings().ActivateOnStart, 0);
}

// However the dialog ends while a tool runs, the tool is stopped and its run
// acknowledged once.
TEST_F(ObservationTest, CancelOrADialogThatGoesStopsARunningToolAndAcknowledgesItOnce) {
    for (const bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "Cancel" : "dialog destroyed");
        Dialog = std::make_unique<EventManagerDialog>(Controls, Table);
        Areas.SetEvent(0);
        OpenWith(ProjectWithTool("/bin", "sleep", "30"));
        ASSERT_EQ(Dialog->ObservationActive, 1);
        Areas.ToggleEvent(0);
        ToolSlot& slot = Dialog->ToolSlots[0];
        pid_t tool = 0;
        ASSERT_TRUE(WaitUntil(
            [&] {
                std::lock_guard lock(slot.Process.Guard);
                tool = slot.Process.Reaped ? 0 : slot.Process.ProcessId;
                return tool > 0;
            },
            20s));
        if (cancel) {
            Dialog->Settings.MinimizeOnStart = 0;
            Dialog->OnCancel();
            EXPECT_EQ(Dialog->ObservationActive, 0);
            EXPECT_EQ(slot.Running, 0);
            EXPECT_EQ(slot.CallCount, 1u);
            EXPECT_EQ(Workspace.StoredSettings().MinimizeOnStart, 0);
        } else {
            Dialog.reset();
        }
        EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(tool); }, 20s));
        EXPECT_EQ(Areas.AckOutputValue() & 1u, 1u);
    }
}

} // namespace
