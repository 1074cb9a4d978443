#include "events/ToolRunner.h"

#include "app/core/StringTable.h"
#include "app/core/SystemMessage.h"
#include "events/ObservationState.h"
#include "events/RunFile.h"
#include "events/RunRecord.h"
#include "events/ToolRunShared.h"
#include "platform/ErrorText.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr const char* TokenName = "KAVEL_TOOL_TOKEN=";

class SpawnAttributes {
public:
    SpawnAttributes() { m_Error = ::posix_spawnattr_init(&m_Attributes); }
    ~SpawnAttributes() {
        if (m_Error == 0)
            ::posix_spawnattr_destroy(&m_Attributes);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    // A process group of its own, so that termination reaches everything the tool
    // starts; a clean signal state, whatever the observer blocks or ignores.
    int Prepare() {
        if (m_Error != 0)
            return m_Error;
        sigset_t none;
        sigset_t all;
        ::sigemptyset(&none);
        ::sigfillset(&all);
        const short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (int error = ::posix_spawnattr_setflags(&m_Attributes, flags))
            return error;
        if (int error = ::posix_spawnattr_setpgroup(&m_Attributes, 0))
            return error;
        if (int error = ::posix_spawnattr_setsigmask(&m_Attributes, &none))
            return error;
        return ::posix_spawnattr_setsigdefault(&m_Attributes, &all);
    }
    const posix_spawnattr_t* Get() const { return &m_Attributes; }

private:
    posix_spawnattr_t m_Attributes{};
    int m_Error = 0;
};

class SpawnFileActions {
public:
    SpawnFileActions() { m_Error = ::posix_spawn_file_actions_init(&m_Actions); }
    ~SpawnFileActions() {
        if (m_Error == 0)
            ::posix_spawn_file_actions_destroy(&m_Actions);
    }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;

    // No descriptor of ours (lock file, shared memory, sockets) reaches the tool;
    // it reads nothing from our input and writes to `output` when it is given.
    int Prepare(int output) {
        if (m_Error != 0)
            return m_Error;
        if (int error =
                ::posix_spawn_file_actions_addopen(&m_Actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0))
            return error;
        if (output >= 0) {
            if (int error = ::posix_spawn_file_actions_adddup2(&m_Actions, output, STDOUT_FILENO))
                return error;
            if (int error = ::posix_spawn_file_actions_adddup2(&m_Actions, output, STDERR_FILENO))
                return error;
        }
        return ::posix_spawn_file_actions_addclosefrom_np(&m_Actions, STDERR_FILENO + 1);
    }
    const posix_spawn_file_actions_t* Get() const { return &m_Actions; }

private:
    posix_spawn_file_actions_t m_Actions{};
    int m_Error = 0;
};

// "KAVEL_TOOL_TOKEN=<value>", a value of this process alone: every tool and
// whatever it starts inherits it, so a re-parented process that carries it is a
// descendant of one of our tools (the help page's browser carries none).
const std::string& ToolToken() {
    static const std::string token = [] {
        std::random_device random;
        std::ostringstream text;
        text << TokenName << ::getpid() << '-' << std::hex << random() << random();
        return text.str();
    }();
    return token;
}

// Our environment with the token in place of any token we inherited.
std::vector<char*> ToolEnvironment() {
    std::vector<char*> variables;
    for (char** variable = environ; variable != nullptr && *variable != nullptr; ++variable) {
        if (std::strncmp(*variable, TokenName, std::strlen(TokenName)) != 0)
            variables.push_back(*variable);
    }
    variables.push_back(const_cast<char*>(ToolToken().c_str()));
    variables.push_back(nullptr);
    return variables;
}

// Starts the slot's program; 0 and the process id, or the error number.
int SpawnTool(const ToolSlot& slot, int output, pid_t& processId) {
    std::vector<char*> argv;
    argv.reserve(slot.Arguments.size() + 2);
    argv.push_back(const_cast<char*>(slot.Program.c_str()));
    for (const std::string& argument : slot.Arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> environment = ToolEnvironment();

    SpawnAttributes attributes;
    if (int error = attributes.Prepare())
        return error;
    SpawnFileActions actions;
    if (int error = actions.Prepare(output))
        return error;
    // A program without a folder is searched like the shell would (the unchecked case).
    const bool search = slot.Program.find('/') == std::string::npos;
    const auto spawn = search ? ::posix_spawnp : ::posix_spawn;
    return spawn(&processId, slot.Program.c_str(), actions.Get(), attributes.Get(), argv.data(),
                 environment.data());
}

struct ChildState {
    bool Zombie = false;
    pid_t Group = 0;
};

bool ReadChildState(pid_t pid, ChildState& state) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The command name may hold blanks and brackets; the fields after it are plain.
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return false;
    std::istringstream fields(text.substr(close + 1));
    char status = 0;
    pid_t parent = 0;
    if (!(fields >> status >> parent >> state.Group))
        return false;
    state.Zombie = status == 'Z' || status == 'X';
    return true;
}

bool CarriesToken(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/environ");
    std::string variable;
    while (std::getline(file, variable, '\0')) {
        if (variable == ToolToken())
            return true;
    }
    return false;
}

// Children of this process: re-parented ones may hang off any of its threads.
std::vector<pid_t> OurChildren() {
    std::vector<pid_t> children;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream file(task.path() / "children");
        pid_t pid = 0;
        while (file >> pid)
            children.push_back(pid);
    }
    return children;
}

// The processes this program must account for besides its workers' own waits:
// the tools not yet reaped, and the descendants of tools that were re-parented
// to it (it is the subreaper of everything it starts). Both sets change only
// under the lock, and a process of either set is reaped only under it, so an id
// taken from them is never signalled after it may have been reused.
class ToolProcesses {
public:
    int Spawn(const ToolSlot& slot, int output, pid_t& processId) {
        std::lock_guard lock(m_Guard);
        BecomeSubreaper();
        const int error = SpawnTool(slot, output, processId);
        if (error == 0)
            m_Tools.insert(processId);
        return error;
    }

    // Only the worker of the tool calls this, once its tool has ended. Its wait status.
    int Reap(pid_t processId) {
        std::lock_guard lock(m_Guard);
        int status = 0;
        while (::waitpid(processId, &status, 0) < 0 && errno == EINTR) {
        }
        m_Tools.erase(processId);
        return status;
    }

    // Takes on the living re-parented descendants of tools, reaps the ended ones
    // and, with `kill`, kills the living. A tool's own process is left to its
    // worker; children that are no descendant of a tool are never touched. The
    // number of descendants still alive.
    int Sweep(bool kill) {
        std::lock_guard lock(m_Guard);
        int alive = 0;
        for (const pid_t pid : OurChildren()) {
            if (m_Tools.count(pid) != 0)
                continue;
            ChildState state;
            if (!ReadChildState(pid, state))
                continue;
            const bool adopted = m_Adopted.count(pid) != 0;
            if (state.Zombie) {
                // A zombie shows no environment: ours when we knew it alive, or when it
                // is still in the group of a tool or a descendant we hold.
                const bool ours =
                    adopted || m_Tools.count(state.Group) != 0 || m_Adopted.count(state.Group) != 0;
                if (ours && ::waitpid(pid, nullptr, WNOHANG) == pid)
                    m_Adopted.erase(pid);
                continue;
            }
            if (!adopted && !CarriesToken(pid))
                continue;
            m_Adopted.insert(pid);
            ++alive;
            if (kill)
                ::kill(pid, SIGKILL);
        }
        if (kill && alive == 0 && m_Tools.empty() && m_Adopted.empty() && m_Subreaper) {
            // Nothing of ours is left: orphans of others go to init again.
            ::prctl(PR_SET_CHILD_SUBREAPER, 0UL, 0UL, 0UL, 0UL);
            m_Subreaper = false;
        }
        return alive;
    }

private:
    void BecomeSubreaper() {
        if (!m_Subreaper)
            m_Subreaper = ::prctl(PR_SET_CHILD_SUBREAPER, 1UL, 0UL, 0UL, 0UL) == 0;
    }

    std::mutex m_Guard;
    std::set<pid_t> m_Tools;
    std::set<pid_t> m_Adopted;
    bool m_Subreaper = false;
};

ToolProcesses& Processes() {
    static ToolProcesses processes;
    return processes;
}

// Waits until the process has ended, leaving it a zombie so that its id stays
// reserved until it is reaped under the guard.
void WaitUntilEnded(pid_t processId) {
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(processId), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
}

void ToolRunnerThread(RunStart run) {
    ToolSlot* slot = run.Slot;
    RunRecord& record = run.Record;
    ToolProcess& process = slot->Process;
    UniqueFd outputRead;
    UniqueFd outputWrite;
    if (run.Capture != nullptr && !run.Capture->OpenPipe(outputRead, outputWrite)) {
        outputRead.Reset();
        outputWrite.Reset();
    }
    pid_t processId = 0;
    int spawnError = 0;
    const auto started = std::chrono::steady_clock::now();
    record.StartMilliseconds = WallMilliseconds();
    {
        std::lock_guard lock(process.Guard);
        if (process.Cancelled) {
            // Deactivation came first: the run is acknowledged without a process.
            FinishRecord(record, started);
            record.Outcome = RunOutcome::TerminatedAtDeactivation;
            RecordRun(record);
            return;
        }
        spawnError = Processes().Spawn(*slot, outputWrite.Get(), processId);
        if (spawnError != 0) {
            process.StartFailed = true;
        } else {
            process.ProcessId = processId;
            process.Reaped = false;
        }
    }
    outputWrite.Reset();
    if (spawnError != 0) {
        // The slot stays running and unacknowledged; the user learns why.
        AddMessage(FormatTwoArguments(ToolNotStartedFormat, ShownCommand(*slot), ErrorText(spawnError)));
        FinishRecord(record, started);
        record.Outcome = RunOutcome::NotStarted;
        record.Reason = ErrorReason(spawnError);
        RecordRun(record);
        return;
    }
    record.ProcessId = processId;
    if (outputRead.IsValid())
        run.Capture->Attach(record.Bit, RunStartLine(record), std::move(outputRead));
    WaitUntilEnded(processId);
    // The tool's children were re-parented before it ended: take them on while
    // they live (and the tool's group still names them).
    Processes().Sweep(false);
    int status = 0;
    bool terminated = false;
    {
        std::lock_guard lock(process.Guard);
        status = Processes().Reap(processId);
        process.Reaped = true;
        terminated = process.Terminated;
    }
    FinishRecord(record, started);
    // Our SIGKILL, not a tool that happened to end as deactivation came.
    if (terminated && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
        record.Outcome = RunOutcome::TerminatedAtDeactivation;
    } else if (WIFSIGNALED(status)) {
        record.Outcome = RunOutcome::Signalled;
        record.Signal = WTERMSIG(status);
    } else {
        record.Outcome = RunOutcome::Exited;
        record.ExitCode = WEXITSTATUS(status);
    }
    // Before Finished: whoever sees the run acknowledged finds its record handed on.
    RecordRun(record);
    slot->Finished.store(1, std::memory_order_release);
}

// Kills the tool's process group and the tool itself, which may have left it.
bool KillTool(pid_t processId) {
    // kill() with 0, 1 or -1 would reach our own group or every process.
    if (processId <= 1) {
        errno = ESRCH;
        return false;
    }
    const bool group = ::kill(-processId, SIGKILL) == 0;
    return ::kill(processId, SIGKILL) == 0 || group;
}

} // namespace

void StartToolRunner(ObservationState& state, int bit) {
    if (bit < 0 || bit >= ToolSlotCount)
        return;
    ToolSlot* slot = &state.ToolSlots[bit];
    // A worker is joined when its run is acknowledged; one left over has ended.
    if (slot->WorkerThread.joinable())
        slot->WorkerThread.join();
    // Descendants of earlier runs that have ended since are reaped.
    Processes().Sweep(false);
    ResetRunProcess(*slot);
    RunStart run = NewRunStart(state, bit);
    try {
        slot->WorkerThread = std::thread(ToolRunnerThread, run);
    } catch (const std::system_error& error) {
        RecordThreadFailure(run, ErrorReason(error.code().value()));
        errno = error.code().value();
    }
}

void TerminateRunningTools(ObservationState& state) {
    // The re-parented descendants are killed round by round (the children of each
    // one come back to us when it dies) until none lives.
    StopRunningTools(
        state,
        [](ToolSlot& slot) { return KillTool(slot.Process.ProcessId) ? std::string() : LastErrorText(); },
        [] { return Processes().Sweep(true); });
}
