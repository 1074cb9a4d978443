#pragma once

#include <string>

// "<program folder>/Temp", created when missing. Empty when it cannot be had;
// `error` then says why.
std::string ProgramTempDirectory(std::string& error);
