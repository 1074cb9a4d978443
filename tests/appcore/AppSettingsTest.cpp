#include "app/core/AppSettings.h"
#include "platform/Paths.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class AppSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { SetSettingsFilePath(m_Dir.File("eventmanager.KAVELCFG")); }
    void TearDown() override { SetSettingsFilePath(""); }

    TempFolder m_Dir;
};

} // namespace

TEST(SettingsFilePath, SitsBesideTheProgramWithItsName) {
    SetSettingsFilePath("");
    // The program's own extension, if it has one, gives way to the settings'.
    EXPECT_EQ(FileNamePart(SettingsFilePath()), "appcore_tests.KAVELCFG");
    EXPECT_EQ(ProgramDirectory(), DirectoryPart(ProgramPath()));
    EXPECT_EQ(DirectoryPart(SettingsFilePath()), DirectoryPart(ProgramPath()));
}

TEST_F(AppSettingsTest, AMissingFileOrAFolderGivesTheDefaults) {
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "folder" : "missing");
        if (folder)
            std::filesystem::create_directory(SettingsFilePath());
        AppSettings settings{"stale", 5, 1, 1, 1};
        LoadSettings(settings);
        EXPECT_EQ(settings.PathToKavelCfg, "");
        EXPECT_EQ(settings.UsedUniqueID, -1);
        EXPECT_EQ(settings.ActivateOnStart + settings.MinimizeOnStart + settings.UseSimEnvironment, 0);
        std::string path = "x";
        EXPECT_FALSE(ReadConfigurationPath(path));
        EXPECT_EQ(path, "");
        EXPECT_EQ(SaveSettings(settings), !folder);
        std::filesystem::remove(SettingsFilePath());
    }
}

TEST_F(AppSettingsTest, SavesEveryKeyAsTheWindowsProgramDidAndReadsItBack) {
    const AppSettings settings{"/p/project.ADPXML", 7, 0, 1, 0};
    ASSERT_TRUE(SaveSettings(settings));
    EXPECT_EQ(TempFolder::Read(SettingsFilePath()), "[Configuration]\nPathToKavelCfg=/p/project.ADPXML\n"
                                                    "UsedUniqueID=7\nActivateOnStart=0\nMinimizeOnStart=1\n"
                                                    "UseSimEnvironment=0\n");
    AppSettings loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded.PathToKavelCfg, "/p/project.ADPXML");
    EXPECT_EQ(loaded.UsedUniqueID, 7);
    EXPECT_EQ(loaded.MinimizeOnStart, 1);
    std::string path;
    EXPECT_TRUE(ReadConfigurationPath(path));
    EXPECT_EQ(path, "/p/project.ADPXML");
}

TEST_F(AppSettingsTest, OddValuesReadAsTheSystemReadsThem) {
    m_Dir.Write("eventmanager.KAVELCFG", "[Configuration]\nActivateOnStart=yes\nUseSimEnvironment=1\n"
                                         "PathToKavelCfg=" +
                                             std::string(10000, 'p') + "\n");
    AppSettings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.ActivateOnStart, 0);
    EXPECT_EQ(settings.UsedUniqueID, -1);
    EXPECT_EQ(settings.UseSimEnvironment, 1);
    EXPECT_EQ(settings.PathToKavelCfg.size(), MaximumPathLength);
}
