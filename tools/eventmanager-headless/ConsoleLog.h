#pragma once

#include <cstdio>
#include <string>

// Writes lines to a stream, each after a local time stamp with milliseconds.
class ConsoleLog {
public:
    explicit ConsoleLog(std::FILE* stream) : m_Stream(stream) {}

    void WriteLine(const std::string& text);

private:
    std::FILE* m_Stream;
};

// "2024-05-17 14:03:07.123"
std::string LocalTimeStamp();
