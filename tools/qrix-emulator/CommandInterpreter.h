#pragma once

#include <string>

class Emulator;

// The command channel's commands, one per line (docs/emulator.md). Gives the
// answer line: a value, "ok", or "error: " with the reason; empty for an empty line.
std::string ExecuteCommand(Emulator& emulator, const std::string& line);

// The one-line summary of the commands that "help" prints.
std::string CommandSummary();
