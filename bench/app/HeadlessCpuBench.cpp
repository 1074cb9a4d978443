// CPU time and wake-ups of the headless observer observing with no events: it
// runs against the simulation buffers with poll cycles of 5, 100 and 1000 ms; its
// user plus system time over the measuring period is printed as a share of one
// core, and the wake-ups of all its threads (voluntary context switches) per
// second beside the cycle rate.
// Usage: bench_headless_cpu [seconds]  (default 10, per poll cycle)

#include "app/core/AppSettings.h"
#include "controller/SimulationBuffers.h"
#include "platform/SingleInstanceLock.h"
#include "tests/app/InstalledObserver.h"
#include "tests/app/SimulationAreas.h"
#include "tests/app/TestWorkspace.h"
#include "tests/support/ChildProcess.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// utime + stime of a process in clock ticks, or -1.
long long CpuTicks(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The command name may hold blanks; the fields after it are plain.
    const auto close = content.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(content.substr(close + 2));
    std::string field;
    long long utime = -1;
    long long stime = -1;
    // Field 3 (state) is the first after the name; utime and stime are fields 14 and 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14)
            utime = std::atoll(field.c_str());
        if (index == 15)
            stime = std::atoll(field.c_str());
    }
    return utime < 0 || stime < 0 ? -1 : utime + stime;
}

// Nanoseconds on a CPU of all threads of a process, from the scheduler's own
// accounting (finer than the clock ticks of /proc/<pid>/stat), or -1.
long long ScheduledNanoseconds(pid_t pid) {
    long long total = 0;
    std::error_code error;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream file(task.path() / "schedstat");
        long long onCpu = 0;
        if (!(file >> onCpu))
            return -1;
        total += onCpu;
    }
    return error ? -1 : total;
}

// Voluntary context switches of all threads of a process (each sleep is one), or -1.
long long Wakeups(pid_t pid) {
    long long total = 0;
    std::error_code error;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream file(task.path() / "status");
        std::string line;
        while (std::getline(file, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                total += std::atoll(line.c_str() + 24);
        }
    }
    return error ? -1 : total;
}

// The floor: a thread that only sleeps to absolute 5 ms deadlines, as the poll
// timer does, measured with its own CPU clock over the same period.
class SleeperFloor {
public:
    SleeperFloor() : m_Thread([this] { Run(); }) {}
    ~SleeperFloor() {
        m_Stop = true;
        m_Thread.join();
    }
    double CpuSeconds() const { return m_CpuSeconds.load(); }

private:
    void Run() {
        timespec deadline{};
        ::clock_gettime(CLOCK_MONOTONIC, &deadline);
        timespec started{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &started);
        while (!m_Stop) {
            deadline.tv_nsec += 5000000;
            if (deadline.tv_nsec >= 1000000000) {
                deadline.tv_nsec -= 1000000000;
                ++deadline.tv_sec;
            }
            ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
            timespec now{};
            ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
            m_CpuSeconds = static_cast<double>(now.tv_sec - started.tv_sec) +
                           static_cast<double>(now.tv_nsec - started.tv_nsec) / 1e9;
        }
    }

    std::atomic<bool> m_Stop{false};
    std::atomic<double> m_CpuSeconds{0};
    std::thread m_Thread;
};

int MeasureObserver(int seconds, int pollCycle) {
    SimulationAreas areas(DefaultInputBufferName, DefaultOutputBufferName);
    if (!areas.Valid()) {
        std::fprintf(stderr, "the simulation buffers exist already (a simulator runs?)\n");
        return 1;
    }

    TestWorkspace workspace;
    workspace.WriteSummary("summary.sta", StandardVariables());
    AppSettings settings;
    settings.PathToKavelCfg = workspace.WriteProject(
        "idle.ADPXML",
        {{"1", "Idle", "EventVar", "AckVar", std::to_string(pollCycle), {{0, "/bin", "true", ""}}}});
    settings.UseSimEnvironment = 1;
    workspace.SaveTestSettings(settings);
    const std::string observerPath = InstallObserver(workspace.Folder());

    ChildProcess observer({observerPath});
    if (!observer.WaitForOutput("Observing", std::chrono::milliseconds(10000))) {
        std::fprintf(stderr, "the observer did not start:\n%s\n", observer.Output().c_str());
        return 1;
    }
    // Let start-up work settle before measuring.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const long long before = CpuTicks(observer.Pid());
    const long long scheduledBefore = ScheduledNanoseconds(observer.Pid());
    const long long wakeupsBefore = Wakeups(observer.Pid());
    const auto start = std::chrono::steady_clock::now();
    double floorSeconds = 0;
    {
        const SleeperFloor floor;
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        floorSeconds = floor.CpuSeconds();
    }
    const long long after = CpuTicks(observer.Pid());
    const long long scheduledAfter = ScheduledNanoseconds(observer.Pid());
    const long long wakeupsAfter = Wakeups(observer.Pid());
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    observer.Signal(SIGTERM);
    const auto exitCode = observer.WaitForExit(std::chrono::milliseconds(10000));
    if (before < 0 || after < 0) {
        std::fprintf(stderr, "cannot read /proc/%d/stat\n", static_cast<int>(observer.Pid()));
        return 1;
    }

    const double ticksPerSecond = static_cast<double>(::sysconf(_SC_CLK_TCK));
    const double cpuSeconds = static_cast<double>(after - before) / ticksPerSecond;
    std::printf("Headless observer, simulation mode, %d ms poll cycle, no events, %.1f s\n", pollCycle, wall);
    std::printf("  CPU time %.3f s (user + system), %.3f %% of one core  (goal <= 0.2 %%)\n", cpuSeconds,
                100.0 * cpuSeconds / wall);
    if (scheduledBefore >= 0 && scheduledAfter >= 0) {
        const double scheduled = static_cast<double>(scheduledAfter - scheduledBefore) / 1e9;
        std::printf("  scheduler's account: %.4f s on a CPU, %.3f %% of one core\n", scheduled,
                    100.0 * scheduled / wall);
    }
    if (wakeupsBefore >= 0 && wakeupsAfter >= 0)
        std::printf("  wake-ups of all threads: %.1f per s, cycles %.1f per s  (goal: equal)\n",
                    static_cast<double>(wakeupsAfter - wakeupsBefore) / wall, 1000.0 / pollCycle);
    std::printf("  floor, a thread that only sleeps to 5 ms deadlines: %.4f s, %.3f %% of one core\n",
                floorSeconds, 100.0 * floorSeconds / wall);
    std::printf("  exit code after SIGTERM: %d\n", exitCode.value_or(-1));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    if (SingleInstanceLock().Result() != SingleInstanceLock::Outcome::Acquired) {
        std::fprintf(stderr, "another event manager runs on this machine\n");
        return 1;
    }
    for (const int pollCycle : {5, 100, 1000}) {
        if (const int code = MeasureObserver(seconds, pollCycle))
            return code;
    }
    return 0;
}
