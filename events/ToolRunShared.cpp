#include "events/ToolRunShared.h"

#include "app/core/StringTable.h"
#include "app/core/SystemMessage.h"
#include "events/ToolRunner.h"

#include <algorithm>
#include <thread>

namespace {

constexpr auto SweepInterval = std::chrono::milliseconds(2);

void ReportNotStopped(const ToolSlot& slot, const std::string& reason) {
    const std::string text =
        FormatTwoArguments(LoadString(IDS_PROCESS_NOT_STOPPED), ShownCommand(slot), reason);
    ShowSystemMessage(nullptr, 0, text, MB_ICONHAND, false);
}

} // namespace

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

bool RunInFlight(const ToolSlot& slot) {
    return slot.Running.load(std::memory_order_acquire) != 0 &&
           slot.Finished.load(std::memory_order_acquire) == 0;
}

RunStart NewRunStart(ObservationState& state, int bit) {
    RunStart run{&state.ToolSlots[bit], {}, state.OutputCapture};
    run.Record.Bit = bit;
    run.Record.UniqueID = state.Settings.UsedUniqueID;
    run.Record.Arguments.reserve(run.Slot->Arguments.size() + 1);
    run.Record.Arguments.push_back(run.Slot->Program);
    run.Record.Arguments.insert(run.Record.Arguments.end(), run.Slot->Arguments.begin(),
                                run.Slot->Arguments.end());
    return run;
}

std::int64_t WallMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void FinishRecord(RunRecord& record, std::chrono::steady_clock::time_point started) {
    record.EndMilliseconds = WallMilliseconds();
    record.DurationMicroseconds =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started)
            .count();
}

void RecordThreadFailure(RunStart& run, const std::string& reason) {
    {
        std::lock_guard lock(run.Slot->Process.Guard);
        run.Slot->Process.StartFailed = true;
    }
    run.Record.StartMilliseconds = run.Record.EndMilliseconds = WallMilliseconds();
    run.Record.Outcome = RunOutcome::NotStarted;
    run.Record.Reason = reason;
    RecordRun(run.Record);
}

void ResetToolRuns(ObservationState& state) {
    for (ToolSlot& slot : state.ToolSlots) {
        {
            std::lock_guard lock(slot.Process.Guard);
            // A run whose tool still lives ends by its worker, whatever is loaded.
            if (RunInFlight(slot) && !slot.Process.StartFailed && !slot.Process.Cancelled)
                continue;
        }
        if (slot.WorkerThread.joinable())
            slot.WorkerThread.join();
        slot.Running.store(0, std::memory_order_release);
        slot.Finished.store(1, std::memory_order_release);
    }
}

void ResetRunProcess(ToolSlot& slot) {
    std::lock_guard lock(slot.Process.Guard);
    slot.Process.ProcessId = 0;
    slot.Process.Reaped = true;
    slot.Process.Cancelled = false;
    slot.Process.StartFailed = false;
    slot.Process.Terminated = false;
}

void StopRunningTools(ObservationState& state, const std::function<std::string(ToolSlot&)>& kill,
                      const std::function<int()>& descendantsAlive) {
    std::vector<ToolSlot*> killed;
    for (ToolSlot& slot : state.ToolSlots) {
        if (!RunInFlight(slot))
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
        } else if (!process.Reaped) {
            process.Terminated = true;
            const std::string error = kill(slot);
            if (!error.empty()) {
                process.Terminated = false;
                lock.unlock();
                ReportNotStopped(slot, error);
                continue;
            }
            // Its worker marks it finished once it has seen it end.
            killed.push_back(&slot);
            continue;
        }
        slot.Finished.store(1, std::memory_order_release);
    }

    const auto finished = [](const ToolSlot* slot) {
        return slot->Finished.load(std::memory_order_acquire) != 0;
    };
    const auto deadline = std::chrono::steady_clock::now() + StopBound;
    for (;;) {
        const int alive = descendantsAlive();
        if ((alive == 0 && std::all_of(killed.begin(), killed.end(), finished)) ||
            std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(SweepInterval);
    }
    // A tool that did not end in time keeps its slot running; its worker
    // acknowledges it whenever it ends.
    for (const ToolSlot* slot : killed) {
        if (!finished(slot))
            ReportNotStopped(*slot, NotEndedInTime);
    }
}
