#include "events/RunRecord.h"

#include "app/core/SystemMessage.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

bool RunFailed(const RunRecord& record) {
    switch (record.Outcome) {
    case RunOutcome::Exited:
        return record.ExitCode != 0;
    case RunOutcome::Signalled:
    case RunOutcome::NotStarted:
        return true;
    case RunOutcome::TerminatedAtDeactivation:
        return false;
    }
    return true;
}

namespace {

std::string ToolName(const RunRecord& record) {
    return "Tool " + std::to_string(record.Bit + 1) + " (bit " + std::to_string(record.Bit) + ")";
}

std::string Seconds(std::int64_t microseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(microseconds) / 1e6);
    return text;
}

bool LocalTime(std::int64_t milliseconds, std::tm& parts, bool utc = false) {
    const std::time_t seconds = static_cast<std::time_t>(milliseconds / 1000);
#ifdef _WIN32
    return (utc ? ::gmtime_s(&parts, &seconds) : ::localtime_s(&parts, &seconds)) == 0;
#else
    return (utc ? ::gmtime_r(&seconds, &parts) : ::localtime_r(&seconds, &parts)) != nullptr;
#endif
}

// Local time's offset from UTC in minutes; the same on every system (strftime's
// %z gives a zone's name on some).
int UtcOffsetMinutes(std::int64_t milliseconds, const std::tm& local) {
    std::tm utc{};
    if (!LocalTime(milliseconds, utc, true))
        return 0;
    int days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year)
        days = local.tm_year > utc.tm_year ? 1 : -1;
    return days * 24 * 60 + (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
}

} // namespace

std::string RunLine(const RunRecord& record) {
    const std::string after = " after " + Seconds(record.DurationMicroseconds);
    switch (record.Outcome) {
    case RunOutcome::Exited:
        return ToolName(record) + " ended with exit code " + std::to_string(record.ExitCode) + after;
    case RunOutcome::Signalled:
        return ToolName(record) + " ended by signal " + std::to_string(record.Signal) + " (" +
               SignalName(record.Signal) + ")" + after;
    case RunOutcome::TerminatedAtDeactivation:
        return ToolName(record) + " was terminated at deactivation" + after;
    case RunOutcome::NotStarted:
        return ToolName(record) + " could not be started: " + record.Reason;
    }
    return ToolName(record);
}

std::string RunStartLine(const RunRecord& record) {
    return "==== " + ToolName(record) + " started at " + LocalTimeText(record.StartMilliseconds) +
           " (process " + std::to_string(record.ProcessId) + "): " + ShownCommandLine(record.Arguments);
}

std::string ShownCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty())
            line += ' ';
        if (!argument.empty() && argument.find_first_of(" \t\"'\\") == std::string::npos) {
            line += argument;
            continue;
        }
        line += '"';
        for (const char c : argument) {
            if (c == '"' || c == '\\')
                line += '\\';
            line += c;
        }
        line += '"';
    }
    return line;
}

std::string LocalTimeText(std::int64_t milliseconds) {
    std::tm parts{};
    if (!LocalTime(milliseconds, parts))
        return std::to_string(milliseconds) + " ms";
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(milliseconds % 1000));
    return text;
}

std::string IsoLocalTimeText(std::int64_t milliseconds) {
    std::tm parts{};
    if (!LocalTime(milliseconds, parts))
        return std::to_string(milliseconds);
    char text[64];
    std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    length +=
        std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(milliseconds % 1000));
    // "+01:00": ISO 8601 readers (jq's included) like it best.
    const int offset = UtcOffsetMinutes(milliseconds, parts);
    const int magnitude = offset < 0 ? -offset : offset;
    std::snprintf(text + length, sizeof text - length, "%c%02d:%02d", offset < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

std::string SignalName(int signal) {
#ifndef _WIN32
    // Windows ends no process by a signal: its runs never ask.
    if (const char* abbreviation = ::sigabbrev_np(signal))
        return std::string("SIG") + abbreviation;
#endif
    return "signal " + std::to_string(signal);
}

void RecordRun(const RunRecord& record) {
    if (MessageSink* window = MainWindow())
        window->RecordRun(record);
}
