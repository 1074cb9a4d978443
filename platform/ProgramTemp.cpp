#include "platform/ProgramTemp.h"

#include "platform/Paths.h"

#include <filesystem>
#include <system_error>

namespace {

// Our paths are UTF-8 on every system; a plain string would be read in the
// system's narrow code page on Windows.
std::filesystem::path Utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

} // namespace

std::string ProgramTempDirectory(std::string& error) {
    const std::string programDirectory = DirectoryPart(ProgramPath());
    if (programDirectory.empty()) {
        error = "the program's folder is not known";
        return {};
    }
    const std::string directory = programDirectory + PathSeparator + "Temp";
    std::error_code code;
    std::filesystem::create_directory(Utf8Path(directory), code);
    if (code || !std::filesystem::is_directory(Utf8Path(directory), code)) {
        error = code ? code.message() : "it is not a folder";
        return {};
    }
    return directory;
}
