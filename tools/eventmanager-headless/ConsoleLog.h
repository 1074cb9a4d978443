#pragma once

#include "tools/eventmanager-headless/LineWriter.h"

#include <string>

// Lines for standard output, each after a local time stamp with milliseconds.
// A text that repeats at once (a failure of every poll cycle) is written once
// and then counted, so that a log on disk cannot grow by hundreds of lines a
// second; any other text ends the count. With `journalPriorities` each line
// starts with the journal's priority prefix, "<3>" for errors, "<6>" otherwise.
// For one thread.
class ConsoleLog {
public:
    explicit ConsoleLog(LineWriter& writer, bool journalPriorities = false)
        : m_Writer(writer), m_JournalPriorities(journalPriorities) {}

    // Trailing line breaks are dropped; each inner line gets its own stamp.
    void WriteLine(std::string text);
    // Writes how often the last text repeated since it was written, if it did.
    void FinishRepeats();

private:
    void Write(const std::string& text);

    LineWriter& m_Writer;
    const bool m_JournalPriorities;
    bool m_HasLast = false;
    std::string m_Last;
    long long m_Repeats = 0;
    long long m_RepeatsWritten = 0;
};

// "2024-05-17 14:03:07.123"
std::string LocalTimeStamp();
// The stamp, two blanks, the text and a line break.
std::string StampedLine(const std::string& text);
// True when standard output is the journal's stream, as JOURNAL_STREAM ("device:inode") says.
bool StandardOutputIsJournal();
// Lines with "Error", lines starting "****", tools that could not be started and failed runs.
bool IsErrorLine(const std::string& text);
