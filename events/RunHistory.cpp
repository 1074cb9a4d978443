#include "events/RunHistory.h"

#include "app/core/SystemMessage.h"
#include "events/RunFile.h"
#include "platform/ErrorText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
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
        AddMessage("**** The run history " + m_Path +
                   " is not written: " + ErrorReason(error.code().value()));
    }
}

RunHistory::~RunHistory() {
    {
        std::lock_guard lock(m_Guard);
        m_Stop = true;
    }
    m_Changed.notify_all();
    if (m_Writer.joinable())
        m_Writer.join();
}

void RunHistory::Append(const RunRecord& record) {
    std::string line = RunRecordJson(record);
    line += '\n';
    {
        std::lock_guard lock(m_Guard);
        if (!m_Writer.joinable() || m_Stop)
            return;
        if (m_Queue.size() >= m_Limits.QueuedRecords) {
            ++m_Dropped;
            return;
        }
        m_Queue.push_back(std::move(line));
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
        std::deque<std::string> lines;
        lines.swap(m_Queue);
        m_Lost += std::exchange(m_Dropped, 0);
        m_Writing = true;
        lock.unlock();
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
        m_Changed.wait_for(lock, BatchInterval, [this] { return m_Stop; });
    }
}

std::size_t RunHistory::WriteLines(const std::deque<std::string>& lines, std::string& error) {
    struct stat info {};
    // A file removed or replaced under us is written afresh under its name.
    if (m_File.IsValid() && (::fstat(m_File.Get(), &info) != 0 || info.st_nlink == 0))
        m_File.Reset();
    if (!m_File.IsValid()) {
        m_File = OpenRegularFile(m_Path, O_WRONLY | O_APPEND, error);
        if (m_File.IsValid() && ::fstat(m_File.Get(), &info) != 0) {
            error = LastErrorReason();
            m_File.Reset();
        }
        if (!m_File.IsValid())
            return lines.size();
    }
    auto size = static_cast<std::uintmax_t>(info.st_size);
    // Whole lines in one write each block: other writers of the file (a second
    // observer) never split a line.
    std::string block;
    const auto flush = [&] {
        if (block.empty())
            return true;
        const ssize_t written = ::write(m_File.Get(), block.data(), block.size());
        if (written == static_cast<ssize_t>(block.size())) {
            size += block.size();
            block.clear();
            return true;
        }
        error = written < 0 ? LastErrorReason() : "the disk is full";
        // A partial line would spoil the next: cut it off again.
        if (written > 0)
            (void)!::ftruncate(m_File.Get(), static_cast<off_t>(size));
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
    m_File.Reset();
    const auto numbered = [this](int number) { return m_Path + "." + std::to_string(number); };
    const int last = m_Limits.KeptFiles - 1;
    if (last < 1) {
        if (::unlink(m_Path.c_str()) != 0 && errno != ENOENT) {
            error = LastErrorReason();
            return false;
        }
    } else {
        ::unlink(numbered(last).c_str());
        for (int number = last - 1; number >= 1; --number)
            ::rename(numbered(number).c_str(), numbered(number + 1).c_str());
        if (::rename(m_Path.c_str(), numbered(1).c_str()) != 0) {
            error = LastErrorReason();
            return false;
        }
    }
    m_File = OpenRegularFile(m_Path, O_WRONLY | O_APPEND, error);
    return m_File.IsValid();
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
