#include "events/RunHistory.h"
#include "tests/support/MessageCapture.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

namespace {

RunRecord Record(long processId, std::vector<std::string> arguments = {"/opt/tools/check", "--fast"}) {
    RunRecord record;
    record.Bit = 2;
    record.UniqueID = 7;
    record.Arguments = std::move(arguments);
    record.ProcessId = processId;
    record.StartMilliseconds = 1'796'000'000'123;
    record.EndMilliseconds = record.StartMilliseconds + 1520;
    record.DurationMicroseconds = 1'523'000;
    record.Outcome = RunOutcome::Exited;
    record.ExitCode = 3;
    return record;
}

std::vector<nlohmann::json> ReadLines(const std::string& path) {
    std::ifstream file(path);
    std::vector<nlohmann::json> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(nlohmann::json::parse(line)); // throws, failing the test, on a torn line
    return lines;
}

class RunHistoryTest : public ::testing::Test {
protected:
    TempFolder Folder;
    std::string Path = Folder.File("runs.jsonl");
    MessageCapture Messages;
};

TEST_F(RunHistoryTest, ARecordIsOneLineOfJsonWhateverBytesItsCommandHolds) {
    EXPECT_EQ(RunLine(Record(1)), "Tool 3 (bit 2) ended with exit code 3 after 1.52 s");
    const std::vector<std::string> argv{"/opt/Prüfstand/tool", "say \"hi\"\nand\tleave", "\xff\xfe", ""};
    {
        RunHistory history(Path);
        history.Append(Record(4711, argv));
        RunRecord signalled = Record(4712);
        signalled.Outcome = RunOutcome::Signalled;
        signalled.Signal = SIGKILL;
        history.Append(signalled);
        RunRecord notStarted = Record(0);
        notStarted.Outcome = RunOutcome::NotStarted;
        notStarted.Reason = "Permission denied";
        history.Append(notStarted);
        ASSERT_TRUE(history.WaitUntilWritten(20000));
    }
    const std::vector<nlohmann::json> lines = ReadLines(Path);
    ASSERT_EQ(lines.size(), 3u);
    const nlohmann::json& first = lines[0];
    EXPECT_EQ(first["tool"], 3);
    EXPECT_EQ(first["bit"], 2);
    EXPECT_EQ(first["unique_id"], 7);
    EXPECT_EQ(first["pid"], 4711);
    EXPECT_EQ(first["argv"][0], argv[0]);
    EXPECT_EQ(first["argv"][1], argv[1]);
    EXPECT_EQ(first["argv"][2], "\xEF\xBF\xBD\xEF\xBF\xBD"); // no UTF-8: U+FFFD each
    EXPECT_EQ(first["argv"][3], "");
    EXPECT_EQ(first["outcome"], "exited");
    EXPECT_EQ(first["exit_code"], 3);
    EXPECT_EQ(first["failed"], true);
    EXPECT_EQ(first["start_ms"], 1'796'000'000'123);
    EXPECT_DOUBLE_EQ(first["duration_s"].get<double>(), 1.523);
    EXPECT_EQ(first["start"].get<std::string>().size(), std::string("2026-11-29T21:33:20.123+00:00").size());
    EXPECT_EQ(lines[1]["outcome"], "signalled");
    EXPECT_EQ(lines[1]["signal_name"], "SIGKILL");
    EXPECT_FALSE(lines[1].contains("exit_code"));
    EXPECT_EQ(lines[2]["reason"], "Permission denied");
    EXPECT_TRUE(Messages.Lines().empty());
}

TEST_F(RunHistoryTest, RotatesAtTheSizeLimitKeepingTheNewestFilesAndWholeLines) {
    const std::size_t lineBytes = RunRecordJson(Record(100000)).size() + 1;
    RunHistory::Limits limits;
    limits.FileBytes = 10 * lineBytes + lineBytes / 2;
    limits.KeptFiles = 3;
    {
        RunHistory history(Path, limits);
        for (long pid = 100000; pid < 100045; ++pid)
            history.Append(Record(pid));
        ASSERT_TRUE(history.WaitUntilWritten(20000));
    }
    EXPECT_FALSE(std::filesystem::exists(Path + ".3"));
    std::vector<long> pids;
    for (const std::string& file : {Path + ".2", Path + ".1", Path}) {
        SCOPED_TRACE(file);
        EXPECT_LE(std::filesystem::file_size(file), limits.FileBytes);
        for (const nlohmann::json& line : ReadLines(file))
            pids.push_back(line["pid"].get<long>());
    }
    // 45 runs, 10 to a file: the newest 25 in three files, oldest first, none twice.
    ASSERT_EQ(pids.size(), 25u);
    for (std::size_t i = 0; i < pids.size(); ++i)
        EXPECT_EQ(pids[i], 100020 + static_cast<long>(i));
}

// A folder that is not there, a full disk and a fifo under the name each give one
// line and lose only the runs of that time; the history goes on when it can.
TEST_F(RunHistoryTest, AFileThatCannotBeWrittenCostsOneLineAndTheRunsOfThatTime) {
    struct FaultCase {
        const char* Name;
        std::function<void()> Break;
        std::function<void()> Mend;
        const char* Reason;
    };
    const std::string folder = Folder.File("Temp");
    const std::string path = folder + "/runs.jsonl";
    rlimit unlimited{};
    ::getrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, SIG_IGN);
    const FaultCase cases[] = {
        {"folder is a file", [&] { Folder.Write("Temp", "x"); },
         [&] {
             std::filesystem::remove(folder);
             std::filesystem::create_directory(folder);
         },
         "Not a directory"},
        {"disk full",
         [&] {
             // Writes past the current size fail as on a full disk.
             rlimit limit = unlimited;
             limit.rlim_cur = std::filesystem::file_size(path) + 40;
             ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
         },
         [&] { ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &unlimited), 0); }, "the disk is full"},
        {"fifo",
         [&] {
             std::filesystem::remove(path);
             ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
         },
         [&] { std::filesystem::remove(path); }, "No such device or address"},
    };
    std::filesystem::create_directory(folder);
    RunHistory history(path);
    long pid = 1;
    history.Append(Record(pid++));
    ASSERT_TRUE(history.WaitUntilWritten(20000));
    std::filesystem::remove_all(folder);
    for (const FaultCase& fault : cases) {
        SCOPED_TRACE(fault.Name);
        Messages.Take();
        fault.Break();
        for (int i = 0; i < 3; ++i)
            history.Append(Record(pid++));
        ASSERT_TRUE(history.WaitUntilWritten(20000));
        fault.Mend();
        history.Append(Record(pid++));
        ASSERT_TRUE(history.WaitUntilWritten(20000));
        const std::vector<std::string> lines = Messages.Take();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], "**** The run history " + path + " cannot be written: " + fault.Reason +
                                "; runs are not recorded in it until it can");
        EXPECT_EQ(lines[1], "---- The run history " + path + " is written again (3 runs not recorded)");
        // Only whole lines, the last one the run after the mend.
        const std::vector<nlohmann::json> records = ReadLines(path);
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.back()["pid"], pid - 1);
    }
}

} // namespace
