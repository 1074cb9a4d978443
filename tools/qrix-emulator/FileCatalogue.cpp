#include "tools/qrix-emulator/FileCatalogue.h"

#include "tools/qrix-emulator/EmulatorSystem.h"

#include <algorithm>

namespace {

// Only names directly inside the folder: no separator of any system, no
// Windows stream suffix, no "." or "..".
bool IsServableName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && c != '/' && c != '\\' && c != ':' && c != 0x7F;
    });
}

} // namespace

ProtocolStatus FileCatalogue::Load(const std::string& name, std::vector<unsigned char>& content,
                                   std::string& error) const {
    std::string path;
    if (name == SummaryName && !m_SummaryPath.empty())
        path = m_SummaryPath;
    else if (IsServableName(name) && !m_Folder.empty())
        path = m_Folder + "/" + name;
    if (path.empty()) {
        error = "file \"" + name + "\" not found";
        return ProtocolStatus::FileNotFound;
    }
    // Links inside the served folder could lead anywhere: only plain files count.
    return LoadPlainFile(path, path == m_SummaryPath, name, content, error);
}
