#include "platform/ProgramTemp.h"

#include "platform/Paths.h"

#include <filesystem>
#include <system_error>

std::string ProgramTempDirectory(std::string& error) {
    const std::string programDirectory = DirectoryPart(ProgramPath());
    if (programDirectory.empty()) {
        error = "the program's folder is not known";
        return {};
    }
    const std::string directory = programDirectory + PathSeparator + "Temp";
    std::error_code code;
    std::filesystem::create_directory(directory, code);
    if (code || !std::filesystem::is_directory(directory, code)) {
        error = code ? code.message() : "it is not a folder";
        return {};
    }
    return directory;
}
