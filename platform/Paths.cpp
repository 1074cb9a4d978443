#include "platform/Paths.h"

std::string DirectoryPart(const std::string& path) {
    const auto pos = path.find_last_of(PathSeparators);
    return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

std::string FileNamePart(const std::string& path) {
    const auto pos = path.find_last_of(PathSeparators);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
    const auto slash = path.find_last_of(PathSeparators);
    const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return path + extension;
    return path.substr(0, dot) + extension;
}
