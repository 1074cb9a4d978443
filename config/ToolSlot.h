#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

constexpr int ToolSlotCount = 16;

// The process of one run, shared by its worker thread and by deactivation. The
// mutex makes "signal the tool and its group" and "reap the process" exclusive,
// so a process id is never signalled after it may have been reused.
struct ToolProcess {
    std::mutex Guard;
    pid_t ProcessId = 0;      // 0: no process
    bool Reaped = true;       // the process was reaped (or never existed)
    bool Cancelled = false;   // deactivation came before the start: the worker starts nothing
    bool StartFailed = false; // this run has no process and never will (thread or start failed)
    bool Terminated = false;  // deactivation killed it
};

// One slot per bit of the event variable.
struct ToolSlot {
    ToolSlot() = default;
    ToolSlot(const ToolSlot&) = delete;
    ToolSlot& operator=(const ToolSlot&) = delete;
    // A worker is still joinable only when its tool could not be stopped; it must
    // not take the program down with it when the window goes.
    ~ToolSlot() {
        if (WorkerThread.joinable())
            WorkerThread.detach();
    }

    // Configured when the configuration is loaded.
    int Defined = 0;
    int Runnable = 0;
    std::string CommandLine;            // shown in the tool table
    std::string Program;                // started as it is, never through a shell
    std::vector<std::string> Arguments; // argv[1..], split from the parameters

    // Run time. Running and Finished have one writer at each step of a run;
    // Finished is released by the worker after its last write. A reload while
    // observation is off starts every slot afresh (ResetToolRuns).
    std::atomic<std::uint32_t> CallCount{0};
    std::atomic<int> Running{0};
    std::atomic<int> Finished{1};
    std::thread WorkerThread; // joined when the run is acknowledged
    ToolProcess Process;
};
