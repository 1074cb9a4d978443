#pragma once

#include "controller/access/ControllerAccessLibrary.h"
#include "controller/access/ControllerLink.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// The file transfer connection: log in, then read files by name. Operations
// return CDDLG_OK or a CDDLG_ERROR_ code with a text in `error`.
class FileTransferClient {
public:
    std::int32_t Open(const std::string& host, const std::string& userName, const std::string& password,
                      std::chrono::milliseconds connectTimeout, std::string& error);
    // Stores the remote file at localPath through a temporary file beside it,
    // so that the local file is replaced whole or not at all.
    std::int32_t ReadFile(const std::string& remoteName, const std::string& localPath, std::string& error);
    void Close() { m_Link.Close(); }
    bool IsOpen() const { return m_Link.IsOpen(); }

    static constexpr std::chrono::milliseconds RequestTimeout{1000};

private:
    std::int32_t Download(const std::string& remoteName, std::vector<unsigned char>& content,
                          std::string& error);

    ControllerLink m_Link;
};
