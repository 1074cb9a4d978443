#include "events/RunHistory.h"
#include "tests/events/RunHistoryTestSupport.h"
#include "tests/support/MessageCapture.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST_F(RunHistoryTest, ARecordIsOneLineOfJsonWhateverBytesItsCommandHolds) {
    EXPECT_EQ(RunLine(Record(1)), "Tool 3 (bit 2) ended with exit code 3 after 1.52 s");
    const std::vector<std::string> argv{"/opt/Prüfstand/tool", "say \"hi\"\nand\tleave", "\xff\xfe", ""};
    {
        RunHistory history(Path);
        history.Append(Record(4711, argv));
        RunRecord signalled = Record(4712);
        signalled.Outcome = RunOutcome::Signalled;
        signalled.Signal = 9;
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
    EXPECT_EQ(lines[1]["signal"], 9);
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

} // namespace
