#include "tests/simulation/TestAreas.h"
#include "tools/qrix-sim/BitSelection.h"
#include "tools/qrix-sim/HandshakeRun.h"
#include "tools/qrix-sim/LatencyRecorder.h"
#include "tools/qrix-sim/NumberText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A stand-in for the event manager, with its own mappings of the areas.
class TestResponder {
public:
    struct Behaviour {
        std::uint32_t Bits = 0xFFFF;
        std::chrono::milliseconds Delay{0};
        // Toggles the acknowledge back again a little later: a faulty answer.
        bool AcknowledgeTwice = false;
    };

    TestResponder(const TestAreas& areas, const HandshakeLayout& layout, Behaviour behaviour)
        : m_Input(TestAreas::Open(areas.InputName())), m_Output(TestAreas::Open(areas.OutputName())),
          m_Layout(layout), m_Behaviour(behaviour), m_Thread([this] { Run(); }) {
        // The handshake must not toggle before the responder has taken its first look.
        while (!m_Ready)
            std::this_thread::yield();
    }
    ~TestResponder() {
        m_Stop = true;
        m_Thread.join();
    }

private:
    void Acknowledge(std::uint32_t value) {
        m_Output.Write32(m_Layout.AckOutOffset, value);
        m_Input.Write32(m_Layout.AckInOffset, value);
    }

    void Run() {
        std::uint32_t last = m_Input.Read32(m_Layout.EventOffset);
        std::uint32_t ack = m_Output.Read32(m_Layout.AckOutOffset);
        m_Ready = true;
        while (!m_Stop) {
            const std::uint32_t event = m_Input.Read32(m_Layout.EventOffset);
            const std::uint32_t toggled = (event ^ last) & m_Behaviour.Bits;
            last = event;
            if (toggled != 0) {
                std::this_thread::sleep_for(m_Behaviour.Delay);
                ack ^= toggled;
                Acknowledge(ack);
                if (m_Behaviour.AcknowledgeTwice) {
                    std::this_thread::sleep_for(5ms);
                    ack ^= toggled;
                    Acknowledge(ack);
                }
            }
            std::this_thread::sleep_for(50us);
        }
    }

    SharedArea m_Input;
    SharedArea m_Output;
    HandshakeLayout m_Layout;
    Behaviour m_Behaviour;
    std::atomic<bool> m_Stop{false};
    std::atomic<bool> m_Ready{false};
    std::thread m_Thread;
};

class HandshakeTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_Input.emplace(m_Areas.CreateInput());
        m_Output.emplace(m_Areas.CreateOutput());
        m_Options.DurationSeconds = 0.4;
        m_Options.TimeoutMs = 1000;
        m_Options.Seed = 42;
    }

    HandshakeReport Run(std::optional<TestResponder::Behaviour> behaviour) {
        std::optional<TestResponder> responder;
        if (behaviour)
            responder.emplace(m_Areas, m_Options.Layout, *behaviour);
        return RunHandshake(*m_Input, *m_Output, m_Options, m_Stop);
    }

    TestAreas m_Areas;
    std::optional<SharedArea> m_Input;
    std::optional<SharedArea> m_Output;
    HandshakeOptions m_Options;
    std::atomic<bool> m_Stop{false};
};

TEST_F(HandshakeTest, EveryToggleIsAnsweredInEachModeAndCountedPerBit) {
    const struct {
        const char* Name;
        std::uint16_t Bits;
        double Rate;
        bool Random;
        double Duration;
        std::chrono::milliseconds Delay;
    } cases[] = {
        {"round robin, all bits at once", 0xFFFF, 0.0, false, 0.4, 0ms},
        {"one bit answered after 20 ms", 0x0001, 0.0, false, 0.4, 20ms},
        {"round robin at 100 per second", 0x000F, 100.0, false, 1.0, 0ms},
        {"random bits at once", 0x0109, 0.0, true, 0.4, 0ms},
        {"random bits at 500 per second", 0x0109, 500.0, true, 0.4, 0ms},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Name);
        m_Options.Bits = test.Bits;
        m_Options.Rate = test.Rate;
        m_Options.Random = test.Random;
        m_Options.DurationSeconds = test.Duration;
        TestResponder::Behaviour behaviour;
        behaviour.Delay = test.Delay;
        const HandshakeReport report = Run(behaviour);
        EXPECT_TRUE(report.Succeeded());
        EXPECT_EQ(report.Seed, 42u);
        EXPECT_GE(report.Handshakes, 1u);
        EXPECT_EQ(report.Handshakes, report.Toggles);
        std::uint64_t chosen = 0;
        for (unsigned bit = 0; bit < 16; ++bit) {
            EXPECT_EQ(report.PerBit[bit].Toggles, report.PerBit[bit].Acknowledged) << bit;
            chosen += (test.Bits >> bit & 1u) != 0 ? report.PerBit[bit].Toggles : 0;
        }
        EXPECT_EQ(chosen, report.Toggles) << "only the chosen bits toggle";
        EXPECT_GE(report.LatencyP50Ms, static_cast<double>(test.Delay.count()));
        EXPECT_LE(report.LatencyP50Ms, report.LatencyP99Ms);
        EXPECT_LE(report.LatencyP99Ms, report.LatencyMaxMs);
        EXPECT_GT(report.HandshakesPerSecond, 0.0);
        EXPECT_TRUE(report.AckCopiesAgree);
        EXPECT_EQ(report.OutOfStepAtStart, 0);
        EXPECT_EQ(m_Input->Read32(m_Options.Layout.EventOffset),
                  m_Output->Read32(m_Options.Layout.AckOutOffset));
        if (test.Rate > 0.0 && !test.Random) { // by the clock of the run, never a burst; the bits take turns
            EXPECT_LE(report.Toggles, test.Rate * test.Duration + 1);
            EXPECT_LE(report.PerBit[0].Toggles - report.PerBit[3].Toggles, 1u);
        }
    }
}

TEST_F(HandshakeTest, ABitWithoutAnswerIsReportedAndTheOthersGoOn) {
    m_Options.TimeoutMs = 200;
    TestResponder::Behaviour behaviour;
    behaviour.Bits = 0xFFFF & ~(1u << 5);
    const HandshakeReport report = Run(behaviour);
    EXPECT_FALSE(report.Succeeded());
    EXPECT_EQ(report.NeverAcknowledged, 1u << 5);
    EXPECT_EQ(report.PerBit[5].Toggles, 1u) << "left alone while out of step";
    EXPECT_EQ(report.PerBit[5].Acknowledged, 0u);
    EXPECT_EQ(report.PerBit[4].Acknowledged, report.PerBit[4].Toggles);
    EXPECT_EQ(report.Handshakes + 1, report.Toggles);

    std::ostringstream plain;
    WriteHandshakeReport(report, false, plain);
    EXPECT_NE(plain.str().find("\nnever_acknowledged=5\n"), std::string::npos);
    EXPECT_NE(plain.str().find("\nok=0\n"), std::string::npos);
    std::ostringstream json;
    WriteHandshakeReport(report, true, json);
    EXPECT_NE(json.str().find("\"never_acknowledged\":[5]"), std::string::npos);
    EXPECT_NE(json.str().find("\"acknowledged_per_bit\":{\"0\":"), std::string::npos);
}

TEST_F(HandshakeTest, FaultyStatesAtTheStartOrInTheAnswerAreReported) {
    // Out of step before the first toggle and nobody answering: never toggled.
    m_Input->Write32(m_Options.Layout.EventOffset, 1u << 2);
    m_Options.Bits = 1u << 2;
    m_Options.DurationSeconds = 0.3;
    m_Options.TimeoutMs = 150;
    const HandshakeReport stale = Run(std::nullopt);
    EXPECT_EQ(stale.OutOfStepAtStart, 1u << 2);
    EXPECT_EQ(stale.NeverAcknowledged, 1u << 2);
    EXPECT_EQ(stale.Toggles, 0u);

    // Answers that come after the timeout are reported, and the bit goes on after each.
    m_Input->Write32(m_Options.Layout.EventOffset, 0);
    m_Options.Bits = 1;
    m_Options.DurationSeconds = 0.6;
    m_Options.TimeoutMs = 50;
    TestResponder::Behaviour late;
    late.Delay = 120ms;
    const HandshakeReport slow = Run(late);
    EXPECT_EQ(slow.NeverAcknowledged, 1u);
    EXPECT_GE(slow.Toggles, 1u);
    EXPECT_EQ(slow.Handshakes, 0u);

    // An answer that toggles twice moves the acknowledge of an idle bit (paced, so
    // that the bit is idle when the second toggle comes).
    m_Output->Write32(m_Options.Layout.AckOutOffset, m_Input->Read32(m_Options.Layout.EventOffset));
    m_Options.Rate = 20.0;
    m_Options.DurationSeconds = 0.3;
    m_Options.TimeoutMs = 1000;
    TestResponder::Behaviour twice;
    twice.AcknowledgeTwice = true;
    const HandshakeReport doubled = Run(twice);
    EXPECT_EQ(doubled.UnexpectedAcknowledge, 1u);
    EXPECT_FALSE(doubled.Succeeded());
}

TEST_F(HandshakeTest, AStopRequestEndsTheRun) {
    m_Options.DurationSeconds = 60.0;
    m_Stop = true;
    const HandshakeReport report = Run(std::nullopt);
    EXPECT_TRUE(report.Interrupted);
    EXPECT_LT(report.ElapsedSeconds, 30.0) << "not the whole minute";
}

TEST(HandshakeOptionsTest, LayoutsTheEventManagerCannotUseAreRefused) {
    HandshakeOptions options;
    EXPECT_EQ(CheckHandshakeOptions(options), "");
    auto refused = [](auto change) {
        HandshakeOptions changed;
        change(changed);
        return !CheckHandshakeOptions(changed).empty();
    };
    EXPECT_TRUE(refused([](HandshakeOptions& o) { o.Layout.EventOffset = 3; }));
    EXPECT_TRUE(refused([](HandshakeOptions& o) { o.Layout.AckInOffset = 0; }));
    EXPECT_TRUE(refused([](HandshakeOptions& o) { o.Layout.AckInOffset = 7; }));
    EXPECT_TRUE(refused([](HandshakeOptions& o) { o.Layout.AckOutOffset = 0x10000; }));
    EXPECT_TRUE(refused([](HandshakeOptions& o) { o.Bits = 0; }));
    EXPECT_TRUE(refused([](HandshakeOptions& o) { o.Rate = -1.0; }));
    EXPECT_TRUE(refused([](HandshakeOptions& o) { o.DurationSeconds = 0.0; }));
    EXPECT_TRUE(refused([](HandshakeOptions& o) { o.TimeoutMs = 0; }));
    EXPECT_FALSE(refused([](HandshakeOptions& o) { o.Layout.AckOutOffset = 0; }));
    EXPECT_FALSE(refused([](HandshakeOptions& o) { o.Layout.AckInOffset = 0xFFFF; }));
}

TEST(LatencyRecorderTest, PercentilesAreNearestRankAndMemoryStaysBounded) {
    LatencyRecorder small(1);
    EXPECT_EQ(small.Percentile(50.0), 0u);
    for (std::uint64_t value = 100; value >= 1; --value)
        small.Add(value);
    EXPECT_EQ(small.Percentile(50.0), 50u);
    EXPECT_EQ(small.Percentile(99.0), 99u);
    EXPECT_EQ(small.Maximum(), 100u);

    LatencyRecorder bounded(1, 10);
    for (std::uint64_t value = 1; value <= 1000; ++value)
        bounded.Add(value);
    EXPECT_EQ(bounded.Count(), 1000u);
    EXPECT_EQ(bounded.Maximum(), 1000u);
    EXPECT_GE(bounded.Percentile(100.0), bounded.Percentile(50.0));
}

TEST(NumberTextTest, NumbersBytesAndBitsAreReadStrictly) {
    std::uint64_t value = 0;
    EXPECT_TRUE(ParseNumber("0x10", value));
    EXPECT_EQ(value, 16u);
    EXPECT_TRUE(ParseNumber("010", value));
    EXPECT_EQ(value, 10u) << "a leading zero is no octal";
    for (const char* bad : {"", "0x", "-1", "12a", " 1", "18446744073709551616"})
        EXPECT_FALSE(ParseNumber(bad, value)) << bad;

    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(ParseHexBytes({"01", "80", "0x0000"}, bytes, error));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x01, 0x80, 0x00, 0x00}));
    EXPECT_EQ(FormatHexBytes(bytes), "01 80 00 00");
    EXPECT_FALSE(ParseHexBytes({"1"}, bytes, error));
    EXPECT_FALSE(ParseHexBytes({"0g"}, bytes, error));
    EXPECT_FALSE(ParseHexBytes({}, bytes, error));
    EXPECT_EQ(bytes.size(), 4u) << "a refused list changes nothing";

    std::uint16_t mask = 0;
    EXPECT_TRUE(ParseBitSelection("all", mask, error));
    EXPECT_EQ(mask, 0xFFFF);
    EXPECT_TRUE(ParseBitSelection("0,3,8-11", mask, error));
    EXPECT_EQ(mask, 0x0F09);
    EXPECT_TRUE(ParseBitSelection("0x0109", mask, error));
    EXPECT_EQ(mask, 0x0109);
    EXPECT_EQ(FormatBitList(mask), "0,3,8");
    for (const char* bad : {"16", "3-1", "0x0", "0x10000", "a", "1,,2", "", "-"}) {
        error.clear();
        EXPECT_FALSE(ParseBitSelection(bad, mask, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_EQ(mask, 0x0109);
}

} // namespace
