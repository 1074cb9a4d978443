#include "app/core/AppSettings.h"

#include "platform/Paths.h"
#include "platform/PrivateProfile.h"

#include <mutex>

namespace {

constexpr const char* Section = "Configuration";

std::mutex OverrideMutex;
std::string OverriddenSettingsPath;

} // namespace

std::string SettingsFilePath() {
    {
        std::lock_guard lock(OverrideMutex);
        if (!OverriddenSettingsPath.empty())
            return OverriddenSettingsPath;
    }
    const std::string program = ProgramPath();
    return program.empty() ? std::string() : ReplaceExtension(program, ".KAVELCFG");
}

void SetSettingsFilePath(const std::string& path) {
    std::lock_guard lock(OverrideMutex);
    OverriddenSettingsPath = path;
}

std::string ProgramDirectory() {
    const std::string settings = SettingsFilePath();
    if (settings.empty())
        return FallbackFolder;
    return DirectoryPart(settings);
}

void LoadSettings(AppSettings& settings) {
    const std::string path = SettingsFilePath();
    // What a save that a crash cut short left beside the file.
    RemoveLeftoverReplacements(path);
    settings.PathToKavelCfg =
        ReadPrivateProfileString(Section, "PathToKavelCfg", "", MaximumPathLength + 1, path);
    settings.UsedUniqueID = ReadPrivateProfileInt(Section, "UsedUniqueID", -1, path);
    settings.ActivateOnStart = ReadPrivateProfileInt(Section, "ActivateOnStart", 0, path);
    settings.MinimizeOnStart = ReadPrivateProfileInt(Section, "MinimizeOnStart", 0, path);
    settings.UseSimEnvironment = ReadPrivateProfileInt(Section, "UseSimEnvironment", 0, path);
}

bool SaveSettings(const AppSettings& settings) {
    // One replacement of the file: a crash never leaves half a record.
    return WritePrivateProfileStrings(Section,
                                      {{"PathToKavelCfg", settings.PathToKavelCfg},
                                       {"UsedUniqueID", std::to_string(settings.UsedUniqueID)},
                                       {"ActivateOnStart", std::to_string(settings.ActivateOnStart)},
                                       {"MinimizeOnStart", std::to_string(settings.MinimizeOnStart)},
                                       {"UseSimEnvironment", std::to_string(settings.UseSimEnvironment)}},
                                      SettingsFilePath());
}

bool SaveUsedUniqueID(const AppSettings& settings) {
    return WritePrivateProfileString(Section, "UsedUniqueID", std::to_string(settings.UsedUniqueID),
                                     SettingsFilePath());
}

bool ReadConfigurationPath(std::string& path) {
    path = ReadPrivateProfileString(Section, "PathToKavelCfg", "", MaximumPathLength + 1, SettingsFilePath());
    return !path.empty();
}
