#include "controller/access/LocalFileStore.h"

#include "platform/FileReplacementWindows.h"

#include <string_view>

bool StoreFileWhole(const std::string& localPath, const std::vector<unsigned char>& content,
                    std::string& error) {
    std::string reason;
    const std::string_view bytes(reinterpret_cast<const char*>(content.data()), content.size());
    if (ReplaceFileWhole(localPath, ".part", bytes, reason))
        return true;
    error = "cannot store " + localPath + ": " + reason;
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r' || error.back() == ' '))
        error.pop_back();
    return false;
}
