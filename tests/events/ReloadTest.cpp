#include "tests/app/DialogFixture.h"

#include "tests/app/SimulationAreas.h"
#include "tests/support/WaitUntil.h"

#include <unistd.h>

#include <filesystem>

namespace {

using namespace std::chrono_literals;

class ReloadTest : public DialogFixture {
protected:
    void TearDown() override { Dialog.reset(); }
    SimulationAreas Areas;
};

// A run whose program was missing leaves its slot unacknowledged for the rest of
// that activation only: a reload starts from fresh slots, so once the program is
// installed the next event runs it.
TEST_F(ReloadTest, ASlotWhoseProgramWasMissingRunsAgainAfterAReload) {
    ASSERT_TRUE(Areas.Valid());
    const std::string marker = Workspace.PathOf("ran");
    const std::string program = Workspace.PathOf("tool");
    OpenWith(ProjectWithTool(Workspace.Folder() + "/@NO_PATHCHECK", "tool", marker));
    ASSERT_EQ(Dialog->ObservationActive, 1);
    ToolSlot& slot = Dialog->ToolSlots[0];

    Areas.ToggleEvent(0);
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard lock(slot.Process.Guard);
        return slot.Process.StartFailed;
    }));
    ASSERT_EQ(::symlink("/usr/bin/touch", program.c_str()), 0);

    // The window's reload (the Deactivate button) and then the Activate button.
    Dialog->OnDeactivateButton();
    ASSERT_TRUE(Dialog->ActivationAllowed());
    Dialog->OnActivateButton();
    ASSERT_EQ(Dialog->ObservationActive, 1);
    Areas.ToggleEvent(0);
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(marker); }, 10s));
    EXPECT_TRUE(WaitUntil([&] { return (Areas.AckOutputValue() & 1u) == 1u; }, 10s));
    Dialog->OnCancel();
    EXPECT_EQ(slot.CallCount, 1u);
}

} // namespace
