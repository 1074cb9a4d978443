#include "tools/eventmanager-headless/ConsoleLog.h"

#include "events/RunRecord.h"

#include <chrono>

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
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return LocalTimeText(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
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
