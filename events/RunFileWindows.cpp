#include "events/RunFile.h"

#include "platform/WideText.h"

#include <windows.h>

#include <algorithm>

RunFile::RunFile(const std::string& path, Options options, std::string& error) {
    // Shared for reading, writing and deleting: a viewer of the file never blocks us.
    NativeHandle file(::CreateFileW(WideText(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    options.Truncate ? CREATE_ALWAYS : OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.IsValid()) {
        error = LastErrorReason();
        return;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file.Get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        error = "it is not a regular file";
        return;
    }
    m_File = std::move(file);
}

bool RunFile::StillNamed() const {
    FILE_STANDARD_INFO info{};
    return ::GetFileInformationByHandleEx(m_File.Get(), FileStandardInfo, &info, sizeof info) &&
           !info.DeletePending && info.NumberOfLinks != 0;
}

bool RunFile::Size(std::uint64_t& size, std::string& error) const {
    LARGE_INTEGER value{};
    if (!::GetFileSizeEx(m_File.Get(), &value)) {
        error = LastErrorReason();
        return false;
    }
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

bool RunFile::Append(const char* data, std::size_t length, std::size_t& written, std::string& error) {
    written = 0;
    while (written < length) {
        // Both offsets all ones: at the end of the file, whoever else appends.
        OVERLAPPED at{};
        at.Offset = 0xFFFFFFFF;
        at.OffsetHigh = 0xFFFFFFFF;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(length - written, 1u << 30));
        DWORD done = 0;
        if (!::WriteFile(m_File.Get(), data + written, part, &done, &at)) {
            error = ::GetLastError() == ERROR_DISK_FULL ? "the disk is full" : LastErrorReason();
            return false;
        }
        if (done == 0) {
            error = "the disk is full";
            return false;
        }
        written += done;
    }
    return true;
}

bool RunFile::Truncate(std::uint64_t size, std::string& error) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (::SetFileInformationByHandle(m_File.Get(), FileEndOfFileInfo, &end, sizeof end))
        return true;
    error = LastErrorReason();
    return false;
}

bool RunFile::ReadAt(std::uint64_t offset, char* data, std::size_t length) {
    std::size_t got = 0;
    while (got < length) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>((offset + got) & 0xFFFFFFFF);
        at.OffsetHigh = static_cast<DWORD>((offset + got) >> 32);
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(length - got, 1u << 30));
        DWORD done = 0;
        if (!::ReadFile(m_File.Get(), data + got, part, &done, &at) || done == 0)
            return false;
        got += done;
    }
    return true;
}

bool ReplaceRunFile(const std::string& from, const std::string& to, std::string& error) {
    if (::MoveFileExW(WideText(from).c_str(), WideText(to).c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    error = LastErrorReason();
    return false;
}

bool RemoveRunFile(const std::string& path, std::string& error) {
    if (::DeleteFileW(WideText(path).c_str()))
        return true;
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
        return true;
    error = ErrorReason(static_cast<int>(code));
    return false;
}

void NativeHandle::Close(void* handle) {
    ::CloseHandle(handle);
}
