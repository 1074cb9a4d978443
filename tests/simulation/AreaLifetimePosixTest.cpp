// POSIX areas outlive `qrix-sim create` and go on `remove`.
#include "tests/simulation/QrixSimProgram.h"

#include <gtest/gtest.h>

namespace {

TEST(AreaLifetimeTest, CreateReturnsAndTheAreasStayUntilRemoved) {
    TestAreas areas;
    const ProgramRun create = RunSim(areas, "create");
    ASSERT_EQ(create.ExitCode, 0);
    EXPECT_EQ(create.Output, "created " + areas.InputName() + "\ncreated " + areas.OutputName() + "\n");
    ASSERT_EQ(RunSim(areas, "write32 --offset 16 7").ExitCode, 0);
    EXPECT_EQ(RunSim(areas, "create --replace").ExitCode, 0);
    EXPECT_EQ(RunSim(areas, "read32 --offset 16").Output, "value=0\nhex=0x00000000\n");
    EXPECT_EQ(RunSim(areas, "remove").Output,
              "removed " + areas.InputName() + "\nremoved " + areas.OutputName() + "\n");
    const ProgramRun again = RunSim(areas, "remove");
    EXPECT_EQ(again.ExitCode, 0);
    EXPECT_EQ(again.Output, "absent " + areas.InputName() + "\nabsent " + areas.OutputName() + "\n");
}

} // namespace
