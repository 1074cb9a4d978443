#pragma once

#include <string>

constexpr char PathSeparator = '/';

// Full path of the running executable as it was started, taken at the first call;
// empty when the system does not tell.
std::string ProgramPath();

// The part of a path before its last separator (empty when there is none).
std::string DirectoryPart(const std::string& path);
// The part after the last separator (the whole text when there is none).
std::string FileNamePart(const std::string& path);

// Replaces the extension of the file name part by `extension` (which starts with
// "."); a file name without "." gets it appended. Dots in folder names never count.
std::string ReplaceExtension(const std::string& path, const std::string& extension);

// True when `path` names a regular file that can be opened for reading.
bool FileExists(const std::string& path);
