#include "events/PollTimer.h"
#include "tests/events/EventTestSupport.h"
#include "tests/support/ProcessFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
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

TEST_F(PollTimerTest, StopWhenStoppedIsHarmlessPeriodZeroAndASecondStartAreRefused) {
    StopPollTimer();
    StopPollTimer();
    CycleRecord first;
    CycleRecord second;
    EXPECT_FALSE(StartPollTimer(0, CountCall, &first));
    ASSERT_TRUE(StartPollTimer(5, CountCall, &first));
    EXPECT_FALSE(StartPollTimer(5, CountCall, &second));
    EXPECT_TRUE(WaitUntil([&] { return first.Calls >= 3; }));
    EXPECT_EQ(second.Calls, 0);
}

struct WakeRecord {
    std::atomic<int> Calls{0};
    std::atomic<long> SwitchesAtSecond{-1};
    std::atomic<long> SwitchesAtLast{-1};
};

constexpr int WakeCycles = 6;

void CountWakes(void* argument) {
    auto& record = *static_cast<WakeRecord*>(argument);
    const int call = ++record.Calls;
    if (call == 2)
        record.SwitchesAtSecond = VoluntarySwitches(::gettid());
    if (call == WakeCycles)
        record.SwitchesAtLast = VoluntarySwitches(::gettid());
}

TEST_F(PollTimerTest, TheThreadWakesOncePerCycleAndStopWakesItAtOnce) {
    WakeRecord record;
    ASSERT_TRUE(StartPollTimer(100, CountWakes, &record));
    ASSERT_TRUE(WaitUntil([&] { return record.SwitchesAtLast >= 0; }, 20s));
    // One sleep per period; a little room for a sleep that a signal cut short.
    EXPECT_LE(record.SwitchesAtLast - record.SwitchesAtSecond, WakeCycles - 2 + 3);
    StopPollTimer();
    // A timer an hour long still stops at once: no cycle is waited for.
    CycleRecord idle;
    ASSERT_TRUE(StartPollTimer(3'600'000, CountCall, &idle));
    const auto start = Clock::now();
    StopPollTimer();
    EXPECT_LT(Clock::now() - start, 10s);
    EXPECT_EQ(idle.Calls, 0);
}

// Twelve deadlines pass during the first cycle. Queued, they would follow it at
// once; dropped, each later cycle waits for a deadline of its own after the first
// one ended, so the fourth of them starts three periods after it at the earliest
// however the machine is loaded.
TEST_F(PollTimerTest, TicksThatFallIntoARunningCycleAreDroppedNotQueued) {
    constexpr auto Period = 10ms;
    CycleRecord record;
    record.FirstCycleLength = 12 * Period;
    ASSERT_TRUE(StartPollTimer(Period.count(), RecordStart, &record));
    ASSERT_TRUE(WaitUntil([&] { return record.Calls >= 5; }, 20s));
    StopPollTimer();
    std::lock_guard lock(record.Guard);
    EXPECT_GE(record.Starts.at(4) - record.FirstCycleEnd, 3 * Period);
}

// Stop waits for the running cycle, works from inside a cycle, and a new start
// calls only the new cycle.
TEST_F(PollTimerTest, StopEndsTheTicksFromOutsideOrInsideACycle) {
    CycleRecord slow;
    ASSERT_TRUE(StartPollTimer(5, SlowCycle, &slow));
    ASSERT_TRUE(WaitUntil([&] { return slow.InCycle.load(); }));
    StopPollTimer();
    EXPECT_TRUE(slow.CycleDone);

    CycleRecord stopping;
    stopping.StopAtCall = 3;
    ASSERT_TRUE(StartPollTimer(5, StoppingCycle, &stopping));
    ASSERT_TRUE(WaitUntil([&] { return stopping.Calls >= 3; }));
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(stopping.Calls, 3);

    // The stopped thread is joined; only the new cycle is called.
    CycleRecord next;
    ASSERT_TRUE(StartPollTimer(7, CountCall, &next));
    EXPECT_TRUE(WaitUntil([&] { return next.Calls >= 3; }));
    StopPollTimer();
    EXPECT_EQ(stopping.Calls, 3);
}

} // namespace
