#include "events/ToolRunner.h"

#include "app/core/StringTable.h"
#include "app/core/SystemMessage.h"
#include "events/JobProcess.h"
#include "events/ObservationState.h"
#include "events/RunFile.h"
#include "events/ToolRunShared.h"
#include "platform/ErrorText.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// The exit code of every process of a job ended at deactivation; a tool that
// ends by itself does not pick it by chance.
constexpr std::uint32_t TerminatedExitCode = 0x4B56544D;
// ERROR_INVALID_HANDLE: the run has no job to end.
constexpr int NoJob = 6;

// The jobs of the runs in flight, and those of ended runs whose tools left
// processes behind: deactivation ends those too, as it ends the tools.
class ToolJobs {
public:
    void Started(const ToolSlot* slot, std::shared_ptr<JobProcess> job) {
        std::lock_guard lock(m_Guard);
        m_Running[slot] = std::move(job);
    }
    void Ended(const ToolSlot* slot) {
        std::lock_guard lock(m_Guard);
        const auto found = m_Running.find(slot);
        if (found == m_Running.end())
            return;
        if (found->second->ActiveProcesses() != 0)
            m_Lingering.push_back(found->second);
        m_Running.erase(found);
    }
    std::shared_ptr<JobProcess> Of(const ToolSlot* slot) {
        std::lock_guard lock(m_Guard);
        const auto found = m_Running.find(slot);
        return found == m_Running.end() ? nullptr : found->second;
    }
    // Forgets the jobs left behind whose processes have all ended.
    void DropEnded() {
        std::lock_guard lock(m_Guard);
        std::erase_if(m_Lingering, [](const auto& job) { return job->ActiveProcesses() == 0; });
    }
    void TerminateLeftBehind() {
        std::lock_guard lock(m_Guard);
        for (const auto& job : m_Lingering)
            job->Terminate(TerminatedExitCode);
    }
    // Processes still alive in any job, runs in flight included.
    unsigned long Alive() {
        std::lock_guard lock(m_Guard);
        unsigned long alive = 0;
        for (const auto& [slot, job] : m_Running)
            alive += job->ActiveProcesses();
        for (const auto& job : m_Lingering)
            alive += job->ActiveProcesses();
        return alive;
    }

private:
    std::mutex m_Guard;
    std::map<const ToolSlot*, std::shared_ptr<JobProcess>> m_Running;
    std::vector<std::shared_ptr<JobProcess>> m_Lingering;
};

ToolJobs& Jobs() {
    static ToolJobs jobs;
    return jobs;
}

void ToolRunnerThread(RunStart run) {
    ToolSlot* slot = run.Slot;
    RunRecord& record = run.Record;
    ToolProcess& process = slot->Process;
    NativeHandle outputRead;
    NativeHandle outputWrite;
    if (run.Capture != nullptr && !run.Capture->OpenPipe(outputRead, outputWrite)) {
        outputRead.Reset();
        outputWrite.Reset();
    }
    auto job = std::make_shared<JobProcess>();
    int startError = 0;
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
        startError = job->Start(record.Arguments, outputWrite);
        if (startError != 0) {
            process.StartFailed = true;
        } else {
            process.ProcessId = static_cast<pid_t>(job->Id());
            process.Reaped = false;
            Jobs().Started(slot, job);
        }
    }
    outputWrite.Reset();
    if (startError != 0) {
        // The slot stays running and unacknowledged; the user learns why.
        AddMessage(FormatTwoArguments(ToolNotStartedFormat, ShownCommand(*slot), ErrorText(startError)));
        FinishRecord(record, started);
        record.Outcome = RunOutcome::NotStarted;
        record.Reason = ErrorReason(startError);
        RecordRun(record);
        return;
    }
    record.ProcessId = static_cast<long>(job->Id());
    if (outputRead.IsValid())
        run.Capture->Attach(record.Bit, RunStartLine(record), std::move(outputRead));
    const std::uint32_t exitCode = job->WaitForExit();
    bool terminated = false;
    {
        std::lock_guard lock(process.Guard);
        process.Reaped = true;
        terminated = process.Terminated;
        Jobs().Ended(slot);
    }
    FinishRecord(record, started);
    if (terminated && exitCode == TerminatedExitCode) {
        record.Outcome = RunOutcome::TerminatedAtDeactivation;
    } else {
        // A crash is an exit code too (0xC0000005 and the like): Windows has no signals.
        record.Outcome = RunOutcome::Exited;
        record.ExitCode = static_cast<int>(exitCode);
    }
    // Before Finished: whoever sees the run acknowledged finds its record handed on.
    RecordRun(record);
    slot->Finished.store(1, std::memory_order_release);
}

} // namespace

void StartToolRunner(ObservationState& state, int bit) {
    if (bit < 0 || bit >= ToolSlotCount)
        return;
    ToolSlot* slot = &state.ToolSlots[bit];
    // A worker is joined when its run is acknowledged; one left over has ended.
    if (slot->WorkerThread.joinable())
        slot->WorkerThread.join();
    Jobs().DropEnded();
    ResetRunProcess(*slot);
    RunStart run = NewRunStart(state, bit);
    try {
        slot->WorkerThread = std::thread(ToolRunnerThread, run);
    } catch (const std::system_error& error) {
        RecordThreadFailure(run, error.code().message());
        SetThreadStartFailed();
    }
}

void TerminateRunningTools(ObservationState& state) {
    bool leftBehindEnded = false;
    StopRunningTools(
        state,
        [](ToolSlot& slot) {
            const std::shared_ptr<JobProcess> job = Jobs().Of(&slot);
            const int error = job != nullptr ? job->Terminate(TerminatedExitCode) : NoJob;
            return error == 0 ? std::string() : ErrorText(error);
        },
        [&] {
            // Jobs whose tool ended before but whose processes live on go too.
            if (!leftBehindEnded) {
                Jobs().TerminateLeftBehind();
                leftBehindEnded = true;
            }
            return Jobs().Alive();
        });
}
