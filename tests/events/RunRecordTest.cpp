#include "controller/SimulationBuffers.h"
#include "events/PollCycle.h"
#include "events/ToolRunner.h"
#include "tests/app/SimulationAreas.h"
#include "tests/events/EventTestSupport.h"
#include "tests/events/RecordingObservationState.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace std::chrono_literals;

// The poll cycle driven by hand in simulation mode, tools started for real.
class RunRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Controller.Valid());
        State.UseSimulation(41);
        ResetSimulationBuffers();
        OpenSimulationBuffers();
        SynchroniseAcknowledge(State);
    }

    bool CycleUntil(const std::function<bool()>& condition) {
        return WaitUntil([&] {
            RunPollCycle(&State);
            return condition();
        });
    }

    void Configure(int bit, const std::string& program, const std::vector<std::string>& arguments) {
        ToolSlot& slot = State.ToolSlots[bit];
        slot.Defined = slot.Runnable = 1;
        slot.Program = program;
        slot.Arguments = arguments;
        slot.CommandLine = program;
    }

    // Toggles the bit and cycles until its run is acknowledged.
    void RunOnce(int bit) {
        const std::uint32_t ack = Controller.AckOutputValue() ^ (1u << bit);
        Controller.ToggleEvent(bit);
        ASSERT_TRUE(CycleUntil([&] { return Controller.AckOutputValue() == ack; }));
    }

    std::vector<std::string> LinesOf(const std::string& path) {
        std::ifstream file(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

    TempFolder Folder;
    std::string Log = Folder.File("calls.log");
    SimulationAreas Controller;
    RecordingObservationState State;
};

struct OutcomeCase {
    const char* Name;
    std::string Program;
    std::vector<std::string> Arguments;
    RunOutcome Outcome;
    int Code; // exit code or signal
};

// Every way a run ends gives exactly one record, handed on before the run is
// acknowledged, with what was started, by whom and for how long.
TEST_F(RunRecordTest, EachWayARunEndsGivesOneRecordBeforeItsAcknowledgement) {
    const std::string missing = Folder.File("no-such-tool");
    const OutcomeCase cases[] = {
        {"exit code", TestToolPath(), {"--log", Log, "--exit", "3"}, RunOutcome::Exited, 3},
        {"clean exit", TestToolPath(), {"--log", Log, "two words"}, RunOutcome::Exited, 0},
        {"signal", "/bin/sh", {"-c", "kill -USR1 $$"}, RunOutcome::Signalled, SIGUSR1},
        {"deactivation",
         TestToolPath(),
         {"--log", Log, "--sleep", "60000"},
         RunOutcome::TerminatedAtDeactivation,
         0},
        {"not started", missing, {"--flag"}, RunOutcome::NotStarted, 0},
    };
    int bit = 0;
    for (const OutcomeCase& row : cases) {
        SCOPED_TRACE(row.Name);
        Configure(bit, row.Program, row.Arguments);
        const std::size_t before = State.Runs().size();
        const auto wallBefore = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::system_clock::now().time_since_epoch())
                                    .count();
        if (row.Outcome == RunOutcome::TerminatedAtDeactivation) {
            const std::size_t logged = ReadToolLog(Log).size();
            Controller.ToggleEvent(bit);
            RunPollCycle(&State);
            ASSERT_TRUE(WaitUntil([&] { return ReadToolLog(Log).size() == logged + 1; }));
            TerminateRunningTools(State);
            ASSERT_TRUE(CycleUntil([&] { return State.ToolSlots[bit].Running == 0; }));
        } else if (row.Outcome == RunOutcome::NotStarted) {
            Controller.ToggleEvent(bit);
            ASSERT_TRUE(CycleUntil([&] { return State.Runs().size() == before + 1; }));
            EXPECT_EQ(State.ToolSlots[bit].Running, 1); // never acknowledged
        } else {
            RunOnce(bit);
        }
        // The record was there when the acknowledgement was written.
        const std::vector<RunRecord> runs = State.Runs();
        ASSERT_EQ(runs.size(), before + 1);
        const RunRecord& run = runs.back();
        EXPECT_EQ(run.Outcome, row.Outcome);
        EXPECT_EQ(run.Bit, bit);
        EXPECT_EQ(run.UniqueID, 41);
        std::vector<std::string> argv{row.Program};
        argv.insert(argv.end(), row.Arguments.begin(), row.Arguments.end());
        EXPECT_EQ(run.Arguments, argv);
        EXPECT_EQ(row.Outcome == RunOutcome::Exited ? run.ExitCode : run.Signal, row.Code);
        EXPECT_EQ(run.ProcessId == 0, row.Outcome == RunOutcome::NotStarted);
        EXPECT_GE(run.StartMilliseconds, wallBefore);
        EXPECT_GE(run.EndMilliseconds, run.StartMilliseconds);
        EXPECT_GE(run.DurationMicroseconds, 0);
        if (row.Outcome == RunOutcome::NotStarted) {
            EXPECT_EQ(run.Reason, "No such file or directory");
        }
        if (row.Outcome == RunOutcome::Exited && row.Code == 0) {
            EXPECT_EQ(ReadToolLog(Log).back().ProcessId, run.ProcessId);
        }
        ++bit;
    }
    EXPECT_EQ(State.Runs().size(), std::size(cases));
}

// A tool that writes 10 MB as fast as it can is never held up by the file: it
// ends, is acknowledged, and its file holds the newest 256 KiB from a line start.
TEST_F(RunRecordTest, TheOutputFileKeepsTheNewestBytesOfAFloodAndHeadsEachRun) {
    State.OutputCapture = std::make_shared<ToolOutputCapture>(Folder.Path());
    const std::string path = State.OutputCapture->FilePath(2);
    EXPECT_EQ(path, Folder.File("slot-03.log"));
    Configure(2, "/usr/bin/seq", {"1", "1500000"}); // 10.9 MB of numbered lines
    RunOnce(2);
    ASSERT_TRUE(State.OutputCapture->WaitUntilWritten(30000));
    const auto size = std::filesystem::file_size(path);
    EXPECT_LE(size, ToolOutputCapture::DefaultKeptBytes);
    EXPECT_GT(size, ToolOutputCapture::DefaultKeptBytes - 16);
    std::vector<std::string> lines = LinesOf(path);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "1500000");
    const long first = std::stol(lines.front());
    for (std::size_t i = 0; i < lines.size(); ++i)
        ASSERT_EQ(lines[i], std::to_string(first + static_cast<long>(i)));

    Configure(2, "/bin/sh", {"-c", "echo to output; echo to error >&2"});
    RunOnce(2);
    ASSERT_TRUE(State.OutputCapture->WaitUntilWritten(30000));
    lines = LinesOf(path);
    ASSERT_GE(lines.size(), 3u);
    const RunRecord run = State.Runs().back();
    EXPECT_EQ(lines[lines.size() - 3], RunStartLine(run));
    EXPECT_EQ(lines[lines.size() - 3].rfind("==== Tool 3 (bit 2) started at ", 0), 0u);
    EXPECT_EQ(lines[lines.size() - 2], "to output");
    EXPECT_EQ(lines[lines.size() - 1], "to error");
    EXPECT_EQ(lines[lines.size() - 4], "1500000");
    State.OutputCapture.reset();
}

// Whatever sits under a slot file's name is never followed nor waited for: one
// line says the output is dropped, one that it is written again once it can be.
TEST_F(RunRecordTest, ALinkFifoOrFolderUnderTheFileNameIsRefusedAndTheNextRunWritesAgain) {
    State.OutputCapture = std::make_shared<ToolOutputCapture>(Folder.Path());
    const std::string path = State.OutputCapture->FilePath(0);
    const std::string elsewhere = Folder.Write("elsewhere.txt", "untouched\n");
    const std::function<void()> plants[] = {
        [&] { ASSERT_EQ(::symlink(elsewhere.c_str(), path.c_str()), 0); },
        [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); },
        [&] { ASSERT_EQ(::mkdir(path.c_str(), 0755), 0); },
    };
    Configure(0, "/bin/echo", {"caught"});
    std::size_t round = 0;
    for (const auto& plant : plants) {
        ++round;
        plant();
        State.OutputCapture = std::make_shared<ToolOutputCapture>(Folder.Path());
        RunOnce(0);
        ASSERT_TRUE(State.OutputCapture->WaitUntilWritten(30000));
        EXPECT_EQ(State.LinesContaining("cannot be written to " + Folder.Path() + " (slot-01.log: "), round);
        EXPECT_EQ(TempFolder::Read(elsewhere), "untouched\n");
        std::filesystem::remove(path);
        RunOnce(0);
        ASSERT_TRUE(State.OutputCapture->WaitUntilWritten(30000));
        EXPECT_EQ(State.LinesContaining("---- The output of the tools is written to"), round);
        const std::vector<std::string> lines = LinesOf(path);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "caught");
        std::filesystem::remove(path);
        State.OutputCapture.reset();
    }
    EXPECT_EQ(State.Messages().size(), 2 * round);
}

} // namespace
