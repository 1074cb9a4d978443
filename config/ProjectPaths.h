#pragma once

#include <string>

// The project's folders as its project file names them, and the controller's address.
struct ProjectPaths {
    std::string BinPath;
    std::string BinDirectory;
    std::string ProjectDirectory;
    std::string ProjectFileName;
    std::string ControllerAddress;
    std::string TempPath;
    std::string SummaryDirectory;
    std::string SummaryFileName;
};
