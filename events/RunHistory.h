#pragma once

#include "events/RunFile.h"
#include "events/RunRecord.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

// One JSON object per line for every run, appended to a file by a thread of its
// own and rotated at a size limit ("runs.jsonl", then "runs.jsonl.1" and so on,
// the highest number the oldest). A file that cannot be written costs records,
// said once, never the observation.
class RunHistory {
public:
    struct Limits {
        std::uintmax_t FileBytes = 10 * 1024 * 1024;
        int KeptFiles = 5; // the current file included
        std::size_t QueuedRecords = 10000;
    };

    RunHistory(std::string path, Limits limits);
    explicit RunHistory(std::string path) : RunHistory(std::move(path), Limits{}) {}
    // Writes what is queued first.
    ~RunHistory();
    RunHistory(const RunHistory&) = delete;
    RunHistory& operator=(const RunHistory&) = delete;

    const std::string& Path() const { return m_Path; }
    // Any thread; never waits for the disk.
    void Append(const RunRecord& record);
    // Until every record handed in so far has been dealt with, or the time is up.
    bool WaitUntilWritten(int milliseconds);

private:
    void WriteRecords();
    // The number of lines that could not be written.
    std::size_t WriteLines(const std::deque<std::string>& lines, std::string& error);
    bool Rotate(std::string& error);
    void Report(bool failed, const std::string& reason, std::uint64_t lost);

    const std::string m_Path;
    const Limits m_Limits;
    std::mutex m_Guard;
    std::condition_variable m_Changed;
    // Only the stop ends the writer's pause between batches, not each new piece of work.
    std::condition_variable m_StopRequested;
    std::deque<RunRecord> m_Queue;
    std::uint64_t m_Dropped = 0; // did not fit into the queue
    bool m_Writing = false;
    bool m_Stop = false;
    // Writer thread only.
    RunFile m_File;
    bool m_Failed = false;
    std::uint64_t m_Lost = 0;
    std::thread m_Writer;
};

// The record as one line of JSON (no line break). Bytes that are no UTF-8 become U+FFFD.
std::string RunRecordJson(const RunRecord& record);
