#pragma once

#include <string>

#ifdef _WIN32
constexpr char PathSeparator = '\\';
// Windows takes either separator in a path.
constexpr const char* PathSeparators = "\\/";
// Where to look when the program's own folder is not known.
constexpr const char* FallbackFolder = "C:\\";
constexpr const char* ExecutableSuffix = ".exe";
#else
constexpr char PathSeparator = '/';
constexpr const char* PathSeparators = "/";
constexpr const char* FallbackFolder = "/";
constexpr const char* ExecutableSuffix = "";
#endif

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
