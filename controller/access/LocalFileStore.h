#pragma once

#include <string>
#include <vector>

// Stores `content` at localPath through a temporary file beside it and a rename,
// so that the local file is replaced whole or not at all. False with a text in `error`.
bool StoreFileWhole(const std::string& localPath, const std::vector<unsigned char>& content,
                    std::string& error);
