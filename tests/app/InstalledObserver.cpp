#include "tests/app/InstalledObserver.h"

#include <filesystem>

std::string InstallObserver(const std::string& folder) {
    namespace fs = std::filesystem;
    const fs::path target = fs::path(folder) / "eventmanager-headless";
    fs::copy_file(EVENTMANAGER_HEADLESS_PATH, target, fs::copy_options::overwrite_existing);
    const fs::path library = CONTROLLER_ACCESS_LIBRARY_PATH;
    fs::copy_file(library, fs::path(folder) / library.filename(), fs::copy_options::overwrite_existing);
    return target.string();
}
