#include "controller/SimulationBuffers.h"
#include "platform/TickCount.h"
#include "tests/simulation/TestAreas.h"
#include "tests/support/MessageCapture.h"
#include "tests/support/ProcessFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint16_t Untouched = 0x5A5A;

class SimulationBuffersTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSimulationBufferNames(m_Areas.InputName(), m_Areas.OutputName());
        ResetSimulationBuffers();
    }
    void TearDown() override {
        CloseSimulationBuffers();
        ResetSimulationBuffers();
        SetSimulationBufferNames(DefaultInputBufferName, DefaultOutputBufferName);
    }

    // Creates both areas and attaches to them, as activation does.
    void StartSimulator() {
        m_Input.emplace(m_Areas.CreateInput());
        m_Output.emplace(m_Areas.CreateOutput());
        OpenSimulationBuffers();
    }

    std::uint32_t ReadValue(std::uint16_t offset, std::uint16_t& status) {
        std::uint32_t value = 0;
        ReadInputBuffer(&value, sizeof value, offset, status);
        return value;
    }

    TestAreas m_Areas;
    std::optional<SharedArea> m_Input;
    std::optional<SharedArea> m_Output;
};

TEST_F(SimulationBuffersTest, OffsetsZeroToThreeReadTheTickStampNotTheArea) {
    StartSimulator();
    m_Input->Write32(0, 0xAAAAAAAA);
    std::uint16_t status = Untouched;

    const std::uint32_t before = TickCount();
    const std::uint32_t stamp = ReadValue(0, status);
    const std::uint32_t after = TickCount();
    EXPECT_EQ(status, SimulationStatusDone);
    EXPECT_LE(before, stamp);
    EXPECT_LE(stamp, after);

    // Two bytes at offset 2 are the stamp's two lowest bytes, lowest first.
    std::array<std::uint8_t, 4> bytes{0xEE, 0xEE, 0xEE, 0xEE};
    const std::uint32_t low = TickCount();
    ReadInputBuffer(bytes.data(), 2, 2, status);
    const std::uint32_t high = TickCount();
    EXPECT_EQ(status, SimulationStatusDone);
    const auto seen = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
    EXPECT_LE(static_cast<std::uint16_t>(seen - low), static_cast<std::uint16_t>(high - low));
    EXPECT_EQ(bytes[2], 0xEE);

    // Four bytes at offset 3 still fit the stamp; five do not.
    status = Untouched;
    ReadValue(3, status);
    EXPECT_EQ(status, SimulationStatusDone);
    std::array<std::uint8_t, 5> five{1, 2, 3, 4, 5};
    ReadInputBuffer(five.data(), 5, 3, status);
    EXPECT_EQ(status, SimulationStatusRejected);
    EXPECT_EQ(five, (std::array<std::uint8_t, 5>{1, 2, 3, 4, 5}));
}

TEST_F(SimulationBuffersTest, ReadsAndWritesUseTheirOwnAreaInHostOrder) {
    StartSimulator();
    const std::array<std::uint8_t, 4> eventBytes{0x01, 0x80, 0x00, 0x00};
    m_Input->Write(4, eventBytes.data(), 4);
    std::uint16_t status = Untouched;
    EXPECT_EQ(ReadValue(4, status), 0x8001u);
    EXPECT_EQ(status, SimulationStatusDone);
    // The highest start offset, with the longest length that stays below the end.
    m_Input->Write32(0xFFFF, 0x12345678);
    EXPECT_EQ(ReadValue(0xFFFF, status), 0x12345678u);

    const std::uint32_t ack = 0x00A5;
    status = Untouched;
    WriteOutputBuffer(&ack, 4, 12, status);
    EXPECT_EQ(status, SimulationStatusDone);
    status = Untouched;
    WriteInputBuffer(&ack, 4, 8, status);
    EXPECT_EQ(status, SimulationStatusDone);
    EXPECT_EQ(m_Output->Read32(12) + m_Input->Read32(8), 2 * ack);
    EXPECT_EQ(m_Output->Read32(8) + m_Input->Read32(12), 0u);
    // Offsets 0 to 3 are ordinary on writes.
    WriteInputBuffer(&ack, 4, 0, status);
    EXPECT_EQ(m_Input->Read32(0), ack);
}

TEST_F(SimulationBuffersTest, BadLengthsAndRangesAreRejectedWithoutCopying) {
    StartSimulator();
    std::uint32_t value = 0xDEADBEEF;
    std::uint16_t status = Untouched;
    ReadInputBuffer(&value, 0, 8, status);
    EXPECT_EQ(status, SimulationStatusRejected);

    // offset + length reaching exactly 0x100000 is rejected; one less is taken.
    status = Untouched;
    ReadInputBuffer(&value, SimulationBufferSize - 0xFFFF, 0xFFFF, status);
    EXPECT_EQ(status, SimulationStatusRejected);
    std::vector<std::uint8_t> longest(SimulationBufferSize - 0xFFFF - 1, 0xEE);
    ReadInputBuffer(longest.data(), static_cast<std::uint32_t>(longest.size()), 0xFFFF, status);
    EXPECT_EQ(status, SimulationStatusDone);
    EXPECT_EQ(longest.back(), 0);

    // A length that would wrap a 32-bit sum around to a small end.
    for (const std::uint16_t offset : {std::uint16_t{1}, std::uint16_t{4}, std::uint16_t{0xFFFF}}) {
        status = Untouched;
        ReadInputBuffer(&value, 0xFFFFFFFFu - offset + 1, offset, status);
        EXPECT_EQ(status, SimulationStatusRejected) << offset;
        status = Untouched;
        WriteInputBuffer(&value, 0xFFFFFFFFu - offset + 1, offset, status);
        EXPECT_EQ(status, SimulationStatusRejected) << offset;
        WriteOutputBuffer(&value, 0xFFFFFFFFu - offset + 1, offset, status);
        EXPECT_EQ(status, SimulationStatusRejected) << offset;
    }
    EXPECT_EQ(value, 0xDEADBEEFu);
    WriteInputBuffer(&value, 0, 8, status);
    EXPECT_EQ(status, SimulationStatusRejected);
    EXPECT_EQ(m_Input->Read32(8), 0u);

    status = Untouched;
    ReadInputBuffer(nullptr, 4, 8, status);
    EXPECT_EQ(status, SimulationStatusRejected);
    status = Untouched;
    WriteOutputBuffer(nullptr, 4, 8, status);
    EXPECT_EQ(status, SimulationStatusRejected);
}

TEST_F(SimulationBuffersTest, MissingAreasLeaveDataAndStatusUntouchedAndEachIsAttachedOnItsOwn) {
    OpenSimulationBuffers();
    std::uint32_t value = 0x11223344;
    std::uint16_t status = Untouched;
    ReadInputBuffer(&value, 4, 4, status);
    WriteOutputBuffer(&value, 4, 4, status);
    WriteInputBuffer(&value, 4, 8, status);
    EXPECT_EQ(value, 0x11223344u);
    EXPECT_EQ(status, Untouched);

    // The input area appears: the next read attaches, the one after reads,
    // while the output area is still missing.
    m_Input.emplace(m_Areas.CreateInput());
    m_Input->Write32(4, 7);
    ReadInputBuffer(&value, 4, 4, status);
    EXPECT_EQ(status, Untouched);
    ReadInputBuffer(&value, 4, 4, status);
    EXPECT_EQ(status, SimulationStatusDone);
    EXPECT_EQ(value, 7u);
    status = Untouched;
    WriteOutputBuffer(&value, 4, 4, status);
    EXPECT_EQ(status, Untouched);

    m_Output.emplace(m_Areas.CreateOutput());
    WriteOutputBuffer(&value, 4, 4, status);
    EXPECT_EQ(status, Untouched);
    WriteOutputBuffer(&value, 4, 4, status);
    EXPECT_EQ(status, SimulationStatusDone);
    EXPECT_EQ(m_Output->Read32(4), 7u);
}

TEST_F(SimulationBuffersTest, ThePollThreadAttachesToASimulatorStartedLater) {
    OpenSimulationBuffers();
    std::uint32_t seen = 0;
    std::thread poll([&seen] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (seen != 7 && std::chrono::steady_clock::now() < end) {
            std::uint16_t status = Untouched;
            std::uint32_t value = 0;
            ReadInputBuffer(&value, 4, 4, status);
            if (status == SimulationStatusDone)
                seen = value;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m_Input.emplace(m_Areas.CreateInput());
    m_Output.emplace(m_Areas.CreateOutput());
    m_Input->Write32(4, 7);
    poll.join();
    EXPECT_EQ(seen, 7u);
}

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

} // namespace
