#pragma once

#include "controller/access/ControllerProtocol.h"

#include <cstdint>
#include <string>
#include <vector>

// The files the emulator serves: the summary file under the name
// "#summary.sta" and the regular files directly inside one folder.
class FileCatalogue {
public:
    static constexpr const char* SummaryName = "#summary.sta";

    FileCatalogue(std::string summaryPath, std::string folder)
        : m_SummaryPath(std::move(summaryPath)), m_Folder(std::move(folder)) {}

    // The whole content of the named file (at most MaxFileSize bytes).
    // Names with a path separator, "." and ".." are never served.
    ProtocolStatus Load(const std::string& name, std::vector<unsigned char>& content,
                        std::string& error) const;

private:
    std::string m_SummaryPath;
    std::string m_Folder;
};
