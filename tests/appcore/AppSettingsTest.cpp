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
    EXPECT_EQ(SettingsFilePath(), ProgramPath() + ".KAVELCFG");
    EXPECT_EQ(ProgramDirectory(), DirectoryPart(ProgramPath()));
}

TEST_F(AppSettingsTest, MissingFileGivesTheDefaults) {
    AppSettings settings;
    settings.PathToKavelCfg = "stale";
    settings.UsedUniqueID = 5;
    settings.ActivateOnStart = 1;
    LoadSettings(settings);
    EXPECT_EQ(settings.PathToKavelCfg, "");
    EXPECT_EQ(settings.UsedUniqueID, -1);
    EXPECT_EQ(settings.ActivateOnStart, 0);
    EXPECT_EQ(settings.MinimizeOnStart, 0);
    EXPECT_EQ(settings.UseSimEnvironment, 0);
    std::string path = "x";
    EXPECT_FALSE(ReadConfigurationPath(path));
    EXPECT_EQ(path, "");
}

TEST_F(AppSettingsTest, SavesEveryKeyAsTheWindowsProgramDid) {
    AppSettings settings;
    settings.PathToKavelCfg = "/p/project.ADPXML";
    settings.MinimizeOnStart = 1;
    ASSERT_TRUE(SaveSettings(settings));
    EXPECT_EQ(TempFolder::Read(SettingsFilePath()), "[Configuration]\nPathToKavelCfg=/p/project.ADPXML\n"
                                                    "UsedUniqueID=-1\nActivateOnStart=0\nMinimizeOnStart=1\n"
                                                    "UseSimEnvironment=0\n");
    AppSettings loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded.PathToKavelCfg, "/p/project.ADPXML");
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

TEST_F(AppSettingsTest, ASettingsFileThatIsAFolderGivesDefaultsAndFailsToSave) {
    std::filesystem::create_directory(SettingsFilePath());
    AppSettings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.UsedUniqueID, -1);
    EXPECT_FALSE(SaveSettings(settings));
}
