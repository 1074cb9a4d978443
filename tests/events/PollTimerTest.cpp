#include "events/PollTimer.h"
#include "tests/events/EventTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct CycleRecord {
    std::atomic<int> Calls{0};
    std::atomic<int> StopAtCall{0};
    std::atomic<bool> InCycle{false};
    std::atomic<bool> CycleDone{false};
    std::chrono::milliseconds FirstCycleLength{0};
    std::mutex Guard;
    std::vector<Clock::time_point> Starts;
    Clock::time_point FirstCycleEnd;
};

void CountCall(void* argument) {
    ++static_cast<CycleRecord*>(argument)->Calls;
}

void RecordStart(void* argument) {
    auto& record = *static_cast<CycleRecord*>(argument);
    const auto start = Clock::now();
    const int call = ++record.Calls;
    if (call == 1)
        std::this_thread::sleep_for(record.FirstCycleLength);
    std::lock_guard lock(record.Guard);
    record.Starts.push_back(start);
    if (call == 1)
        record.FirstCycleEnd = Clock::now();
}

void SlowCycle(void* argument) {
    auto& record = *static_cast<CycleRecord*>(argument);
    record.InCycle = true;
    std::this_thread::sleep_for(50ms);
    record.CycleDone = true;
}

void StoppingCycle(void* argument) {
    auto& record = *static_cast<CycleRecord*>(argument);
    if (++record.Calls == record.StopAtCall)
        StopPollTimer();
}

class PollTimerTest : public ::testing::Test {
protected:
    void TearDown() override { StopPollTimer(); }
};

TEST_F(PollTimerTest, SecondStartFailsAndLeavesTheFirstTimerRunning) {
    CycleRecord first;
    CycleRecord second;
    ASSERT_TRUE(StartPollTimer(5, CountCall, &first));
    EXPECT_FALSE(StartPollTimer(5, CountCall, &second));
    EXPECT_TRUE(WaitUntil([&] { return first.Calls >= 3; }));
    EXPECT_EQ(second.Calls, 0);
}

TEST_F(PollTimerTest, StopWhenStoppedIsHarmlessAndPeriodZeroIsRefused) {
    StopPollTimer();
    StopPollTimer();
    CycleRecord record;
    EXPECT_FALSE(StartPollTimer(0, CountCall, &record));
    ASSERT_TRUE(StartPollTimer(5, CountCall, &record));
    EXPECT_TRUE(WaitUntil([&] { return record.Calls >= 1; }));
}

TEST_F(PollTimerTest, TicksThatFallIntoARunningCycleAreDroppedNotQueued) {
    CycleRecord record;
    record.FirstCycleLength = 120ms;
    ASSERT_TRUE(StartPollTimer(10, RecordStart, &record));
    ASSERT_TRUE(WaitUntil([&] { return record.Calls >= 6; }));
    StopPollTimer();
    std::lock_guard lock(record.Guard);
    // Twelve deadlines passed during the first cycle; queued, they would follow at
    // once. Dropped, at most one cycle per remaining deadline of the window runs.
    int inWindow = 0;
    for (const auto& start : record.Starts) {
        if (start >= record.FirstCycleEnd && start < record.FirstCycleEnd + 30ms)
            ++inWindow;
    }
    EXPECT_LE(inWindow, 4);
}

TEST_F(PollTimerTest, StopReturnsOnlyAfterTheRunningCycleHasEnded) {
    CycleRecord record;
    ASSERT_TRUE(StartPollTimer(5, SlowCycle, &record));
    ASSERT_TRUE(WaitUntil([&] { return record.InCycle.load(); }));
    StopPollTimer();
    EXPECT_TRUE(record.CycleDone);
}

TEST_F(PollTimerTest, AfterStopAndANewStartOnlyTheNewCycleIsCalled) {
    CycleRecord old;
    CycleRecord current;
    ASSERT_TRUE(StartPollTimer(5, CountCall, &old));
    ASSERT_TRUE(WaitUntil([&] { return old.Calls >= 2; }));
    StopPollTimer();
    const int oldCalls = old.Calls;
    ASSERT_TRUE(StartPollTimer(7, CountCall, &current));
    EXPECT_TRUE(WaitUntil([&] { return current.Calls >= 3; }));
    StopPollTimer();
    EXPECT_EQ(old.Calls, oldCalls);
}

TEST_F(PollTimerTest, StopFromInsideTheCycleEndsTheTicksWithoutDeadlock) {
    CycleRecord record;
    record.StopAtCall = 3;
    ASSERT_TRUE(StartPollTimer(5, StoppingCycle, &record));
    ASSERT_TRUE(WaitUntil([&] { return record.Calls >= 3; }));
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(record.Calls, 3);
    // The timer is stopped: a new one starts and the stopped thread is joined.
    CycleRecord next;
    ASSERT_TRUE(StartPollTimer(5, CountCall, &next));
    EXPECT_TRUE(WaitUntil([&] { return next.Calls >= 1; }));
    StopPollTimer();
}

} // namespace
