#pragma once

#include "tools/eventmanager-headless/LineWriter.h"

#include <string>

// Lines for standard output, each after a local time stamp with milliseconds.
// A text that repeats at once (a failure of every poll cycle) is written once
// and then counted, so that a log on disk cannot grow by hundreds of lines a
// second; any other text ends the count. For one thread.
class ConsoleLog {
public:
    explicit ConsoleLog(LineWriter& writer) : m_Writer(writer) {}

    // Trailing line breaks are dropped; each inner line gets its own stamp.
    void WriteLine(std::string text);
    // Writes how often the last text repeated since it was written, if it did.
    void FinishRepeats();

private:
    void Write(const std::string& text);

    LineWriter& m_Writer;
    bool m_HasLast = false;
    std::string m_Last;
    long long m_Repeats = 0;
    long long m_RepeatsWritten = 0;
};

// "2024-05-17 14:03:07.123"
std::string LocalTimeStamp();
// The stamp, two blanks, the text and a line break.
std::string StampedLine(const std::string& text);
