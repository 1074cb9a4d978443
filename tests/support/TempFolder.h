#pragma once

#include <string>
#include <string_view>

// A fresh folder below the system's temporary folder, removed with its contents.
class TempFolder {
public:
    // Throws when no folder can be made: no test should run on a missing one.
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_Path; }
    std::string File(const std::string& name) const { return m_Path + "/" + name; }
    // Writes the bytes unchanged and returns the file's path; throws when it cannot.
    std::string Write(const std::string& name, std::string_view content) const;
    // A whole file's bytes (empty when it cannot be read).
    static std::string Read(const std::string& path);

private:
    std::string m_Path;
};

// A name for shared memory or files that no other test (or run) uses.
std::string UniqueName(const std::string& stem);
