#include "events/ToolRunShared.h"

#include "app/core/StringTable.h"
#include "events/ToolRunner.h"

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
