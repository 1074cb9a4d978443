#include "events/RunHistory.h"

#include "app/core/SystemMessage.h"
#include "events/RunFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <system_error>

namespace {

constexpr auto BatchInterval = std::chrono::milliseconds(20);

const char* OutcomeName(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Exited:
        return "exited";
    case RunOutcome::Signalled:
        return "signalled";
    case RunOutcome::TerminatedAtDeactivation:
        return "terminated at deactivation";
    case RunOutcome::NotStarted:
        return "could not be started";
    }
    return "unknown";
}

} // namespace

std::string RunRecordJson(const RunRecord& record) {
    nlohmann::ordered_json line;
    line["tool"] = record.Bit + 1;
    line["bit"] = record.Bit;
    line["unique_id"] = record.UniqueID;
    line["command"] = ShownCommandLine(record.Arguments);
    line["argv"] = record.Arguments;
    line["pid"] = record.ProcessId;
    line["start"] = IsoLocalTimeText(record.StartMilliseconds);
    line["end"] = IsoLocalTimeText(record.EndMilliseconds);
    line["start_ms"] = record.StartMilliseconds;
    line["end_ms"] = record.EndMilliseconds;
    line["duration_s"] = static_cast<double>(record.DurationMicroseconds) / 1e6;
    line["outcome"] = OutcomeName(record.Outcome);
    if (record.Outcome == RunOutcome::Exited)
        line["exit_code"] = record.ExitCode;
    if (record.Outcome == RunOutcome::Signalled) {
        line["signal"] = record.Signal;
        line["signal_name"] = SignalName(record.Signal);
    }
    if (record.Outcome == RunOutcome::NotStarted)
        line["reason"] = record.Reason;
    line["failed"] = RunFailed(record);
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

RunHistory::RunHistory(std::string path, Limits limits) : m_Path(std::move(path)), m_Limits(limits) {
    try {
        m_Writer = std::thread(&RunHistory::WriteRecords, this);
    } catch (const std::system_error& error) {
        AddMessage("**** The run history " + m_Path + " is not written: " + error.code().message());
    }
}

RunHistory::~RunHistory() {
    {
        std::lock_guard lock(m_Guard);
        m_Stop = true;
    }
    m_Changed.notify_all();
    m_StopRequested.notify_all();
    if (m_Writer.joinable())
        m_Writer.join();
}

// The line is made by the writer: the tool's worker hands the record on before
// its run is acknowledged and must not spend that time on JSON.
void RunHistory::Append(const RunRecord& record) {
    {
        std::lock_guard lock(m_Guard);
        if (!m_Writer.joinable() || m_Stop)
            return;
        if (m_Queue.size() >= m_Limits.QueuedRecords) {
            ++m_Dropped;
            return;
        }
        m_Queue.push_back(record);
    }
    m_Changed.notify_all();
}

bool RunHistory::WaitUntilWritten(int milliseconds) {
    std::unique_lock lock(m_Guard);
    return m_Changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                              [this] { return m_Queue.empty() && !m_Writing; });
}

void RunHistory::WriteRecords() {
    std::unique_lock lock(m_Guard);
    for (;;) {
        m_Changed.wait(lock, [this] { return !m_Queue.empty() || m_Stop; });
        if (m_Queue.empty())
            return;
        std::deque<RunRecord> records;
        records.swap(m_Queue);
        m_Lost += std::exchange(m_Dropped, 0);
        m_Writing = true;
        lock.unlock();
        std::deque<std::string> lines;
        for (const RunRecord& record : records)
            lines.push_back(RunRecordJson(record) + '\n');
        std::string error;
        const std::size_t lost = WriteLines(lines, error);
        if (lost == 0) {
            Report(false, {}, m_Lost);
            m_Lost = 0;
        } else {
            Report(true, error, 0);
            m_Lost += lost;
        }
        lock.lock();
        m_Writing = false;
        m_Changed.notify_all();
        // Runs of the next moments are written in one go.
        m_StopRequested.wait_for(lock, BatchInterval, [this] { return m_Stop; });
    }
}

std::size_t RunHistory::WriteLines(const std::deque<std::string>& lines, std::string& error) {
    // A file removed or replaced under us is written afresh under its name.
    if (m_File.IsOpen() && !m_File.StillNamed())
        m_File.Close();
    std::uint64_t size = 0;
    if (!m_File.IsOpen()) {
        m_File = RunFile(m_Path, {}, error);
        if (!m_File.IsOpen())
            return lines.size();
    }
    if (!m_File.Size(size, error)) {
        m_File.Close();
        return lines.size();
    }
    // Whole lines in one write each block: other writers of the file (a second
    // observer) never split a line.
    std::string block;
    const auto flush = [&] {
        if (block.empty())
            return true;
        std::size_t written = 0;
        if (m_File.Append(block.data(), block.size(), written, error)) {
            size += block.size();
            block.clear();
            return true;
        }
        // A partial line would spoil the next: cut it off again.
        if (written > 0) {
            std::string ignored;
            m_File.Truncate(size, ignored);
        }
        return false;
    };
    std::size_t done = 0; // lines written, or in the block
    for (const std::string& line : lines) {
        const std::uintmax_t after = size + block.size() + line.size();
        if (size + block.size() > 0 && after > m_Limits.FileBytes) {
            const std::size_t pending = std::count(block.begin(), block.end(), '\n');
            if (!flush())
                return lines.size() - (done - pending);
            if (!Rotate(error))
                return lines.size() - done;
            size = 0;
        }
        block += line;
        ++done;
    }
    if (!flush())
        return static_cast<std::size_t>(std::count(block.begin(), block.end(), '\n'));
    return 0;
}

// runs.jsonl.(n-1) becomes runs.jsonl.n, the oldest goes, runs.jsonl starts empty.
bool RunHistory::Rotate(std::string& error) {
    m_File.Close();
    const auto numbered = [this](int number) { return m_Path + "." + std::to_string(number); };
    const int last = m_Limits.KeptFiles - 1;
    std::string ignored;
    if (last < 1) {
        if (!RemoveRunFile(m_Path, error))
            return false;
    } else {
        RemoveRunFile(numbered(last), ignored);
        for (int number = last - 1; number >= 1; --number)
            ReplaceRunFile(numbered(number), numbered(number + 1), ignored);
        if (!ReplaceRunFile(m_Path, numbered(1), error))
            return false;
    }
    m_File = RunFile(m_Path, {}, error);
    return m_File.IsOpen();
}

void RunHistory::Report(bool failed, const std::string& reason, std::uint64_t lost) {
    if (failed && !m_Failed) {
        AddMessage("**** The run history " + m_Path + " cannot be written: " + reason +
                   "; runs are not recorded in it until it can");
    } else if (!failed && m_Failed) {
        std::string line = "---- The run history " + m_Path + " is written again";
        if (lost > 0)
            line += " (" + std::to_string(lost) + " runs not recorded)";
        AddMessage(line);
    } else if (!failed && lost > 0) {
        AddMessage("**** " + std::to_string(lost) + " runs were not recorded in the run history " + m_Path +
                   ": they ended faster than it was written");
    }
    m_Failed = failed;
}
