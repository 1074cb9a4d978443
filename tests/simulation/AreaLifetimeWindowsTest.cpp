// Windows file mappings live while a handle is open: `qrix-sim create` holds
// the areas while it runs and `remove` ends the hold, one area at a time.
#include "tests/simulation/QrixSimProgram.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

bool Opens(const std::string& name) {
    std::string error;
    return SharedArea::Open(name, error).has_value();
}

TEST(AreaLifetimeTest, CreateHoldsTheAreasUntilEachIsRemoved) {
    TestAreas areas;
    std::future<ProgramRun> create =
        std::async(std::launch::async, [&areas] { return RunSim(areas, "create"); });
    ASSERT_TRUE(WaitUntil([&] { return Opens(areas.InputName()) && Opens(areas.OutputName()); },
                          std::chrono::seconds(20)));
    ASSERT_EQ(RunSim(areas, "write32 --offset 16 7").ExitCode, 0);
    EXPECT_EQ(RunSim(areas, "read32 --offset 16").Output, "value=7\nhex=0x00000007\n");

    // Removing the input area leaves the output area held.
    ProgramRun removed = RunSim(areas.InputName(), areas.InputName() + "_none", "remove");
    EXPECT_EQ(removed.Output, "removed " + areas.InputName() + "\nabsent " + areas.InputName() + "_none\n");
    EXPECT_FALSE(Opens(areas.InputName()));
    EXPECT_TRUE(Opens(areas.OutputName()));
    EXPECT_EQ(create.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);

    removed = RunSim(areas, "remove");
    EXPECT_EQ(removed.Output, "absent " + areas.InputName() + "\nremoved " + areas.OutputName() + "\n");
    const ProgramRun ended = create.get();
    EXPECT_EQ(ended.ExitCode, 0) << ended.Output;
    EXPECT_TRUE(Contains(ended.Output, "created " + areas.OutputName() + "\nholding the areas"))
        << ended.Output;
    EXPECT_FALSE(Opens(areas.OutputName()));
}

TEST(AreaLifetimeTest, AnAreaHeldByAnotherProgramIsNeitherRemovedNorReplaced) {
    TestAreas areas;
    std::optional<SharedArea> input = areas.CreateInput();
    std::optional<SharedArea> output = areas.CreateOutput();
    const ProgramRun remove = RunSim(areas, "remove");
    EXPECT_EQ(remove.ExitCode, 1);
    EXPECT_TRUE(Contains(remove.Output, "held by a program other than 'qrix-sim create'")) << remove.Output;
    const ProgramRun replace = RunSim(areas, "create --replace");
    EXPECT_EQ(replace.ExitCode, 1);
    EXPECT_EQ(input->Read32(4), 0u);
    input->Write32(4, 9);
    EXPECT_EQ(TestAreas::Open(areas.InputName()).Read32(4), 9u) << "still the same area";

    // Once the last holder lets go, the name is free again.
    input.reset();
    output.reset();
    EXPECT_FALSE(Opens(areas.InputName()));
    CreatedAreas created(areas);
    EXPECT_TRUE(created.Exist());
    EXPECT_EQ(created.Remove(), 0);
}

} // namespace
