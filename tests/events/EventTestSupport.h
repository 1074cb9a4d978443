#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WaitUntil.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// Makes the one event configuration `uniqueId`, watching "EventVar" and
// acknowledging in "AckVar".
void UseOnlyConfiguration(std::uint32_t uniqueId, std::uint32_t pollCycle = 5,
                          const std::string& description = "");

// Path of the test tool, given by the build.
std::string TestToolPath();

// One line of the test tool's log.
struct ToolLogEntry {
    pid_t ProcessId = 0;
    pid_t ChildId = 0;
    std::vector<std::string> Arguments; // argv[0] first
};

// The lines of a log file; a line that does not parse fails the test that reads it.
std::vector<ToolLogEntry> ReadToolLog(const std::string& path);

// A summary file with the 32-bit words EventVar (input at `eventInputOffset`,
// output at 0) and AckVar (at 4 in both images).
std::string ControllerSummary(unsigned eventInputOffset = 0);

// Runs a program with these arguments (argv[0] is the program) and returns its
// exit code; -1 when it could not start, was killed, or ran past `timeout`.
int RunProgram(const std::vector<std::string>& argv,
               std::chrono::milliseconds timeout = std::chrono::seconds(10), pid_t* processId = nullptr);
