#include "tests/app/DialogFixture.h"

#include "tests/support/EmulatorProcess.h"

#include <fstream>

namespace {

// This test program's emulators listen on hosts of this loopback network.
constexpr const char* EmulatorNetwork = "127.0.3";

using LoadConfigurationTest = DialogFixture;

constexpr int LockableControls[] = {
    IDC_BROWSE_CONFIGURATION, IDC_USE_CONFIGURATION,    IDC_START_ON_OPEN,         IDC_MINIMIZE_ON_START,
    IDC_USE_SIMULATION,       IDC_ACTIVATE_OBSERVATION, IDC_DEACTIVATE_OBSERVATION};

std::vector<int> EnabledControls(const RecordingControls& controls) {
    std::vector<int> enabled;
    for (const int id : LockableControls) {
        if (controls.IsEnabled(id))
            enabled.push_back(id);
    }
    return enabled;
}

TEST_F(LoadConfigurationTest, FirstStartWithoutSettingsAsksForAFileAndLocksWhenCancelled) {
    Dialog->OnInitDialog();

    ASSERT_EQ(Controls.FileRequests.size(), 1u);
    const OpenFileRequest& request = Controls.FileRequests.front();
    EXPECT_EQ(request.InitialDirectory, Workspace.Folder());
    EXPECT_EQ(request.Filter, "ADPXML - Datei|*.ADPXML||");
    EXPECT_EQ(request.DefaultExtension, ".ADPXML");
    EXPECT_EQ(request.InitialFileName, "*.ADPXML");

    EXPECT_TRUE(HasLine("Error ! The contents of the configuration file  is not valid !"));
    // Everything is locked but "...", so that another file can still be chosen.
    EXPECT_EQ(Dialog->ControlStateCode, 254);
    EXPECT_EQ(EnabledControls(Controls), std::vector<int>{IDC_BROWSE_CONFIGURATION});
    EXPECT_EQ(Controls.WaitCursorDuringDialog, 0) << "no wait cursor while the user chooses";
    EXPECT_FALSE(Controls.IsShown(IDC_REREAD_CONFIGURATION));
    EXPECT_EQ(Controls.MinimizeCount, 0);
    EXPECT_EQ(Dialog->ObservationActive, 0);
    EXPECT_EQ(Controls.WaitCursorDepth, 0);
    EXPECT_GE(Controls.WaitCursorShown, 1);
}

TEST_F(LoadConfigurationTest, AFileChosenAtFirstStartIsSavedAndLoaded) {
    const std::string project = WriteStandardProject();
    AppSettings empty;
    empty.UseSimEnvironment = 1;
    Workspace.SaveTestSettings(empty);
    Controls.FileAnswers.push_back(project);

    Dialog->OnInitDialog();

    EXPECT_EQ(Workspace.StoredSettings().PathToKavelCfg, project);
    EXPECT_EQ(Controls.EditTexts[IDC_CONFIGURATION_PATH], project);
    EXPECT_EQ(Dialog->ControlStateCode, 160);
    EXPECT_TRUE(Controls.Lines.empty());
}

TEST_F(LoadConfigurationTest, AConfigurationNeverChosenIsTheAlphabeticallyFirstAndIsSaved) {
    Workspace.WriteSummary("summary.sta", StandardVariables());
    AppSettings settings;
    settings.PathToKavelCfg = Workspace.WriteProject(
        "p.ADPXML", {Named("1", "beta"), Named("2", "Alpha"), Named("3", "gamma"), Named("4", "alpha two")});
    settings.UseSimEnvironment = 1;
    ASSERT_EQ(settings.UsedUniqueID, -1);
    OpenWith(settings);

    EXPECT_EQ(Controls.ComboTexts(), (std::vector<std::string>{"Alpha", "alpha two", "beta", "gamma"}));
    EXPECT_EQ(Controls.Selection, 0);
    EXPECT_EQ(Dialog->Settings.UsedUniqueID, 2);
    EXPECT_EQ(Workspace.StoredSettings().UsedUniqueID, 2);
    // Loaded, but without a tool no observation is possible.
    EXPECT_EQ(Dialog->ControlStateCode, 224);
}

TEST_F(LoadConfigurationTest, TheBoxListsAbeforeBandSelectsTheConfigurationInUse) {
    Workspace.WriteSummary("summary.sta", StandardVariables());
    AppSettings settings;
    settings.PathToKavelCfg = Workspace.WriteProject("p.ADPXML", {Named("1", "B"), Named("2", "A")});
    settings.UsedUniqueID = 1;
    settings.UseSimEnvironment = 1;
    OpenWith(settings);

    ASSERT_EQ(Controls.ComboTexts(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(Controls.ComboItems[0].Data, 2);
    EXPECT_EQ(Controls.ComboItems[1].Data, 1);
    EXPECT_EQ(Controls.Selection, 1);
    EXPECT_EQ(Workspace.StoredSettings().UsedUniqueID, 1);
}

TEST_F(LoadConfigurationTest, TheOnlyConfigurationLackingAckVarLeavesNothingToChoose) {
    AppSettings settings;
    settings.PathToKavelCfg = Workspace.WriteProject("p.ADPXML", {{"1", "No ack", "EventVar", "", "5", {}}});
    settings.UseSimEnvironment = 1;
    OpenWith(settings);

    EXPECT_TRUE(Controls.ComboItems.empty());
    EXPECT_TRUE(HasLine(InvalidFileLine(settings.PathToKavelCfg)));
    EXPECT_EQ(Dialog->ControlStateCode, 254);
    EXPECT_EQ(EnabledControls(Controls), std::vector<int>{IDC_BROWSE_CONFIGURATION});
}

TEST_F(LoadConfigurationTest, ResultingControlStatesEnableExactlyTheirControls) {
    struct Case {
        std::uint16_t Code;
        std::vector<int> Enabled;
    };
    const Case cases[] = {
        {255, {}},
        {254, {IDC_BROWSE_CONFIGURATION}},
        {160,
         {IDC_BROWSE_CONFIGURATION, IDC_USE_CONFIGURATION, IDC_START_ON_OPEN, IDC_MINIMIZE_ON_START,
          IDC_USE_SIMULATION, IDC_ACTIVATE_OBSERVATION}},
        {224,
         {IDC_BROWSE_CONFIGURATION, IDC_USE_CONFIGURATION, IDC_START_ON_OPEN, IDC_MINIMIZE_ON_START,
          IDC_USE_SIMULATION}},
        {127, {IDC_DEACTIVATE_OBSERVATION}},
    };
    for (const Case& c : cases) {
        Dialog->ControlStateCode = c.Code;
        Dialog->UpdateControlStates();
        EXPECT_EQ(EnabledControls(Controls), c.Enabled) << "code " << c.Code;
        EXPECT_EQ(Controls.Enabled.count(IDC_TOOL_TABLE), 0u) << "the grid is never locked";
    }
}

TEST_F(LoadConfigurationTest, AVariableMissingFromTheSummaryLeavesTheWindowUsableWithoutActivation) {
    Workspace.WriteSummary("summary.sta", {{"EventVar", 0x10, 0x20}});
    AppSettings settings;
    settings.PathToKavelCfg = Workspace.WriteProject(
        "p.ADPXML", {{"1", "One", "EventVar", "AckVar", "5", {{0, "/bin", "true", ""}}}});
    settings.UseSimEnvironment = 1;
    settings.ActivateOnStart = 1;
    OpenWith(settings);

    EXPECT_EQ(Dialog->ControlStateCode, 224);
    EXPECT_TRUE(HasLine("Error ! Data of acknowledge variable are not available in summary !"));
    EXPECT_FALSE(Controls.IsShown(IDC_REREAD_CONFIGURATION));
    EXPECT_TRUE(Controls.Checks[IDC_START_ON_OPEN]);
    EXPECT_FALSE(Controls.Checks[IDC_MINIMIZE_ON_START]);
    EXPECT_TRUE(Controls.Checks[IDC_USE_SIMULATION]);
    EXPECT_EQ(Dialog->ObservationActive, 0);
}

TEST_F(LoadConfigurationTest, AProjectFileBrokenSinceTheLastLoadKeepsWhatTheTableAndBoxShow) {
    const std::string project = WriteStandardProject();
    Dialog->OnInitDialog();
    ASSERT_EQ(Dialog->ControlStateCode, 160);
    const std::string toolText = Table.Text(1, 2);
    ASSERT_EQ(toolText, "/bin/true");

    Workspace.WriteFile("project.ADPXML", "<AdvancedPara><KavelPara>");
    Dialog->OnRereadConfiguration();

    EXPECT_EQ(Dialog->ControlStateCode, 254);
    EXPECT_TRUE(HasLine(InvalidFileLine(project)));
    EXPECT_EQ(Controls.ComboTexts(), std::vector<std::string>{"Standard"});
    EXPECT_EQ(Table.Text(1, 2), toolText);
}

TEST_F(LoadConfigurationTest, APathTheSettingsFileCannotHoldIsNotLoadedInsteadOfAnother) {
    const std::string stored = WriteStandardProject();
    Dialog->OnInitDialog();
    ASSERT_EQ(Dialog->ControlStateCode, 160);

    // A file name with a line break exists, but no settings line can hold it; the
    // readers would go on loading the old file while the window showed the new one.
    const std::string odd = Workspace.WriteFile("odd\nname.ADPXML", TempFolder::Read(stored));
    Controls.FileAnswers.push_back(odd);
    Dialog->OnBrowseConfiguration();

    EXPECT_EQ(Dialog->ControlStateCode, 254);
    EXPECT_TRUE(HasLine(InvalidFileLine(odd)));
    EXPECT_EQ(Workspace.StoredSettings().PathToKavelCfg, stored);
    EXPECT_NE(Controls.EditTexts[IDC_CONFIGURATION_PATH], odd);
}

// Controller mode: the summary comes from the controller at the address of the
// variable definition file.
TEST_F(LoadConfigurationTest, RereadingAfterAFailedDownloadSucceedsOnceTheControllerAnswers) {
    const std::string address = EmulatorProcess::Address(EmulatorNetwork, 11);
    const std::string summary = Workspace.WriteSummary("controller.sta", StandardVariables());
    AppSettings settings;
    settings.PathToKavelCfg = Workspace.WriteProject(
        "p.ADPXML", {{"1", "Online", "EventVar", "AckVar", "5", {{0, "/bin", "true", ""}}}}, "summary.sta",
        address);
    settings.UseSimEnvironment = 0;
    OpenWith(settings);

    EXPECT_EQ(Dialog->ControlStateCode, 224);
    EXPECT_TRUE(std::any_of(Controls.Lines.begin(), Controls.Lines.end(), [](const std::string& line) {
        return line.rfind("Error ! Online was no device configuration for ", 0) == 0;
    }));
    EXPECT_TRUE(Controls.IsShown(IDC_REREAD_CONFIGURATION));
    EXPECT_TRUE(Controls.IsEnabled(IDC_REREAD_CONFIGURATION));

    if (!EmulatorProcess::Available())
        GTEST_SKIP() << "the controller emulator is not built";
    EmulatorProcess emulator(address, {"--summary", summary, "--no-commands"});
    ASSERT_TRUE(emulator.Serving()) << emulator.Output();

    Dialog->OnRereadConfiguration();
    EXPECT_EQ(Dialog->ControlStateCode, 160);
    EXPECT_FALSE(Controls.IsShown(IDC_REREAD_CONFIGURATION));
    EXPECT_FALSE(Controls.IsEnabled(IDC_REREAD_CONFIGURATION));
    EXPECT_EQ(Dialog->References.Acknowledge.OutputOffset, 0x24);
}

} // namespace
