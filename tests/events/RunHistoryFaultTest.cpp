#include "tests/events/RunHistoryTestSupport.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>

namespace {

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

TEST(RunRecordSignalTest, ASignalIsNamedSymbolically) {
    EXPECT_EQ(SignalName(SIGKILL), "SIGKILL");
    EXPECT_EQ(SignalName(SIGUSR1), "SIGUSR1");
}

} // namespace
