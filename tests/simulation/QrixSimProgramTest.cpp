#include "tests/simulation/QrixSimProgram.h"
#include "tests/simulation/TestAreas.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <sstream>
#include <string>
#include <vector>

namespace {

TEST(QrixSimProgramTest, ValuesAreWrittenToggledAndReadBack) {
    TestAreas areas;
    EXPECT_EQ(RunSim(areas, "read32 --offset 4").ExitCode, 1) << "no areas yet";
    CreatedAreas created(areas);
    ASSERT_TRUE(created.Exist());
    const ProgramRun twice = RunSim(areas, "create");
    EXPECT_EQ(twice.ExitCode, 1);
    EXPECT_TRUE(Contains(twice.Output, "exists already"));

    EXPECT_EQ(RunSim(areas, "write32 --offset 0x10 0x8001").ExitCode, 0);
    EXPECT_EQ(RunSim(areas, "toggle --offset 16 --bit 3").Output, "value=32777\nhex=0x00008009\n");
    EXPECT_EQ(RunSim(areas, "read --offset 16 --length 4").Output, "bytes=09 80 00 00\n");
    EXPECT_EQ(RunSim(areas, "write --area output --offset 0xFFFFE 01 02").ExitCode, 0);
    EXPECT_EQ(RunSim(areas, "read --area output --offset 0xFFFFE --length 2 --json").Output,
              "{\"offset\":1048574,\"length\":2,\"bytes\":\"01 02\"}\n");
    EXPECT_EQ(RunSim(areas, "read32 --area output --offset 0xFFFFD").ExitCode, 1) << "beyond the end";
    EXPECT_NE(RunSim(areas, "write32 --offset 4 banana").ExitCode, 0);
    EXPECT_EQ(RunSim(areas, "write --offset 4 0").ExitCode, 1);

    EXPECT_EQ(created.Remove(), 0);
}

TEST(QrixSimProgramTest, HandshakeAgainstTheResponderAndAgainstNobody) {
    TestAreas areas;
    CreatedAreas created(areas);
    ASSERT_TRUE(created.Exist());
    auto responder = std::async(std::launch::async,
                                [&areas] { return RunSim(areas, "respond --bits 0-14 --duration 10"); });
    const ProgramRun run = RunSim(areas, "handshake --bits 0-15 --duration 0.5 --timeout 2000 --seed 9");
    EXPECT_EQ(run.ExitCode, 3) << run.Output;
    EXPECT_TRUE(Contains(run.Output, "\nseed=9\n"));
    EXPECT_TRUE(Contains(run.Output, "\nnever_acknowledged=15\n"));
    EXPECT_TRUE(Contains(run.Output, "never acknowledged within 2000 ms: bits 15"));
    EXPECT_TRUE(Contains(run.Output, "latency_p99_ms="));
    EXPECT_TRUE(Contains(run.Output, "handshakes_per_s="));

    const ProgramRun json = RunSim(areas, "--json handshake --bits 0,1 --rate 200 --duration 0.3");
    EXPECT_EQ(json.ExitCode, 0) << json.Output;
    EXPECT_TRUE(Contains(json.Output, "\"never_acknowledged\":[]"));
    EXPECT_TRUE(Contains(responder.get().Output, "acknowledged="));

    // The responder has ended: nobody answers any more.
    const ProgramRun alone = RunSim(areas, "handshake --bits 2 --duration 0.1 --timeout 100");
    EXPECT_EQ(alone.ExitCode, 3);
    EXPECT_TRUE(Contains(alone.Output, "\nnever_acknowledged=2\n"));
    EXPECT_EQ(RunSim(areas, "handshake --event-offset 2").ExitCode, 1);
}

TEST(QrixSimProgramTest, WatchReportsTheValuesAndEndsOnTime) {
    TestAreas areas;
    CreatedAreas created(areas);
    ASSERT_TRUE(created.Exist());
    ASSERT_EQ(RunSim(areas, "write32 --offset 4 5").ExitCode, 0);
    const ProgramRun watch = RunSim(areas, "watch --event-offset 4 --ack-offset 4 --duration 0.2");
    EXPECT_EQ(watch.ExitCode, 0);
    EXPECT_TRUE(Contains(watch.Output, "event=0x00000005 ack=0x00000000 differ=0x00000005\n"))
        << watch.Output;
}

} // namespace
