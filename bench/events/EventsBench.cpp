// Figures of the event engine in simulation mode with a 5 ms poll cycle: tick
// lateness, toggle-to-start and exit-to-acknowledge latency, sustained handshakes
// against `qrix-sim handshake`, the spawn-and-exit floor of the test tool, the
// poll thread's wake-ups per second at several poll cycles, and how long
// deactivation takes with tools that make stopping hard. With --run-files, only
// the latencies and the sustained handshakes, without and with the run history
// and the capture of the tools' output, and the change between the two.

#include "app/core/SystemMessage.h"
#include "config/EventConfiguration.h"
#include "controller/SimulationBuffers.h"
#include "events/Activation.h"
#include "events/ObservationState.h"
#include "events/PollTimer.h"
#include "events/RunHistory.h"
#include "tests/support/ProcessFiles.h"
#include "tools/qrix-sim/SharedArea.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr std::uint32_t PollCycleMs = 5;
constexpr std::uint32_t ConfigurationId = 1;
constexpr std::uint16_t EventOffset = 0x20;
constexpr std::uint16_t AckInputOffset = 0x24;
constexpr std::uint16_t AckOutputOffset = 0x40;

struct Options {
    double HandshakeSeconds = 60.0;
    int LatencySamples = 300;
    int Ticks = 2000;
    int Spawns = 500;
    int Deactivations = 20;
    double WakeSeconds = 5.0;
    bool CompareRunFiles = false;
};

// What the tools of the latency and handshake figures write on each run, so that
// the capture has something to carry.
const std::vector<std::string> ToolOutput = {"--write-output", "100"};

std::int64_t NowMicroseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(values.size()) + 0.999999);
    return values[std::min(values.size(), std::max<std::size_t>(rank, 1)) - 1];
}

void PrintFigures(const std::string& name, const std::vector<double>& milliseconds, const std::string& goal) {
    std::printf("%-28s n=%zu p50=%.3f ms p99=%.3f ms max=%.3f ms%s\n", name.c_str(), milliseconds.size(),
                Percentile(milliseconds, 0.50), Percentile(milliseconds, 0.99),
                milliseconds.empty() ? 0.0 : *std::max_element(milliseconds.begin(), milliseconds.end()),
                goal.c_str());
}

// Runs a program and waits for it; its standard output is returned when asked for.
int RunProgram(const std::vector<std::string>& arguments, std::string* output) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int pipeEnds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (output != nullptr) {
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
            return -1;
        ::posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    }
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (output != nullptr) {
        ::close(pipeEnds[1]);
        char buffer[4096];
        ssize_t got = 0;
        while (error == 0 && (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0)
            output->append(buffer, static_cast<std::size_t>(got));
        ::close(pipeEnds[0]);
    }
    if (error != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class BenchState : public ObservationState, public MessageSink {
public:
    BenchState() { SetMainWindow(this); }
    ~BenchState() override { SetMainWindow(nullptr); }
    BenchState(const BenchState&) = delete;
    BenchState& operator=(const BenchState&) = delete;

    void RefreshCallCounts() override {}
    void OnDeactivateButton() override {}
    void AddMessage(const std::string& text) override {
        std::lock_guard lock(m_Guard);
        std::cerr << "message: " << text << std::endl;
    }
    // As the window does: every run goes to the history, failures to the messages.
    void RecordRun(const RunRecord& record) override {
        if (m_History != nullptr)
            m_History->Append(record);
        if (RunFailed(record))
            AddMessage(RunLine(record));
    }
    // The run history and the output files in `folder`; empty: none.
    void KeepRunFiles(const std::string& folder) {
        if (folder.empty())
            return;
        m_History = std::make_unique<RunHistory>(folder + "/runs.jsonl");
        OutputCapture = std::make_shared<ToolOutputCapture>(folder);
    }

private:
    std::mutex m_Guard;
    std::unique_ptr<RunHistory> m_History;
};

// Points standard output and error at /dev/null while it lives: without the
// capture, the tools write where the bench does.
class QuietOutput {
public:
    QuietOutput() {
        std::fflush(stdout);
        std::fflush(stderr);
        m_Output = ::dup(STDOUT_FILENO);
        m_Error = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
    ~QuietOutput() {
        ::dup2(m_Output, STDOUT_FILENO);
        ::dup2(m_Error, STDERR_FILENO);
        ::close(m_Output);
        ::close(m_Error);
    }
    QuietOutput(const QuietOutput&) = delete;
    QuietOutput& operator=(const QuietOutput&) = delete;

private:
    int m_Output = -1;
    int m_Error = -1;
};

struct HandshakeFigures {
    double StartP99 = 0;       // ms
    double AcknowledgeP99 = 0; // ms
    double PerSecond = 0;
};

// Both images under names of this run alone, removed at the end.
class BenchAreas {
public:
    BenchAreas()
        : m_InputName("/kavel_bench_" + std::to_string(::getpid()) + "_in"),
          m_OutputName("/kavel_bench_" + std::to_string(::getpid()) + "_out") {
        std::string error;
        Input = SharedArea::Create(m_InputName, error);
        Output = SharedArea::Create(m_OutputName, error);
        if (!Input || !Output)
            std::cerr << "cannot create the areas: " << error << std::endl;
        SetSimulationBufferNames(m_InputName, m_OutputName);
    }
    ~BenchAreas() {
        Input.reset();
        Output.reset();
        bool existed = false;
        std::string error;
        SharedArea::Remove(m_InputName, existed, error);
        SharedArea::Remove(m_OutputName, existed, error);
    }
    BenchAreas(const BenchAreas&) = delete;
    BenchAreas& operator=(const BenchAreas&) = delete;

    const std::string& InputName() const { return m_InputName; }
    const std::string& OutputName() const { return m_OutputName; }

    std::optional<SharedArea> Input;
    std::optional<SharedArea> Output;

private:
    std::string m_InputName;
    std::string m_OutputName;
};

void PrepareObservation(BenchState& state) {
    GlobalParameters parameters;
    parameters.UniqueID = ConfigurationId;
    parameters.EventVariable = "EventVar";
    parameters.AcknowledgeVariable = "AckVar";
    parameters.PollCycle = PollCycleMs;
    Configurations().ClearConfigurations();
    Configurations().AppendConfiguration(parameters);
    state.Settings.UseSimEnvironment = 1;
    state.Settings.UsedUniqueID = ConfigurationId;
    state.References.Event = {EventOffset, 0, 4, 0};
    state.References.Acknowledge = {AckInputOffset, AckOutputOffset, 4, 1};
}

void UseTool(ToolSlot& slot, const std::vector<std::string>& arguments) {
    slot.Defined = 1;
    slot.Runnable = 1;
    slot.Program = KAVEL_TEST_APPLICATION;
    slot.Arguments = arguments;
    slot.CommandLine = slot.Program;
}

struct LatenessRecord {
    std::int64_t Anchor = 0;
    std::vector<double> Lateness;
};

void RecordLateness(void* argument) {
    auto& record = *static_cast<LatenessRecord*>(argument);
    const std::int64_t sinceAnchor = NowMicroseconds() - record.Anchor;
    const std::int64_t period = PollCycleMs * 1000;
    if (record.Lateness.size() < record.Lateness.capacity())
        record.Lateness.push_back(static_cast<double>(sinceAnchor % period) / 1000.0);
}

void MeasureTickLateness(const Options& options) {
    LatenessRecord record;
    record.Lateness.reserve(static_cast<std::size_t>(options.Ticks));
    record.Anchor = NowMicroseconds();
    StartPollTimer(PollCycleMs, RecordLateness, &record);
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<long long>(options.Ticks) * PollCycleMs + 500);
    while (std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    StopPollTimer();
    PrintFigures("tick lateness", record.Lateness, "   (goal p99 <= 0.5 ms)");
}

// Waits until the acknowledge bit 0 in the output image equals the event's.
bool WaitForAcknowledge(const BenchAreas& areas, std::uint32_t event, std::int64_t& when) {
    const std::int64_t deadline = NowMicroseconds() + 2000000;
    while (NowMicroseconds() < deadline) {
        if (((areas.Output->Read32(AckOutputOffset) ^ event) & 1u) == 0) {
            when = NowMicroseconds();
            return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
    return false;
}

std::optional<std::int64_t> LastStartStamp(const std::string& logPath) {
    std::ifstream log(logPath);
    std::string line;
    std::string last;
    while (std::getline(log, line))
        last = line;
    const auto field = last.find(" mono_us=");
    if (field == std::string::npos)
        return std::nullopt;
    return std::stoll(last.substr(field + 9));
}

void MeasureHandshakeLatency(const Options& options, BenchAreas& areas, const std::string& logPath,
                             const std::string& runFiles, HandshakeFigures& figures) {
    BenchState state;
    state.KeepRunFiles(runFiles);
    PrepareObservation(state);
    std::vector<std::string> arguments{"--log", logPath};
    if (options.CompareRunFiles)
        arguments.insert(arguments.end(), ToolOutput.begin(), ToolOutput.end());
    UseTool(state.ToolSlots[0], arguments);
    ActivateObservation(state);
    std::mt19937 random(7);
    std::vector<double> toStart;
    std::vector<double> toAcknowledge;
    for (int sample = 0; sample < options.LatencySamples; ++sample) {
        // A random phase against the poll cycle.
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(0, 5000)(random)));
        const std::uint32_t event = areas.Input->Read32(EventOffset) ^ 1u;
        const std::int64_t toggled = NowMicroseconds();
        areas.Input->Write32(EventOffset, event);
        std::int64_t acknowledged = 0;
        if (!WaitForAcknowledge(areas, event, acknowledged)) {
            std::cerr << "sample " << sample << " was not acknowledged within 2 s" << std::endl;
            break;
        }
        const auto started = LastStartStamp(logPath);
        if (!started)
            break;
        toStart.push_back(static_cast<double>(*started - toggled) / 1000.0);
        toAcknowledge.push_back(static_cast<double>(acknowledged - *started) / 1000.0);
    }
    DeactivateObservation(state);
    figures.StartP99 = Percentile(toStart, 0.99);
    figures.AcknowledgeP99 = Percentile(toAcknowledge, 0.99);
    if (options.CompareRunFiles)
        return;
    PrintFigures("toggle -> tool start", toStart, "   (goal p99 <= 6 ms)");
    PrintFigures("tool exit -> acknowledge", toAcknowledge,
                 "   (goal p99 <= 6 ms; from the tool's log line)");
    std::printf("%-28s %u of %d samples\n", "calls counted", state.ToolSlots[0].CallCount.load(),
                options.LatencySamples);
}

std::map<std::string, std::string> KeyValues(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

void MeasureSustainedHandshakes(const Options& options, BenchAreas& areas, const std::string& runFiles,
                                HandshakeFigures& figures) {
    BenchState state;
    state.KeepRunFiles(runFiles);
    PrepareObservation(state);
    std::vector<std::string> arguments{"--log", "/dev/null"};
    if (options.CompareRunFiles)
        arguments.insert(arguments.end(), ToolOutput.begin(), ToolOutput.end());
    for (ToolSlot& slot : state.ToolSlots)
        UseTool(slot, arguments);
    ActivateObservation(state);
    std::string report;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", options.HandshakeSeconds);
    const int code = RunProgram({QRIX_SIM,           "--input-name",
                                 areas.InputName(),  "--output-name",
                                 areas.OutputName(), "handshake",
                                 "--event-offset",   std::to_string(EventOffset),
                                 "--ack-in-offset",  std::to_string(AckInputOffset),
                                 "--ack-out-offset", std::to_string(AckOutputOffset),
                                 "--bits",           "all",
                                 "--duration",       seconds,
                                 "--timeout",        "2000",
                                 "--seed",           "1"},
                                &report);
    DeactivateObservation(state);
    const auto values = KeyValues(report);
    auto value = [&](const std::string& key) {
        const auto it = values.find(key);
        return it == values.end() ? std::string("?") : it->second;
    };
    std::uint64_t calls = 0;
    for (const ToolSlot& slot : state.ToolSlots)
        calls += slot.CallCount;
    figures.PerSecond = std::atof(value("handshakes_per_s").c_str());
    if (options.CompareRunFiles)
        return;
    std::printf("%-28s %s per s over %s s, 16 slots   (goal >= 1000 per s)\n", "sustained handshakes",
                value("handshakes_per_s").c_str(), value("elapsed_s").c_str());
    std::printf("%-28s p50=%s ms p99=%s ms max=%s ms\n", "  toggle -> acknowledge",
                value("latency_p50_ms").c_str(), value("latency_p99_ms").c_str(),
                value("latency_max_ms").c_str());
    std::printf("%-28s toggles=%s handshakes=%s calls counted=%llu never acknowledged=%s qrix-sim exit=%d\n",
                "  nothing lost", value("toggles").c_str(), value("handshakes").c_str(),
                static_cast<unsigned long long>(calls), value("never_acknowledged").c_str(), code);
}

double MeasureSpawnFloor(const Options& options) {
    std::vector<double> times;
    const std::int64_t begin = NowMicroseconds();
    for (int i = 0; i < options.Spawns; ++i) {
        const std::int64_t start = NowMicroseconds();
        RunProgram({KAVEL_TEST_APPLICATION, "--log", "/dev/null"}, nullptr);
        times.push_back(static_cast<double>(NowMicroseconds() - start) / 1000.0);
    }
    const double elapsed = static_cast<double>(NowMicroseconds() - begin) / 1e6;
    PrintFigures("floor: spawn and exit", times, "   (KavelTestApplication alone, one at a time)");
    const double rate = elapsed > 0 ? options.Spawns / elapsed : 0.0;
    std::printf("%-28s %.1f per s\n", "floor: sequential rate", rate);
    return rate;
}

struct WakeRecord {
    std::atomic<pid_t> Thread{0};
    std::atomic<long> Cycles{0};
};

void NoteWake(void* argument) {
    auto& record = *static_cast<WakeRecord*>(argument);
    record.Thread = static_cast<pid_t>(::syscall(SYS_gettid));
    ++record.Cycles;
}

// Wake-ups of the poll thread per second, from its voluntary context switches,
// against the cycles it ran: one wake-up per cycle is the goal.
void MeasureWakeUps(const Options& options) {
    for (const std::uint32_t period : {5u, 100u, 1000u}) {
        WakeRecord record;
        StartPollTimer(period, NoteWake, &record);
        while (record.Thread == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const long switchesBefore = VoluntarySwitches(record.Thread);
        const long cyclesBefore = record.Cycles;
        const std::int64_t start = NowMicroseconds();
        std::this_thread::sleep_for(
            std::chrono::milliseconds(static_cast<long long>(options.WakeSeconds * 1000)));
        const long switches = VoluntarySwitches(record.Thread) - switchesBefore;
        const long cycles = record.Cycles - cyclesBefore;
        const double seconds = static_cast<double>(NowMicroseconds() - start) / 1e6;
        StopPollTimer();
        std::printf(
            "%-28s cycle %4u ms: %.1f wake-ups/s, %.1f cycles/s, %.3f wake-ups per cycle   (goal 1)\n",
            "poll thread wake-ups", period, static_cast<double>(switches) / seconds,
            static_cast<double>(cycles) / seconds,
            cycles > 0 ? static_cast<double>(switches) / static_cast<double>(cycles) : 0.0);
    }
}

std::size_t LogLines(const std::string& path) {
    std::ifstream log(path);
    std::size_t lines = 0;
    std::string line;
    while (std::getline(log, line))
        ++lines;
    return lines;
}

bool WaitFor(const std::function<bool()>& condition, int milliseconds) {
    const std::int64_t deadline = NowMicroseconds() + static_cast<std::int64_t>(milliseconds) * 1000;
    while (!condition()) {
        if (NowMicroseconds() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// Deactivation while a tool of the given kind runs (or has left something
// running): from the call to its return, which includes ending every process.
void MeasureDeactivation(const Options& options, BenchAreas& areas, const std::string& logPath,
                         const std::string& name, const std::vector<std::string>& toolOptions,
                         bool endsByItself) {
    std::vector<double> times;
    int notAcknowledged = 0;
    for (int sample = 0; sample < options.Deactivations; ++sample) {
        ::unlink(logPath.c_str());
        BenchState state;
        PrepareObservation(state);
        std::vector<std::string> arguments = {"--log", logPath};
        arguments.insert(arguments.end(), toolOptions.begin(), toolOptions.end());
        UseTool(state.ToolSlots[0], arguments);
        ActivateObservation(state);
        const std::uint32_t event = areas.Input->Read32(EventOffset) ^ 1u;
        areas.Input->Write32(EventOffset, event);
        if (!WaitFor([&] { return LogLines(logPath) == 1; }, 10000)) {
            std::cerr << name << ": the tool did not start" << std::endl;
            DeactivateObservation(state);
            return;
        }
        if (endsByItself)
            WaitFor([&] { return ((areas.Output->Read32(AckOutputOffset) ^ event) & 1u) == 0; }, 10000);
        const std::int64_t start = NowMicroseconds();
        DeactivateObservation(state);
        times.push_back(static_cast<double>(NowMicroseconds() - start) / 1000.0);
        if (((areas.Output->Read32(AckOutputOffset) ^ event) & 1u) != 0 || state.ToolSlots[0].CallCount != 1)
            ++notAcknowledged;
    }
    PrintFigures("deactivation: " + name, times, "   (bound 3000 ms)");
    if (notAcknowledged != 0)
        std::printf("%-28s %d runs not acknowledged exactly once\n", "", notAcknowledged);
}

void MeasureDeactivations(const Options& options, BenchAreas& areas, const std::string& logPath) {
    MeasureDeactivation(options, areas, logPath, "ignores SIGTERM", {"--ignore-signals", "--sleep", "60000"},
                        false);
    MeasureDeactivation(options, areas, logPath, "left its group",
                        {"--spawn-child", "60000", "--leave-group", "--sleep", "60000"}, false);
    MeasureDeactivation(options, areas, logPath, "daemonised", {"--daemonise", "60000"}, true);
}

double Change(double off, double on) {
    return off > 0 ? (on - off) / off * 100.0 : 0.0;
}

double Median(std::vector<double> values) {
    return Percentile(std::move(values), 0.5);
}

// Both sides measured in rounds, the side that goes first alternating, so that a
// machine that gets busier halfway, or a first run that warms the caches, favours
// neither; the figures are the medians over the rounds.
void CompareRunFiles(const Options& options, BenchAreas& areas, const std::string& folder,
                     const std::string& logPath) {
    constexpr int Rounds = 4;
    const std::string runFiles = folder + "/run-files";
    ::mkdir(runFiles.c_str(), 0755);
    Options round = options;
    round.LatencySamples = std::max(1, options.LatencySamples / Rounds);
    round.HandshakeSeconds = std::max(0.5, options.HandshakeSeconds / Rounds);
    std::vector<double> startP99[2], acknowledgeP99[2], perSecond[2];
    for (int number = 0; number < Rounds; ++number) {
        for (int turn = 0; turn < 2; ++turn) {
            const int on = (turn + number) % 2;
            HandshakeFigures figures;
            {
                std::optional<QuietOutput> quiet;
                if (on == 0)
                    quiet.emplace();
                MeasureHandshakeLatency(round, areas, logPath, on != 0 ? runFiles : std::string(), figures);
                MeasureSustainedHandshakes(round, areas, on != 0 ? runFiles : std::string(), figures);
            }
            startP99[on].push_back(figures.StartP99);
            acknowledgeP99[on].push_back(figures.AcknowledgeP99);
            perSecond[on].push_back(figures.PerSecond);
        }
    }
    const auto line = [](const char* name, const std::vector<double>* values, const char* unit) {
        const double off = Median(values[0]);
        const double on = Median(values[1]);
        std::printf("%-28s %.3f -> %.3f %s (%+.1f %%)\n", name, off, on, unit, Change(off, on));
    };
    std::printf("run history and output capture: off -> on (change), medians of %d rounds of %d samples "
                "and %.1f s\n",
                Rounds, round.LatencySamples, round.HandshakeSeconds);
    line("toggle -> tool start p99", startP99, "ms");
    line("tool exit -> ack p99", acknowledgeP99, "ms");
    line("sustained handshakes", perSecond, "per s");
    std::printf("%-28s each within 5 %%\n", "goal");
    std::error_code ignored;
    std::printf("%-28s %ju bytes in runs.jsonl\n", "run history",
                static_cast<std::uintmax_t>(std::filesystem::file_size(runFiles + "/runs.jsonl", ignored)));
    std::filesystem::remove_all(runFiles, ignored);
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (argument == "--help") {
            std::printf("Usage: bench_events [--duration S] [--samples N] [--ticks N] [--spawns N]\n"
                        "                    [--deactivations N] [--wake-seconds S]\n"
                        "  --duration S  seconds of sustained handshakes with qrix-sim (default 60)\n"
                        "  --samples N   toggles for the start and acknowledge latencies (default 300)\n"
                        "  --ticks N     poll ticks for the lateness (default 2000, 5 ms each)\n"
                        "  --spawns N    runs of the test tool alone for the floor (default 500)\n"
                        "  --deactivations N  deactivations per kind of tool (default 20)\n"
                        "  --wake-seconds S   seconds per poll cycle for the wake-ups (default 5)\n"
                        "  --run-files   only the latencies and the sustained handshakes, without and\n"
                        "                with the run history and the output capture\n");
            std::exit(0);
        }
        if (argument == "--run-files") {
            options.CompareRunFiles = true;
            continue;
        }
        if (value == nullptr)
            return false;
        ++i;
        if (argument == "--duration")
            options.HandshakeSeconds = std::clamp(std::atof(value), 0.1, 3600.0);
        else if (argument == "--samples")
            options.LatencySamples = std::clamp(std::atoi(value), 1, 100000);
        else if (argument == "--ticks")
            options.Ticks = std::clamp(std::atoi(value), 1, 1000000);
        else if (argument == "--spawns")
            options.Spawns = std::clamp(std::atoi(value), 1, 100000);
        else if (argument == "--deactivations")
            options.Deactivations = std::clamp(std::atoi(value), 1, 10000);
        else if (argument == "--wake-seconds")
            options.WakeSeconds = std::clamp(std::atof(value), 0.5, 3600.0);
        else
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "bench_events: bad arguments (see --help)\n");
        return 2;
    }
    BenchAreas areas;
    if (!areas.Input || !areas.Output)
        return 1;
    char folder[] = "/tmp/kavel-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr)
        return 1;
    const std::string logPath = std::string(folder) + "/calls.log";
    std::printf("event engine, simulation mode, poll cycle %u ms, %u cores\n", PollCycleMs,
                std::thread::hardware_concurrency());
    if (options.CompareRunFiles) {
        CompareRunFiles(options, areas, folder, logPath);
        ::unlink(logPath.c_str());
        ::rmdir(folder);
        return 0;
    }
    MeasureTickLateness(options);
    HandshakeFigures figures;
    MeasureHandshakeLatency(options, areas, logPath, {}, figures);
    MeasureSustainedHandshakes(options, areas, {}, figures);
    MeasureSpawnFloor(options);
    MeasureWakeUps(options);
    MeasureDeactivations(options, areas, logPath);
    ::unlink(logPath.c_str());
    ::rmdir(folder);
    return 0;
}
