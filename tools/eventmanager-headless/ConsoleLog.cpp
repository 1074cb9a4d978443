#include "tools/eventmanager-headless/ConsoleLog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

bool IsPowerOfTen(long long value) {
    while (value >= 10 && value % 10 == 0)
        value /= 10;
    return value == 1;
}

std::string RepeatLine(long long repeats, bool goingOn) {
    return "(last message repeated " + std::to_string(repeats) + (repeats == 1 ? " time" : " times") +
           (goingOn ? " so far)" : ")");
}

} // namespace

std::string LocalTimeStamp() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    std::array<char, 32> date{};
    std::strftime(date.data(), date.size(), "%Y-%m-%d %H:%M:%S", &local);
    std::array<char, 48> stamp{};
    std::snprintf(stamp.data(), stamp.size(), "%s.%03ld", date.data(), now.tv_nsec / 1000000);
    return stamp.data();
}

std::string StampedLine(const std::string& text) {
    return LocalTimeStamp() + "  " + text + "\n";
}

void ConsoleLog::WriteLine(std::string text) {
    // System error texts end with a line break.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (m_HasLast && text == m_Last) {
        // Still visible now and then: at 10, 100, 1000, ... repeats.
        if (IsPowerOfTen(++m_Repeats) && m_Repeats >= 10) {
            Write(RepeatLine(m_Repeats, true));
            m_RepeatsWritten = m_Repeats;
        }
        return;
    }
    FinishRepeats();
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        Write(text.substr(start, end > start && text[end - 1] == '\r' ? end - start - 1 : end - start));
    Write(text.substr(start));
    m_HasLast = true;
    m_Last = std::move(text);
}

void ConsoleLog::FinishRepeats() {
    if (m_Repeats > m_RepeatsWritten)
        Write(RepeatLine(m_Repeats, false));
    m_Repeats = 0;
    m_RepeatsWritten = 0;
}

void ConsoleLog::Write(const std::string& text) {
    if (m_JournalPriorities)
        m_Writer.Write((IsErrorLine(text) ? "<3>" : "<6>") + StampedLine(text));
    else
        m_Writer.Write(StampedLine(text));
}

bool StandardOutputIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    std::uintmax_t device = 0, inode = 0;
    if (stream == nullptr || std::sscanf(stream, "%" SCNuMAX ":%" SCNuMAX, &device, &inode) != 2)
        return false;
    struct stat output {};
    // Output redirected by the unit's own command goes to a file, not the journal.
    return ::fstat(STDOUT_FILENO, &output) == 0 && output.st_dev == device && output.st_ino == inode;
}

bool IsErrorLine(const std::string& text) {
    if (text.find("Error") != std::string::npos || text.starts_with("****") ||
        text.find("could not be started") != std::string::npos)
        return true;
    // The line of a failed run; a clean exit (with --log-runs) is news, not an error.
    if (!text.starts_with("Tool "))
        return false;
    return text.find(") ended by signal ") != std::string::npos ||
           (text.find(") ended with exit code ") != std::string::npos &&
            text.find(") ended with exit code 0 ") == std::string::npos);
}
