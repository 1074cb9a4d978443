#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A fresh directory under the system's temporary directory, removed with its content.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    ~TemporaryDirectory();

    // Writes the bytes unchanged (binary) and returns the file's path.
    std::string Write(const std::string& fileName, std::string_view content) const;
    const std::filesystem::path& Path() const { return m_Path; }

private:
    std::filesystem::path m_Path;
};
