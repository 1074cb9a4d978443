#include "tests/app/InstalledObserver.h"
#include "tests/app/SimulationAreas.h"
#include "tests/app/TestWorkspace.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

#include "controller/SimulationBuffers.h"
#include "platform/SingleInstanceLock.h"
#include "platform/UniqueFd.h"
#include "tools/eventmanager-headless/ServiceNotifier.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

using std::chrono::milliseconds;
constexpr milliseconds Deadline{20000};

// The service manager's end of NOTIFY_SOCKET: a datagram socket the test binds.
class NotifySocket {
public:
    explicit NotifySocket(std::string path) : m_Path(std::move(path)) {
        m_Fd = UniqueFd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, m_Path.c_str(), sizeof address.sun_path - 1);
        m_Bound = m_Fd.IsValid() && m_Path.size() < sizeof address.sun_path &&
                  ::bind(m_Fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() { ::unlink(m_Path.c_str()); }

    bool Bound() const { return m_Bound; }
    const std::string& Path() const { return m_Path; }

    // The next message, waiting at most `timeout` (zero: only one already queued).
    std::optional<std::string> Receive(milliseconds timeout) {
        pollfd readable{m_Fd.Get(), POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(timeout.count())) <= 0)
            return std::nullopt;
        char buffer[4096];
        const ssize_t got = ::recv(m_Fd.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0)
            return std::nullopt;
        Received.emplace_back(buffer, static_cast<std::size_t>(got));
        return Received.back();
    }
    // Receives until a message from index `from` on holds `text`; its index in Received.
    std::optional<std::size_t> WaitFor(const std::string& text, std::size_t from = 0) {
        for (std::size_t i = from;; ++i) {
            if (i == Received.size() && !Receive(Deadline))
                return std::nullopt;
            if (Received[i].find(text) != std::string::npos)
                return i;
        }
    }
    std::string Transcript() const {
        std::string all;
        for (const std::string& message : Received)
            all += "[" + message + "]\n";
        return all;
    }

    std::vector<std::string> Received;

private:
    std::string m_Path;
    UniqueFd m_Fd;
    bool m_Bound = false;
};

// Sets a variable for the child processes and the notifier a test starts.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : m_Name(name) {
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() { ::unsetenv(m_Name); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_Name;
};

class HeadlessServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (SingleInstanceLock().Result() != SingleInstanceLock::Outcome::Acquired)
            GTEST_SKIP() << "another event manager runs on this machine";
        Observer = InstallObserver(Workspace.Folder());
    }

    // Tool 1 is /bin/true; `eventVariable` not in the summary makes the configuration unusable.
    void WriteConfiguration(const std::string& eventVariable = "EventVar") {
        TestConfiguration configuration{"7", "Service", eventVariable, "AckVar", "5", {}};
        configuration.Tools.push_back({0, "/bin", "true", ""});
        Workspace.WriteSummary("summary.sta", StandardVariables());
        AppSettings settings;
        settings.PathToKavelCfg = Workspace.WriteProject("p.ADPXML", {configuration}, "summary.sta");
        settings.UseSimEnvironment = 1;
        Workspace.SaveTestSettings(settings);
    }

    TestWorkspace Workspace;
    std::string Observer;
};

// The whole life under a service manager: ready with the configuration, watchdog
// pings while the poll cycle runs, a new status when a call is counted, reloading
// and ready again around SIGHUP, stopping at SIGTERM.
TEST_F(HeadlessServiceTest, TellsTheServiceManagerEachStageAndPingsTheWatchdogWhileItPolls) {
    SimulationAreas areas(DefaultInputBufferName, DefaultOutputBufferName);
    if (!areas.Valid())
        GTEST_SKIP() << "a simulator runs on this machine";
    WriteConfiguration();
    areas.SetEvent(0);
    NotifySocket manager(Workspace.PathOf("notify"));
    ASSERT_TRUE(manager.Bound()) << manager.Path();

    std::optional<ChildProcess> observer;
    {
        const ScopedEnvironment socket("NOTIFY_SOCKET", manager.Path());
        const ScopedEnvironment watchdog("WATCHDOG_USEC", "200000");
        observer.emplace(std::vector<std::string>{Observer});
    }
    const auto ready = manager.WaitFor("READY=1");
    ASSERT_TRUE(ready) << manager.Transcript() << observer->Output();
    EXPECT_NE(manager.Received[*ready].find("STATUS=Observing \"Service\" (UniqueID 7), 0 calls"),
              std::string::npos)
        << manager.Transcript();

    std::optional<std::size_t> ping = ready;
    for (int count = 0; count < 3 && ping; ++count)
        ping = manager.WaitFor("WATCHDOG=1", *ping + 1);
    ASSERT_TRUE(ping) << manager.Transcript() << observer->Output();

    areas.ToggleEvent(0);
    EXPECT_TRUE(manager.WaitFor("STATUS=Observing \"Service\" (UniqueID 7), 1 call")) << manager.Transcript();

    observer->Signal(SIGHUP);
    const auto reloading = manager.WaitFor("RELOADING=1");
    ASSERT_TRUE(reloading) << manager.Transcript() << observer->Output();
    EXPECT_TRUE(manager.WaitFor("READY=1", *reloading + 1)) << manager.Transcript() << observer->Output();

    observer->Signal(SIGTERM);
    EXPECT_TRUE(manager.WaitFor("STOPPING=1")) << manager.Transcript();
    EXPECT_EQ(observer->WaitForExit(Deadline), 0) << observer->Output();
}

struct JournalCase {
    const char* Name;
    // Whose device and inode JOURNAL_STREAM names: $1 of the shell that starts the observer.
    const char* Stream;
    bool Prefixed;
};

class HeadlessJournalTest : public HeadlessServiceTest, public ::testing::WithParamInterface<JournalCase> {};

// Standard output that is the journal's stream gets each line's priority; output
// that goes elsewhere while JOURNAL_STREAM is inherited stays plain.
TEST_P(HeadlessJournalTest, PrefixesPrioritiesOnlyWhenStandardOutputIsTheJournal) {
    WriteConfiguration("NotInTheSummary");
    // Descriptor 5 holds the pipe the test reads while stat looks at it.
    const std::string script =
        "exec 5>&1; export JOURNAL_STREAM=$(stat -L -c %d:%i \"$1\"); exec \"$0\" 5>&-";
    ChildProcess observer({"/bin/sh", "-c", script, Observer, GetParam().Stream});
    EXPECT_EQ(observer.WaitForExit(Deadline), 1) << observer.Output();

    std::istringstream lines(observer.Output());
    int errors = 0, others = 0;
    for (std::string line; std::getline(lines, line);) {
        const bool error = line.find("Error") != std::string::npos;
        (error ? errors : others) += 1;
        const std::string prefix = GetParam().Prefixed ? (error ? "<3>" : "<6>") : "";
        EXPECT_TRUE(line.starts_with(prefix + "20")) << line;
    }
    EXPECT_GT(errors, 0) << observer.Output();
    EXPECT_GT(others, 0) << observer.Output();
}

INSTANTIATE_TEST_SUITE_P(Streams, HeadlessJournalTest,
                         ::testing::Values(JournalCase{"Journal", "/proc/self/fd/5", true},
                                           JournalCase{"Elsewhere", "/dev/null", false}),
                         [](const auto& info) { return std::string(info.param.Name); });

// A poll thread that stops cycling stops the pings, whatever the main loop does;
// the clock is the test's, so no wall time is involved.
TEST(ServiceNotifierTest, PingsTheWatchdogOnlyWhileThePollCycleCountsOn) {
    TempFolder folder;
    NotifySocket manager(folder.File("notify"));
    ASSERT_TRUE(manager.Bound());
    const ScopedEnvironment socket("NOTIFY_SOCKET", manager.Path());
    std::atomic<std::uint64_t> cycles{0};
    const auto interval = std::chrono::seconds(1); // half of WATCHDOG_USEC
    {
        const ScopedEnvironment watchdog("WATCHDOG_USEC", "2000000");
        ServiceNotifier notifier(cycles);
        auto now = ServiceNotifier::Clock::now();
        const auto pingsOver = [&](int intervals, bool cycling) {
            int pings = 0;
            for (int i = 0; i < intervals; ++i) {
                cycles += cycling ? 1 : 0;
                now += interval;
                EXPECT_EQ(notifier.MillisecondsToNextPing(now), 0);
                notifier.PingIfDue(now);
                while (const auto message = manager.Receive(milliseconds(0)))
                    pings += *message == "WATCHDOG=1" ? 1 : 0;
            }
            return pings;
        };
        EXPECT_EQ(pingsOver(5, true), 5);
        EXPECT_EQ(pingsOver(20, false), 0);
        EXPECT_EQ(pingsOver(3, true), 3);
        // A poll cycle of ten intervals: the thread waiting for its deadline is
        // not stuck, one that goes past its period and a ping interval is.
        notifier.SetCyclePeriod(10 * interval);
        EXPECT_EQ(pingsOver(10, false), 10);
        EXPECT_EQ(pingsOver(20, false), 0);
        // Half an interval after the last ping nothing is due yet.
        EXPECT_GT(notifier.MillisecondsToNextPing(now + interval / 2), 0);
    }
    // No watchdog asked for: the main loop may sleep, and nothing is sent.
    ServiceNotifier notifier(cycles);
    const auto now = ServiceNotifier::Clock::now();
    EXPECT_EQ(notifier.MillisecondsToNextPing(now), -1);
    ++cycles;
    notifier.PingIfDue(now + std::chrono::hours(1));
    EXPECT_FALSE(manager.Receive(milliseconds(0))) << manager.Transcript();
}

} // namespace
