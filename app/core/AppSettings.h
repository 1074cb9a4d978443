#pragma once

#include <cstdint>
#include <string>

// The five values kept per installation in the settings file beside the program.
struct AppSettings {
    std::string PathToKavelCfg;
    std::int32_t UsedUniqueID = -1;
    std::int32_t ActivateOnStart = 0;
    std::int32_t MinimizeOnStart = 0;
    std::int32_t UseSimEnvironment = 0;
};

constexpr std::size_t MaximumPathLength = 260;

// The settings file: the program's path with ".KAVELCFG" as extension, unless a
// program chose another with SetSettingsFilePath (the headless observer shares
// the window program's file).
std::string SettingsFilePath();
void SetSettingsFilePath(const std::string& path);

// The program's folder as the settings file tells it; "/" when there is none.
std::string ProgramDirectory();

void LoadSettings(AppSettings& settings);
// Writes the whole record; false when the file could not be written.
bool SaveSettings(const AppSettings& settings);
// Writes the configuration in use alone, leaving every other line of the file as it is.
bool SaveUsedUniqueID(const AppSettings& settings);
// Reads only the configuration file path; true when it is not empty.
bool ReadConfigurationPath(std::string& path);
