#include "tests/app/InstalledObserver.h"
#include "tests/app/SimulationAreas.h"
#include "tests/app/TestWorkspace.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeController.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WaitUntil.h"

#include "controller/SimulationBuffers.h"
#include "platform/SingleInstanceLock.h"
#include "tests/support/ProcessFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

namespace {

using Output = ChildProcess::OutputReader;
using std::chrono::milliseconds;

constexpr std::uint32_t Bit14 = 1u << 14, Bit15 = 1u << 15;
constexpr milliseconds Deadline{20000};
const std::string LockPath = std::string("/tmp/") + SingleInstanceLock::DefaultName + ".lock";

void ExpectStampedLines(const std::string& output) {
    std::istringstream lines(output);
    const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  .*)");
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(std::regex_match(line, stamped)) << line;
}

// The observer copied into the workspace, so that its settings file is the workspace's.
// Tool 1 is a script that writes its process id and sleeps; tools 2 to 14 only make the
// start-up output longer than a page. Bits 14 and 15 have no tool.
class HeadlessObserverTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (SingleInstanceLock().Result() != SingleInstanceLock::Outcome::Acquired)
            GTEST_SKIP() << "another event manager runs on this machine";
        Observer = InstallObserver(Workspace.Folder());
    }

    void WriteConfiguration(bool simulation, const std::string& controllerAddress = "") {
        const std::string script = Workspace.WriteFile(
            "sleeper", "#!/bin/sh\necho $$ > \"$1.new\" && mv \"$1.new\" \"$1\"\nexec sleep 600\n");
        ::chmod(script.c_str(), 0755);
        TestConfiguration configuration{"1", "Headless", "EventVar", "AckVar", "5", {}};
        configuration.Tools.push_back({0, Workspace.Folder(), "sleeper", PidFile()});
        for (int index = 1; index < 14; ++index)
            configuration.Tools.push_back({index, "/usr/bin", "true", std::string(400, 'x')});
        Workspace.WriteSummary("summary.sta", StandardVariables());
        AppSettings settings;
        settings.PathToKavelCfg =
            Workspace.WriteProject("p.ADPXML", {configuration}, "summary.sta", controllerAddress);
        settings.UseSimEnvironment = simulation ? 1 : 0;
        Workspace.SaveTestSettings(settings);
    }

    std::string PidFile() const { return Workspace.PathOf("tool.pid"); }

    // Toggles the bit of tool 1 and gives the process id of the tool it started.
    pid_t StartTool(SimulationAreas& areas) {
        std::filesystem::remove(PidFile());
        areas.ToggleEvent(0);
        pid_t pid = 0;
        WaitUntil([&] { return std::ifstream(PidFile()) >> pid && pid > 0; }, Deadline);
        return pid;
    }

    bool AcknowledgesAll(SimulationAreas& areas) {
        return WaitUntil([&] { return areas.AckOutputValue() == areas.Event(); }, Deadline);
    }

    TestWorkspace Workspace;
    std::string Observer;
};

struct OutputCase {
    const char* Name;
    Output Reader;
    std::vector<int> Closed; // standard descriptors closed at the start
};

class HeadlessOutputTest : public HeadlessObserverTest, public ::testing::WithParamInterface<OutputCase> {};

// Lost, blocked or closed output never stops observation, a reload or a stop, and
// no file the observer opens (the lock first) receives it; tools that run when a
// signal comes are ended and acknowledged.
TEST_P(HeadlessOutputTest, ObservesReloadsOnHangUpAndStopsOnTerminateWhateverBecomesOfTheOutput) {
    SimulationAreas areas(DefaultInputBufferName, DefaultOutputBufferName);
    if (!areas.Valid())
        GTEST_SKIP() << "a simulator runs on this machine";
    WriteConfiguration(true);
    areas.SetEvent(Bit15);
    std::filesystem::remove(LockPath);

    ChildProcess observer({Observer},
                          {"", ChildProcess::ErrorOutput::Captured, GetParam().Reader, GetParam().Closed});
    // Active once the acknowledge variable was made equal to the event variable.
    ASSERT_TRUE(AcknowledgesAll(areas)) << observer.Output();
    for (const int descriptor : GetParam().Closed) {
        const auto path = "/proc/" + std::to_string(observer.Pid()) + "/fd/" + std::to_string(descriptor);
        EXPECT_EQ(std::filesystem::read_symlink(path), "/dev/null") << descriptor;
    }

    const pid_t first = StartTool(areas);
    ASSERT_GT(first, 0);
    // Bit 14 has no tool: only the new activation copies it.
    areas.ToggleEvent(14);
    observer.Signal(SIGHUP);
    ASSERT_TRUE(AcknowledgesAll(areas)) << observer.Output();
    EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(first); }, Deadline));

    const pid_t second = StartTool(areas);
    ASSERT_GT(second, 0);
    observer.Signal(SIGTERM);
    EXPECT_EQ(observer.WaitForExit(Deadline), 0) << observer.Output();
    EXPECT_EQ(areas.AckOutputValue(), Bit15 | Bit14);
    EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(second); }, Deadline));
    EXPECT_EQ(std::filesystem::file_size(LockPath), 0u);

    if (GetParam().Reader != Output::Test || !GetParam().Closed.empty())
        return;
    ExpectStampedLines(observer.Output());
    for (const char* text : {"SIGHUP: reloading", "Tool 1 (bit 0): 1 calls", "Observation stopped"})
        EXPECT_NE(observer.Output().find(text), std::string::npos) << text << "\n" << observer.Output();
}

INSTANTIATE_TEST_SUITE_P(Output, HeadlessOutputTest,
                         ::testing::Values(OutputCase{"Read", Output::Test, {}},
                                           OutputCase{"ReaderGone", Output::Gone, {}},
                                           OutputCase{"NeverRead", Output::Never, {}},
                                           OutputCase{"AllClosed", Output::Test, {0, 1, 2}},
                                           OutputCase{"OutputAndErrorClosed", Output::Test, {1, 2}}),
                         [](const auto& info) { return std::string(info.param.Name); });

// A controller that accepts the connection and never answers stalls the summary
// download at start-up; SIGTERM then still ends the observer cleanly.
TEST_F(HeadlessObserverTest, TerminateDuringAStalledStartUpExitsCleanly) {
    std::atomic<bool> connected{false};
    FakeController stalled("127.0.31.1", FileTransferPort, [&](int) {
        connected = true;
        while (!stalled.Stopping())
            std::this_thread::sleep_for(milliseconds(10));
    });
    ASSERT_TRUE(stalled.Listening());
    WriteConfiguration(false, "127.0.31.1");

    ChildProcess observer({Observer});
    ASSERT_TRUE(WaitUntil([&] { return connected.load(); }, Deadline)) << observer.Output();
    observer.Signal(SIGTERM);
    EXPECT_EQ(observer.WaitForExit(Deadline), 0) << observer.Output();
    EXPECT_NE(observer.Output().find("SIGTERM"), std::string::npos) << observer.Output();
}

struct LockCase {
    const char* Name;
    bool PlantLink; // instead of a first observer, a link at the lock's path
    std::vector<std::string> FirstUser;
    std::vector<std::string> SecondUser;
    const char* Refusal;
};

class HeadlessLockTest : public HeadlessObserverTest, public ::testing::WithParamInterface<LockCase> {
protected:
    void TearDown() override {
        if (std::filesystem::is_symlink(LockPath))
            std::filesystem::remove(LockPath);
    }
};

// Whoever made the lock file, a second observer of any user is refused, and so is
// one that finds no usable lock file: two observers would run every tool twice.
TEST_P(HeadlessLockTest, ASecondObserverOfAnyUserIsRefused) {
    const LockCase& lockCase = GetParam();
    WriteConfiguration(true);
    std::filesystem::permissions(Workspace.Folder(), std::filesystem::perms(0755));
    std::filesystem::permissions(Workspace.SettingsFile(), std::filesystem::perms(0644));
    std::filesystem::remove(LockPath);
    const std::string target = Workspace.PathOf("lock-target");

    std::vector<std::string> first = lockCase.FirstUser;
    first.push_back(Observer);
    std::optional<ChildProcess> holder;
    if (lockCase.PlantLink) {
        std::filesystem::create_symlink(target, LockPath);
    } else {
        holder.emplace(first);
        ASSERT_TRUE(holder->WaitForOutput("Settings file:", Deadline)) << holder->Output();
    }

    std::vector<std::string> second = lockCase.SecondUser;
    second.push_back(Observer);
    ChildProcess again(second);
    EXPECT_EQ(again.WaitForExit(Deadline), 1) << again.Output();
    EXPECT_NE(again.Output().find(lockCase.Refusal), std::string::npos) << again.Output();
    EXPECT_EQ(again.Output().find("Settings file:"), std::string::npos) << again.Output();
    ExpectStampedLines(again.Output());
    EXPECT_FALSE(std::filesystem::exists(target));
}

const std::vector<std::string> Root;
const std::vector<std::string> Nobody{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
const std::vector<std::string> Other{"/usr/bin/setpriv", "--reuid=65533", "--regid=65533", "--clear-groups"};

INSTANTIATE_TEST_SUITE_P(Lock, HeadlessLockTest,
                         ::testing::Values(LockCase{"RootThenNobody", false, Root, Nobody,
                                                    "Only one instance of the application is allowed !"},
                                           LockCase{"NobodyThenOther", false, Nobody, Other,
                                                    "Only one instance of the application is allowed !"},
                                           LockCase{"PlantedLink", true, {}, Root, LockPath.c_str()}),
                         [](const auto& info) { return std::string(info.param.Name); });

struct ExitCase {
    std::vector<std::string> Arguments;
    int ExitCode;
    const char* Text;
};

TEST_F(HeadlessObserverTest, OptionsAndAMissingConfigurationEndItWithTheirStatus) {
    for (const ExitCase& exit :
         {ExitCase{{"--help"}, 0, "SIGHUP"}, ExitCase{{"--version"}, 0, "eventmanager-headless "},
          ExitCase{{"--activate"}, 2, "unknown option '--activate'"},
          ExitCase{{}, 1, "No usable configuration"}}) {
        std::vector<std::string> argv{Observer};
        argv.insert(argv.end(), exit.Arguments.begin(), exit.Arguments.end());
        ChildProcess observer(argv);
        EXPECT_EQ(observer.WaitForExit(Deadline), exit.ExitCode) << exit.Text;
        EXPECT_NE(observer.Output().find(exit.Text), std::string::npos) << observer.Output();
    }
}

// The settings file is the administrator's while the observer runs: it writes
// only the configuration it had to choose, in its own line, never at its end,
// and SIGHUP reads the file again.
TEST_F(HeadlessObserverTest, EditsToTheSettingsFileWhileItRunsAreKept) {
    SimulationAreas areas(DefaultInputBufferName, DefaultOutputBufferName);
    if (!areas.Valid())
        GTEST_SKIP() << "a simulator runs on this machine";
    Workspace.WriteSummary("summary.sta", StandardVariables());
    const std::vector<TestTool> tools{{0, "/bin", "true", ""}};
    const std::string project =
        Workspace.WriteProject("p.ADPXML", {{"7", "Beta", "EventVar", "AckVar", "5", tools},
                                            {"3", "Alpha", "EventVar", "AckVar", "5", tools}});
    const std::string lines = "; set up by hand\n[Configuration]\nPathToKavelCfg = " + project +
                              "\n  ActivateOnStart = 0\nUseSimEnvironment=1\n";
    const std::string settings = Workspace.WriteFile("eventmanager.KAVELCFG", lines + "UsedUniqueID=-1\n");

    ChildProcess observer({Observer});
    ASSERT_TRUE(observer.WaitForOutput("Observing \"Alpha\"", Deadline)) << observer.Output();
    EXPECT_EQ(TempFolder::Read(settings), lines + "UsedUniqueID=3\n");

    Workspace.WriteFile("eventmanager.KAVELCFG", lines + "UsedUniqueID=7\n");
    const std::size_t beforeReload = observer.Output().size();
    observer.Signal(SIGHUP);
    ASSERT_TRUE(observer.WaitForOutput("Observing \"Beta\"", Deadline, beforeReload)) << observer.Output();

    const std::string edited = lines + "UsedUniqueID=3\n; changed while it runs\n";
    Workspace.WriteFile("eventmanager.KAVELCFG", edited);
    observer.Signal(SIGTERM);
    EXPECT_EQ(observer.WaitForExit(Deadline), 0) << observer.Output();
    EXPECT_EQ(TempFolder::Read(settings), edited);
}

// The simulator's areas shrink under the running observer and are then made
// anew, as `truncate -s 0 /dev/shm/...` and `qrix-sim remove; qrix-sim create`
// do: the observer says so, keeps running and handles events in the areas
// that are there afterwards.
TEST_F(HeadlessObserverTest, SurvivesShrunkAndReCreatedAreas) {
    std::optional<SimulationAreas> areas(std::in_place, DefaultInputBufferName, DefaultOutputBufferName);
    if (!areas->Valid())
        GTEST_SKIP() << "a simulator runs on this machine";

    Workspace.WriteSummary("summary.sta", StandardVariables());
    AppSettings settings;
    settings.PathToKavelCfg = Workspace.WriteProject(
        "p.ADPXML",
        {{"1", "Areas", "EventVar", "AckVar", "5", {{0, "/bin", "true", ""}, {1, "/bin", "true", ""}}}});
    settings.UseSimEnvironment = 1;
    Workspace.SaveTestSettings(settings);
    ChildProcess observer({Observer});
    ASSERT_TRUE(observer.WaitForOutput("Observing \"Areas\"", Deadline)) << observer.Output();

    // Shrunk while attached: reading it through a mapping would end the observer with SIGBUS.
    ASSERT_TRUE(ResizeSharedMemory(DefaultInputBufferName, 0));
    ASSERT_TRUE(observer.WaitForOutput("QRIX_INPUT_BUFFER shrank to 0 bytes", Deadline)) << observer.Output();
    ASSERT_TRUE(ResizeSharedMemory(DefaultInputBufferName, SimulationBufferSize));
    ASSERT_TRUE(observer.WaitForOutput("QRIX_INPUT_BUFFER is there again", Deadline)) << observer.Output();
    areas->ToggleEvent(0);
    EXPECT_TRUE(WaitUntil([&] { return areas->AckOutputValue() == 1u; }, Deadline)) << observer.Output();

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
        Deadline))
        << observer.Output();
    areas->ToggleEvent(1);
    EXPECT_TRUE(WaitUntil([&] { return (areas->AckOutputValue() & 2u) != 0; }, Deadline))
        << observer.Output();

    observer.Signal(SIGTERM);
    EXPECT_EQ(observer.WaitForExit(Deadline), 0) << observer.Output();
}

// Every run lands in Temp/runs.jsonl and its output in Temp/slot-NN.log beside the
// observer; a failed run is said at error priority, a clean one only with
// --log-runs and at info priority.
TEST_F(HeadlessObserverTest, RecordsEveryRunKeepsItsOutputAndSaysFailuresAtErrorPriority) {
    SimulationAreas areas(DefaultInputBufferName, DefaultOutputBufferName);
    if (!areas.Valid())
        GTEST_SKIP() << "a simulator runs on this machine";
    const std::string failing =
        Workspace.WriteFile("failing", "#!/bin/sh\necho \"no sample on $1\" >&2\nexit 3\n");
    ::chmod(failing.c_str(), 0755);
    Workspace.WriteSummary("summary.sta", StandardVariables());
    AppSettings settings;
    settings.PathToKavelCfg = Workspace.WriteProject(
        "p.ADPXML", {{"1",
                      "Runs",
                      "EventVar",
                      "AckVar",
                      "5",
                      {{0, Workspace.Folder(), "failing", "rig-4"}, {1, "/bin", "true", ""}}}});
    settings.UseSimEnvironment = 1;
    Workspace.SaveTestSettings(settings);
    const std::string temp = Workspace.PathOf("Temp");

    struct RunFilesCase {
        const char* Name;
        bool LogRuns;
        bool TempIsAFile; // the run files cannot be kept: one line, observation goes on
    };
    for (const RunFilesCase& row :
         {RunFilesCase{"plain", false, false}, RunFilesCase{"--log-runs", true, false},
          RunFilesCase{"Temp is a file", false, true}}) {
        SCOPED_TRACE(row.Name);
        const bool logRuns = row.LogRuns;
        std::filesystem::remove_all(temp);
        if (row.TempIsAFile)
            Workspace.WriteFile("Temp", "not a folder");
        // Standard output is the journal's stream (descriptor 5 holds it while stat looks).
        const std::string script = "exec 5>&1; export JOURNAL_STREAM=$(stat -L -c %d:%i /proc/self/fd/5); "
                                   "exec \"$0\" \"$@\" 5>&-";
        std::vector<std::string> argv{"/bin/sh", "-c", script, Observer};
        if (logRuns)
            argv.push_back("--log-runs");
        ChildProcess observer(argv);
        ASSERT_TRUE(observer.WaitForOutput("Observing \"Runs\"", Deadline)) << observer.Output();
        areas.ToggleEvent(0);
        areas.ToggleEvent(1);
        ASSERT_TRUE(AcknowledgesAll(areas)) << observer.Output();
        ASSERT_TRUE(observer.WaitForOutput("Tool 1 (bit 0) ended with exit code 3 after ", Deadline))
            << observer.Output();
        observer.Signal(SIGTERM);
        EXPECT_EQ(observer.WaitForExit(Deadline), 0) << observer.Output();

        const std::string output = observer.Output();
        const std::regex failed(
            R"((^|\n)<3>\S+ \S+  Tool 1 \(bit 0\) ended with exit code 3 after \d+\.\d\d s\n)");
        EXPECT_TRUE(std::regex_search(output, failed)) << output;
        const std::regex clean(R"((^|\n)<6>\S+ \S+  Tool 2 \(bit 1\) ended with exit code 0 after )");
        EXPECT_EQ(std::regex_search(output, clean), logRuns) << output;

        const std::string notKept =
            "**** The run history and the tools' output are not kept: the folder Temp "
            "beside the program cannot be had: ";
        EXPECT_EQ(output.find(notKept) != std::string::npos, row.TempIsAFile) << output;
        if (row.TempIsAFile)
            continue;
        std::ifstream history(temp + "/runs.jsonl");
        std::vector<std::string> records;
        for (std::string line; std::getline(history, line);)
            records.push_back(line);
        ASSERT_EQ(records.size(), 2u) << output;
        for (const std::string& record : records) {
            const bool first = record.find("\"tool\":1,") != std::string::npos;
            EXPECT_NE(record.find(first ? "\"exit_code\":3" : "\"exit_code\":0"), std::string::npos)
                << record;
        }
        const std::string kept = TempFolder::Read(temp + "/slot-01.log");
        EXPECT_TRUE(kept.starts_with("==== Tool 1 (bit 0) started at ")) << kept;
        EXPECT_TRUE(kept.ends_with(": " + failing + " rig-4\nno sample on rig-4\n")) << kept;
    }
}

} // namespace
