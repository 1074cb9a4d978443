#pragma once

#include <cstddef>
#include <string>

// Reads a whole regular file into `content`. False for a missing file, a folder,
// a device or pipe (never waited for), a read error, or a file larger than
// `sizeLimit` bytes; nothing beyond the limit is ever allocated.
bool ReadFileContent(const std::string& path, std::size_t sizeLimit, std::string& content);
