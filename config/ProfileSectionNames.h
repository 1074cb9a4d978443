#pragma once

#include <string>
#include <vector>

// The names of the sections of an INI file, in file order, as the private-profile
// reader sees them: the trimmed text between "[" and the first "]" of a line.
// Empty for a file that cannot be read or is larger than the reader accepts.
std::vector<std::string> ReadProfileSectionNames(const std::string& path);
