#include "events/PollTimer.h"
#include "tests/events/EventTestSupport.h"

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

// The timer thread's voluntary context switches: one each time it goes to sleep.
long VoluntarySwitches(pid_t thread) {
    std::ifstream status("/proc/self/task/" + std::to_string(thread) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
            return std::stol(line.substr(24));
    }
    return -1;
}

struct WakeRecord {
    std::atomic<int> Calls{0};
    std::atomic<pid_t> Thread{0};
    std::atomic<long> SwitchesAtSecond{-1};
    std::atomic<long> SwitchesAtLast{-1};
};

constexpr int WakeCycles = 6;

void CountWakes(void* argument) {
    auto& record = *static_cast<WakeRecord*>(argument);
    const int call = ++record.Calls;
    record.Thread = ::gettid();
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
