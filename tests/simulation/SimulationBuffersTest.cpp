#include "platform/TickCount.h"
#include "tests/simulation/SimulationBuffersFixture.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

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

} // namespace
