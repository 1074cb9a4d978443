#pragma once

#include <string>
#include <vector>

// Splits a tool's parameter text into its arguments, without any shell: blanks
// (spaces and tabs) separate, double quotes group and are removed ("" gives an
// empty argument), and an unmatched quote groups up to the end of the text.
std::vector<std::string> SplitArguments(const std::string& text);
