#pragma once

#include <chrono>
#include <string>
#include <vector>

// One run of a program to its end, standard output and error together.
struct ProgramRun {
    int ExitCode = -1; // -1: it did not end within the timeout and was killed
    std::string Output;
    unsigned long ProcessId = 0;
};

// argv[0] is the program's path; every argument arrives as it is given.
ProgramRun RunToEnd(const std::vector<std::string>& argv, std::chrono::milliseconds timeout);
