#pragma once

#include <string>
#include <vector>

// The program's arguments as UTF-8, argv[0] first. On Windows they come from
// the wide command line, as the C runtime's argv is in the ANSI code page.
std::vector<std::string> Utf8ProgramArguments(int argc, char** argv);
