#pragma once

#include "events/NativeHandle.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A run file (run history, tool output) opened for appending. Only regular files
// are opened: a link is not followed and a fifo, device or folder under the name
// is refused without waiting for it. Other programs may read, rename or remove
// the file while it is open.
class RunFile {
public:
    RunFile() = default;
    struct Options {
        bool Truncate = false; // empties the file
        bool ReadBack = false; // ReadAt is used
    };
    // Opens or creates the file. On failure IsOpen() is false and `error` says why.
    RunFile(const std::string& path, Options options, std::string& error);

    bool IsOpen() const { return m_File.IsValid(); }
    void Close() { m_File.Reset(); }
    // False when the file no longer has its name (removed or replaced under us).
    bool StillNamed() const;
    // The size, or false with the reason.
    bool Size(std::uint64_t& size, std::string& error) const;
    // One write at the end of the file: `written` bytes went in; false with the
    // reason when fewer than all did.
    bool Append(const char* data, std::size_t length, std::size_t& written, std::string& error);
    bool Truncate(std::uint64_t size, std::string& error);
    bool ReadAt(std::uint64_t offset, char* data, std::size_t length);

private:
    NativeHandle m_File;
};

// Renames `from` over `to` at once, so that a reader sees the old or the new file.
bool ReplaceRunFile(const std::string& from, const std::string& to, std::string& error);
// Removes the file; one that is not there is no error.
bool RemoveRunFile(const std::string& path, std::string& error);

// The system's description of an error number of the system's own kind as part of
// a line (no line break).
std::string ErrorReason(int errorNumber);
// The same for the system's last error of this thread, taken at once.
std::string LastErrorReason();
