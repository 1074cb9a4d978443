#include "tests/app/DialogFixture.h"

#include "tests/support/EmulatorProcess.h"

#include <functional>

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

// The box lists by description, case aside; a configuration never chosen is the
// first of them, and the one chosen is saved.
TEST_F(LoadConfigurationTest, TheBoxIsSortedAndSelectsTheConfigurationInUse) {
    struct Case {
        const char* Name;
        std::vector<TestConfiguration> Configurations;
        int UsedUniqueID;
        std::vector<std::string> Texts;
        int Selection;
        int Chosen;
    };
    const Case cases[] = {
        {"never chosen",
         {Named("1", "beta"), Named("2", "Alpha"), Named("3", "gamma"), Named("4", "alpha two")},
         -1,
         {"Alpha", "alpha two", "beta", "gamma"},
         0,
         2},
        {"chosen before", {Named("1", "B"), Named("2", "A")}, 1, {"A", "B"}, 1, 1},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        Workspace.WriteSummary("summary.sta", StandardVariables());
        AppSettings settings;
        settings.PathToKavelCfg = Workspace.WriteProject("p.ADPXML", test.Configurations);
        settings.UsedUniqueID = test.UsedUniqueID;
        settings.UseSimEnvironment = 1;
        OpenWith(settings);

        EXPECT_EQ(Controls.ComboTexts(), test.Texts);
        EXPECT_EQ(Controls.Selection, test.Selection);
        EXPECT_EQ(Controls.ComboItems.at(test.Selection).Data, test.Chosen);
        EXPECT_EQ(Dialog->Settings.UsedUniqueID, test.Chosen);
        EXPECT_EQ(Workspace.StoredSettings().UsedUniqueID, test.Chosen);
        // Loaded, but without a tool no observation is possible.
        EXPECT_EQ(Dialog->ControlStateCode, 224);
    }
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
    const AppSettings settings = ProjectWithTool("/bin", "true", "");
    Workspace.WriteSummary("summary.sta", {{"EventVar", 0x10, 0x20}});
    OpenWith(settings);

    EXPECT_EQ(Dialog->ControlStateCode, 224);
    EXPECT_TRUE(HasLine("Error ! Data of acknowledge variable are not available in summary !"));
    EXPECT_FALSE(Controls.IsShown(IDC_REREAD_CONFIGURATION));
    EXPECT_TRUE(Controls.Checks[IDC_START_ON_OPEN]);
    EXPECT_TRUE(Controls.Checks[IDC_MINIMIZE_ON_START]);
    EXPECT_TRUE(Controls.Checks[IDC_USE_SIMULATION]);
    // The start options take no effect.
    EXPECT_EQ(Dialog->ObservationActive, 0);
    EXPECT_EQ(Controls.MinimizeCount, 0);
}

// A file that cannot be used locks everything but "...", says so, and changes
// neither the settings nor what the table and the box show.
TEST_F(LoadConfigurationTest, AnUnusableProjectFileLocksTheWindowAndKeepsWhatItShows) {
    struct Case {
        const char* Name;
        std::function<std::string(const std::string& loaded)> Break; // the path it names
    };
    const Case cases[] = {
        {"broken since the last load",
         [&](const std::string&) {
             const std::string path = Workspace.WriteFile("project.ADPXML", "<AdvancedPara><KavelPara>");
             Dialog->OnRereadConfiguration();
             return path;
         }},
        // A file name with a line break exists, but no settings line can hold it; the
        // readers would go on loading the old file while the window showed the new one.
        {"a path the settings file cannot hold",
         [&](const std::string& loaded) {
             const std::string odd = Workspace.WriteFile("odd\nname.ADPXML", TempFolder::Read(loaded));
             Controls.FileAnswers.push_back(odd);
             Dialog->OnBrowseConfiguration();
             EXPECT_NE(Controls.EditTexts[IDC_CONFIGURATION_PATH], odd);
             return odd;
         }},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        Dialog = std::make_unique<EventManagerDialog>(Controls, Table);
        const std::string project = WriteStandardProject();
        Dialog->OnInitDialog();
        ASSERT_EQ(Dialog->ControlStateCode, 160);
        ASSERT_EQ(Table.Text(1, 2), "/bin/true");

        const std::string named = test.Break(project);
        EXPECT_EQ(Dialog->ControlStateCode, 254);
        EXPECT_EQ(EnabledControls(Controls), std::vector<int>{IDC_BROWSE_CONFIGURATION});
        EXPECT_TRUE(HasLine(InvalidFileLine(named)));
        EXPECT_EQ(Workspace.StoredSettings().PathToKavelCfg, project);
        EXPECT_EQ(Controls.ComboTexts(), std::vector<std::string>{"Standard"});
        EXPECT_EQ(Table.Text(1, 2), "/bin/true");
    }
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
