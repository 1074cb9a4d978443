#pragma once

#include <string>
#include <string_view>

// Writes `content` into a new file beside `path`, named path + `marker` + six
// letters or digits, makes it durable and renames it over `path`: a reader finds
// the old file or the new one, never a mixture. False with the system's text in
// `error`; the new file is then gone.
bool ReplaceFileWhole(const std::string& path, const std::string& marker, std::string_view content,
                      std::string& error);
