// The areas as POSIX shared memory: sizes, removal and modes seen from outside.
#include "tests/simulation/SimulationBuffersFixture.h"
#include "tests/support/MessageCapture.h"
#include "tests/support/ProcessFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

TEST_F(SimulationBuffersTest, AnAreaSmallerThanOneMebibyteIsNeverMapped) {
    {
        const int fd = ::shm_open(m_Areas.InputName().c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 4096), 0);
        ::close(fd);
    }
    m_Output.emplace(m_Areas.CreateOutput());
    OpenSimulationBuffers();
    // Mapped whole, an access past 4096 bytes would kill the process.
    std::uint32_t value = 9;
    std::uint16_t status = Untouched;
    ReadInputBuffer(&value, 4, 0x8000, status);
    EXPECT_EQ(status, Untouched);
    EXPECT_EQ(value, 9u);

    // Replaced by a proper area, it is picked up by a later read.
    ASSERT_EQ(::shm_unlink(m_Areas.InputName().c_str()), 0);
    m_Input.emplace(m_Areas.CreateInput());
    m_Input->Write32(0x8000, 0x42);
    ReadInputBuffer(&value, 4, 0x8000, status);
    ReadInputBuffer(&value, 4, 0x8000, status);
    EXPECT_EQ(status, SimulationStatusDone);
    EXPECT_EQ(value, 0x42u);
}

TEST_F(SimulationBuffersTest, CloseAndResetAreHarmlessRepeatedAndReleaseTheAreas) {
    CloseSimulationBuffers();
    ResetSimulationBuffers();
    StartSimulator();
    CloseSimulationBuffers();
    CloseSimulationBuffers();
    std::uint32_t value = 5;
    std::uint16_t status = Untouched;
    ReadInputBuffer(&value, 4, 4, status);
    EXPECT_EQ(status, Untouched) << "closed: the read only reopens";

    // After a reset the next open attaches to whatever carries the names now.
    ReadInputBuffer(&value, 4, 4, status);
    EXPECT_EQ(status, SimulationStatusDone);
    ResetSimulationBuffers();
    m_Input.reset();
    m_Output.reset();
    ASSERT_EQ(::shm_unlink(m_Areas.InputName().c_str()), 0);
    ASSERT_EQ(::shm_unlink(m_Areas.OutputName().c_str()), 0);
    StartSimulator();
    m_Input->Write32(4, 0x77);
    EXPECT_EQ(ReadValue(4, status), 0x77u);
}

// The simulator shrinks, removes or re-creates an area while it is attached: each
// change is said once, the access leaves data and status alone, nothing crashes,
// and the area in place afterwards is used again.
TEST_F(SimulationBuffersTest, AnAreaChangedUnderUsIsReportedAndUsedAgainWhenWhole) {
    enum class Change { ShrinkThenGrow, RemoveAndCreate, RemoveThenCreateLater };
    const struct {
        const char* Name;
        Change What;
        bool Input;
        const char* FirstLine;
        const char* LaterLine; // after the whole area is back; empty when the first access goes on
    } cases[] = {
        {"input shrunk", Change::ShrinkThenGrow, true, "shrank to 0 bytes", "is there again"},
        {"output shrunk", Change::ShrinkThenGrow, false, "shrank to 0 bytes", "is there again"},
        {"input re-created", Change::RemoveAndCreate, true, "was created anew", ""},
        {"output re-created", Change::RemoveAndCreate, false, "was created anew", ""},
        {"input removed", Change::RemoveThenCreateLater, true, "was removed", "is there again"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Name);
        MessageCapture messages;
        ResetSimulationBuffers();
        m_Input.reset();
        m_Output.reset();
        TestAreas areas;
        SetSimulationBufferNames(areas.InputName(), areas.OutputName());
        std::optional<SharedArea> input = areas.CreateInput();
        std::optional<SharedArea> output = areas.CreateOutput();
        OpenSimulationBuffers();
        const std::string& name = test.Input ? areas.InputName() : areas.OutputName();
        std::optional<SharedArea>& area = test.Input ? input : output;

        // One access of the kind the poll cycle makes on the changed area.
        const auto access = [&](std::uint32_t& value, std::uint16_t& status) {
            if (test.Input)
                ReadInputBuffer(&value, 4, 0x40, status);
            else
                WriteOutputBuffer(&value, 4, 0x40, status);
        };

        area->Write32(0x40, 0x11);
        if (test.What == Change::ShrinkThenGrow) {
            ASSERT_TRUE(ResizeSharedMemory(name, 0));
        } else {
            area.reset();
            bool existed = false;
            std::string error;
            ASSERT_TRUE(SharedArea::Remove(name, existed, error)) << error;
            if (test.What == Change::RemoveAndCreate) {
                area = test.Input ? areas.CreateInput() : areas.CreateOutput();
                area->Write32(0x40, 0x22);
            }
        }

        std::uint32_t value = 0x99;
        std::uint16_t status = Untouched;
        access(value, status);
        if (test.What == Change::RemoveAndCreate) {
            EXPECT_EQ(status, SimulationStatusDone);
            EXPECT_EQ(test.Input ? value : area->Read32(0x40), test.Input ? 0x22u : 0x99u);
        } else {
            EXPECT_EQ(status, Untouched);
            EXPECT_EQ(value, 0x99u);
            // Further accesses while it stays unusable add no line and grow nothing.
            access(value, status);
            access(value, status);
            EXPECT_EQ(status, Untouched);
        }
        const std::vector<std::string> first = messages.Take();
        ASSERT_EQ(first.size(), 1u) << (first.empty() ? "" : first.back());
        EXPECT_NE(first[0].find(test.FirstLine), std::string::npos) << first[0];
        if (*test.LaterLine == '\0')
            continue;

        if (test.What == Change::ShrinkThenGrow) {
            ASSERT_TRUE(ResizeSharedMemory(name, SimulationBufferSize));
        } else {
            area = test.Input ? areas.CreateInput() : areas.CreateOutput();
        }
        area->Write32(0x40, 0x33);
        value = 0x33;
        status = Untouched;
        access(value, status); // attaches again
        access(value, status);
        EXPECT_EQ(status, SimulationStatusDone);
        EXPECT_EQ(value, 0x33u);
        EXPECT_EQ(area->Read32(0x40), 0x33u);
        const std::vector<std::string> later = messages.Take();
        ASSERT_EQ(later.size(), 1u);
        EXPECT_NE(later[0].find(test.LaterLine), std::string::npos) << later[0];
        CloseSimulationBuffers();
    }
}

TEST(SharedAreaTest, AreasAreMadeOnceOwnerOnlyAndZeroFilled) {
    TestAreas areas;
    std::string error;
    std::optional<SharedArea> area = SharedArea::Create(areas.InputName(), error);
    ASSERT_TRUE(area) << error;
    struct stat status {};
    ASSERT_EQ(::stat(("/dev/shm" + areas.InputName()).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(status.st_size, 0x100000);
    EXPECT_EQ(area->Read32(0xFFFFC), 0u);
    area->Write32(0xFFFFC, 0xCAFE);

    EXPECT_FALSE(SharedArea::Create(areas.InputName(), error));
    EXPECT_NE(error.find("exists already"), std::string::npos);
    std::optional<SharedArea> again = SharedArea::Open(areas.InputName(), error);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Read32(0xFFFFC), 0xCAFEu);
    EXPECT_TRUE(area->Fits(0xFFFFC, 4));
    EXPECT_FALSE(area->Fits(0xFFFFD, 4));
    EXPECT_FALSE(area->Fits(4, 0xFFFFFFFFFFFFFFFFull));

    bool existed = false;
    EXPECT_TRUE(SharedArea::Remove(areas.InputName(), existed, error));
    EXPECT_TRUE(existed);
    EXPECT_TRUE(SharedArea::Remove(areas.InputName(), existed, error));
    EXPECT_FALSE(existed);
    EXPECT_FALSE(SharedArea::Open(areas.InputName(), error));
    EXPECT_NE(error.find("does not exist"), std::string::npos);
}

} // namespace
