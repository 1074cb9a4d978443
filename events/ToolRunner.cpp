#include "events/ToolRunner.h"

#include "app/core/StringTable.h"
#include "app/core/SystemMessage.h"
#include "events/ObservationState.h"
#include "platform/ErrorText.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

extern char** environ;

namespace {

constexpr const char* ToolNotStartedFormat = "The process %s could not be started ! %s";

// A message with two "%s": the first takes `first`, the second `second`.
std::string FormatTwoArguments(const std::string& format, const std::string& first,
                               const std::string& second) {
    const auto split = format.find("%s");
    if (split == std::string::npos)
        return format;
    return FormatMessage(format.substr(0, split + 2), first) +
           FormatMessage(format.substr(split + 2), second);
}

const std::string& ShownCommand(const ToolSlot& slot) {
    return slot.CommandLine.empty() ? slot.Program : slot.CommandLine;
}

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
    // it reads nothing from our input.
    int Prepare() {
        if (m_Error != 0)
            return m_Error;
        if (int error =
                ::posix_spawn_file_actions_addopen(&m_Actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0))
            return error;
        return ::posix_spawn_file_actions_addclosefrom_np(&m_Actions, STDERR_FILENO + 1);
    }
    const posix_spawn_file_actions_t* Get() const { return &m_Actions; }

private:
    posix_spawn_file_actions_t m_Actions{};
    int m_Error = 0;
};

// Starts the slot's program; 0 and the process id, or the error number.
int SpawnTool(const ToolSlot& slot, pid_t& processId) {
    std::vector<char*> argv;
    argv.reserve(slot.Arguments.size() + 2);
    argv.push_back(const_cast<char*>(slot.Program.c_str()));
    for (const std::string& argument : slot.Arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    SpawnAttributes attributes;
    if (int error = attributes.Prepare())
        return error;
    SpawnFileActions actions;
    if (int error = actions.Prepare())
        return error;
    // A program without a folder is searched like the shell would (the unchecked case).
    const bool search = slot.Program.find('/') == std::string::npos;
    const auto spawn = search ? ::posix_spawnp : ::posix_spawn;
    return spawn(&processId, slot.Program.c_str(), actions.Get(), attributes.Get(), argv.data(), environ);
}

// Waits until the process has ended, leaving it a zombie so that its id stays
// reserved until it is reaped under the guard.
void WaitUntilEnded(pid_t processId) {
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(processId), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
}

void Reap(pid_t processId) {
    int status = 0;
    while (::waitpid(processId, &status, 0) < 0 && errno == EINTR) {
    }
}

void ToolRunnerThread(ToolSlot* slot) {
    ToolProcess& process = slot->Process;
    pid_t processId = 0;
    int spawnError = 0;
    {
        std::lock_guard lock(process.Guard);
        if (process.Cancelled)
            return;
        spawnError = SpawnTool(*slot, processId);
        if (spawnError != 0) {
            process.StartFailed = true;
        } else {
            process.ProcessId = processId;
            process.Reaped = false;
        }
    }
    if (spawnError != 0) {
        // The slot stays running and unacknowledged; the user learns why.
        AddMessage(FormatTwoArguments(ToolNotStartedFormat, ShownCommand(*slot), ErrorText(spawnError)));
        return;
    }
    WaitUntilEnded(processId);
    {
        std::lock_guard lock(process.Guard);
        Reap(processId);
        process.Reaped = true;
    }
    slot->Finished.store(1, std::memory_order_release);
}

// Kills the tool's process group; the tool alone when it has left its group.
bool KillTool(pid_t processId) {
    // kill() with 0, 1 or -1 would reach our own group or every process.
    if (processId <= 1) {
        errno = ESRCH;
        return false;
    }
    if (::kill(-processId, SIGKILL) == 0)
        return true;
    return errno == ESRCH && ::kill(processId, SIGKILL) == 0;
}

} // namespace

void StartToolRunner(ToolSlot* slot) {
    if (slot == nullptr)
        return;
    // A worker is joined when its run is acknowledged; one left over has ended.
    if (slot->WorkerThread.joinable())
        slot->WorkerThread.join();
    {
        std::lock_guard lock(slot->Process.Guard);
        slot->Process.ProcessId = 0;
        slot->Process.Reaped = true;
        slot->Process.Cancelled = false;
        slot->Process.StartFailed = false;
    }
    try {
        slot->WorkerThread = std::thread(ToolRunnerThread, slot);
    } catch (const std::system_error& error) {
        {
            std::lock_guard lock(slot->Process.Guard);
            slot->Process.StartFailed = true;
        }
        errno = error.code().value();
    }
}

void TerminateRunningTools(ObservationState& state) {
    for (ToolSlot& slot : state.ToolSlots) {
        if (slot.Running.load(std::memory_order_acquire) == 0 ||
            slot.Finished.load(std::memory_order_acquire) != 0)
            continue;
        std::unique_lock lock(slot.Process.Guard);
        ToolProcess& process = slot.Process;
        if (process.StartFailed) {
            // No process to stop: the slot stays running; its worker has ended.
            lock.unlock();
            if (slot.WorkerThread.joinable())
                slot.WorkerThread.join();
            continue;
        }
        if (process.ProcessId == 0) {
            // The worker has not started the tool yet; it never will.
            process.Cancelled = true;
        } else if (!process.Reaped && !KillTool(process.ProcessId)) {
            const std::string error = LastErrorText();
            lock.unlock();
            const std::string text =
                FormatTwoArguments(LoadString(IDS_PROCESS_NOT_STOPPED), ShownCommand(slot), error);
            ShowSystemMessage(nullptr, 0, text, MB_ICONHAND, false);
            continue;
        }
        slot.Finished.store(1, std::memory_order_release);
    }
}
