#include "app/window/EventManagerApp.h"
#include "app/window/EventManagerWindow.h"
#include "app/window/TerminationSignals.h"
#include "controller/SimulationBuffers.h"
#include "platform/SingleInstanceLock.h"
#include "tests/app/SimulationAreas.h"
#include "tests/app/TestWorkspace.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WaitUntil.h"
#include "tests/window/PumpUntil.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t EventInput = 0x10;
constexpr std::uint32_t AckOutput = 0x24;

template <typename Dialog> Dialog* VisibleDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<Dialog*>(widget); dialog != nullptr && dialog->isVisible())
            return dialog;
    return nullptr;
}

// Calls `action` as soon as a dialog of the kind is open (from inside its own
// event loop, as a signal would arrive), or gives up after a while.
template <typename Dialog> void WhenOpen(const std::function<void(Dialog&)>& action, int triesLeft = 1000) {
    QTimer::singleShot(10, [action, triesLeft] {
        if (Dialog* dialog = VisibleDialog<Dialog>())
            action(*dialog);
        else if (triesLeft > 0)
            WhenOpen<Dialog>(action, triesLeft - 1);
    });
}

// A real SIGTERM or SIGINT while one of the window's own dialogs or boxes runs
// its event loop: the dialog ends, the window closes as Cancel does (tools
// ended and acknowledged, observation off) and nothing goes on behind it.
class StopRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Areas.Valid());
        InstallMessageBoxes();
        QObject::connect(&Signals, &TerminationSignals::Received, &Window, &EventManagerWindow::Stop);
    }
    void TearDown() override { SetModalBoxHandler(nullptr); }

    // A user would have to close what the stop request left open.
    void UserAnswersLater() {
        QTimer::singleShot(10000, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QDialog*>(widget);
                if (dialog != nullptr && dialog != &Window && dialog->isVisible()) {
                    UserWasNeeded = true;
                    dialog->reject();
                }
            }
        });
    }

    // Settings of a project whose only tool is /bin/<tool>, in simulation mode.
    AppSettings UseProject(const std::string& tool, const std::string& parameter, int activateOnStart) {
        Workspace.WriteSummary("summary.sta", StandardVariables());
        AppSettings settings;
        settings.PathToKavelCfg = Workspace.WriteProject(
            "p.ADPXML", {{"1", "Stop", "EventVar", "AckVar", "5", {{0, "/bin", tool, parameter}}}});
        settings.UseSimEnvironment = 1;
        settings.ActivateOnStart = activateOnStart;
        Workspace.SaveTestSettings(settings);
        return settings;
    }

    TestWorkspace Workspace;
    SimulationAreas Areas;
    TerminationSignals Signals;
    EventManagerWindow Window;
    bool UserWasNeeded = false;
};

TEST_F(StopRequestTest, ASignalInTheStartUpFileDialogClosesItAndTheWindowForGood) {
    // No settings file: opening asks for the project file first.
    WhenOpen<QFileDialog>([](QFileDialog&) { ::kill(::getpid(), SIGTERM); });
    UserAnswersLater();
    Window.Open();

    EXPECT_FALSE(UserWasNeeded) << "the file dialog stayed open after the signal";
    EXPECT_TRUE(Window.IsClosed());
    EXPECT_FALSE(Window.isVisible());
    EXPECT_EQ(Window.Logic().ObservationActive, 0);
    EXPECT_EQ(VisibleDialog<QFileDialog>(), nullptr);
}

TEST_F(StopRequestTest, ASignalInTheBrowseDialogLeavesTheSettingsAsTheyWere) {
    const AppSettings settings = UseProject("true", "", 0);
    Window.Open();
    ASSERT_EQ(Window.Logic().ControlStateCode, 160);

    WhenOpen<QFileDialog>([](QFileDialog&) { ::kill(::getpid(), SIGTERM); });
    UserAnswersLater();
    QTest::mouseClick(Window.Control(IDC_BROWSE_CONFIGURATION), Qt::LeftButton);

    EXPECT_FALSE(UserWasNeeded) << "the file dialog stayed open after the signal";
    EXPECT_TRUE(Window.IsClosed());
    EXPECT_EQ(Workspace.StoredSettings().PathToKavelCfg, settings.PathToKavelCfg);
}

TEST_F(StopRequestTest, ASignalInAMessageBoxEndsTheBoxTheToolsAndTheWindow) {
    UseProject("sleep", "30", 1);
    Window.Open();
    ASSERT_EQ(Window.Logic().ObservationActive, 1);
    Areas.ToggleInputBit(EventInput, 0);
    ToolSlot& slot = Window.Logic().ToolSlots[0];
    ASSERT_TRUE(PumpUntil([&] {
        std::lock_guard lock(slot.Process.Guard);
        return slot.Process.ProcessId > 0 && !slot.Process.Reaped;
    }));

    WhenOpen<QMessageBox>([](QMessageBox&) { ::kill(::getpid(), SIGINT); });
    UserAnswersLater();
    Window.OnHelp(); // the help page is missing: a box, with its own event loop

    EXPECT_FALSE(UserWasNeeded) << "the box waited for a user after the signal";
    EXPECT_TRUE(Window.IsClosed());
    EXPECT_EQ(Window.Logic().ObservationActive, 0);
    EXPECT_EQ(slot.CallCount.load(), 1u) << "the running tool was ended and counted";
    EXPECT_EQ(Areas.ReadOutput(AckOutput) & 1u, 1u) << "and acknowledged";
}

// The real program, started without settings: its first event loop is the file
// dialog's. SIGTERM and SIGINT there end it with status 0.
TEST(StopRequestProgramTest, ATerminationSignalDuringTheStartUpDialogEndsTheProgram) {
    if (SingleInstanceLock().Result() != SingleInstanceLock::Outcome::Acquired)
        GTEST_SKIP() << "another event manager runs on this machine";
    namespace fs = std::filesystem;
    TestWorkspace workspace;
    const fs::path program = fs::path(workspace.Folder()) / "eventmanager";
    fs::copy_file(EVENTMANAGER_PATH, program);
    const fs::path library = CONTROLLER_ACCESS_LIBRARY_PATH;
    fs::copy_file(library, fs::path(workspace.Folder()) / library.filename());
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        ChildProcess window({program.string()});
        // Its handlers are in place once the system lists the signal as caught.
        const auto caught = [&] {
            std::ifstream status("/proc/" + std::to_string(window.Pid()) + "/status");
            for (std::string line; std::getline(status, line);)
                if (line.rfind("SigCgt:", 0) == 0)
                    return ((std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1u) != 0;
            return false;
        };
        ASSERT_TRUE(WaitUntil(caught, 20s)) << window.Output();
        window.Signal(signal);
        EXPECT_EQ(window.WaitForExit(20s), 0) << window.Output();
    }
}

} // namespace
