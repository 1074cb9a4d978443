#include "tests/app/InstalledObserver.h"
#include "tests/app/SimulationAreas.h"
#include "tests/app/TestWorkspace.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WaitUntil.h"

#include "controller/SimulationBuffers.h"
#include "platform/SingleInstanceLock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <csignal>
#include <optional>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t EventInput = 0x10;
constexpr std::uint32_t AckOutput = 0x24;

void ResizeArea(const std::string& name, off_t size) {
    const int fd = ::shm_open(name.c_str(), O_RDWR, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

// The simulator's areas shrink under the running observer and are then made
// anew, as `truncate -s 0 /dev/shm/...` and `qrix-sim remove; qrix-sim create`
// do: the observer says so, keeps running and handles events in the areas
// that are there afterwards.
TEST(HeadlessSimulationAreaTest, SurvivesShrunkAndReCreatedAreas) {
    if (SingleInstanceLock().Result() != SingleInstanceLock::Outcome::Acquired)
        GTEST_SKIP() << "another event manager runs on this machine";
    std::optional<SimulationAreas> areas(std::in_place, DefaultInputBufferName, DefaultOutputBufferName);
    if (!areas->Valid())
        GTEST_SKIP() << "a simulator runs on this machine";

    TestWorkspace workspace;
    workspace.WriteSummary("summary.sta", StandardVariables());
    AppSettings settings;
    settings.PathToKavelCfg = workspace.WriteProject(
        "p.ADPXML",
        {{"1", "Areas", "EventVar", "AckVar", "5", {{0, "/bin", "true", ""}, {1, "/bin", "true", ""}}}});
    settings.UseSimEnvironment = 1;
    workspace.SaveTestSettings(settings);
    ChildProcess observer({InstallObserver(workspace.Folder())});
    ASSERT_TRUE(observer.WaitForOutput("Observing \"Areas\"", 20s)) << observer.Output();

    // Shrunk while attached: reading it through a mapping would end the observer with SIGBUS.
    ResizeArea(DefaultInputBufferName, 0);
    ASSERT_TRUE(observer.WaitForOutput("QRIX_INPUT_BUFFER shrank to 0 bytes", 20s)) << observer.Output();
    ResizeArea(DefaultInputBufferName, SimulationBufferSize);
    ASSERT_TRUE(observer.WaitForOutput("QRIX_INPUT_BUFFER is there again", 20s)) << observer.Output();
    areas->ToggleInputBit(EventInput, 0);
    EXPECT_TRUE(WaitUntil([&] { return areas->ReadOutput(AckOutput) == 1u; }, 20s)) << observer.Output();

    // Removed and created anew, with the new areas' values starting from zero.
    const std::size_t beforeRecreate = observer.Output().size();
    areas.reset();
    areas.emplace(DefaultInputBufferName, DefaultOutputBufferName);
    ASSERT_TRUE(areas->Valid());
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::string text = observer.Output().substr(beforeRecreate);
            return text.find("QRIX_OUTPUT_BUFFER was created anew") != std::string::npos ||
                   text.find("QRIX_OUTPUT_BUFFER is there again") != std::string::npos;
        },
        20s))
        << observer.Output();
    areas->ToggleInputBit(EventInput, 1);
    EXPECT_TRUE(WaitUntil([&] { return (areas->ReadOutput(AckOutput) & 2u) != 0; }, 20s))
        << observer.Output();

    observer.Signal(SIGTERM);
    EXPECT_EQ(observer.WaitForExit(20s), 0) << observer.Output();
}

} // namespace
