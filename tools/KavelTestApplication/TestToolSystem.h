#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the test tool needs of the system, one source file per system.

// The arguments as the program received them, in UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv);
// Empty when the option works here; else why it is refused.
std::string UnavailableOption(const std::string& option);
// A hidden first argument: the process is the --spawn-child child and only sleeps.
constexpr const char* SleepingChildOption = "--sleeping-child";

std::uint64_t CurrentProcessId();
// Appends one line with a single write, so lines of concurrent calls never mix.
// On failure the system's reason is in `error`.
bool AppendLine(const std::string& path, const std::string& line, std::string& error);
// Starts a child that sleeps `milliseconds` and is not waited for; its id, 0 when it failed.
std::uint64_t SpawnSleepingChild(unsigned long milliseconds);
void LeaveProcessGroup(unsigned long milliseconds);
void Daemonise(unsigned long milliseconds);
void IgnoreStopSignals();
// Writes `count` bytes to standard output (`error` false) or standard error.
void WriteBytes(bool error, unsigned long count);
