#include "tests/app/InstalledObserver.h"
#include "tests/app/SimulationAreas.h"
#include "tests/app/TestWorkspace.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WaitUntil.h"

#include "controller/SimulationBuffers.h"
#include "platform/SingleInstanceLock.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <memory>
#include <optional>

namespace {

constexpr std::uint32_t EventInput = 0x10;
constexpr std::uint32_t AckOutput = 0x24;
constexpr std::chrono::milliseconds StartTimeout{10000};

// The observer copied into the workspace, so that its settings file is the workspace's.
class HeadlessObserverTest : public ::testing::Test {
protected:
    std::string InstalledObserver() { return InstallObserver(Workspace.Folder()); }

    bool Exists(const std::string& path) const {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0;
    }

    TestWorkspace Workspace;
};

TEST_F(HeadlessObserverTest, ExplainsItselfAndRefusesOtherOptions) {
    ChildProcess help({EVENTMANAGER_HEADLESS_PATH, "--help"});
    EXPECT_EQ(help.WaitForExit(StartTimeout), 0);
    EXPECT_NE(help.Output().find("SIGHUP"), std::string::npos);

    ChildProcess version({EVENTMANAGER_HEADLESS_PATH, "--version"});
    EXPECT_EQ(version.WaitForExit(StartTimeout), 0);
    EXPECT_EQ(version.Output().rfind("eventmanager-headless ", 0), 0u);

    ChildProcess wrong({EVENTMANAGER_HEADLESS_PATH, "--activate"});
    EXPECT_EQ(wrong.WaitForExit(StartTimeout), 2);
}

TEST_F(HeadlessObserverTest, WithoutAConfigurationItSaysWhyAndFails) {
    if (SingleInstanceLock().Result() != SingleInstanceLock::Outcome::Acquired)
        GTEST_SKIP() << "another event manager runs on this machine";
    ChildProcess observer({InstalledObserver()});

    const std::optional<int> exitCode = observer.WaitForExit(StartTimeout);
    ASSERT_TRUE(exitCode.has_value()) << observer.Output();
    EXPECT_EQ(*exitCode, 1);
    const std::string& output = observer.Output();
    EXPECT_NE(output.find("Error ! The contents of the configuration file  is not valid !"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("No usable configuration"), std::string::npos) << output;
}

// Runs with the simulator's default area names, as the observer has no options.
TEST_F(HeadlessObserverTest, ObservesReloadsOnHangUpAndStopsOnTerminate) {
    if (SingleInstanceLock().Result() != SingleInstanceLock::Outcome::Acquired)
        GTEST_SKIP() << "another event manager runs on this machine";
    SimulationAreas areas(DefaultInputBufferName, DefaultOutputBufferName);
    if (!areas.Valid())
        GTEST_SKIP() << "a simulator runs on this machine";

    const std::string first = Workspace.PathOf("first-ran");
    const std::string second = Workspace.PathOf("second-ran");
    Workspace.WriteSummary("summary.sta", StandardVariables());
    AppSettings settings;
    settings.PathToKavelCfg = Workspace.WriteProject(
        "p.ADPXML", {{"1", "Headless", "EventVar", "AckVar", "5", {{0, "/usr/bin", "touch", first}}}});
    settings.UseSimEnvironment = 1;
    Workspace.SaveTestSettings(settings);

    ChildProcess observer({InstalledObserver()});
    ASSERT_TRUE(observer.WaitForOutput("Observing \"Headless\"", StartTimeout)) << observer.Output();

    // A second instance is refused while the first runs.
    ChildProcess again({Workspace.PathOf("eventmanager-headless")});
    EXPECT_EQ(again.WaitForExit(StartTimeout), 1);
    EXPECT_NE(again.Output().find("Only one instance of the application is allowed !"), std::string::npos);

    areas.ToggleInputBit(EventInput, 0);
    ASSERT_TRUE(
        WaitUntil([&] { return (areas.ReadOutput(AckOutput) & 1u) != 0; }, std::chrono::milliseconds(5000)))
        << observer.Output();
    EXPECT_TRUE(Exists(first));
    EXPECT_TRUE(observer.WaitForOutput("Tool 1 (bit 0): 1 calls", std::chrono::milliseconds(5000)))
        << observer.Output();

    // Another tool in bit 1, picked up by SIGHUP.
    Workspace.WriteProject("p.ADPXML",
                           {{"1",
                             "Headless",
                             "EventVar",
                             "AckVar",
                             "5",
                             {{0, "/usr/bin", "touch", first}, {1, "/usr/bin", "touch", second}}}});
    const std::size_t beforeReload = observer.Output().size();
    observer.Signal(SIGHUP);
    ASSERT_TRUE(observer.WaitForOutput("Observing \"Headless\"", StartTimeout, beforeReload))
        << observer.Output();
    areas.ToggleInputBit(EventInput, 1);
    ASSERT_TRUE(
        WaitUntil([&] { return (areas.ReadOutput(AckOutput) & 2u) != 0; }, std::chrono::milliseconds(5000)))
        << observer.Output();
    EXPECT_TRUE(Exists(second));

    observer.Signal(SIGTERM);
    EXPECT_EQ(observer.WaitForExit(StartTimeout), 0) << observer.Output();
    EXPECT_NE(observer.Output().find("Observation stopped"), std::string::npos);
}

} // namespace
